#pragma once

#include <string>
#include <string_view>

namespace tb {

/// Writes a double-precision number in the general number format: at most 15
/// significant digits, no trailing zeros, 0.001 (not .001), and scientific form
/// (5E-06, 1.2E+15) when the decimal exponent is below -4 or at least 15.
std::string formatNumber(double value);

/// The same for a single-precision number, with at most 7 significant digits.
std::string formatSingle(float value);

/// The leading-blank form: a non-negative number gets one leading blank and no
/// zero before the decimal point (" .054321", " 12345").
std::string formatLeadingBlank(double value);

/// Reads the number a text box holds: the value of the longest leading part that
/// reads as a decimal number, blanks skipped; an empty or non-numeric text gives 0.
/// A value too large for a double also gives 0, so no infinity reaches a caller.
double readNumber(std::string_view text);

/// Plain decimal whole number ("12", "-1").
std::string formatInt(long long value);

} // namespace tb
