// Scheduling: turns, aging ticks against the virtual clock, timers, pause,
// the host's operations and links, script switches, and the run-time limits.
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

TEST_F(Scheduler, YieldOffRunsOnUntilWaitEndsTheTurn) {
    auto thread = start("yield off\nfor i 1 50\n  say i\nwait\nsay never\n");
    passes(1);  // yield off: the turn goes on to the wait
    EXPECT_EQ(lines(), 50);
    EXPECT_EQ(thread->getYield(), kYTurnCannotRun);
    passes(10);
    EXPECT_EQ(lines(), 50);
}

// A host's watch ends a turn under "yield off" where it says, and the turn
// goes on from the next statement on the next pass.
TEST_F(Scheduler, AStatementWatchEndsTheTurnWhereItSays) {
    static int watched = 0;
    watched = 0;
    const YThread::StatementWatch previous = YThread::setStatementWatch([] { return ++watched % 10 == 0; });
    auto thread = start("yield off\nfor i 1 50\n  say i\nwait\n");
    passes(1);
    const int firstTurn = lines();
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

TEST_F(Scheduler, ScheduleFiresOnceAfterNineteenTicks) {
    backend.setStepPerPass(101);  // every pass after the first is an aging tick
    auto thread = start("schedule 2 p\nwait\nprocedure p\n  tick\n");
    passes(19);
    EXPECT_EQ(ticks, 0);
    passes(1);
    EXPECT_EQ(ticks, 1);
    passes(100);
    EXPECT_EQ(ticks, 1);
}

// An aging tick comes once more than 100 ms have gone since the last, not on
// every pass: at 50 ms a pass, a schedule takes three times the passes.
TEST_F(Scheduler, AgingTicksFollowTheClockNotThePasses) {
    backend.setStepPerPass(50);
    auto thread = start("schedule 2 p\nwait\nprocedure p\n  tick\n");
    passes(3 * 19 - 2);
    EXPECT_EQ(ticks, 0);
    passes(3);
    EXPECT_EQ(ticks, 1);
}

TEST_F(Scheduler, IdleFiresAfterEveryNineteenTicksWithoutActivity) {
    backend.setStepPerPass(101);
    auto thread = start("idle 2 p\nwait\nprocedure p\n  tick\n");
    passes(20);
    EXPECT_EQ(ticks, 1);
    passes(19);
    EXPECT_EQ(ticks, 2);
    passes(10);
    YThread::resetIdle();  // activity: counting starts again
    passes(18);
    EXPECT_EQ(ticks, 2);
    passes(1);
    EXPECT_EQ(ticks, 3);
}

TEST_F(Scheduler, TimersWithZeroTimeChangeNothingAndDropStopsThem) {
    backend.setStepPerPass(101);
    auto thread = start("idle 0 p\nschedule 0 p\nidle 1 p\ndrop idle\nwait\nprocedure p\n  tick\n");
    passes(200);
    EXPECT_EQ(ticks, 0);
}

TEST_F(Scheduler, TimerHandlerSeesItsKeywordInReceiver) {
    backend.setStepPerPass(101);
    auto thread = start("schedule 1 p\nwait\nprocedure p\n  say RECEIVER\n");
    passes(40);
    EXPECT_EQ(debug(), "schedule\n");
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
    passes(1);
    thread->suspend();
    passes(3);
    EXPECT_EQ(ticks, 1);
    thread->resume();
    thread->cli();
    passes(3);
    EXPECT_EQ(ticks, 1);
    thread->sti();
    YThread::suspendAll();
    passes(2);
    EXPECT_EQ(ticks, 1);
    YThread::resumeAll();
    YThread::dozeOffAll();
    passes(2);
    EXPECT_EQ(ticks, 1);
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
    EXPECT_FALSE(thread);
    EXPECT_FALSE(thread.lastCompileFailed());
    EXPECT_EQ(exits.calls, 1);
    EXPECT_EQ(YHeap::theHeap.size(), 3) << "the heap is emptied";
    EXPECT_EQ(YThread::getThreadCount(), 1) << "a killed thread stays in the list";
}

TEST_F(Scheduler, DoneMainLinkFiresOnceWhenTheMainPartWaitsOrRunsOut) {
    Counter done;
    write("d.mps", "say a\nwait\n");
    YThread waits("d.mps");
    waits.setDoneMainLink(&done.link);
    waits.go();
    passes(10);
    EXPECT_EQ(done.calls, 1);
    write("r.mps", "say a\n");
    waits.set("r.mps");
    waits.setDoneMainLink(&done.link);
    waits.go();
    passes(10);
    EXPECT_EQ(done.calls, 2) << "running off the end stalls on the zero record once";
}

TEST_F(Scheduler, HostCallRunsAnotherScriptAndItsExitRestartsTheCaller) {
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
    passes(10);
    EXPECT_EQ(debug(), "main 1\nother\nmain 2\n");
    EXPECT_STREQ(thread.getName(), "main.mps");
    EXPECT_EQ(YThread::getScriptStackDepth(), 0);
}

TEST_F(Scheduler, HostRelayReplacesTheScriptAndItsExitEndsIt) {
    write("main.mps", "say main\nwait\n");
    write("other.mps", "say other\nexit\n");
    YThread thread("main.mps");
    thread.go();
    passes(2);
    thread.relay("other.mps");
    runUntilEnd(thread);
    EXPECT_EQ(debug(), "main\nother\n");
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

TEST_F(Scheduler, QuitStopsTheApplicationLoop) {
    auto thread = start("say a\nquit\nsay b\n");
    EXPECT_EQ(app->run(), 0);
    EXPECT_EQ(debug(), "a\n");
}

TEST_F(Scheduler, LastThreadTakesTheTaskAndANewOneMakesItAgain) {
    {
        YThread first(static_cast<const char*>(nullptr));  // no script: never in the list
        write("s.mps", "say a\n");
        YThread second("s.mps");
        ASSERT_NE(YThread::getTask(), nullptr);
        EXPECT_TRUE(app->hasTask(YThread::getTask()));
    }
    EXPECT_EQ(YThread::getTask(), nullptr);
    EXPECT_EQ(YHeap::theHeap.isAlive(), 0);
    YThread again("s.mps");
    EXPECT_NE(YThread::getTask(), nullptr);
    EXPECT_TRUE(app->hasTask(YThread::getTask()));
    EXPECT_EQ(YHeap::theHeap.isAlive(), 1);
}

TEST_F(Scheduler, EndlessRecursionStopsAtTheCallLimit) {
    Counter done;
    write("r.mps", "n=0\ncall deeper\nsay unreachable\nprocedure deeper\n[\n  n=n+1\n  call deeper\n]\n");
    YThread thread("r.mps");
    thread.setDoneMainLink(&done.link);
    thread.go();
    YThread::setYieldEventsOff(0);
    passes(3 * kYBlockStackSize + 100);
    EXPECT_EQ(YHeap::theHeap["n"], std::to_string(kYBlockStackSize));
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(debug(), "");
}

TEST_F(Scheduler, LoopsNestedBeyondTheFrameLimitStop) {
    // A procedure that calls itself from inside its loop keeps every frame open.
    write("l.mps", "n=0\ncall nest\nprocedure nest\n[\n  for i 1 2\n  [\n    n=n+1\n    call nest\n  ]\n]\n");
    YThread thread("l.mps");
    thread.go();
    passes(20 * kYMaxLoops);
    EXPECT_EQ(YHeap::theHeap["n"], std::to_string(kYMaxLoops));
}

TEST_F(Scheduler, BlockingPlayWaitsForTheObject) {
    auto thread = start("g=Gadget\nplay g collect a } b\ntick\nplay g fail }\ntick\nwait\n");
    passes(5);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(ScriptableProbe::lastCollected, std::vector<std::string>{"a"}) << "} ends the parameters";
    KvScriptableObject* g = object("g");
    ASSERT_NE(g, nullptr);
    g->sobSyncDone();
    passes(5);
    EXPECT_EQ(ticks, 2) << "a failed method call does not block";
}

TEST_F(Scheduler, ParametersReachMethodsAndProperties) {
    auto thread = start(
        "g=Gadget first\nplay g collect 1 \"two words\" 1+2\n"
        "set g label p1 \"p 2\" new\nget g label x\nsay x\nget g name n\nsay n\nplay g\nwait\n");
    passes(12);
    EXPECT_EQ(ScriptableProbe::lastCollected, (std::vector<std::string>{"1", "two words", "3"}));
    EXPECT_EQ(ScriptableProbe::lastSetParameters, (std::vector<std::string>{"p1", "p 2"})) << "the value is none";
    EXPECT_EQ(debug(), "new\ng\n");
}

}  // namespace
