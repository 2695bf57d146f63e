// Substring forms: s|a (from position a), s|a|n (n characters from a),
// s||n (the last n characters). Positions count from 1; the operands are
// entries of their own, bars after the second belonging to the last.
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

TEST_F(ScriptTest, ASubstringFormKeepsItsOperandsAsEntries) {
    const struct {
        const char* form;
        int size;
        std::vector<std::string> parts;  // "-": no part
    } cases[] = {
        {"s|i|n", 2, {"s", "i", "n"}}, {"t||k", 2, {"t", "-", "k"}}, {"u|a", 1, {"u", "a", "-"}}, {"s|2|s|3", 2, {"s", "2", "s|3"}},
    };
    for (const auto& c : cases) {
        YVariable* form = var(c.form);
        int count = 0;
        const uint16_t* parts = form->getParts(count);
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) names.push_back(parts[i] == kYNoPart ? "-" : heap[parts[i]]->getName());
        EXPECT_EQ(form->size(), c.size) << c.form;
        EXPECT_EQ(names, c.parts) << c.form;
    }
    int count = 0;
    EXPECT_EQ(heap[var("s|2|s|3")->getParts(count)[2]]->getKind(), yvtSubstring);
}
