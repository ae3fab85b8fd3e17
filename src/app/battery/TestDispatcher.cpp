#include "app/battery/TestDispatcher.h"

#include "app/Prompter.h"

namespace kestrune::app {

QString TestTypeName(TestKind kind) {
    const std::string_view value = TestTypeValue(kind);
    return QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
}

void UnavailableTestDispatcher::Run(TestKind type, const TestStart&, QWidget* parent) {
    prompter_.Message(
        parent, TestTypeName(type) + QStringLiteral(" tests are not available in this version"));
}

}  // namespace kestrune::app
