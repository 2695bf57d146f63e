// Number texts against the C library: every text made must be the one
// snprintf makes with "%.15g" or "%ld", and every text read must give what
// sscanf with "%lf" gives (same acceptance, same bits). Random cases use a
// fixed seed so that a failure repeats.
#include "script/YNumberText.h"
#include "tests/script/TableFile.h"

#include <gtest/gtest.h>

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
template <typename Number, typename Format>
std::string compareMade(Number number, const char* cFormat, Format format) {
    char expected[64];
    std::snprintf(expected, sizeof expected, cFormat, number);
    char made[kYNumberTextSize];
    const int length = format(number, made);
    if (std::strcmp(expected, made) == 0 && length == static_cast<int>(std::strlen(made))) return {};
    return std::string(cFormat) + " gives " + expected + ", we give " + made;
}
std::string compareReal(double number) { return compareMade(number, "%.15g", YNumberText::formatReal); }
std::string compareWhole(long number) { return compareMade(number, "%ld", YNumberText::formatWhole); }

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

TEST(NumberText, EdgeTextsReadAndPrintAsTheCLibraryDoes) {
    for (const auto& row : tableRows("numbers.txt")) {
        const std::string text = row[0].substr(1, row[0].size() - 2);
        EXPECT_EQ(compareParse(text.c_str()), "") << text;
        double number = 0;
        if (std::sscanf(referenceText(text.c_str()).c_str(), "%lf", &number) == 1) {
            EXPECT_EQ(compareReal(number), "") << text;
        }
    }
    for (const long number : {0L, 1L, -1L, 9L, 10L, -10L, long{INT32_MAX}, long{INT32_MIN}, LONG_MAX, LONG_MIN, 2000000000L, -2000000000L})
        EXPECT_EQ(compareWhole(number), "") << number;
}

// Runs count random cases, stopping after ten differences.
template <typename Case>
void randomCases(int count, Case check) {
    std::mt19937_64 random(kSeed);
    int failures = 0;
    for (int i = 0; i < count && failures < 10; ++i) {
        const std::string difference = check(random, i);
        if (!difference.empty()) {
            ADD_FAILURE() << difference;
            ++failures;
        }
    }
}

// Random bit patterns cover every exponent, denormals, inf and nan; random
// short decimals cover the values scripts actually compute with.
TEST(NumberText, RandomNumbersPrintAsTheCLibraryPrintsThem) {
    randomCases(kRandomReals, [](std::mt19937_64& random, int i) {
        if (i % 2 == 0) return compareReal(fromBits(random()));
        const double scale = std::pow(10.0, static_cast<int>(random() % 17) - 7);
        return compareReal(std::round(static_cast<double>(random() % 100000000) * scale) / 1000.0);
    });
    // Alternate full-width wholes with ones of a random bit length.
    randomCases(kRandomWholes, [](std::mt19937_64& random, int i) {
        const uint64_t bits = random();
        return compareWhole(static_cast<long>(i % 2 ? bits : bits >> (bits % 64)));
    });
}

// Texts drawn from the characters that matter to "%lf", plus every double
// printed in the forms scripts and files hold.
TEST(NumberText, RandomTextsReadAsTheCLibraryReadsThem) {
    static const char kAlphabet[] = " \t+-.0123456789eExXpPaAfFinINty()";
    static const char* const kFormats[] = {"%.15g", "%.17g", "%.3e", "%a", "%.20f", "%g"};
    randomCases(kRandomTexts, [](std::mt19937_64& random, int i) {
        char text[64];
        if (i % 2) {
            const int n = static_cast<int>(random() % (kMaxRandomTextLength + 1));
            for (int k = 0; k < n; ++k) text[k] = kAlphabet[random() % (sizeof kAlphabet - 1)];
            text[n] = 0;
        } else {
            std::snprintf(text, sizeof text, kFormats[(i / 2) % std::size(kFormats)], fromBits(random()));
        }
        return compareParse(text);
    });
}
