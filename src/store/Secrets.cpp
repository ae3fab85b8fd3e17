#include "store/Secrets.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace kestrune::store {
namespace {

// Where the password of a URL-like text lies: [first, last) from the ':'
// after the user name (before any '/') to the last '@' (a raw '@' or '/'
// in a password still counts as the password: better too much hidden than
// too little). nullopt when the text names no password.
template <typename View>
std::optional<std::pair<std::size_t, std::size_t>> PasswordSpan(View text) {
    using Char = typename View::value_type;
    const Char separator[] = {Char(':'), Char('/'), Char('/')};
    const std::size_t scheme = text.find(View(separator, 3));
    if (scheme == View::npos) return std::nullopt;
    const std::size_t authority = scheme + 3;
    const std::size_t at = text.rfind(Char('@'));
    if (at == View::npos || at < authority) return std::nullopt;
    const View user = text.substr(authority, at - authority);
    const std::size_t colon = user.find(Char(':'));
    if (colon == View::npos || user.find(Char('/')) < colon) return std::nullopt;
    return std::pair(authority + colon + 1, at);
}

}  // namespace

QString MaskUrlPassword(const QString& url) {
    const std::u16string text = url.toStdU16String();
    const auto span = PasswordSpan(std::u16string_view(text));
    if (!span || span->first == span->second) return url;
    return url.left(static_cast<qsizetype>(span->first)) + QLatin1String(kMaskedPassword) +
           url.mid(static_cast<qsizetype>(span->second));
}

void HideArgumentPasswords(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const std::string_view argument(argv[i]);
        if (const auto span = PasswordSpan(argument))
            std::memset(argv[i] + span->first, '*', span->second - span->first);
    }
}

}  // namespace kestrune::store
