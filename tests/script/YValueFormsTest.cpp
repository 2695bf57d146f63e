// Reading values and the forms that assignments give them.
#include "ScriptTestSupport.h"

#include <cmath>
#include <set>

using ValueForms = ScriptTest;

TEST_F(ValueForms, AnUnassignedVariableReadsAsItsOwnName) {
    YVariable* v = var("colour");
    EXPECT_EQ(text(v), "colour");
    EXPECT_EQ(v->getForm(), yvsNone);
    EXPECT_TRUE(!*v);
    long number = 9;
    v->value(&number);
    EXPECT_EQ(number, 0);
    double real = 9.0;
    EXPECT_STREQ(v->value(&real), "colour");
    EXPECT_EQ(real, 0.0);
}

struct AssignedText {
    const char* text;
    YVS form;
    long asLong;
    double asDouble;
};

class AssignedTexts : public ScriptTest, public ::testing::WithParamInterface<AssignedText> {};

// The stored text never changes; the form and the numbers follow from it as
// "%lf" reads it, with the reduction to a long for whole values.
TEST_P(AssignedTexts, KeepTheirTextAndTakeTheirForm) {
    const AssignedText& c = GetParam();
    YVariable* v = assign("v", c.text);
    EXPECT_EQ(text(v), c.text);
    EXPECT_EQ(v->getForm(), c.form);
    EXPECT_EQ(v->size(), static_cast<int>(std::strlen(c.text)));
    long number = -99;
    v->value(&number);
    EXPECT_EQ(number, c.asLong);
    double real = -99;
    v->value(&real);
    EXPECT_DOUBLE_EQ(real, c.asDouble);
    EXPECT_TRUE(static_cast<int>(*v));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AssignedTexts,
    ::testing::Values(AssignedText{"12", yvsLong, 12, 12}, AssignedText{"007", yvsLong, 7, 7},
                      AssignedText{"abc", yvsText, 0, 0}, AssignedText{"3.0", yvsLong, 3, 3},
                      AssignedText{"2.5", yvsDouble, 2, 2.5}, AssignedText{"2.6", yvsDouble, 3, 2.6},
                      AssignedText{"-2.5", yvsDouble, -3, -2.5}, AssignedText{"1e3", yvsLong, 1000, 1000},
                      AssignedText{"100ergs", yvsLong, 100, 100}, AssignedText{"-", yvsLong, 0, 0},
                      AssignedText{"+.", yvsLong, 0, 0}, AssignedText{"0x10", yvsLong, 16, 16},
                      AssignedText{"2000000000", yvsLong, 2000000000, 2e9},
                      AssignedText{"2000000001", yvsDouble, 2000000001, 2000000001.0},
                      AssignedText{"12345678901", yvsDouble, INT32_MAX, 12345678901.0},
                      AssignedText{"1.00000000", yvsLong, 1, 1}, AssignedText{"1.000000000", yvsDouble, 1, 1},
                      AssignedText{"", yvsText, 0, 0}, AssignedText{" 5", yvsText, 0, 0}));

TEST_F(ValueForms, NumberLiteralsReadAsWrittenAndReduceOnlyUpToTenCharacters) {
    YVariable* three = var("3.0");
    EXPECT_EQ(three->getKind(), yvtConstant);
    EXPECT_EQ(three->getForm(), yvsLong);
    EXPECT_EQ(text(three), "3.0");

    YVariable* longer = var("3.00000000000");
    EXPECT_EQ(longer->getForm(), yvsDouble);
    EXPECT_EQ(text(longer), "3.00000000000");
    double real = 0;
    longer->value(&real);
    EXPECT_EQ(real, 3.0);

    YVariable* notANumber = var("-x");
    EXPECT_EQ(notANumber->getKind(), yvtConstant);
    long number = 5;
    notANumber->value(&number);
    EXPECT_EQ(number, 0);
}

TEST_F(ValueForms, QuotedConstantsReadWithoutTheirQuotes) {
    EXPECT_EQ(text(var("\"hello world\"")), "hello world");
    EXPECT_EQ(text(var("'it''s'")), "it''s");
    YVariable* quoted = var("'12'");
    EXPECT_EQ(quoted->getKind(), yvtConstant);
    EXPECT_EQ(quoted->getForm(), yvsText);
    long number = 5;
    quoted->value(&number);
    EXPECT_EQ(number, 0);  // a text constant is no number by itself
}

TEST_F(ValueForms, AQuestionMarkNameGivesANewRandomDigitEachTime) {
    YVariable* dice = var("?dice");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        char buffer[kYValueBufferSize];
        EXPECT_EQ(dice->value(buffer), -1);
        ASSERT_EQ(std::strlen(buffer), 1u);
        ASSERT_TRUE(buffer[0] >= '0' && buffer[0] <= '9');
        seen.insert(buffer);
    }
    EXPECT_GT(seen.size(), 1u);
}

TEST_F(ValueForms, TwoValueBuffersAreUsedInTurn) {
    YVariable* a = var("'first'");
    YVariable* b = var("'second'");
    int length = 0;
    const char* one = a->value(length);
    const char* two = b->value(length);
    EXPECT_NE(one, two);
    EXPECT_STREQ(one, "first");  // two results are held at once
    EXPECT_STREQ(two, "second");
    const char* three = a->value(length);
    EXPECT_EQ(three, one);  // the third read reuses the first buffer
}

TEST_F(ValueForms, NumbersSetByValueArePrintedWithLdAndPoint15g) {
    struct Case {
        double number;
        const char* text;
        YVS form;
    } cases[] = {{3.0, "3", yvsLong},
                 {0.1, "0.1", yvsDouble},
                 {1.0 / 3.0, "0.333333333333333", yvsDouble},
                 {std::sqrt(2.0), "1.4142135623731", yvsDouble},
                 {1e20, "1e+20", yvsDouble},
                 {-2e9, "-2000000000", yvsLong},
                 {2e9 + 1, "2000000001", yvsDouble},
                 {123456789012.0, "123456789012", yvsDouble}};
    YVariable* v = var("n");
    for (const Case& c : cases) {
        v->set(c.number);
        EXPECT_EQ(text(v), c.text) << c.number;
        EXPECT_EQ(v->getForm(), c.form) << c.number;
    }
    v->set(-42L);
    EXPECT_EQ(text(v), "-42");
    EXPECT_EQ(v->getForm(), yvsLong);
}

TEST_F(ValueForms, ClearingWithoutATextFollowsTheLength) {
    YVariable* v = assign("v", "007");
    v->set(nullptr, -1);  // re-make the text of the number
    EXPECT_EQ(text(v), "7");
    v->set(nullptr, -2);
    EXPECT_EQ(v->getForm(), yvsNone);
    EXPECT_EQ(text(v), "v");
    EXPECT_EQ(v->size(), -1);

    assign("v", "words");
    v->drop(0);
    EXPECT_EQ(text(v), "v");
}

TEST_F(ValueForms, ValuesAreCutAt1023Characters) {
    const std::string longText(2000, 'x');
    YVariable* v = assign("v", longText.c_str());
    EXPECT_EQ(v->size(), kYMaxValueLength);
    EXPECT_EQ(text(v), longText.substr(0, kYMaxValueLength));

    v->set(longText.c_str(), 5);  // an explicit length takes exactly that many bytes
    EXPECT_EQ(text(v), "xxxxx");

    const std::string longName(1500, 'n');
    YVariable* unassigned = var(longName.c_str());
    EXPECT_EQ(text(unassigned), longName.substr(0, kYMaxValueLength));
}

TEST_F(ValueForms, AssignmentsToEntriesOtherThanPlainVariablesAreIgnored) {
    YVariable* constant = var("42");
    constant->set("7", -1);
    constant->set(7L);
    constant->set(7.5);
    EXPECT_EQ(text(constant), "42");
    YVariable* path = var("ball.x");
    ASSERT_EQ(path->getKind(), yvtPath);
    path->set("7", -1);
    EXPECT_EQ(path->getForm(), yvsNone);
}

TEST_F(ValueForms, TheKindIsDerivedFromTheName) {
    struct Case {
        const char* name;
        YVT kind;
        int size;
    } cases[] = {{"x", yvtVariable, -1},        {"x.1", yvtVariable, -1}, {"x.1.-2", yvtVariable, -1},
                 {"ball.i", yvtPath, 1},        {"a.b.c", yvtPath, 2},   {"a.1.c", yvtPath, 2},
                 {"s|2", yvtSubstring, 1},      {"s|2|3", yvtSubstring, 2}, {"s||3", yvtSubstring, 2},
                 {"12", yvtConstant, 2},        {".5", yvtConstant, 2},  {"\"q\"", yvtConstant, 3},
                 {"'q'", yvtConstant, 3},       {"?r", yvtConstant, 2}};
    for (const Case& c : cases) {
        YVariable* v = var(c.name);
        EXPECT_EQ(v->getKind(), c.kind) << c.name;
        EXPECT_EQ(v->size(), c.size) << c.name;
    }
}

TEST_F(ValueForms, ANameWithMoreThan32FullStopsIsNotSplitIntoAPath) {
    std::string name = "h";
    for (int i = 0; i < kYMaxPathStops; ++i) name += ".p";
    EXPECT_EQ(var(name.c_str())->getKind(), yvtPath);
    name += ".p";
    YVariable* tooMany = var(name.c_str());
    EXPECT_EQ(tooMany->getKind(), yvtVariable);
    tooMany->set("kept", -1);
    EXPECT_EQ(text(tooMany), "kept");
}
