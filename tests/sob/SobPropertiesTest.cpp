// The property table, the error codes of property operations and the shared
// value buffer.
#include "SobTestSupport.h"

#include <cstring>
#include <functional>

namespace {
// A bare object: only what the constructor gives it (the event "born").
using Bare = ScriptableProbe;
}  // namespace

// ---- the table ----

TEST(PropertyTable, ANewObjectHasOnlyTheBornEventAndAddedOnesFollowInOrder) {
    Probe p;
    EXPECT_EQ(p.table(), std::vector<std::string>{"born:1"});
    EXPECT_EQ(p.isA(), nullptr);
    EXPECT_EQ(p.sobGetClientData(), nullptr);
    p.sobAssignProperties();
    EXPECT_EQ(p.table(), (std::vector<std::string>{"born:1", "label:0", "id:0", "collect:2", "default:2",
                                                   "fire:2", "hold:2", "fail:2", "ping:1", "pong:1"}));
}

TEST(PropertyTable, ReplacementMovesToTheEndAndDeletesTheOldLinks) {
    CallRecorder oldSetter, oldGetter, newAction;
    Bare b;
    {
        const RecordingLink s(&oldSetter), g(&oldGetter);
        b.sobAddDataProperty("x", &s, &g);
        b.sobAddEventProperty("later");
    }
    ASSERT_EQ(oldSetter.deaths, 1);  // only the caller's own link died so far
    ASSERT_EQ(oldGetter.deaths, 1);
    {
        const RecordingLink a(&newAction);
        b.sobAddMethodProperty("x", &a);  // same name, other kind: still a replacement
    }
    EXPECT_EQ(b.table(), (std::vector<std::string>{"born:1", "later:1", "x:2"}));
    EXPECT_EQ(oldSetter.deaths, 2);  // the stored clones went with the old property
    EXPECT_EQ(oldGetter.deaths, 2);
    EXPECT_EQ(newAction.deaths, 1);  // the new clone lives on
    EXPECT_EQ(b.sobPlay("x", KvScriptableObject::kKvEndOfParameters), 1);
    EXPECT_EQ(newAction.calls, 1);
}

TEST(PropertyTable, ReplacingTheBornEventMovesItToo) {
    Bare b;
    b.sobAddEventProperty("a");
    b.sobAddEventProperty("born");
    EXPECT_EQ(b.table(), (std::vector<std::string>{"a:1", "born:1"}));
}

TEST(PropertyTable, ReplacedEventDeletesHandlerAndCloneLink) {
    CallRecorder handler, cloneLink;
    Bare b;
    b.sobAddEventProperty("e");
    {
        const RecordingLink h(&handler), c(&cloneLink);
        ASSERT_EQ(b.sobSet("e", &h, &c), 1);
    }
    b.sobAddEventProperty("e");
    EXPECT_EQ(handler.deaths, 2);
    EXPECT_EQ(cloneLink.deaths, 2);
}

TEST(PropertyTable, RemoveDeletesAnyKindAndReportsUnknownNames) {
    CallRecorder action;
    Bare b;
    {
        const RecordingLink a(&action);
        b.sobAddMethodProperty(&a);
    }
    b.sobRemoveProperty("default");
    EXPECT_EQ(action.deaths, 2);
    b.sobRemoveProperty("born");
    EXPECT_TRUE(b.table().empty());
    b.sobRemoveProperty("born");
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobNoSuchProperty);
}

TEST(PropertyTable, DestroyingTheObjectDeletesEveryLinkAndTheSyncLink) {
    CallRecorder links;
    {
        Bare b;
        const RecordingLink l(&links);
        b.sobAddDataProperty("d", &l, &l);
        b.sobAddMethodProperty("m", &l);
        b.sobAddEventProperty("e");
        b.sobSet("e", &l, &l);
        b.sobSetSyncLink(&l);
    }
    EXPECT_EQ(links.deaths, 1 + 2 + 1 + 2 + 1);  // the original, then every stored clone
    EXPECT_EQ(links.calls, 0);
}

TEST(PropertyTable, AddedLinksAreClonedNotRetargeted) {
    CallRecorder log;
    Bare b;
    RecordingLink l(&log);
    int elsewhere = 0;
    l.setTarget(&elsewhere);
    b.sobAddMethodProperty("m", &l);
    b.sobPlay("m", KvScriptableObject::kKvEndOfParameters);
    ASSERT_EQ(log.targets.size(), 1u);
    EXPECT_EQ(log.targets[0], &elsewhere);
}

// ---- error codes ----

// Each failing call with the code it leaves; every call starts from a
// different code so that a call that forgot to write it is caught.
TEST(PropertyErrors, EachFailureRecordsItsCode) {
    Probe p;
    p.sobAssignProperties();
    CallRecorder log;
    const RecordingLink h(&log);
    struct Case {
        const char* what;
        std::function<bool()> call;  // true when the result is the failure value
        KvSOBPropertyError code;
    };
    const std::vector<Case> cases = {
        {"set unknown", [&] { return p.sobSet("nope", "1") == 0; }, sobNoSuchProperty},
        {"play a method without action", [&] { return p.sobPlay("fail", KvScriptableObject::kKvEndOfParameters) == 0; },
         sobPropertyFailed},
        {"set in another letter case", [&] { return p.sobSet("Label", "x") == 0; }, sobNoSuchProperty},
        {"set born", [&] { return p.sobSet("born", "1") == 0; }, sobPropertyFailed},
        {"bind unknown", [&] { return p.sobSet("nope", &h, nullptr) == 0; }, sobNoSuchProperty},
        {"set method", [&] { return p.sobSet("collect", "1") == 0; }, sobPropertyFailed},
        {"bind a data name", [&] { return p.sobSet("label", &h, nullptr) == 0; }, sobNoSuchProperty},
        {"set read-only", [&] { return p.sobSet("id", "1") == 0; }, sobPropertyFailed},
        {"get event", [&] { return p.sobGet("ping") == nullptr; }, sobNoSuchProperty},
        {"set null value", [&] { return p.sobSet("label", nullptr) == 0; }, sobPropertyFailed},
        {"get method", [&] { return p.sobGet("collect") == nullptr; }, sobNoSuchProperty},
        {"pass unbound", [&] { return p.sobPass("ping") == 0; }, sobPropertyFailed},
        {"play unknown", [&] { return p.sobPlay("nope", KvScriptableObject::kKvEndOfParameters) == 0; },
         sobNoSuchProperty},
        {"play a data name", [&] { return p.sobPlay("label", KvScriptableObject::kKvEndOfParameters) == 0; },
         sobNoSuchProperty},
        {"pass unknown", [&] { return p.sobPass("nope") == 0; }, sobNoSuchProperty},
        {"pass a method name", [&] { return p.sobPass("collect") == 0; }, sobNoSuchProperty},
        {"get null name", [&] { return p.sobGet(nullptr) == nullptr; }, sobNoSuchProperty},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.call()) << c.what;
        EXPECT_EQ(KvScriptableObject::lastPropertyError(), c.code) << c.what;
    }
    EXPECT_EQ(log.calls, 0);
}

TEST(PropertyErrors, SuccessLeavesTheLastCodeAlone) {
    Probe p;
    p.sobAssignProperties();
    ASSERT_EQ(p.sobSet("born", "1"), 0);
    ASSERT_EQ(KvScriptableObject::lastPropertyError(), sobPropertyFailed);
    EXPECT_EQ(p.sobSet("label", "7"), 1);
    EXPECT_STREQ(p.sobGet("label"), "7");
    EXPECT_EQ(p.sobPlay("collect", KvScriptableObject::kKvEndOfParameters), 1);
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobPropertyFailed);
    ASSERT_EQ(p.sobSet("nope", "1"), 0);
    EXPECT_EQ(p.sobSet("label", "8"), 1);
    EXPECT_EQ(KvScriptableObject::lastPropertyError(), sobNoSuchProperty);
}

// ---- the shared value buffer ----

TEST(ValueBuffer, EveryReadReturnsTheSameBufferWithNewContents) {
    Probe a(1), b(2);
    a.sobAssignProperties();
    b.sobAssignProperties();
    a.sobSet("label", "first");
    const char* one = a.sobGet("label");
    ASSERT_STREQ(one, "first");
    const char* two = b.sobGet("id");
    EXPECT_EQ(one, two);
    EXPECT_STREQ(one, "2");  // the first text is gone
}

TEST(ValueBuffer, PropertyWithoutGetterReturnsTheBufferUnchanged) {
    Probe p(5);
    p.sobAssignProperties();
    p.sobAddDataProperty("sink", nullptr, nullptr);
    const char* id = p.sobGet("id");
    ASSERT_STREQ(id, "5");
    const char* sink = p.sobGet("sink");
    EXPECT_EQ(sink, id);
    EXPECT_STREQ(sink, "5");
}

TEST(ValueBuffer, GetterOutputIsCutToTheBuffer) {
    // A getter that fills the whole buffer without a terminator still gives a
    // text of 1023 characters.
    Bare b;
    const KvFunctionLink filler([](const void* buffer) {
        std::memset(KvScriptableObject::sobValueOut(buffer), 'z', kKvSobValueBufferSize);
    });
    b.sobAddDataProperty("long", nullptr, &filler);
    const char* v = b.sobGet("long");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::strlen(v), static_cast<std::size_t>(kKvSobValueBufferSize - 1));
    EXPECT_EQ(v[0], 'z');
}

TEST(ValueBuffer, GetterReceivesTheBufferAndSetterTheValue) {
    CallRecorder setter, getter;
    Bare b;
    const RecordingLink s(&setter), g(&getter);
    b.sobAddDataProperty("d", &s, &g);
    const char* text = "42";
    ASSERT_EQ(b.sobSet("d", text), 1);
    const char* v = b.sobGet("d");
    ASSERT_EQ(setter.args.size(), 1u);
    EXPECT_EQ(setter.args[0], text);
    ASSERT_EQ(getter.args.size(), 1u);
    EXPECT_EQ(getter.args[0], v);
}
