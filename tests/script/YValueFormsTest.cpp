// Reading values and the forms that assignments give them; the tables in
// tables/assigned.txt, constants.txt and kinds.txt say what each text shows
// (numbers set by value and assignments refused are in tables/lifetimes.txt).
#include "ScriptTestSupport.h"
#include "TableFile.h"

#include <set>

using ValueForms = ScriptTest;

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

TEST_F(ValueForms, TheKindIsDerivedFromTheName) {
    for (const auto& row : tableRows("kinds.txt")) {
        YVariable* v = var(row[0].c_str());
        EXPECT_EQ(v->getKind(), std::stoi(row[1])) << row[0];
        EXPECT_EQ(v->size(), std::stoi(row[2])) << row[0];
    }
}

