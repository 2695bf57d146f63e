// Arithmetic on numbers held steadily (plain variables and number literals)
// is computed without texts, and its result assigned without reading a text
// back. Both must give exactly what the text-by-text way gives: the same
// value text, error code, form and payload.
#include "ScriptTestSupport.h"
#include "TableFile.h"
#include "script/YNumberText.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kSeed = 20261206;
constexpr int kRandomExpressions = 3000;
constexpr int kMaxOperands = 6;

const char* const kValues[] = {"0",   "1",          "-1",   "2",       "3",    "7.5",   "-3.25", "0.1",
                               "0.2", "2000000000", "1e-5", "1e300",   "-0.5", "1000000", "4",  "0.0001"};
const char kOperators[] = "+-*/\\%^=#<>";

struct Twin {
    std::string steady;   // terms are variables and literals: the numeric way
    std::string general;  // the same numbers as quoted texts: the general way
};

// A random expression over the values, with some parenthesised groups.
Twin randomExpression(std::mt19937& random) {
    Twin twin;
    const auto add = [&twin](const std::string& steady, const std::string& general) {
        twin.steady += steady;
        twin.general += general;
    };
    const int n = 2 + static_cast<int>(random() % (kMaxOperands - 1));
    bool open = false;
    for (int i = 0; i < n; ++i) {
        const std::string symbol(1, kOperators[random() % std::strlen(kOperators)]);
        if (i > 0) add(symbol, symbol);
        if (!open && i < n - 1 && random() % 4 == 0) add("(", "("), open = true;
        const size_t v = random() % std::size(kValues);
        const char* value = kValues[v];
        // Half the terms are variables v0..v15; the other half literals where
        // the analyser keeps them whole (no sign, no exponent).
        const bool literal = random() % 4 < 2 && std::strpbrk(value, "-e") == nullptr;
        add(literal ? std::string(value) : "v" + std::to_string(v), std::string("'") + value + "'");
        if (open && random() % 4 == 0) add(")", ")"), open = false;
    }
    if (open) add(")", ")");
    return twin;
}

// An error makes an expression read as its own text, which differs between twins.
bool same(const std::pair<std::string, int>& steady, const std::pair<std::string, int>& general) {
    return steady.second == general.second && (general.second != yerrNone || steady.first == general.first);
}

class Arithmetic : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        for (int v = 0; v < static_cast<int>(std::size(kValues)); ++v)
            assign(("v" + std::to_string(v)).c_str(), kValues[v]);
    }
    // The value text and the error code left behind, after a stale error.
    std::pair<std::string, int> read(const std::string& source) {
        YVariable::setError(yerrNone);  // a set error stops the analysis
        YVariable* entry = expression(source.c_str());
        if (!entry) return {"<no entry>", -1};
        YVariable::setError(yerrUnquote);
        const std::string value = text(entry);
        return {value, YVariable::getError()};
    }
};

TEST_F(Arithmetic, RandomExpressionsOnVariablesReadAsOnQuotedNumbers) {
    std::mt19937 random(kSeed);
    int failures = 0;
    for (int i = 0; i < kRandomExpressions && failures < 10; ++i) {
        const Twin twin = randomExpression(random);
        const auto steady = read(twin.steady);
        const auto general = read(twin.general);
        if (!same(steady, general)) {
            ADD_FAILURE() << twin.steady << " gives " << steady.first << " (error " << steady.second << "), "
                          << twin.general << " gives " << general.first << " (error " << general.second << ")";
            ++failures;
        }
    }
}

// The general way's twin of an expression over v0..v15.
std::string quoted(const std::string& steady) {
    std::string general;
    for (size_t i = 0; i < steady.size(); ++i) {
        if (steady[i] != 'v') {
            general += steady[i];
            continue;
        }
        size_t end = i + 1;
        while (end < steady.size() && std::isdigit(static_cast<unsigned char>(steady[end]))) ++end;
        general += std::string("'") + kValues[std::stoi(steady.substr(i + 1, end - i - 1))] + "'";
        i = end - 1;
    }
    return general;
}

// Edges (tables/edges.txt) give what their quoted twins give, and exactly
// the value their row says.
TEST_F(Arithmetic, EdgeResultsReadAsOnQuotedNumbers) {
    for (const auto& row : tableRows("edges.txt")) {
        const auto steady = read(row[0]);
        EXPECT_TRUE(same(steady, read(quoted(row[0])))) << row[0];
        EXPECT_EQ(steady.second, std::stoi(row[2])) << row[0];
        EXPECT_EQ(row[1] == "any" ? row[1] : steady.first, row[1]) << row[0];
    }
}

// setArithmetic is set(text, -1) with the number's text, minus the reading.
TEST_F(Arithmetic, AssigningANumberEqualsAssigningItsText) {
    const double infinity = std::numeric_limits<double>::infinity();
    const double cases[] = {32, 0, -0.0, 7.5, 0.1 + 0.2, 1500000000, -1500000000, -999999999, 2000000000, 3e9, 1.0 / 3,
                            infinity, -infinity, std::nan(""), -2000000000, 1e21, 123456789012, -1e-300};
    for (const double number : cases) {
        YVariable* byNumber = var("byNumber");
        YVariable* byText = var("byText");
        // Both held an object and a handle: an assignment lets go of both.
        byNumber->set(new ScriptableProbe(2));
        byText->set(new ScriptableProbe(3));
        heap.getSobHandle("byNumber");
        heap.getSobHandle("byText");
        char digits[kYNumberTextSize];
        YHeapAccess::arithmeticText(number, digits);
        YHeapAccess::setArithmetic(byNumber, number);
        byText->set(digits, -1);
        EXPECT_EQ(shown(byNumber) + " " + std::to_string(byNumber->size()), shown(byText) + " " + std::to_string(byText->size()));
        long wholes[2] = {};
        double reals[2] = {};
        for (int k = 0; k < 2; ++k) (k ? byText : byNumber)->value(&wholes[k]), (k ? byText : byNumber)->value(&reals[k]);
        EXPECT_EQ(wholes[0], wholes[1]) << digits;
        EXPECT_EQ(std::memcmp(&reals[0], &reals[1], sizeof(double)), 0) << digits;
        // Read as a term, the number gives the same again.
        assign("copy", "");
        var("copy")->set(expression("byNumber+0"));
        EXPECT_EQ(text(var("copy")), text(expression("byText+0"))) << digits;
    }
}

// A number assigned by value (a loop counter) reads in arithmetic as its text does.
TEST_F(Arithmetic, ANumberAssignedByValueReadsAsItsText) {
    const long wholes[] = {7, -3, 0, 999999999, -999999999, 2000000000, -1500000000, 2147483647, -2147483648L};
    const double reals[] = {0.1 + 0.2, 1.0 / 3, -2.5, 1e300};
    // n minus its own text is 0 only when n reads as its text.
    const auto check = [this](const std::string& number) {
        const std::string quoted = "'" + text(var("n")) + "'";
        EXPECT_TRUE(same(read("n-" + quoted), read(quoted + "-" + quoted))) << number;
        EXPECT_TRUE(same(read("n*2"), read(quoted + "*2"))) << number;
    };
    for (const long number : wholes) var("n")->set(number), check(std::to_string(number));
    for (const double number : reals) var("n")->set(number), check(std::to_string(number));
}

// An expression decodes its code once, on its first evaluation (how it
// follows its terms is in golden/terms.mps); a code replaced by a record is
// decoded again.
TEST_F(Arithmetic, AnExpressionFollowsItsReplacedCode) {
    YVariable* sum = expression("v1-v3*v4");  // v1 = 1, v3 = 2, v4 = 3
    EXPECT_EQ(text(sum), "-5");
    const std::vector<unsigned char> product = recordOf(expression("v1*v3-v4"));
    const unsigned char* cursor = product.data();
    ASSERT_EQ(sum->read(cursor, cursor + product.size(), 0), 1);
    EXPECT_EQ(text(sum), "-1");
    assign("v1", "five");  // a text now: the general way
    EXPECT_EQ(text(sum), "v1*v3-v4");
    EXPECT_EQ(YVariable::getError(), yerrNotANumber);
}

}  // namespace
