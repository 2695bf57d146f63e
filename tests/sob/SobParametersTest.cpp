// The shared parameter list: filling it, the end marker, and how sobPlay,
// sobSet, sobGet and creation by class name hand it to their consumers.
#include "SobTestSupport.h"

#include <memory>

using Sob = KvScriptableObject;

namespace {
std::unique_ptr<Probe> assignedProbe() {
    auto p = std::make_unique<Probe>();
    p->sobAssignProperties();
    return p;
}
}  // namespace

using ParameterList = WithProbeClass;

// Its own copies of the texts (null stored as ""), in order, then "" for ever.
TEST_F(ParameterList, ComesOutInOrderThenEmptyTextForever) {
    char text[] = "original";
    Sob::resetParameters();
    Sob::addParameter(text);
    Sob::addParameter(nullptr);
    Sob::addParameter("c");
    text[0] = 'X';
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "original");
    EXPECT_STREQ(Sob::nextParameter(), "");
    EXPECT_STREQ(Sob::nextParameter(), "c");
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(Sob::nextParameter(), "");
    EXPECT_EQ(Sob::countParameters(), 3);
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "original");  // a rewind starts over
}

// ---- sobPlay ----

TEST_F(ParameterList, PlayWithOnlyTheEndMarkerUsesThePreparedParameters) {
    auto p = assignedProbe();
    setParameters({"one", "two"});
    Sob::prepareParameters();
    Sob::nextParameter();  // a stray read: the library rewinds before the action
    ASSERT_EQ(p->sobPlay("collect", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(p->collected, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(p->collectedPastEnd, "");
}

TEST_F(ParameterList, PlayWithTextsReplacesEarlierParameters) {
    auto p = assignedProbe();
    setParameters({"stale1", "stale2", "stale3"});
    ASSERT_EQ(p->sobPlay("collect", "x", "y", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(p->collected, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(Sob::countParameters(), 2);
}

// The end of a list is any text whose first byte is 0x01, wherever it lives.
TEST_F(ParameterList, EndMarkerIsRecognisedByItsFirstByte) {
    auto p = assignedProbe();
    const char otherMarker[] = "\x01trailing bytes";
    ASSERT_NE(static_cast<const char*>(otherMarker), Sob::kKvEndOfParameters);
    ASSERT_EQ(p->sobPlay("collect", "a", otherMarker, "never read", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(p->collected, (std::vector<std::string>{"a"}));

    setParameters({"kept"});
    ASSERT_EQ(p->sobPlay("collect", otherMarker), 1);  // as first argument: list untouched
    EXPECT_EQ(p->collected, (std::vector<std::string>{"kept"}));
}

TEST_F(ParameterList, NullEndsAListLikeTheMarker) {
    auto p = assignedProbe();
    ASSERT_EQ(p->sobPlay("collect", "a", "b", static_cast<const char*>(nullptr)), 1);
    EXPECT_EQ(p->collected, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(p->sobPlay("collect", static_cast<const char*>(nullptr)), 1);
    EXPECT_EQ(p->collected, (std::vector<std::string>{"a", "b"}));
}

TEST_F(ParameterList, DefaultMethodIsNamedDefault) {
    auto p = assignedProbe();
    EXPECT_EQ(p->sobPlay(Sob::sobDefaultMethod, Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(p->sobPlay("default", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(p->fallbackCalls, 2);
}

TEST_F(ParameterList, PlayFillsTheListEvenWhenTheMethodIsUnknown) {
    auto p = assignedProbe();
    EXPECT_EQ(p->sobPlay("nope", "left", Sob::kKvEndOfParameters), 0);
    Sob::prepareParameters();
    EXPECT_STREQ(Sob::nextParameter(), "left");
}

// ---- sobSet and sobGet rewind for their consumers ----

TEST_F(ParameterList, SetterAndGetterReadExtraParametersFromTheStart) {
    std::vector<std::string> seen;
    const KvFunctionLink reader([&](const void*) {
        seen.push_back("call");
        seen.push_back(Sob::nextParameter());
        seen.push_back(Sob::nextParameter());
    });
    Probe p;
    p.sobAddDataProperty("d", &reader, &reader);
    setParameters({"p1", "p2"});
    Sob::prepareParameters();
    Sob::nextParameter();
    Sob::nextParameter();
    ASSERT_EQ(p.sobSet("d", "v"), 1);
    ASSERT_NE(p.sobGet("d"), nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"call", "p1", "p2", "call", "p1", "p2"}));
}

// ---- creation by class name ----

TEST_F(ParameterList, CreateHandsItsTextsOrThePreparedOnesToTheFactory) {
    std::unique_ptr<Sob> p(Sob::create("Probe", "10", "", "30", Sob::kKvEndOfParameters));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<Probe*>(p.get())->creationParameters, (std::vector<std::string>{"10", "", "30"}));
    setParameters({"prepared", "too"});
    std::unique_ptr<Sob> o(Sob::create("Probe", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<Probe*>(o.get())->creationParameters, (std::vector<std::string>{"prepared", "too"}));
}
