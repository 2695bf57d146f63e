// The expression analyser: the Polish code and terms of each form, and its
// errors.
#include "ScriptTestSupport.h"

namespace {

struct Analysis {
    const char* text;
    const char* code;  // read forward from the code cursor
    std::vector<std::string> terms;
};

void PrintTo(const Analysis& a, std::ostream* os) { *os << a.text; }

class Analyses : public ScriptTest, public ::testing::WithParamInterface<Analysis> {};

TEST_P(Analyses, GiveTheirCodeAndTerms) {
    const Analysis& c = GetParam();
    const char* code = heap.polish(c.text);
    EXPECT_EQ(YVariable::getError(), yerrNone);
    EXPECT_STREQ(code, c.code);
    int count = 0;
    const uint16_t* terms = YHeap::getTerms(count);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(heap[terms[i]]->getName());
    EXPECT_EQ(names, c.terms);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Analyses,
    ::testing::Values(Analysis{"a+b*c", "s+s*ttt", {"a", "b", "c"}},        // multiplies first
                      Analysis{"a-b-c", "s-ts-tt", {"a", "b", "c"}},        // (a-b)-c
                      Analysis{"a*b+c", "s+ts*tt", {"a", "b", "c"}},
                      Analysis{"(a+b)*c", "s*ts+tt", {"a", "b", "c"}},      // the parenthesised part first
                      Analysis{"-a", "s-tz", {"a"}},                        // 0 minus a
                      Analysis{"+a", "s+tz", {"a"}},
                      Analysis{"~a", "s~t", {"a"}},                         // a unary operator has no "z"
                      Analysis{"a+~b", "s+s~tt", {"a", "b"}},
                      Analysis{"$a@b", "s@ts$t", {"a", "b"}},
                      Analysis{"a+", "t", {"a"}},                           // a trailing operator is dropped
                      Analysis{"a+b*", "s+tt", {"a", "b"}},
                      Analysis{"a", "t", {"a"}},
                      Analysis{"((a))", "t", {"a"}},
                      Analysis{"a=b#c<d>e", "s>ts<ts#ts=tt", {"a", "b", "c", "d", "e"}},
                      Analysis{"a^b\\c%d/e", "s/ts%ts\\ts^tt", {"a", "b", "c", "d", "e"}},
                      Analysis{"\"a+b\"+c", "s+tt", {"\"a+b\"", "c"}},     // operators inside quotes do not split
                      Analysis{"'x(y)'+z", "s+tt", {"'x(y)'", "z"}},
                      Analysis{"s|2+t|1|2", "s+tt", {"s|2", "t|1|2"}},
                      Analysis{"ball.i*2", "s*tt", {"ball.i", "2"}}),
    [](const ::testing::TestParamInfo<Analysis>& info) { return "case" + std::to_string(info.index); });

struct Failure {
    std::string text;
    int error;
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.text.substr(0, 40); }

class Failures : public ScriptTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(Failures, SetTheErrorCodeAndLeaveAnEmptyCode) {
    const Failure& c = GetParam();
    const char* code = heap.polish(c.text.c_str(), static_cast<int>(c.text.size()));
    EXPECT_EQ(YVariable::getError(), c.error);
    EXPECT_STREQ(code, "");
}

std::string sumOfTerms(int count) {
    std::string text = "a0";
    for (int i = 1; i < count; ++i) text += "+a" + std::to_string(i);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, Failures,
    ::testing::Values(Failure{"a++b", yerrMissingOperand}, Failure{"--a", yerrMissingOperand},
                      Failure{"~~a", yerrMissingOperand}, Failure{"(a", yerrUnbalanced}, Failure{"a)", yerrUnbalanced},
                      Failure{"a)+(b", yerrUnbalanced}, Failure{"'a", yerrUnbalanced}, Failure{"\"a'", yerrUnbalanced},
                      Failure{"(a)b", yerrUnbalanced},
                      Failure{"'x(y'+z", yerrUnbalanced},  // parentheses count inside quotes too
                      Failure{"a+()", yerrMissingOperand},
                      Failure{"+", yerrMissingOperand}, Failure{"a+-", yerrMissingOperand}, Failure{"", yerrLength},
                      Failure{std::string(1024, 'a'), yerrLength}, Failure{sumOfTerms(44), yerrTooComplex}),
    [](const ::testing::TestParamInfo<Failure>& info) { return "case" + std::to_string(info.index); });

}  // namespace

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

TEST_F(ScriptTest, A1023CharacterTextIsAnalysed) {
    const std::string word(1023, 'w');
    EXPECT_STREQ(heap.polish(word.c_str()), "t");
    EXPECT_EQ(YVariable::getError(), yerrNone);
}

TEST_F(ScriptTest, TheAnalyserReadsOnlyTheBytesItIsGiven) {
    const char* line = "a+b c+d";
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
