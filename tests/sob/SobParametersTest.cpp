// The shared parameter list: its own copies of the texts, the end marker, and
// how sobPlay, sobSet, sobGet and creation by class name hand it on. The list
// lives only while a class is registered, hence the probe class fixture.
#include "SobTestSupport.h"

#include <functional>
#include <memory>

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
    EXPECT_STREQ(Sob::nextParameter(), "");
    EXPECT_EQ(pastEnd, "");
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "original");
}

// The end of a list is the marker, null, or any text whose first byte is 0x01;
// a list that starts with its end keeps the prepared parameters, read from the
// start even after a stray read.
TEST_F(ParameterList, PlayReplacesTheListUpToItsEnd) {
    const char otherMarker[] = "\x01trailing bytes";
    const char* const none = nullptr;
    const auto end = Sob::kKvEndOfParameters;
    const struct {
        std::function<int()> play;
        Texts collected;
    } cases[] = {
        {[&] { return p.sobPlay("collect", "x", "y", end); }, {"x", "y"}},
        {[&] { return p.sobPlay("collect", end); }, {"x", "y"}},
        {[&] { return p.sobPlay("collect", "a", otherMarker, "never read", end); }, {"a"}},
        {[&] { return p.sobPlay("collect", otherMarker); }, {"a"}},
        {[&] { return p.sobPlay("collect", "a", "b", none); }, {"a", "b"}},
        {[&] { return p.sobPlay("collect", none); }, {"a", "b"}},
    };
    setParameters({"stale1", "stale2", "stale3"});
    for (size_t i = 0; i < std::size(cases); ++i) {
        Sob::prepareParameters();
        Sob::nextParameter();
        EXPECT_EQ(cases[i].play(), 1) << i;
        EXPECT_EQ(p.collected, cases[i].collected) << i;
        EXPECT_EQ(p.collectedPastEnd, "") << i;
        EXPECT_EQ(Sob::countParameters(), static_cast<int>(cases[i].collected.size())) << i;
    }
    EXPECT_EQ(p.sobPlay("nope", "left", end), 0);  // filled even so
    Sob::prepareParameters();
    EXPECT_EQ(readAllParameters(), Texts{"left"});
    EXPECT_EQ(p.sobPlay(Sob::sobDefaultMethod, end) + p.sobPlay("default", end), 2);
    EXPECT_EQ(p.fallbackCalls, 2);
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

TEST_F(ParameterList, CreateHandsItsTextsOrThePreparedOnesToTheFactory) {
    std::unique_ptr<Sob> o(Sob::create("Probe", "10", "", "30", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, (Texts{"10", "", "30"}));
    setParameters({"prepared", "too"});
    o.reset(Sob::create("Probe", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, (Texts{"prepared", "too"}));
}
