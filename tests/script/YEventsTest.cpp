// Events reaching script threads through objects' event properties at times
// only the host can choose (between passes, during a suspension, after a
// switch), yield-events-off, and the host keyword and RESULT interface.
#include "tests/script/ThreadTestSupport.h"

namespace {

using Events = ThreadTest;

// With yield-events-off the whole ten-statement handler runs inside the
// callback (and the turn state is given back); without it a yielding thread
// runs one statement per pass.
TEST_F(Events, AHandlerRunsWhollyInsideTheCallbackOnlyWithYieldEventsOff) {
    for (const int off : {1, 0}) {
        YThread::setYieldEventsOff(off);
        EXPECT_EQ(YThread::getYieldEventsOff(), off);
        std::string handler = "g=Gadget\nset g ping onping\nwait\nprocedure onping\n[\n";
        for (int i = 0; i < 10; ++i) handler += "  tick\n";
        auto thread = start(handler + "]\n");
        passes(5);
        const int turn = thread->getYield();
        ASSERT_EQ(object("g")->sobPass("ping"), 1);
        EXPECT_EQ(ticks, off ? 10 : 1);
        if (off) {
            EXPECT_EQ(thread->getYield(), turn) << "the turn state is given back";
        }
        passes(4);
        EXPECT_EQ(ticks, off ? 10 : 5);
        passes(10);
        EXPECT_EQ(ticks, 10);
        thread.reset();
        fresh();
    }
}

TEST_F(Events, ASecondEventAbandonsTheFirstHandler) {
    auto thread = start(
        "g=Gadget\nset g ping first\nset g pong second\n"
        "say main 1\nsay main 2\nsay main 3\nsay main 4\nwait\n"
        "procedure first\n[\n  say one a\n  say one b\n  say one c\n]\n"
        "procedure second\n[\n  say two a\n]\n");
    passes(4);                     // up to "say main 1"
    object("g")->sobPass("ping");  // "one a"
    passes(1);                     // "one b"
    object("g")->sobPass("pong");  // "two a": the first handler is abandoned
    passes(6);
    EXPECT_EQ(debug(), "main 1\none a\none b\ntwo a\nmain 2\nmain 3\nmain 4\n");
}

TEST_F(Events, SuspendedEventsAndBlockedThreadsDropEvents) {
    auto thread = start("g=Gadget\nset g ping p\nsuspend\nwait\nprocedure p\n  tick\n");
    passes(4);
    object("g")->sobPass("ping");
    passes(3);
    EXPECT_EQ(ticks, 0);
    thread->cli();
    YThread::setYieldEventsOff(1);
    object("g")->sobPass("ping");
    EXPECT_EQ(ticks, 0);
}

// Binding an event again replaces the binding; dropping the object removes
// its bindings and deletes it.
TEST_F(Events, BindingsAreReplacedAndGoWithTheirObject) {
    auto thread = start("g=Gadget\nset g ping p\nset g ping p\nwait\ndrop g\nwait\nprocedure p\n  tick\n");
    passes(5);
    EXPECT_EQ(ScriptableProbe::alive, 1);
    EXPECT_EQ(eventRecord::eventRecordList().count(), 1);
    thread->resume();
    passes(3);
    EXPECT_EQ(ScriptableProbe::alive, 0);
    EXPECT_EQ(eventRecord::eventRecordList().count(), 0);
}

TEST_F(Events, AnObjectTheHostKeepsIsHarmlessAfterTheScriptSwitches) {
    write("other.mps", "say other\nwait\n");
    auto thread = start("g=Gadget\nset g ping p\nwait\nprocedure p\n  tick\n");
    passes(4);
    std::unique_ptr<KvScriptableObject> kept(YHeap::theHeap.getSob("g", 1));
    ASSERT_TRUE(kept);
    thread->relay("other.mps");
    passes(3);
    EXPECT_EQ(kept->sobPass("ping"), 1) << "the object still has its handler link";
    passes(3);
    EXPECT_EQ(ticks, 0) << "but the binding is gone";
    EXPECT_EQ(debug(), "other\n");
}

TEST_F(Events, HostKeywordsGetTheResolvedOperandsAndRegisterReplaceAndEnumerate) {
    int calls = 0;
    const KvFunctionLink counting([&calls](const void*) { ++calls; });
    YExtend("beep", nullptr);
    YExtend("count", &counting);
    const auto names = [] {
        std::vector<std::string> all;
        for (const char* k = YGetFirstCustomKeyword(); k; k = YGetNextCustomKeyword())
            all.emplace_back(k + std::string(YGetLastKeywordLink() ? "" : "-"));
        return all;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"poke", "tick", "note", "beep-", "count"}));
    YExtend("poke", nullptr);  // replaced: now last, without link
    EXPECT_EQ(names(), (std::vector<std::string>{"tick", "note", "beep-", "count", "poke-"}));
    auto thread = start("x=5\nnote x\nnote\nnote x+1 \"a b\" y\nbeep 1 2\ncount\ncount x\nwait\n");
    passes(8);
    EXPECT_EQ(notes, (std::vector<std::string>{"5", "", "6|a b|y"}));
    EXPECT_EQ(calls, 2);
    YExtend("count", nullptr);
}

TEST_F(Events, SetResultWritesTheResultVariable) {
    auto thread = start("wait\n");
    YSetRESULT("text");
    EXPECT_STREQ(YHeap::theHeap["RESULT"], "text");
    YSetRESULT(2.5);
    EXPECT_STREQ(YHeap::theHeap["RESULT"], "2.5");
    YSetRESULT(42L);
    EXPECT_STREQ(YHeap::theHeap["RESULT"], "42");
    thread.reset();
    YSetRESULT("no heap");  // does nothing
    EXPECT_EQ(YHeap::theHeap.isAlive(), 0);
}

}  // namespace
