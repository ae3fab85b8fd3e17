// The analyses' "other condition": a small language of comparisons on the
// columns of the trial and session-item records, turned into an SQL
// fragment whose column names come from the program's own list and whose
// values are all bound. What is not in the language is refused, so no text
// typed into the field reaches the database as SQL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrune::analysis {

/** A value for a ? of the fragment: a whole number, a real or a text. */
using ConditionValue = std::variant<long long, double, std::string>;

/** An SQL fragment with ? placeholders and their values, in order. */
struct SqlCondition {
    std::string sql;
    std::vector<ConditionValue> values;

    friend bool operator==(const SqlCondition&, const SqlCondition&) = default;
};

/** A condition read, or why not. */
struct ConditionParse {
    std::optional<SqlCondition> condition;  ///< empty text: an empty fragment
    std::string error;                      ///< when refused: one line, naming the place
};

/** The condition the analysis windows start with. */
inline constexpr const char* kDefaultCondition = "StatisticalRecord.SRValidity=1";

/**
 * Reads the other condition:
 *
 *   condition  := or
 *   or         := and { OR and }
 *   and        := not { AND not }
 *   not        := NOT not | "(" or ")" | comparison
 *   comparison := column op value | column [NOT] LIKE text | column IS [NOT] NULL
 *   op         := = | <> | != | < | <= | > | >=
 *   column     := [BasicRecord. | StatisticalRecord.] name   (any case)
 *   value      := [-|+] number | 'text' ('' inside for a quote)
 *
 * Names are the columns of BasicRecord and StatisticalRecord; IIID and SRID,
 * which both have, must be qualified. A numeric column compares with a
 * number (a quoted number is taken as one); LIKE needs a text column. The
 * fragment is parenthesised ("(StatisticalRecord.SRValidity = ?)"), so an OR
 * inside stays inside; keywords are case-insensitive. Blank text gives an
 * empty fragment.
 */
ConditionParse ParseCondition(std::string_view text);

/**
 * The duty-cycle limits: blank adds nothing; otherwise the whole field must
 * be a decimal number ("0.25", "1", "-0", "5e-1"). nullopt with *error
 * naming the field otherwise.
 */
std::optional<std::optional<double>> ParseDutyField(std::string_view text, const std::string& name,
                                                    std::string* error);

}  // namespace kestrune::analysis
