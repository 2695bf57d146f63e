// The expression analyser: the Polish code and the terms of each form
// (tables/analyses.txt), and its errors, which leave an empty code.
#include "ScriptTestSupport.h"
#include "TableFile.h"

namespace {

std::string sumOfTerms(int count) {
    std::string text = "a0";
    for (int i = 1; i < count; ++i) text += "+a" + std::to_string(i);
    return text;
}

}  // namespace

TEST_F(ScriptTest, AnalysesGiveTheirCodeAndTerms) {
    for (const auto& row : tableRows("analyses.txt")) {
        YVariable::setError(yerrNone);
        EXPECT_STREQ(heap.polish(row[0].c_str()), row[1].c_str()) << row[0];
        EXPECT_EQ(YVariable::getError(), yerrNone) << row[0];
        int count = 0;
        const uint16_t* terms = YHeap::getTerms(count);
        std::string names;
        for (int i = 0; i < count; ++i) names += (i ? " " : "") + std::string(heap[terms[i]]->getName());
        EXPECT_EQ(names, row[2]) << row[0];
    }
}

TEST_F(ScriptTest, AnalysesThatFailSetTheErrorCodeAndLeaveAnEmptyCode) {
    const auto rows = tableRows("refusals.txt");
    EXPECT_EQ(rows.size(), 16u);
    for (const auto& row : rows) {
        YVariable::setError(yerrNone);
        EXPECT_STREQ(heap.polish(row[0].c_str(), static_cast<int>(row[0].size())), "") << row[0].substr(0, 40);
        EXPECT_EQ(YVariable::getError(), std::stoi(row[1])) << row[0].substr(0, 40);
    }
    YVariable::setError(yerrNone);
    EXPECT_STREQ(heap.polish(std::string(1023, 'w').c_str()), "t");
}

// Sums of every length up to the longest code (43 terms and 42 operators:
// 127 bytes) analyse and evaluate; each entry keeps as many parts as terms.
TEST_F(ScriptTest, SumsOfUpTo43TermsEvaluate) {
    for (int i = 0; i < 43; ++i) assign(("a" + std::to_string(i)).c_str(), std::to_string(i).c_str());
    for (int terms = 1; terms <= 43; ++terms) {
        const std::string source = sumOfTerms(terms);
        const char* code = heap.polish(source.c_str());
        ASSERT_EQ(YVariable::getError(), yerrNone) << terms;
        EXPECT_EQ(std::strlen(code), static_cast<size_t>(3 * terms - 2)) << terms;
        YVariable* sum = terms == 1 ? var("a0") : expression(source.c_str());
        EXPECT_EQ(text(sum), std::to_string(terms * (terms - 1) / 2)) << terms;
        int count = 0;
        if (terms > 1) sum->getParts(count);
        EXPECT_EQ(count, terms > 1 ? terms : 0) << terms;
    }
}

TEST_F(ScriptTest, TheAnalyserReadsOnlyTheBytesItIsGiven) {
    const char* line = "a+b*c+d";  // the byte after the last given is an operator
    EXPECT_STREQ(heap.polish(line, 3), "s+tt");
    EXPECT_STREQ(heap.polish(line, line + 2), "s+tt");  // from first to last inclusive
    int count = 0;
    const uint16_t* terms = YHeap::getTerms(count);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(heap[terms[1]]->getName(), "b");
}

TEST_F(ScriptTest, AnExpressionEntryTakesOverTheCodeAndTerms) {
    heap.polish("a*b+c");
    YVariable* entry = heap[YHeapAccess::pile("a*b+c", 5, yvtExpression)];
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->getKind(), yvtExpression);
    EXPECT_EQ(entry->size(), 3);
    int count = 0;
    const uint16_t* parts = entry->getParts(count);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(heap[parts[0]]->getName(), "a");
    EXPECT_STREQ(heap[parts[2]]->getName(), "c");
    // Found again by kind and name, not made twice.
    EXPECT_EQ(YHeapAccess::pile("a*b+c", 5, yvtExpression), heap.index("a*b+c", 5));
}
