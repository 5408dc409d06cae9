#include "core/foundation/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tb {

namespace {

// Shared by both precisions: round to `digits` significant digits with printf's
// exact decimal rounding, then lay the digits out in fixed or scientific form.
std::string formatGeneral(double value, int digits)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0.0)
        return "0";

    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, value);
    std::string s(buf);
    const bool negative = s[0] == '-';
    if (negative)
        s.erase(0, 1);
    const auto ePos = s.find('E');
    const int exponent = std::atoi(s.c_str() + ePos + 1);
    std::string mantissa;
    for (std::size_t i = 0; i < ePos; ++i)
        if (s[i] != '.')
            mantissa += s[i];
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent < -4 || exponent >= digits) {
        out += mantissa[0];
        if (mantissa.size() > 1)
            out += "." + mantissa.substr(1);
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
    } else {
        const auto intDigits = static_cast<std::size_t>(exponent + 1);
        if (mantissa.size() <= intDigits) {
            out += mantissa + std::string(intDigits - mantissa.size(), '0');
        } else {
            out += mantissa.substr(0, intDigits) + "." + mantissa.substr(intDigits);
        }
    }
    return out;
}

} // namespace

std::string formatNumber(double value)
{
    return formatGeneral(value, 15);
}

std::string formatSingle(float value)
{
    return formatGeneral(static_cast<double>(value), 7);
}

std::string formatLeadingBlank(double value)
{
    std::string s = formatNumber(value);
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    if (!(value < 0))
        s.insert(0, 1, ' ');
    return s;
}

double readNumber(std::string_view text)
{
    // Collect the leading number with blanks and tabs removed, then convert it.
    std::string number;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    auto takeDigits = [&] {
        bool any = false;
        for (;;) {
            skipBlanks();
            if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
                number += text[i++];
                any = true;
            } else {
                return any;
            }
        }
    };
    skipBlanks();
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        number += text[i++];
    bool digits = takeDigits();
    skipBlanks();
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        digits = takeDigits() || digits;
    }
    if (!digits)
        return 0.0;
    skipBlanks();
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        const std::size_t mark = i;
        const std::size_t kept = number.size();
        ++i;
        std::string exp = "E";
        skipBlanks();
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            exp += text[i++];
        number += exp;
        if (!takeDigits()) {
            number.resize(kept);
            i = mark;
        }
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

std::string formatInt(long long value)
{
    return std::to_string(value);
}

} // namespace tb
