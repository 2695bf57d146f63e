// Number texts against the C library: every text made must be the one
// snprintf makes with "%.15g" or "%ld", and every text read must give what
// sscanf with "%lf" gives (same acceptance, same bits). Random cases use a
// fixed seed so that a failure repeats.
#include "script/YNumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr uint64_t kSeed = 20261205;
constexpr int kRandomReals = 2000000;
constexpr int kRandomWholes = 1000000;
constexpr int kRandomTexts = 1000000;
constexpr int kMaxRandomTextLength = 24;

uint64_t bitsOf(double number) {
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    return bits;
}

double fromBits(uint64_t bits) {
    double number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

// Returns an empty string when the two agree, else a description of the difference.
std::string compareReal(double number) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15g", number);
    char made[kYNumberTextSize];
    const int length = YNumberText::formatReal(number, made);
    if (std::strcmp(expected, made) == 0 && length == static_cast<int>(std::strlen(made))) return {};
    return std::string("%.15g gives ") + expected + ", we give " + made;
}

std::string compareWhole(long number) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%ld", number);
    char made[kYNumberTextSize];
    const int length = YNumberText::formatWhole(number, made);
    if (std::strcmp(expected, made) == 0 && length == static_cast<int>(std::strlen(made))) return {};
    return std::string("%ld gives ") + expected + ", we give " + made;
}

// What "%lf" is given to read: the text, but that an "e" without exponent
// digits ends the number ("1e+", "100ergs"), as glibc reads it; some C
// libraries (the web build's) read nothing there.
std::string referenceText(const char* text) {
    std::string s(text);
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) return s;
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j >= s.size() || !std::isdigit(static_cast<unsigned char>(s[j]))) s.resize(i);
    }
    return s;
}

std::string compareParse(const char* text) {
    const double untouched = 12345.0;
    double expected = untouched;
    const bool accepted = std::sscanf(referenceText(text).c_str(), "%lf", &expected) == 1;
    double read = untouched;
    const bool ours = YNumberText::parse(text, read);
    if (accepted == ours && bitsOf(expected) == bitsOf(read)) return {};
    char description[160];
    std::snprintf(description, sizeof description, "\"%s\": %%lf %s %a, we %s %a", text,
                  accepted ? "reads" : "refuses", expected, ours ? "read" : "refuse", read);
    return description;
}

}  // namespace

TEST(NumberText, EdgeRealsPrintAsTheCLibraryPrintsThem) {
    const double cases[] = {
        0.0, -0.0, 1e15, 1e16, -1e15, -1e16, 999999999999999.0, 9999999999999999.0, 123456789012345.6,
        0.1, 1.0 / 3, 2.0 / 3, 1e-5, 1e-4, 0.0001234, 1e21, 1e22, 1e100, 1e-100, 1e308, 1e-308,
        DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 4.9e-324, 2.2250738585072009e-308, 5e-324,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        0.5, 2.5, 1.5e300, 32.0, 3.5, 0.333333333333333, 1.4142135623730951, 2000000000.5,
    };
    for (double number : cases) EXPECT_EQ(compareReal(number), "") << number;
}

TEST(NumberText, EdgeWholesPrintAsTheCLibraryPrintsThem) {
    const long cases[] = {0, 1, -1, 9, 10, -10, INT32_MAX, INT32_MIN, LONG_MAX, LONG_MIN, 2000000000, -2000000000};
    for (long number : cases) EXPECT_EQ(compareWhole(number), "") << number;
}

TEST(NumberText, EdgeTextsReadAsTheCLibraryReadsThem) {
    const char* cases[] = {
        "0", "-0", "+0", "-0.0", "12", "007", "7.5", ".5", "5.", ".", "-.", "+.5", "-", "+", "", " ", "abc",
        "1e15", "1e16", "1e308", "1e309", "-1e309", "1e-320", "1e-400", "-1e-400", "4.9e-324", "2.4e-324",
        "2.2250738585072011e-308", "1e99999999999999999999", "1e-99999999999999999999",
        "0x1p3", "0X1P-3", "-0x1.8p1", "0x", "0xg", "0x.8", "00x1", "0x1p", "0x1p+",
        "inf", "-inf", "INF", "Infinity", "infinit", "infx", "nan", "-nan", "NAN", "nan(123)", "nan(", "nanx", "in",
        "  12", "\t\n\v\f\r7", "   -3.25", "12abc", "3.5.6", "1e", "1e+", "1e-", "1ex", "1.5E3x", "1e5e5", "1,5",
        "--5", "+-5", "-+5", "- 5", "1 2", "2000000000", "3.00000000000", "0.333333333333333",
        "123456789012345678901234567890", "0.000000000000000000000000000001",
        // whole numbers around the quick reading's reach, and what may follow them
        "999999999999999", "-999999999999999", "1000000000000000", "9007199254740993", "12x", "5X", "0x",
        "12e", "12E", "12.", "12+", "12-3", "12 5", "12;", "12|3", "-0x1", "+7a",
    };
    for (const char* text : cases) EXPECT_EQ(compareParse(text), "") << text;
}

// Random bit patterns cover every exponent, denormals, inf and nan; random
// short decimals cover the values scripts actually compute with.
TEST(NumberText, RandomRealsPrintAsTheCLibraryPrintsThem) {
    std::mt19937_64 random(kSeed);
    std::uniform_int_distribution<int> digits(1, 17);
    int failures = 0;
    for (int i = 0; i < kRandomReals && failures < 10; ++i) {
        double number = fromBits(random());
        if (i % 2) {
            const double scale = std::pow(10.0, digits(random) - 8);
            number = std::round(static_cast<double>(random() % 100000000) * scale) / 1000.0;
        }
        const std::string difference = compareReal(number);
        if (!difference.empty()) {
            ADD_FAILURE() << difference;
            ++failures;
        }
    }
}

TEST(NumberText, RandomWholesPrintAsTheCLibraryPrintsThem) {
    std::mt19937_64 random(kSeed);
    int failures = 0;
    for (int i = 0; i < kRandomWholes && failures < 10; ++i) {
        const uint64_t bits = random();
        // Alternate full-width numbers with ones of a random bit length.
        const long number = static_cast<long>(i % 2 ? bits : bits >> (bits % 64));
        const std::string difference = compareWhole(number);
        if (!difference.empty()) {
            ADD_FAILURE() << difference;
            ++failures;
        }
    }
}

// Texts drawn from the characters that matter to "%lf", plus every double
// printed in the forms scripts and files hold.
TEST(NumberText, RandomTextsReadAsTheCLibraryReadsThem) {
    static const char kAlphabet[] = " \t+-.0123456789eExXpPaAfFinINty()";
    std::mt19937_64 random(kSeed);
    std::uniform_int_distribution<int> length(0, kMaxRandomTextLength);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kAlphabet) - 2);
    static const char* const kFormats[] = {"%.15g", "%.17g", "%.3e", "%a", "%.20f", "%g"};
    int failures = 0;
    for (int i = 0; i < kRandomTexts && failures < 10; ++i) {
        char text[64];
        if (i % 2) {
            const int n = length(random);
            for (int k = 0; k < n; ++k) text[k] = kAlphabet[pick(random)];
            text[n] = 0;
        } else {
            std::snprintf(text, sizeof text, kFormats[(i / 2) % std::size(kFormats)], fromBits(random()));
        }
        const std::string difference = compareParse(text);
        if (!difference.empty()) {
            ADD_FAILURE() << difference;
            ++failures;
        }
    }
}
