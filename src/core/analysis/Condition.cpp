#include "core/analysis/Condition.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace kestrune::analysis {
namespace {

enum class Kind { Number, Text, Time };

struct ColumnName {
    const char* table;
    const char* name;
    Kind kind;
};

constexpr const char* kBasic = "BasicRecord";
constexpr const char* kSession = "StatisticalRecord";

constexpr std::array kColumns{
    ColumnName{kSession, "SRID", Kind::Number},
    ColumnName{kSession, "IIID", Kind::Number},
    ColumnName{kSession, "SRSelfevaluation", Kind::Number},
    ColumnName{kSession, "SRVolume", Kind::Number},
    ColumnName{kSession, "SRTimes", Kind::Number},
    ColumnName{kSession, "SRType", Kind::Number},
    ColumnName{kSession, "SRNumber", Kind::Number},
    ColumnName{kSession, "SRDuration", Kind::Number},
    ColumnName{kSession, "SRCorrect", Kind::Number},
    ColumnName{kSession, "SRFactormask", Kind::Number},
    ColumnName{kSession, "SRRate", Kind::Number},
    ColumnName{kSession, "SRPlayspeed", Kind::Number},
    ColumnName{kSession, "SRSNR", Kind::Number},
    ColumnName{kSession, "SRCycle", Kind::Number},
    ColumnName{kSession, "SRDutycycle", Kind::Number},
    ColumnName{kSession, "SRValidity", Kind::Number},
    ColumnName{kSession, "SROther", Kind::Text},
    ColumnName{kBasic, "BRID", Kind::Number},
    ColumnName{kBasic, "IIID", Kind::Number},
    ColumnName{kBasic, "SRID", Kind::Number},
    ColumnName{kBasic, "BRTime", Kind::Time},
    ColumnName{kBasic, "BRDuration", Kind::Number},
    ColumnName{kBasic, "BRContent", Kind::Text},
    ColumnName{kBasic, "BRRecognise", Kind::Text},
    ColumnName{kBasic, "BROther", Kind::Text},
};

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

enum class Token { Word, Number, Text, Operator, Open, Close, Dot, End };

struct Lexeme {
    Token token = Token::End;
    std::string text;    // the word, the number as written, the unquoted text, the operator
    std::size_t at = 0;  // where it starts
};

bool IsWordByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    ConditionParse Read() {
        ConditionParse parse;
        if (!Lex()) return Refused();
        if (lexemes_.front().token == Token::End) {
            parse.condition = SqlCondition{};
            return parse;
        }
        SqlCondition condition;
        if (!Or(condition.sql)) return Refused();
        if (Peek().token != Token::End) {
            Fail(Peek().at, "expected AND, OR or the end of the condition");
            return Refused();
        }
        condition.sql = "(" + condition.sql + ")";
        condition.values = std::move(values_);
        parse.condition = std::move(condition);
        return parse;
    }

  private:
    ConditionParse Refused() const {
        ConditionParse parse;
        parse.error = error_;
        return parse;
    }

    void Fail(std::size_t at, const std::string& reason) {
        if (!error_.empty()) return;
        if (at >= text_.size()) {
            error_ = "Not understood in the other condition at its end: " + reason;
            return;
        }
        std::size_t end = std::min(text_.size(), at + 16);
        // Do not cut a character of several bytes in two.
        while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) ++end;
        error_ = "Not understood in the other condition at \"" +
                 std::string(text_.substr(at, end - at)) + "\": " + reason;
    }

    bool Lex() {
        std::size_t i = 0;
        while (true) {
            while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) ++i;
            Lexeme lexeme;
            lexeme.at = i;
            if (i == text_.size()) {
                lexemes_.push_back(lexeme);
                return true;
            }
            const char c = text_[i];
            const char next = i + 1 < text_.size() ? text_[i + 1] : '\0';
            if (std::isdigit(static_cast<unsigned char>(c)) ||
                ((c == '-' || c == '+' || c == '.') &&
                 (std::isdigit(static_cast<unsigned char>(next)) || next == '.'))) {
                std::size_t j = i + 1;
                while (j < text_.size() &&
                       (std::isalnum(static_cast<unsigned char>(text_[j])) || text_[j] == '.' ||
                        ((text_[j] == '-' || text_[j] == '+') &&
                         (text_[j - 1] == 'e' || text_[j - 1] == 'E'))))
                    ++j;
                lexeme.token = Token::Number;
                lexeme.text = std::string(text_.substr(i, j - i));
                i = j;
            } else if (IsWordByte(c)) {
                std::size_t j = i;
                while (j < text_.size() && IsWordByte(text_[j])) ++j;
                lexeme.token = Token::Word;
                lexeme.text = std::string(text_.substr(i, j - i));
                i = j;
            } else if (c == '\'') {
                std::size_t j = i + 1;
                std::string unquoted;
                while (true) {
                    if (j >= text_.size()) {
                        Fail(i, "the quoted text has no closing quote");
                        return false;
                    }
                    if (text_[j] == '\'') {
                        if (j + 1 < text_.size() && text_[j + 1] == '\'') {
                            unquoted += '\'';
                            j += 2;
                            continue;
                        }
                        ++j;
                        break;
                    }
                    unquoted += text_[j++];
                }
                lexeme.token = Token::Text;
                lexeme.text = std::move(unquoted);
                i = j;
            } else if (c == '(' || c == ')' || c == '.') {
                lexeme.token = c == '(' ? Token::Open : c == ')' ? Token::Close : Token::Dot;
                lexeme.text = std::string(1, c);
                ++i;
            } else if (c == '=' || c == '<' || c == '>' || (c == '!' && next == '=')) {
                std::size_t length = 1;
                if ((c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=') ||
                    c == '!')
                    length = 2;
                lexeme.token = Token::Operator;
                lexeme.text = std::string(text_.substr(i, length));
                if (lexeme.text == "!=") lexeme.text = "<>";
                i += length;
            } else {
                Fail(i, std::string("'") + std::string(text_.substr(i, 1)) +
                            "' is not part of a condition");
                return false;
            }
            lexemes_.push_back(std::move(lexeme));
        }
    }

    const Lexeme& Peek() const { return lexemes_[next_]; }
    const Lexeme& Take() { return lexemes_[next_ < lexemes_.size() - 1 ? next_++ : next_]; }
    bool IsKeyword(std::string_view word) const {
        return Peek().token == Token::Word && SameWord(Peek().text, word);
    }

    bool Or(std::string& sql) {
        if (!And(sql)) return false;
        while (IsKeyword("OR")) {
            Take();
            std::string right;
            if (!And(right)) return false;
            sql += " OR " + right;
        }
        return true;
    }

    bool And(std::string& sql) {
        if (!Not(sql)) return false;
        while (IsKeyword("AND")) {
            Take();
            std::string right;
            if (!Not(right)) return false;
            sql += " AND " + right;
        }
        return true;
    }

    bool Not(std::string& sql) {
        if (++depth_ > kMaxDepth) {
            Fail(Peek().at, "the condition nests too deeply");
            return false;
        }
        bool ok = false;
        if (IsKeyword("NOT")) {
            Take();
            std::string inner;
            ok = Not(inner);
            sql = "NOT " + inner;
        } else if (Peek().token == Token::Open) {
            Take();
            std::string inner;
            ok = Or(inner);
            if (ok && Peek().token != Token::Close) {
                Fail(Peek().at, "expected ')'");
                ok = false;
            }
            if (ok) {
                Take();
                sql = "(" + inner + ")";
            }
        } else {
            ok = Comparison(sql);
        }
        --depth_;
        return ok;
    }

    const ColumnName* Column() {
        const Lexeme first = Take();
        if (first.token != Token::Word) {
            Fail(first.at, "expected a column name");
            return nullptr;
        }
        std::string_view table;
        std::string name = first.text;
        if (Peek().token == Token::Dot) {
            Take();
            const Lexeme second = Take();
            if (second.token != Token::Word) {
                Fail(second.at, "expected a column name after the table's");
                return nullptr;
            }
            if (!SameWord(first.text, kBasic) && !SameWord(first.text, kSession)) {
                Fail(first.at,
                     "unknown table \"" + first.text + "\" (BasicRecord or StatisticalRecord)");
                return nullptr;
            }
            table = SameWord(first.text, kBasic) ? kBasic : kSession;
            name = second.text;
        }
        const ColumnName* found = nullptr;
        int matches = 0;
        for (const ColumnName& column : kColumns) {
            if (!SameWord(column.name, name) || (!table.empty() && table != column.table)) continue;
            found = &column;
            ++matches;
        }
        if (matches == 0) {
            Fail(first.at, "unknown column \"" + name + "\"");
            return nullptr;
        }
        if (matches > 1) {
            const std::string known = found->name;
            Fail(first.at, "\"" + name + "\" is a column of both tables: write BasicRecord." +
                               known + " or StatisticalRecord." + known);
            return nullptr;
        }
        return found;
    }

    static std::optional<ConditionValue> NumberValue(const std::string& written) {
        long long whole = 0;
        const char* begin = written.data() + (written.starts_with('+') ? 1 : 0);
        const char* end = written.data() + written.size();
        auto result = std::from_chars(begin, end, whole);
        if (result.ec == std::errc() && result.ptr == end) return whole;
        double real = 0;
        result = std::from_chars(begin, end, real);
        if (result.ec == std::errc() && result.ptr == end && std::isfinite(real)) return real;
        return std::nullopt;
    }

    bool Comparison(std::string& sql) {
        const std::size_t at = Peek().at;
        const ColumnName* column = Column();
        if (column == nullptr) return false;
        const std::string qualified = std::string(column->table) + "." + column->name;
        if (IsKeyword("IS")) {
            Take();
            const bool negated = IsKeyword("NOT");
            if (negated) Take();
            if (!IsKeyword("NULL")) {
                Fail(Peek().at, "expected NULL after IS");
                return false;
            }
            Take();
            sql = qualified + (negated ? " IS NOT NULL" : " IS NULL");
            return true;
        }
        bool negated = false;
        if (IsKeyword("NOT")) {
            Take();
            negated = true;
            if (!IsKeyword("LIKE")) {
                Fail(Peek().at, "expected LIKE after NOT");
                return false;
            }
        }
        std::string op;
        if (IsKeyword("LIKE")) {
            if (column->kind != Kind::Text) {
                Fail(at, qualified + " is no text column: LIKE compares texts");
                return false;
            }
            op = negated ? "NOT LIKE" : "LIKE";
        } else if (Peek().token == Token::Operator) {
            op = Peek().text;
        } else {
            Fail(Peek().at, "expected a comparison (=, <>, <, <=, >, >=, LIKE, IS NULL)");
            return false;
        }
        Take();
        const Lexeme value = Take();
        if (value.token != Token::Number && value.token != Token::Text) {
            Fail(value.at, "expected a number or a quoted text");
            return false;
        }
        if (value.token == Token::Number && !NumberValue(value.text)) {
            Fail(value.at, "\"" + value.text + "\" is no number");
            return false;
        }
        if (op == "LIKE" || op == "NOT LIKE") {
            if (value.token != Token::Text) {
                Fail(value.at, "LIKE takes a quoted text");
                return false;
            }
            values_.push_back(value.text);
        } else if (column->kind == Kind::Number) {
            std::optional<ConditionValue> number = NumberValue(value.text);
            if (!number) {
                Fail(value.at, qualified + " holds numbers, and this is none");
                return false;
            }
            values_.push_back(std::move(*number));
        } else if (column->kind == Kind::Time && value.token != Token::Text) {
            Fail(value.at, qualified + " is a time: compare it with a quoted text");
            return false;
        } else {
            values_.push_back(value.text);
        }
        sql = qualified + " " + op + " ?";
        return true;
    }

    static constexpr int kMaxDepth = 64;

    std::string_view text_;
    std::vector<Lexeme> lexemes_;
    std::size_t next_ = 0;
    int depth_ = 0;
    std::vector<ConditionValue> values_;
    std::string error_;
};

}  // namespace

ConditionParse ParseCondition(std::string_view text) {
    return Reader(text).Read();
}

std::optional<std::optional<double>> ParseDutyField(std::string_view text, const std::string& name,
                                                    std::string* error) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty()) return std::optional<double>();
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        *error = "The " + name + " must be a number, not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return std::optional<double>(value);
}

}  // namespace kestrune::analysis
