// Events reaching script threads through objects' event properties, born
// handlers, yield-events-off, and the host keyword and RESULT interface.
#include "tests/script/ThreadTestSupport.h"

namespace {

using Events = ThreadTest;

const char kTenStatementHandler[] =
    "g=Gadget\n"
    "set g ping onping\n"
    "wait\n"
    "procedure onping\n"
    "[\n"
    "  tick\n  tick\n  tick\n  tick\n  tick\n  tick\n  tick\n  tick\n  tick\n  tick\n"
    "]\n";

TEST_F(Events, WithYieldEventsOffTheWholeHandlerRunsInsideTheCallback) {
    YThread::setYieldEventsOff(1);
    EXPECT_EQ(YThread::getYieldEventsOff(), 1);
    auto thread = start(kTenStatementHandler);
    passes(5);
    const int turn = thread->getYield();
    ASSERT_EQ(object("g")->sobPass("ping"), 1);
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(thread->getYield(), turn) << "the turn state is given back";
}

TEST_F(Events, WithoutItAYieldingThreadRunsOneStatementPerPass) {
    auto thread = start(kTenStatementHandler);
    passes(5);
    ASSERT_EQ(object("g")->sobPass("ping"), 1);
    EXPECT_EQ(ticks, 1);
    passes(4);
    EXPECT_EQ(ticks, 5);
    passes(10);
    EXPECT_EQ(ticks, 10);
}

TEST_F(Events, ASecondEventAbandonsTheFirstHandler) {
    auto thread = start(
        "g=Gadget\nset g ping first\nset g pong second\n"
        "say main 1\nsay main 2\nsay main 3\nsay main 4\nwait\n"
        "procedure first\n[\n  say one a\n  say one b\n  say one c\n]\n"
        "procedure second\n[\n  say two a\n]\n");
    passes(4);  // up to "say main 1"
    object("g")->sobPass("ping");  // "first a"
    passes(1);                     // "first b"
    object("g")->sobPass("pong");  // "second a": the first handler is abandoned
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

TEST_F(Events, BindingTheSameEventTwiceKeepsOnlyTheSecond) {
    auto thread = start("g=Gadget\nset g ping p\nset g ping q\nwait\nprocedure p\n  say bound p\nprocedure q\n  say bound q\n");
    passes(5);
    int bindings = 0;
    KvList<eventRecord>::Cursor walk(eventRecord::eventRecordList());
    for (eventRecord* r = walk.first(); r; r = walk.next()) bindings += r->getObject() == object("g");
    EXPECT_EQ(bindings, 1);
    object("g")->sobPass("ping");
    passes(3);
    EXPECT_EQ(debug(), "bound +7\n");
}

TEST_F(Events, DroppingAnObjectRemovesItsBindingsAndDeletesIt) {
    auto thread = start("g=Gadget\nset g ping p\nwait\ndrop g\nwait\nprocedure p\n  tick\n");
    passes(4);
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

TEST_F(Events, BornHandlerRunsForACopyWithTheNewbornAsReceiver) {
    YThread::setYieldEventsOff(1);
    auto thread = start(
        "set Gadget born onborn\ng=Gadget red\nsay made\nh=g\nsay copied\nwait\n"
        "procedure onborn\n[\n  get RECEIVER label l\n  get RECEIVER id i\n  say born l i\n]\n");
    passes(10);
    EXPECT_EQ(debug(), "made\nborn red 101\ncopied\n");
    KvScriptableObject::setBornHandler("Gadget", nullptr);
}

TEST_F(Events, AliasSharesTheObjectAndCopiesGetTheirOwnBinding) {
    YThread::setYieldEventsOff(1);
    auto thread = start(
        "g=Gadget one\nset g ping p\nh=&g\nc=g\nwait\n"
        "procedure p\n[\n  get RECEIVER name n\n  say ping n\n]\n");
    passes(6);
    EXPECT_EQ(object("h"), object("g"));
    ASSERT_NE(object("c"), object("g"));
    object("g")->sobPass("ping");
    object("c")->sobPass("ping");
    EXPECT_EQ(debug(), "ping g\nping c\n");
    EXPECT_EQ(ScriptableProbe::alive, 2);
}

TEST_F(Events, HostKeywordGetsExactlyTheResolvedOperands) {
    auto thread = start("x=5\nnote x\nnote\nnote x+1 \"a b\" y\nwait\n");
    passes(6);
    EXPECT_EQ(notes, (std::vector<std::string>{"5", "", "6|a b|y"}));
}

TEST_F(Events, HostKeywordsRegisterReplaceAndEnumerate) {
    int calls = 0;
    const KvFunctionLink counting([&calls](const void*) { ++calls; });
    YExtend("beep", nullptr);
    YExtend("count", &counting);
    std::vector<std::string> names;
    const KvLink* countLink = nullptr;
    for (const char* k = YGetFirstCustomKeyword(); k; k = YGetNextCustomKeyword()) {
        names.emplace_back(k);
        if (names.back() == "count") countLink = YGetLastKeywordLink();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"poke", "tick", "note", "beep", "count"}));
    ASSERT_NE(countLink, nullptr);
    YExtend("poke", nullptr);  // replaced: now last, without link
    names.clear();
    for (const char* k = YGetFirstCustomKeyword(); k; k = YGetNextCustomKeyword()) names.emplace_back(k);
    EXPECT_EQ(names.back(), "poke");
    auto thread = start("beep 1 2\ncount\ncount x\nwait\n");
    passes(5);
    EXPECT_EQ(calls, 2);
    YExtend("count", nullptr);
    YExtend("beep", nullptr);
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
