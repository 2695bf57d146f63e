// The property table, the error codes of property operations and the shared
// value buffer. Link lifetimes are counted in deaths: the caller's own link
// dies once, and each clone the library stored dies once more when it goes.
#include "SobTestSupport.h"

#include <cstring>
#include <functional>

using Sob = KvScriptableObject;

// ---- the table ----

TEST(PropertyTable, ANewObjectHasOnlyTheBornEventAndAddedOnesFollowInOrder) {
    Probe p;
    EXPECT_EQ(p.table(), std::vector<std::string>{"born:1"});
    EXPECT_EQ(p.isA(), nullptr);
    p.sobAssignProperties();
    EXPECT_EQ(p.table(), (std::vector<std::string>{"born:1", "label:0", "id:0", "collect:2", "default:2",
                                                   "fire:2", "hold:2", "fail:2", "ping:1", "pong:1"}));
}

// Same name, any kind: the old property and its stored links go, the new one
// goes to the end (the born event too).
TEST(PropertyTable, ReplacementMovesToTheEndAndDeletesTheOldLinks) {
    CallRecorder oldLinks, handler, newAction;
    Probe b;
    {
        const RecordingLink l(&oldLinks), h(&handler), a(&newAction);
        b.sobAddDataProperty("x", &l, &l);
        b.sobAddEventProperty("later");
        b.sobSet("later", &h, &h);
        ASSERT_EQ(oldLinks.deaths, 0);
        b.sobAddMethodProperty("x", &a);
        b.sobAddEventProperty("later");
        b.sobAddEventProperty("born");
    }
    EXPECT_EQ(b.table(), (std::vector<std::string>{"x:2", "later:1", "born:1"}));
    EXPECT_EQ(oldLinks.deaths, 3);
    EXPECT_EQ(handler.deaths, 3);
    EXPECT_EQ(newAction.deaths, 1);  // the stored clone lives on
    EXPECT_EQ(b.sobPlay("x", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(newAction.calls, 1);
    EXPECT_EQ(b.sobPass("later"), 0);
}

TEST(PropertyTable, RemoveAndDestructionDeleteEveryStoredLink) {
    CallRecorder action, links;
    {
        Probe b;
        const RecordingLink a(&action), l(&links);
        b.sobAddMethodProperty(&a);
        b.sobRemoveProperty("default");
        EXPECT_EQ(action.deaths, 1);
        b.sobRemoveProperty("born");
        EXPECT_TRUE(b.table().empty());
        b.sobRemoveProperty("born");
        EXPECT_EQ(Sob::lastPropertyError(), sobNoSuchProperty);
        b.sobAddDataProperty("d", &l, &l);
        b.sobAddMethodProperty("m", &l);
        b.sobAddEventProperty("e");
        b.sobSet("e", &l, &l);
        b.sobSetSyncLink(&l);
        EXPECT_EQ(links.deaths, 0);
    }
    EXPECT_EQ(links.deaths, 1 + 2 + 1 + 2 + 1);
    EXPECT_EQ(links.calls + action.calls, 0);
}

TEST(PropertyTable, AddedLinksAreClonedNotRetargeted) {
    CallRecorder log;
    Probe b;
    RecordingLink l(&log);
    int elsewhere = 0;
    l.setTarget(&elsewhere);
    b.sobAddMethodProperty("m", &l);
    b.sobPlay("m", Sob::kKvEndOfParameters);
    EXPECT_EQ(log.targets, std::vector<void*>{&elsewhere});
}

// ---- error codes ----

// Each failing call with the code it leaves; the codes alternate so that a
// call that forgot to write its own is caught. Success leaves the code alone.
TEST(PropertyErrors, EachFailureRecordsItsCodeAndSuccessNone) {
    Probe p;
    p.sobAssignProperties();
    CallRecorder log;
    const RecordingLink h(&log);
    const auto end = Sob::kKvEndOfParameters;
    const struct {
        const char* what;
        std::function<bool()> expectedResult;  // the call returned what it should
        KvSOBPropertyError code;
    } cases[] = {
        {"set unknown", [&] { return p.sobSet("nope", "1") == 0; }, sobNoSuchProperty},
        {"play a method without action", [&] { return p.sobPlay("fail", end) == 0; }, sobPropertyFailed},
        {"set in another letter case", [&] { return p.sobSet("Label", "x") == 0; }, sobNoSuchProperty},
        {"set born", [&] { return p.sobSet("born", "1") == 0; }, sobPropertyFailed},
        {"succeed", [&] { return p.sobSet("label", "6") == 1 && p.sobPlay("collect", end) == 1; }, sobPropertyFailed},
        {"bind unknown", [&] { return p.sobSet("nope", &h, nullptr) == 0; }, sobNoSuchProperty},
        {"set method", [&] { return p.sobSet("collect", "1") == 0; }, sobPropertyFailed},
        {"bind a data name", [&] { return p.sobSet("label", &h, nullptr) == 0; }, sobNoSuchProperty},
        {"set read-only", [&] { return p.sobSet("id", "1") == 0; }, sobPropertyFailed},
        {"get event", [&] { return p.sobGet("ping") == nullptr; }, sobNoSuchProperty},
        {"set null value", [&] { return p.sobSet("label", nullptr) == 0; }, sobPropertyFailed},
        {"get method", [&] { return p.sobGet("collect") == nullptr; }, sobNoSuchProperty},
        {"pass unbound", [&] { return p.sobPass("ping") == 0; }, sobPropertyFailed},
        {"play unknown", [&] { return p.sobPlay("nope", end) == 0; }, sobNoSuchProperty},
        {"play a data name", [&] { return p.sobPlay("label", end) == 0; }, sobNoSuchProperty},
        {"pass unknown", [&] { return p.sobPass("nope") == 0; }, sobNoSuchProperty},
        {"pass a method name", [&] { return p.sobPass("collect") == 0; }, sobNoSuchProperty},
        {"get null name", [&] { return p.sobGet(nullptr) == nullptr; }, sobNoSuchProperty},
        {"succeed", [&] { return p.sobSet("label", "7") == 1 && p.sobPlay("collect", end) == 1; }, sobNoSuchProperty},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(c.expectedResult()) << c.what;
        EXPECT_EQ(Sob::lastPropertyError(), c.code) << c.what;
    }
    EXPECT_EQ(log.calls, 0);
    EXPECT_STREQ(p.sobGet("label"), "7");
}

// ---- the shared value buffer ----

// One buffer serves every read; a property without a getter returns it as the
// last read left it.
TEST(ValueBuffer, EveryReadReturnsTheSameBufferWithNewContents) {
    Probe a(1), b(2);
    a.sobAssignProperties();
    b.sobAssignProperties();
    b.sobAddDataProperty("sink", nullptr, nullptr);
    a.sobSet("label", "first");
    const char* one = a.sobGet("label");
    ASSERT_STREQ(one, "first");
    EXPECT_EQ(b.sobGet("id"), one);
    EXPECT_STREQ(one, "2");
    EXPECT_EQ(b.sobGet("sink"), one);
    EXPECT_STREQ(one, "2");
}

// A getter that fills the whole buffer without a terminator still gives a
// text of 1023 characters.
TEST(ValueBuffer, GetterOutputIsCutToTheBuffer) {
    Probe b;
    const KvFunctionLink filler([](const void* buffer) { std::memset(Sob::sobValueOut(buffer), 'z', kKvSobValueBufferSize); });
    b.sobAddDataProperty("long", nullptr, &filler);
    const char* v = b.sobGet("long");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::strlen(v), static_cast<std::size_t>(kKvSobValueBufferSize - 1));
    EXPECT_EQ(v[0], 'z');
}

TEST(ValueBuffer, GetterReceivesTheBufferAndSetterTheValue) {
    CallRecorder setter, getter;
    Probe b;
    const RecordingLink s(&setter), g(&getter);
    b.sobAddDataProperty("d", &s, &g);
    const char* text = "42";
    ASSERT_EQ(b.sobSet("d", text), 1);
    const char* v = b.sobGet("d");
    EXPECT_EQ(setter.args, std::vector<const void*>{text});
    EXPECT_EQ(getter.args, std::vector<const void*>{v});
}
