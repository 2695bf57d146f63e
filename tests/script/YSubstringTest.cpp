// Substring forms: s|a (from position a), s|a|n (n characters from a),
// s||n (the last n characters). Positions count from 1.
#include "ScriptTestSupport.h"

namespace {

struct Cut {
    const char* form;
    const char* value;
};

class Substrings : public ScriptTest, public ::testing::WithParamInterface<Cut> {};

TEST_P(Substrings, CutTheTextOfTheirFirstOperand) {
    assign("s", "abcdef");
    assign("i", "2");
    assign("n", "3");
    YVariable* form = var(GetParam().form);
    ASSERT_EQ(form->getKind(), yvtSubstring);
    EXPECT_EQ(text(form), GetParam().value);
    char buffer[kYValueBufferSize];
    EXPECT_EQ(form->value(buffer), 0);
    EXPECT_STREQ(buffer, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Forms, Substrings,
                         ::testing::Values(Cut{"s|3", "cdef"}, Cut{"s|3|2", "cd"}, Cut{"s||2", "ef"}, Cut{"s|9", ""},
                                           Cut{"s|0|2", "ab"}, Cut{"s|5|9", "ef"}, Cut{"s|1", "abcdef"},
                                           Cut{"s|0", "abcdef"}, Cut{"s|-4", "abcdef"}, Cut{"s|6", "f"},
                                           Cut{"s|7", ""}, Cut{"s|2|0", ""}, Cut{"s|2|-1", ""}, Cut{"s|7|2", ""},
                                           Cut{"s||9", "abcdef"}, Cut{"s||0", ""}, Cut{"s|i|n", "bcd"},
                                           Cut{"s||n", "def"}, Cut{"s|2.6", "cdef"}, Cut{"'hello'|2|3", "ell"},
                                           Cut{"unset|3", "set"}),
                         [](const ::testing::TestParamInfo<Cut>& info) { return "case" + std::to_string(info.index); });

}  // namespace

TEST_F(ScriptTest, ASubstringFormKeepsItsOperandsAsEntries) {
    YVariable* form = var("s|i|n");
    int count = 0;
    const uint16_t* parts = form->getParts(count);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(form->size(), 2);
    EXPECT_STREQ(heap[parts[0]]->getName(), "s");
    EXPECT_STREQ(heap[parts[1]]->getName(), "i");
    EXPECT_STREQ(heap[parts[2]]->getName(), "n");

    YVariable* last = var("t||k");
    parts = last->getParts(count);
    EXPECT_EQ(parts[1], kYNoPart);
    EXPECT_STREQ(heap[parts[2]]->getName(), "k");

    YVariable* one = var("u|a");
    parts = one->getParts(count);
    EXPECT_EQ(one->size(), 1);
    EXPECT_STREQ(heap[parts[1]]->getName(), "a");
}

TEST_F(ScriptTest, BarsAfterTheSecondBelongToTheLastOperand) {
    assign("s", "abcdef");
    YVariable* form = var("s|2|s|3");
    int count = 0;
    const uint16_t* parts = form->getParts(count);
    YVariable* lastOperand = heap[parts[2]];
    EXPECT_STREQ(lastOperand->getName(), "s|3");
    EXPECT_EQ(lastOperand->getKind(), yvtSubstring);
    // n is the number of "cdef", which is 0: nothing is taken.
    EXPECT_EQ(text(form), "");
}

TEST_F(ScriptTest, ASubstringInsideAnExpression) {
    assign("s", "abcdef");
    EXPECT_EQ(evaluate("s|2|2+s||1"), "bcf");
    EXPECT_EQ(evaluate("~s|3"), "4");
}
