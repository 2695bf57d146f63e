// Events: binding handlers, passing events, and the call-in-progress flag that
// drops events passed while a property call runs.
#include "SobTestSupport.h"

using Sob = KvScriptableObject;

namespace {
// An object whose methods and setter pass events, to observe the flag from
// inside property calls.
class Emitter : public Probe {
public:
    Emitter() {
        sobAssignProperties();
        const KvMemberLink<Emitter> passNow(this, &Emitter::passNow);
        const KvMemberLink<Emitter> nested(this, &Emitter::passAroundNestedCall);
        const KvMemberLink<Emitter> setAndPass(this, &Emitter::setAndPass);
        const KvMemberLink<Emitter> readAndPass(this, &Emitter::readAndPass);
        sobAddMethodProperty("passNow", &passNow);
        sobAddMethodProperty("nested", &nested);
        sobAddDataProperty("loud", &setAndPass, &readAndPass);
    }
    Sob* other = nullptr;        // whose event passNow passes (this by default)
    std::vector<int> results;    // what each sobPass inside a call returned

private:
    const Sob* source() const { return other ? other : this; }
    void passNow() { results.push_back(source()->sobPass("ping")); }
    void passAroundNestedCall() {
        results.push_back(sobPass("ping"));
        sobPlay("default", Sob::kKvEndOfParameters);  // a nested call: clears the flag when it ends
        results.push_back(sobPass("ping"));
    }
    void setAndPass(const void*) { results.push_back(sobPass("ping")); }
    void readAndPass(const void* buffer) {
        results.push_back(sobPass("ping"));
        sobValueOut(buffer)[0] = '\0';
    }
};
}  // namespace

TEST(EventBinding, PassRunsTheBoundHandlerWithItsStoredArgument) {
    CallRecorder log;
    Probe p;
    p.sobAssignProperties();
    int stored = 0;
    const RecordingLink handler(&log, &stored);
    ASSERT_EQ(p.sobSet("ping", &handler, nullptr), 1);
    EXPECT_EQ(p.sobPass("ping"), 1);
    EXPECT_EQ(p.sobPass("ping"), 1);
    ASSERT_EQ(log.calls, 2);
    EXPECT_EQ(log.args[0], &stored);
}

TEST(EventBinding, TwoNullsUnbindAndRebindingReplacesTheOldLinks) {
    CallRecorder first, second;
    Probe p;
    p.sobAssignProperties();
    {
        const RecordingLink h(&first), c(&first);
        p.sobSet("ping", &h, &c);
    }
    {
        const RecordingLink h(&second);
        p.sobSet("ping", &h, nullptr);
    }
    EXPECT_EQ(first.deaths, 4);  // both stored clones of the first binding are gone
    EXPECT_EQ(p.sobPass("ping"), 1);
    EXPECT_EQ(second.calls, 1);
    ASSERT_EQ(p.sobSet("ping", nullptr, nullptr), 1);
    EXPECT_EQ(second.deaths, 2);
    EXPECT_EQ(p.sobPass("ping"), 0);
    EXPECT_EQ(Sob::lastPropertyError(), sobPropertyFailed);
    EXPECT_EQ(first.calls, 0);
}

// ---- the call-in-progress flag ----

class CallInProgress : public ::testing::Test {
protected:
    void SetUp() override {
        const RecordingLink h(&handlerLog);
        e.sobSet("ping", &h, nullptr);
    }
    CallRecorder handlerLog;
    Emitter e;
};

TEST_F(CallInProgress, EventPassedFromAMethodIsDroppedAndReportedFailed) {
    Sob::resetParameters();
    ASSERT_EQ(e.sobPlay("passNow", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(e.results, std::vector<int>{0});
    EXPECT_EQ(handlerLog.calls, 0);
    EXPECT_EQ(Sob::lastPropertyError(), sobPropertyFailed);
}

TEST_F(CallInProgress, EventOfAnotherObjectIsDroppedToo) {
    CallRecorder otherLog;
    Probe other;
    other.sobAssignProperties();
    const RecordingLink h(&otherLog);
    other.sobSet("ping", &h, nullptr);
    e.other = &other;
    e.sobPlay("passNow", Sob::kKvEndOfParameters);
    EXPECT_EQ(e.results, std::vector<int>{0});
    EXPECT_EQ(otherLog.calls, 0);
}

TEST_F(CallInProgress, EventPassedFromASetterIsDroppedButFromAGetterDelivered) {
    ASSERT_EQ(e.sobSet("loud", "1"), 1);
    ASSERT_NE(e.sobGet("loud"), nullptr);
    EXPECT_EQ(e.results, (std::vector<int>{0, 1}));
    EXPECT_EQ(handlerLog.calls, 1);
}

TEST_F(CallInProgress, NestedCallClearsThePlainFlagForTheRestOfTheOuterCall) {
    ASSERT_EQ(e.sobPlay("nested", Sob::kKvEndOfParameters), 1);
    EXPECT_EQ(e.results, (std::vector<int>{0, 1}));
    EXPECT_EQ(handlerLog.calls, 1);
    EXPECT_EQ(e.fallbackCalls, 1);
}

TEST_F(CallInProgress, FlagIsClearAfterTheCallEvenWhenItFailed) {
    e.sobPlay("passNow", Sob::kKvEndOfParameters);
    EXPECT_EQ(e.sobSet("id", "refused"), 0);  // runs the property, which refuses
    EXPECT_EQ(e.sobPass("ping"), 1);
    EXPECT_EQ(handlerLog.calls, 1);
}
