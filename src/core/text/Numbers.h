#pragma once

#include <string_view>

namespace kestrune {

/**
 * A leading decimal integer as the C library's atoi reads it: leading white
 * space, an optional sign, then digits; anything else ends the number, and no
 * digits give 0. Values beyond the int range saturate instead of overflowing.
 * Dialog edits, scenario values and ages are all read this way.
 */
int LeadingInt(std::string_view text);

/** A decimal real read like atof: leading white space, an optional sign,
 *  digits with an optional fraction and exponent; anything else gives 0. */
double LeadingReal(std::string_view text);

}  // namespace kestrune
