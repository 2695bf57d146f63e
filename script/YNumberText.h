// Number texts of script values: doubles printed as "%.15g" prints them,
// longs as "%ld", and texts read as "%lf" reads them, character for
// character and bit for bit, without going through the C library's stream
// formatting for the common forms. Every text made here, with its NUL,
// fits kYNumberTextSize bytes.
#pragma once

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
};
