// Evaluating expressions: arithmetic and its errors, texts and comparison,
// the unary operators (tables/evaluations.txt); a failed expression reads as
// its own text and leaves its error code (objects in expressions and the
// nesting limit are in tables/lifetimes.txt).
#include "ScriptTestSupport.h"
#include "TableFile.h"

TEST_F(ScriptTest, ExpressionsGiveTheirValueOrTheirOwnTextWithTheErrorCode) {
    const auto rows = tableRows("evaluations.txt");
    EXPECT_GT(rows.size(), 50u);
    for (const auto& row : rows) {
        YHeapAccess::reset();
        YVariable::setError(yerrNone);
        for (size_t k = 3; k < row.size(); ++k) assign(row[k].substr(0, row[k].find('=')).c_str(), row[k].substr(row[k].find('=') + 1).c_str());
        YVariable* entry = expression(row[0].c_str());
        ASSERT_NE(entry, nullptr) << row[0];
        ASSERT_EQ(YVariable::getError(), yerrNone) << row[0] << ": analysis failed";
        EXPECT_EQ(text(entry), row[1] == "own" ? row[0] : row[1]);
        EXPECT_EQ(YVariable::getError(), std::stoi(row[2])) << row[0];
    }
}

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
    ASSERT_TRUE(sum && failing);
    // The right operand fails first; the left one and the sum are not applied.
    EXPECT_EQ(text(failing), "(1/2+x)+7%0");
    EXPECT_EQ(YVariable::getError(), yerrZeroDivisor);
    // The code stays set (an analysis now would fail) until the next evaluation clears it.
    EXPECT_STREQ(heap.polish("2+2"), "");
    EXPECT_EQ(text(sum), "2");
    EXPECT_EQ(YVariable::getError(), yerrNone);
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
    for (int i = 0; i < 3; ++i) EXPECT_EQ(evaluate("w+'-'+w|1|100"), longText + "-" + longText.substr(0, 100)) << i;
}
