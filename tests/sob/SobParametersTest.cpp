// The shared parameter list: its own copies of the texts, the end marker, and
// how sobPlay, sobSet, sobGet and creation by class name hand it on. The list
// lives only while a class is registered, hence the probe class fixture.
#include "SobTestSupport.h"


using Sob = KvScriptableObject;

namespace {
class ParameterList : public WithProbeClass {
protected:
    void SetUp() override {
        WithProbeClass::SetUp();
        p.sobAssignProperties();
    }
    Probe p;
};
using Texts = std::vector<std::string>;
}  // namespace

// Null is stored as "", and past the end every read gives "" until a rewind.
TEST_F(ParameterList, ComesOutInOrderThenEmptyTextForever) {
    char text[] = "original";
    setParameters({text, nullptr, "c"});
    text[0] = 'X';
    Sob::prepareParameters();
    std::string pastEnd;
    EXPECT_EQ(readAllParameters(&pastEnd), (Texts{"original", "", "c"}));
    EXPECT_EQ(pastEnd + Sob::nextParameter(), "");
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "original");
}

// (How sobPlay and creation hand the list on is in scenarios/parameters.txt.)
TEST_F(ParameterList, TheDefaultMethodAnswersToItsName) {
    const int played = p.sobPlay(Sob::sobDefaultMethod, Sob::kKvEndOfParameters) + p.sobPlay("default", Sob::kKvEndOfParameters);
    EXPECT_EQ(std::pair(played, p.fallbackCalls), std::pair(2, 2));
}

TEST_F(ParameterList, SetterAndGetterReadExtraParametersFromTheStart) {
    Texts seen;
    const KvFunctionLink reader([&](const void*) {
        seen.push_back(std::string("call ") + Sob::nextParameter());
        seen.back() += Sob::nextParameter();
    });
    p.sobAddDataProperty("d", &reader, &reader);
    setParameters({"p1", "p2"});
    Sob::prepareParameters();
    Sob::nextParameter();
    Sob::nextParameter();
    ASSERT_EQ(p.sobSet("d", "v"), 1);
    ASSERT_NE(p.sobGet("d"), nullptr);
    EXPECT_EQ(seen, (Texts{"call p1p2", "call p1p2"}));
}
