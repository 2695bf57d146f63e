// The call-in-progress flag that drops events passed while a method or setter
// runs (a getter may pass them); binding and passing are in scenarios/events.txt.
#include "SobTestSupport.h"

using Sob = KvScriptableObject;

namespace {
// An object whose methods and data property pass "ping" from inside the
// call (of another object when other is set), noting what each pass returned.
class Emitter : public Probe {
public:
    Emitter() {
        sobAssignProperties();
        const KvMemberLink<Emitter> passNow(this, &Emitter::passNow), nested(this, &Emitter::passAroundNestedCall);
        const KvMemberLink<Emitter> setAndPass(this, &Emitter::setAndPass), readAndPass(this, &Emitter::readAndPass);
        sobAddMethodProperty("passNow", &passNow);
        sobAddMethodProperty("nested", &nested);
        sobAddDataProperty("loud", &setAndPass, &readAndPass);
    }
    Sob* other = nullptr;
    std::vector<int> results;

private:
    void passNow() { results.push_back((other ? other : this)->sobPass("ping")); }
    void passAroundNestedCall() {
        results.push_back(sobPass("ping"));
        sobPlay("default", Sob::kKvEndOfParameters);  // clears the flag when it ends
        results.push_back(sobPass("ping"));
    }
    void setAndPass(const void*) { results.push_back(sobPass("ping")); }
    void readAndPass(const void* buffer) {
        results.push_back(sobPass("ping"));
        sobValueOut(buffer)[0] = '\0';
    }
};
}  // namespace

// Each row: the calls made, what the passes inside them returned, and how many
// reached a handler (this object's or, for "other", another's).
TEST(CallInProgress, EventsPassedInsideACallAreDroppedUntilItOrANestedCallEnds) {
    const struct {
        const char* what;
        bool otherObject;
        void (*calls)(Emitter&);
        std::vector<int> results;
        int delivered;
    } cases[] = {
        {"from a method", false, [](Emitter& e) { e.sobPlay("passNow", Sob::kKvEndOfParameters); }, {0}, 0},
        {"of another object", true, [](Emitter& e) { e.sobPlay("passNow", Sob::kKvEndOfParameters); }, {0}, 0},
        {"from a setter, then a getter", false, [](Emitter& e) { e.sobSet("loud", "1"), e.sobGet("loud"); }, {0, 1}, 1},
        {"around a nested call", false, [](Emitter& e) { e.sobPlay("nested", Sob::kKvEndOfParameters); }, {0, 1}, 1},
        {"after a failed call", false, [](Emitter& e) { e.sobPlay("passNow", Sob::kKvEndOfParameters), e.sobSet("id", "refused"), e.sobPass("ping"); }, {0}, 1},
    };
    for (const auto& c : cases) {
        CallRecorder log;
        const RecordingLink h(&log);
        Emitter e;
        Probe other;
        other.sobAssignProperties();
        if (c.otherObject) e.other = &other;
        e.other ? other.sobSet("ping", &h, nullptr) : e.sobSet("ping", &h, nullptr);
        c.calls(e);
        EXPECT_EQ(e.results, c.results) << c.what;
        EXPECT_EQ(log.calls, c.delivered) << c.what;
        if (c.delivered == 0) {
            EXPECT_EQ(Sob::lastPropertyError(), sobPropertyFailed) << c.what;
        }
    }
}
