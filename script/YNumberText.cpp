// Number texts without the stream functions: std::to_chars prints what
// "%.15g" and "%ld" print, and std::from_chars reads the plain decimal forms
// that make up nearly every script number. The rare forms whose reading by
// "%lf" is subtle (hexadecimal, inf and nan, exponents that overflow or
// underflow) are read by the C library itself, so acceptance stays exact.
#include "script/YNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isDecimalChar(char c) { return isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; }

// Digits a whole number may have to be read without from_chars; well within
// the 15 decimal digits every double holds exactly.
constexpr long kQuickDigits = 15;

}  // namespace

int YNumberText::formatReal(double number, char* out) {
    char* const last = out + kYNumberTextSize - 1;
    char* end = out;
    if (!std::isfinite(number)) {
        // The C library's forms, sign included for a negative nan.
        if (std::signbit(number)) *end++ = '-';
        std::memcpy(end, std::isnan(number) ? "nan" : "inf", 3);
        end += 3;
    } else {
        end = std::to_chars(out, last, number, std::chars_format::general, 15).ptr;
    }
    *end = 0;
    return static_cast<int>(end - out);
}

int YNumberText::formatWhole(long number, char* out) {
    char* const end = std::to_chars(out, out + kYNumberTextSize - 1, number).ptr;
    *end = 0;
    return static_cast<int>(end - out);
}

bool YNumberText::parse(const char* text, double& number) {
    const char* cursor = text;
    while (isBlank(*cursor)) ++cursor;
    const bool negative = *cursor == '-';
    if (*cursor == '-' || *cursor == '+') ++cursor;
    // A short whole number, the most common script number: every such value
    // is exact in a double, so summing its digits reads what from_chars would.
    {
        const char* last = cursor;
        long long whole = 0;  // 15 digits: more than a 32-bit long holds
        while (isDigit(*last) && last - cursor < kQuickDigits) whole = whole * 10 + (*last++ - '0');
        if (last != cursor && !isDecimalChar(*last) && *last != 'x' && *last != 'X') {
            const auto read = static_cast<double>(whole);
            number = negative ? -read : read;
            return true;
        }
    }
    const bool decimal = isDigit(*cursor) || (*cursor == '.' && isDigit(cursor[1]));
    const bool hexadecimal = cursor[0] == '0' && (cursor[1] == 'x' || cursor[1] == 'X');
    if (decimal && !hexadecimal) {
        const char* last = cursor;
        while (isDecimalChar(*last)) ++last;
        double read = 0.0;
        const auto [end, error] = std::from_chars(cursor, last, read, std::chars_format::general);
        // from_chars stops before an "e" without exponent digits ("100ergs",
        // "1e+"), as "%lf" does in the C library this reading follows; some
        // others read nothing there.
        if (error == std::errc()) {
            number = negative ? -read : read;
            return true;
        }
    }
    double read = 0.0;
    if (std::sscanf(text, "%lf", &read) != 1) return false;
    number = read;
    return true;
}
