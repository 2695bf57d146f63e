// Scheduling: turns, aging ticks against the virtual clock, timers, pause,
// the host's operations and links, script switches and method parameters
// (the run-time limits are in golden/limits.mps and golden/looplimit.mps).
// Counts of passes here are exact: one statement per pass when yielding.
#include "tests/script/ThreadTestSupport.h"

#include <algorithm>
#include <functional>

namespace {

class Scheduler : public ThreadTest {
protected:
    long lines() const {
        const std::string text = debug();
        return std::count(text.begin(), text.end(), '\n');
    }
    // A link that counts its calls.
    struct Counter {
        int calls = 0;
        KvFunctionLink link{[this](const void*) { ++calls; }};
    };
};

TEST_F(Scheduler, TwoYieldingThreadsTakeTurnsOneStatementEach) {
    write("a.mps", "say a1\nsay a2\nsay a3\nwait\n");
    write("b.mps", "say b1\nsay b2\nwait\n");
    YThread a("a.mps");
    YThread b("b.mps");
    EXPECT_EQ(YThread::getCurrent(), &a);
    a.go();
    b.go();
    passes(1);
    EXPECT_EQ(debug(), "a1\nb1\n");
    passes(5);
    EXPECT_EQ(debug(), "a1\nb1\na2\nb2\na3\n");
}

// Under "yield off" a turn runs on to the wait, unless a host's watch ends
// it where it says; then the turn goes on from the next statement.
TEST_F(Scheduler, YieldOffRunsOnUntilWaitOrTheHostsWatch) {
    auto thread = start("yield off\nfor i 1 50\n  say i\nwait\nsay never\n");
    passes(1);
    EXPECT_EQ(lines(), 50);
    EXPECT_EQ(thread->getYield(), kYTurnCannotRun);
    passes(10);
    EXPECT_EQ(lines(), 50);
    thread.reset();
    std::remove("debug.txt");

    static int watched = 0;
    const YThread::StatementWatch previous = YThread::setStatementWatch([] { return ++watched % 10 == 0; });
    thread = start("yield off\nfor i 1 50\n  say i\nwait\n");
    passes(1);
    const long firstTurn = lines();
    passes(20);
    YThread::setStatementWatch(previous);
    EXPECT_GT(firstTurn, 0);
    EXPECT_LT(firstTurn, 10);
    EXPECT_EQ(lines(), 50);
    EXPECT_EQ(debug().substr(0, 4), "1\n2\n");
}

TEST_F(Scheduler, YieldOnAndOffSetTheTurnStateAndCallTheYieldLink) {
    Counter yields;
    write("y.mps", "yield off\nyield on\nyield x\ntick\ntick\nwait\n");
    YThread thread("y.mps");
    thread.setYieldLink(&yields.link);
    EXPECT_EQ(thread.isFirstYieldOn(), 1);
    thread.go();
    passes(1);
    EXPECT_EQ(thread.getYield(), kYTurnYield);  // yield off, then on in the same turn
    EXPECT_EQ(thread.isFirstYieldOn(), 0);
    EXPECT_EQ(yields.calls, 2);
    passes(1);
    EXPECT_EQ(yields.calls, 3);
    EXPECT_EQ(ticks, 2) << "x is not two characters long: the turn ran on to the wait";
}

// A timer of n fires after 10n-1 aging ticks; an aging tick comes once more
// than 100 ms have gone since the last, not on every pass.
TEST_F(Scheduler, TimersFireAfterTheirAgingTicks) {
    const struct {
        const char* timers;
        unsigned long msPerPass;
        std::vector<std::pair<int, int>> passesThenTicks;
    } cases[] = {
        {"schedule 2 p", 101, {{19, 0}, {1, 1}, {100, 1}}},  // every pass after the first is a tick; once
        {"schedule 2 p", 50, {{3 * 19 - 2, 0}, {3, 1}}},
        {"idle 2 p", 101, {{20, 1}, {19, 2}, {10, 2}, {-1, 2}, {18, 2}, {1, 3}}},  // -1: activity
        {"idle 0 p\nschedule 0 p\nidle 1 p\ndrop idle", 101, {{200, 0}}},  // zero changes nothing
    };
    for (const auto& c : cases) {
        backend.setStepPerPass(c.msPerPass);
        auto thread = start(std::string(c.timers) + "\nwait\nprocedure p\n  tick\n");
        for (const auto& [count, expected] : c.passesThenTicks) {
            if (count < 0) YThread::resetIdle();
            passes(std::max(count, 0));
            EXPECT_EQ(ticks, expected) << c.timers << " at " << c.msPerPass << " ms";
        }
        thread.reset();
        fresh();
    }
}

TEST_F(Scheduler, PauseOneSuspendsForNineHundredMilliseconds) {
    auto thread = start("say a\npause 1\nsay b\npause 0\nsay c\nwait\n");
    passes(92);  // pause runs in pass 2; pass 92 is at +900 ms, not past it
    EXPECT_EQ(debug(), "a\n");
    passes(1);
    EXPECT_EQ(debug(), "a\nb\n");
    passes(2);  // pause 0 does nothing
    EXPECT_EQ(debug(), "a\nb\nc\n");
}

TEST_F(Scheduler, HostSuspendBlockAndSuspendAll) {
    auto thread = start("tick\ntick\ntick\ntick\ntick\nwait\n");
    const std::function<void()> stops[] = {[&] { thread->suspend(); }, [&] { thread->resume(), thread->cli(); },
                                           [&] { thread->sti(), YThread::suspendAll(); },
                                           [&] { YThread::resumeAll(), YThread::dozeOffAll(); }};
    passes(1);
    for (const auto& stop : stops) {
        stop();
        passes(3);
        EXPECT_EQ(ticks, 1);
    }
    YThread::wakeUpAll();
    passes(2);
    EXPECT_EQ(ticks, 3);
}

TEST_F(Scheduler, ExitWithEmptyScriptStackKillsTheThreadAndCallsTheExitLink) {
    Counter exits, gos;
    write("e.mps", "x=1\nexit\n");
    YThread thread("e.mps");
    thread.setExitLink(&exits.link);
    thread.setGoLink(&gos.link);
    thread.go();
    EXPECT_EQ(gos.calls, 1);
    runUntilEnd(thread);
    EXPECT_FALSE(thread || thread.lastCompileFailed());
    EXPECT_EQ(exits.calls, 1);
    EXPECT_EQ(YHeap::theHeap.size(), 3) << "the heap is emptied";
    EXPECT_EQ(YThread::getThreadCount(), 1) << "a killed thread stays in the list";
}

TEST_F(Scheduler, DoneMainLinkFiresOnceWhenTheMainPartWaitsOrRunsOut) {
    Counter done;
    write("d.mps", "say a\nwait\n");
    write("r.mps", "say a\n");
    YThread thread("d.mps");
    for (const char* next : {"r.mps", ""}) {  // running off the end stalls on the zero record once
        thread.setDoneMainLink(&done.link);
        thread.go();
        passes(10);
        if (*next) thread.set(next);
    }
    EXPECT_EQ(done.calls, 2);
}

TEST_F(Scheduler, HostCallAndRelaySwitchScripts) {
    write("main.mps", "tick\nsay main RESULT\nwait\n");
    write("other.mps", "say other\nexit\n");
    YThread thread("main.mps");
    thread.go();
    passes(3);
    thread.call("main.mps");  // its own name: nothing
    passes(1);
    EXPECT_EQ(YThread::getScriptStackDepth(), 0);
    thread.call("other.mps");
    EXPECT_EQ(YThread::getScriptStackDepth(), 1);
    passes(10);  // the callee's exit restarts the caller
    EXPECT_EQ(debug(), "main 1\nother\nmain 2\n");
    EXPECT_STREQ(thread.getName(), "main.mps");
    EXPECT_EQ(YThread::getScriptStackDepth(), 0);
    thread.relay("other.mps");  // a relayed script's exit ends the thread
    runUntilEnd(thread);
    EXPECT_EQ(debug(), "main 1\nother\nmain 2\nother\n");
    EXPECT_FALSE(thread);
}

TEST_F(Scheduler, SwitchToAScriptThatDoesNotCompileLeavesTheThreadNotRunnable) {
    write("main.mps", "relay \"broken.mps\"\n");
    write("broken.mps", "say (\n");
    YThread thread("main.mps");
    thread.go();
    testing::internal::CaptureStderr();
    passes(3);
    EXPECT_EQ(testing::internal::GetCapturedStderr().substr(0, 3), "1: ");
    EXPECT_FALSE(thread);
    EXPECT_TRUE(thread.lastCompileFailed());
}

TEST_F(Scheduler, BlockingPlayWaitsForTheObject) {
    auto thread = start("g=Gadget\nplay g collect a } b\ntick\nplay g fail }\ntick\nwait\n");
    passes(5);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(ScriptableProbe::lastCollected, std::vector<std::string>{"a"}) << "} ends the parameters";
    ASSERT_NE(object("g"), nullptr);
    object("g")->sobSyncDone();
    passes(5);
    EXPECT_EQ(ticks, 2) << "a failed method call does not block";
}

// SYSTEM is entry 0: a parameter like any other.
TEST_F(Scheduler, ParametersReachMethodsAndProperties) {
    auto thread = start(
        "g=Gadget first\nplay g collect 1 \"two words\" 1+2 SYSTEM\n"
        "set g label p1 \"p 2\" new\nget g label x\nsay x\nget g name n\nsay n\nplay g\nwait\n");
    passes(12);
    EXPECT_EQ(ScriptableProbe::lastCollected, (std::vector<std::string>{"1", "two words", "3", "WIN"}));
    EXPECT_EQ(ScriptableProbe::lastSetParameters, (std::vector<std::string>{"p1", "p 2"})) << "the value is none";
    EXPECT_EQ(debug(), "new\ng\n");
}

}  // namespace
