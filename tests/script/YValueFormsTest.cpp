// Reading values and the forms that assignments give them; the tables in
// tables/assigned.txt, constants.txt and kinds.txt say what each text shows.
#include "ScriptTestSupport.h"
#include "TableFile.h"

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

// Assigned texts and constants show their text and form and read as the
// numbers their tables say.
TEST_F(ValueForms, AssignedTextsAndConstantsKeepTheirTextAndTakeTheirForm) {
    for (const char* table : {"assigned.txt", "constants.txt"}) {
        for (const auto& row : tableRows(table)) {
            const bool assigned = table[0] == 'a';
            YVariable* v = assigned ? assign("v", row[0].c_str()) : var(row[0].c_str());
            long number = -99;
            double real = -99;
            v->value(&number);
            v->value(&real);
            EXPECT_EQ(shown(v), row[1]) << row[0];
            EXPECT_EQ(number, std::stol(row[2])) << row[0];
            EXPECT_DOUBLE_EQ(real, std::stod(row[3])) << row[0];
            EXPECT_EQ(v->getKind(), assigned ? yvtVariable : yvtConstant) << row[0];
            if (assigned) {
                EXPECT_EQ(v->size(), static_cast<int>(row[0].size())) << row[0];
                EXPECT_TRUE(static_cast<int>(*v)) << row[0];
            }
        }
    }
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
    YVariable* v = var("n");
    const std::pair<double, const char*> cases[] = {{3.0, "3|long"}, {0.1, "0.1|double"}, {1.0 / 3.0, "0.333333333333333|double"},
                                                    {std::sqrt(2.0), "1.4142135623731|double"}, {1e20, "1e+20|double"},
                                                    {-2e9, "-2000000000|long"}, {2e9 + 1, "2000000001|double"},
                                                    {123456789012.0, "123456789012|double"}};
    for (const auto& [number, expected] : cases) {
        v->set(number);
        EXPECT_EQ(shown(v), expected + std::string("|a0|h0")) << number;
    }
    v->set(-42L);
    EXPECT_EQ(shown(v), "-42|long|a0|h0");
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
    for (const auto& row : tableRows("kinds.txt")) {
        YVariable* v = var(row[0].c_str());
        EXPECT_EQ(v->getKind(), std::stoi(row[1])) << row[0];
        EXPECT_EQ(v->size(), std::stoi(row[2])) << row[0];
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
