// Evaluating expressions: arithmetic and its errors, texts and comparison,
// the unary operators.
#include "ScriptTestSupport.h"

#include <utility>

namespace {

struct Evaluation {
    const char* expression;
    const char* value;  // null: the expression's own text (an error)
    int error;
    std::vector<std::pair<const char*, const char*>> variables = {};
};

void PrintTo(const Evaluation& e, std::ostream* os) { *os << e.expression; }

class Evaluations : public ScriptTest, public ::testing::WithParamInterface<Evaluation> {};

TEST_P(Evaluations, GiveTheirValueOrTheirOwnTextWithTheErrorCode) {
    const Evaluation& c = GetParam();
    for (const auto& [name, value] : c.variables) assign(name, value);
    YVariable* entry = expression(c.expression);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(YVariable::getError(), yerrNone) << "analysis failed";
    EXPECT_EQ(text(entry), c.value ? c.value : c.expression);
    EXPECT_EQ(YVariable::getError(), c.error);
}

// Numbers are printed with "%ld" when whole, "%.15g" otherwise.
INSTANTIATE_TEST_SUITE_P(
    Arithmetic, Evaluations,
    ::testing::Values(Evaluation{"7/2", "3.5", 0}, Evaluation{"6/2", "3", 0}, Evaluation{"1/3", "0.333333333333333", 0},
                      Evaluation{"2^0.5", "1.4142135623731", 0}, Evaluation{"2^10", "1024", 0},
                      Evaluation{"(-8)^(1/3)", nullptr, yerrDomain}, Evaluation{"(-8)^3", "-512", 0},
                      Evaluation{"7\\2", "3", 0}, Evaluation{"m\\2", "-3", 0, {{"m", "-7"}}},
                      Evaluation{"m%2", "-1", 0, {{"m", "-7"}}},
                      Evaluation{"7.9\\2.9", "3", 0}, Evaluation{"7%0", nullptr, yerrZeroDivisor},
                      Evaluation{"7\\0.5", nullptr, yerrZeroDivisor}, Evaluation{"1/0.00001", nullptr, yerrDomain},
                      Evaluation{"1/0.001", "1000", 0}, Evaluation{"0.1+0.2", "0.3", 0}, Evaluation{"3.5+1.5", "5", 0},
                      Evaluation{"a-b-c", "5", 0, {{"a", "10"}, {"b", "3"}, {"c", "2"}}},
                      Evaluation{"a+b*c", "16", 0, {{"a", "10"}, {"b", "3"}, {"c", "2"}}},
                      Evaluation{"(a+b)*c", "26", 0, {{"a", "10"}, {"b", "3"}, {"c", "2"}}},
                      Evaluation{"-5", "-5", 0}, Evaluation{"-a+1", "-9", 0, {{"a", "10"}}},
                      Evaluation{"7%0+1", nullptr, yerrZeroDivisor}, Evaluation{"x-1", nullptr, yerrNotANumber},
                      Evaluation{"x*2", nullptr, yerrNotANumber, {{"x", "ten"}}},
                      Evaluation{"x^2", nullptr, yerrNotANumber, {{"x", "ten"}}},
                      Evaluation{"big*big", "4e+18", 0, {{"big", "2000000000"}}}));

INSTANTIATE_TEST_SUITE_P(
    TextsAndComparison, Evaluations,
    ::testing::Values(Evaluation{"x+y", "abcd", 0, {{"x", "ab"}, {"y", "cd"}}}, Evaluation{"b@abc", "2", 0},
                      Evaluation{"x@abc", "0", 0}, Evaluation{"abc=ABC", "0", 0}, Evaluation{"abc=abc", "1", 0},
                      Evaluation{"abc#ABC", "1", 0}, Evaluation{"10=10.0", "1", 0}, Evaluation{"'10'=10.0", "1", 0},
                      Evaluation{"'1'+'2'", "3", 0}, Evaluation{"'a'+'b'", "ab", 0}, Evaluation{"'1'+'b'", "1b", 0},
                      Evaluation{"apple<banana", "1", 0}, Evaluation{"apple>banana", "0", 0},
                      Evaluation{"ab<abc", "1", 0}, Evaluation{"10<9", "0", 0}, Evaluation{"'10'<'9'", "0", 0},
                      Evaluation{"`10<`9", "1", 0}, Evaluation{"12@3124", "2", 0}, Evaluation{"9@x", "0", 0},
                      // Equal operands are neither before nor after each other.
                      Evaluation{"7>7", "0", 0}, Evaluation{"7<7", "0", 0}, Evaluation{"8>7", "1", 0},
                      Evaluation{"b>b", "0", 0}, Evaluation{"b<b", "0", 0}, Evaluation{"b>a", "1", 0}));

INSTANTIATE_TEST_SUITE_P(
    Unary, Evaluations,
    ::testing::Values(Evaluation{"~h", "5", 0, {{"h", "hello"}}}, Evaluation{"~four", "4", 0},
                      Evaluation{"~n", "3", 0, {{"n", "007"}}}, Evaluation{"~n+1", "4", 0, {{"n", "007"}}},
                      Evaluation{"$e", "6", 0, {{"e", "2*3"}}},
                      Evaluation{"$v", "hi", 0, {{"v", "w"}, {"w", "hi"}}},
                      Evaluation{"$e+1", "9", 0, {{"e", "(1+3)*2"}}},
                      Evaluation{"$e", nullptr, yerrMissingOperand, {{"e", "1++2"}}},
                      Evaluation{"$e", nullptr, yerrZeroDivisor, {{"e", "1%0"}}}, Evaluation{"`n", "7", 0, {{"n", "7"}}},
                      Evaluation{"n=7", "1", 0, {{"n", "7.0"}}}, Evaluation{"`n=7", "0", 0, {{"n", "7.0"}}}));

}  // namespace

TEST_F(ScriptTest, AConcatenationOf1024CharactersOrMoreFails) {
    assign("x", std::string(600, 'x').c_str());
    assign("y", std::string(423, 'y').c_str());
    EXPECT_EQ(evaluate("x+y"), std::string(600, 'x') + std::string(423, 'y'));
    EXPECT_EQ(YVariable::getError(), yerrNone);
    assign("y", std::string(424, 'y').c_str());
    EXPECT_EQ(evaluate("x+y"), "x+y");
    EXPECT_EQ(YVariable::getError(), yerrLength);
}

TEST_F(ScriptTest, OnceAnErrorIsSetFurtherOperatorsDoNothing) {
    YVariable* sum = expression("1+1");
    YVariable* failing = expression("(1/2+x)+7%0");
    ASSERT_NE(sum, nullptr);
    ASSERT_NE(failing, nullptr);
    // The right operand fails first; the left one and the sum are not applied.
    EXPECT_EQ(text(failing), "(1/2+x)+7%0");
    EXPECT_EQ(YVariable::getError(), yerrZeroDivisor);
    // The code stays set (an analysis now would fail) until the next evaluation clears it.
    EXPECT_STREQ(heap.polish("2+2"), "");
    EXPECT_EQ(text(sum), "2");
    EXPECT_EQ(YVariable::getError(), yerrNone);
}

TEST_F(ScriptTest, ResultsOfArithmeticAreReducedToLongs) {
    YVariable* whole = expression("6/2");
    EXPECT_EQ(text(whole), "3");
    YVariable* target = var("t");
    target->set(whole);
    EXPECT_EQ(target->getForm(), yvsLong);
    target->set(expression("7/2"));
    EXPECT_EQ(target->getForm(), yvsDouble);
}

TEST_F(ScriptTest, ObjectsInExpressions) {
    heap.pile("one", new ScriptableProbe(1));
    heap.pile("two", new ScriptableProbe(2));
    EXPECT_EQ(evaluate("one+two"), "0");
    EXPECT_EQ(evaluate("one=two"), "0");
    EXPECT_EQ(evaluate("~one"), "0");
    EXPECT_EQ(evaluate("`one"), "0");
    // With a text, an object takes part through its marker text.
    EXPECT_EQ(evaluate("one+'x'"), std::string(1, kYObjectMarker) + "x");
    EXPECT_EQ(ScriptableProbe::alive, 2);  // reading never copies or deletes
}

TEST_F(ScriptTest, AnExpressionThatEvaluatesItselfStopsAtTheNestingLimit) {
    assign("x", "$x");
    YVariable* entry = expression("$x");
    EXPECT_EQ(text(entry), "$x");
    EXPECT_EQ(YVariable::getError(), yerrTooDeep);
}

// An operand is the value its text gives: a number set by value takes part
// with the digits it prints, not the digits it was computed with.
TEST_F(ScriptTest, NumbersSetByValueTakePartThroughTheirText) {
    var("third")->set(1.0 / 3.0);
    EXPECT_EQ(evaluate("third*3"), "0.999999999999999");
    var("big")->set(3000000000L);
    EXPECT_EQ(evaluate("big+1"), "3000000001");
    var("n")->set(-1500000000L);
    EXPECT_EQ(evaluate("n-1"), "-1500000001");
    EXPECT_EQ(evaluate("~n"), "11");
}

// Evaluations reuse their value buffers: a long text made and read again
// many times stays whole.
TEST_F(ScriptTest, RepeatedTextResultsStayWhole) {
    const std::string longText(600, 'w');
    assign("w", longText.c_str());
    const std::string expected = longText + "-" + longText.substr(0, 100);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(evaluate("w+'-'+w|1|100"), expected) << i;
}
