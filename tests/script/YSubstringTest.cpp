// Substring forms: s|a (from position a), s|a|n (n characters from a),
// s||n (the last n characters). Positions count from 1; the operands are
// entries of their own (tables/lifetimes.txt shows which).
#include "ScriptTestSupport.h"
#include "TableFile.h"

TEST_F(ScriptTest, SubstringFormsCutTheTextOfTheirFirstOperand) {
    assign("s", "abcdef");
    assign("i", "2");
    assign("n", "3");
    for (const auto& row : tableRows("substrings.txt")) {
        YVariable* form = var(row[0].c_str());
        ASSERT_EQ(form->getKind(), yvtSubstring) << row[0];
        EXPECT_EQ(text(form), row[1]) << row[0];
        char buffer[kYValueBufferSize];
        EXPECT_EQ(form->value(buffer), 0) << row[0];
        EXPECT_EQ(buffer, row[1]) << row[0];
    }
    EXPECT_EQ(evaluate("s|2|2+s||1"), "bcf");
    EXPECT_EQ(evaluate("~s|3"), "4");
}
