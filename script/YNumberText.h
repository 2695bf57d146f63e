// Number texts of script values: doubles printed as "%.15g" prints them,
// longs as "%ld", and texts read as "%lf" reads them, character for
// character and bit for bit, without going through the C library's stream
// formatting for the common forms; and the reduction that makes a whole
// double a long. Every text made here, with its NUL, fits kYNumberTextSize bytes.
#pragma once

#include <cstdint>

// "-1.23456789012345e-308" and "-9223372036854775808" both fit with room to spare.
inline constexpr int kYNumberTextSize = 32;

class YNumberText {
public:
    // Writes the text and a NUL into out (kYNumberTextSize bytes); returns its length.
    static int formatReal(double number, char* out);
    static int formatWhole(long number, char* out);
    // As sscanf(text, "%lf", &number) == 1: leading blanks, sign, decimal,
    // hexadecimal, inf and nan forms, trailing garbage ignored. text is NUL-terminated.
    // number is left unchanged when nothing parses.
    static bool parse(const char* text, double& number);
    // A text beginning so is read as a number when it is assigned.
    static bool startsNumber(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+'; }
    // The reduction of a double to a long: whole, within +-2,000,000,000,
    // and, for a number read from a literal (literalLength >= 0), written
    // with at most 10 characters. -1 stands for a number made by arithmetic.
    static bool reduce(double number, int literalLength, int32_t& whole) {
        if (literalLength > kMaxReducedLiteral) return false;
        if (!(number >= -kLongLimit && number <= kLongLimit)) return false;  // NaN fails too
        const auto truncated = static_cast<int32_t>(number);
        if (static_cast<double>(truncated) != number) return false;
        whole = truncated;
        return true;
    }

private:
    static constexpr double kLongLimit = 2000000000.0;
    static constexpr int kMaxReducedLiteral = 10;
};
