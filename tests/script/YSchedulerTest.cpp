// Scheduling as the host sees it: what threads do between, during and after
// passes the host makes, and what the host does to them at moments only it
// can choose. Each case of tables/steps.txt is one run of host steps, each
// step checked against what can then be observed (the notation is described
// at the top of that file). Counts of passes are exact: one statement per
// pass when yielding. The run-time limits are in golden/limits.mps and
// golden/looplimit.mps.
#include "tests/script/TableFile.h"
#include "tests/script/ThreadTestSupport.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <sstream>

namespace {

using Scheduler = ThreadTest;

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts) out += (&t == texts.data() ? "" : ",") + t;
    return out;
}

// One case of tables/steps.txt, in a fresh application and folder.
class HostSteps : public ThreadTest, public ::testing::WithParamInterface<std::string> {
protected:
    void TearDown() override {
        kept.reset();
        threads.clear();
        YThread::setStatementWatch(nullptr);
        ThreadTest::TearDown();
    }
    YThread& thread() { return *threads.back(); }
    KvScriptableObject* target(const std::string& name) { return name == "kept" ? kept.get() : object(name.c_str()); }
    void step(const std::string& verb, const std::string& rest);
    std::string observed(const std::string& key);

    struct Counter {
        int calls = 0;
        KvFunctionLink link{[this](const void*) { ++calls; }};
    };
    Counter counters[4];  // yield, exit, go, done-main
    std::vector<std::unique_ptr<YThread>> threads;
    std::unique_ptr<KvScriptableObject> kept;
    std::deque<std::string> names;  // a thread keeps the names it is given to switch to
    unsigned long drawsBefore = 0;
    int returned = -1;
    static inline int watched = 0, watchEvery = 0;
};

void HostSteps::step(const std::string& verb, const std::string& rest) {
    std::istringstream words(rest);
    std::string first, second;
    words >> first >> second;
    const char* name = names.emplace_back(rest).c_str();
    if (verb == "file") write(first, rest.substr(first.size() + 1));
    else if (verb == "script") threads.push_back(start(rest));
    else if (verb == "thread") threads.push_back(std::make_unique<YThread>(name));
    else if (verb == "go") for (auto& t : threads) t->go();
    else if (verb == "links") {
        thread().setYieldLink(&counters[0].link), thread().setExitLink(&counters[1].link);
        thread().setGoLink(&counters[2].link), thread().setDoneMainLink(&counters[3].link);
    }
    else if (verb == "pass") passes(std::stoi(rest));
    else if (verb == "run") runUntilEnd(thread());
    else if (verb == "ms") backend.setStepPerPass(std::stoul(rest));
    else if (verb == "watch") {
        watched = 0, watchEvery = std::stoi(rest);
        YThread::setStatementWatch([] { return ++watched % watchEvery == 0; });
    }
    else if (verb == "idle") YThread::resetIdle();
    else if (verb == "suspend") thread().suspend();
    else if (verb == "resume") thread().resume();
    else if (verb == "cli") thread().cli();
    else if (verb == "sti") thread().sti();
    else if (verb == "suspendAll") YThread::suspendAll();
    else if (verb == "resumeAll") YThread::resumeAll();
    else if (verb == "dozeOffAll") YThread::dozeOffAll();
    else if (verb == "wakeUpAll") YThread::wakeUpAll();
    else if (verb == "call") thread().call(name);
    else if (verb == "relay") thread().relay(name);
    else if (verb == "set") thread().set(name);
    else if (verb == "eventsoff") YThread::setYieldEventsOff(std::stoi(rest));
    else if (verb == "poke") returned = target(first)->sobPass(second.c_str());
    else if (verb == "take") kept.reset(YHeap::theHeap.getSob(rest.c_str(), 1));
    else if (verb == "done") object(rest.c_str())->sobSyncDone();
    else ADD_FAILURE() << "no step " << verb;
}

std::string HostSteps::observed(const std::string& key) {
    const std::string text = debug();
    const std::map<std::string, std::function<std::string()>> keys = {
        {"debug", [&] { return text; }},
        {"lines", [&] { return std::to_string(std::count(text.begin(), text.end(), '\n')); }},
        {"ticks", [] { return std::to_string(ticks); }},
        {"alive", [] { return std::to_string(ScriptableProbe::alive); }},
        {"bindings", [] { return std::to_string(eventRecord::eventRecordList().count()); }},
        {"collected", [] { return joined(ScriptableProbe::lastCollected); }},
        {"setparams", [] { return joined(ScriptableProbe::lastSetParameters); }},
        {"yield", [&] { return std::to_string(thread().getYield()); }},
        {"firstyield", [&] { return std::to_string(thread().isFirstYieldOn()); }},
        {"depth", [] { return std::to_string(YThread::getScriptStackDepth()); }},
        {"name", [&] { return std::string(thread().getName()); }},
        {"runnable", [&] { return std::to_string(!!thread()) + std::to_string(thread().lastCompileFailed()); }},
        {"heap", [] { return std::to_string(YHeap::theHeap.size()); }},
        {"threads", [] { return std::to_string(YThread::getThreadCount()); }},
        {"current", [] { return std::string(YThread::getCurrent() ? YThread::getCurrent()->getName() : "none"); }},
        {"returned", [&] { return std::to_string(returned); }},
        {"draws", [&] { return std::to_string(YVariable::getRandomDraws() - drawsBefore); }},
        {"eventsoff", [] { return std::to_string(YThread::getYieldEventsOff()); }},
        {"links", [&] { return joined({std::to_string(counters[0].calls), std::to_string(counters[1].calls),
                                       std::to_string(counters[2].calls), std::to_string(counters[3].calls)}); }},
    };
    const auto found = keys.find(key);
    return found == keys.end() ? "no key " + key : found->second();
}

TEST_P(HostSteps, EachStepLeavesWhatItsRowExpects) {
    const auto cases = tableCases("steps.txt");
    for (const auto& row : cases.at(GetParam())) {
        SCOPED_TRACE(row[0]);
        drawsBefore = YVariable::getRandomDraws();
        const auto [verb, rest] = keyAndValue(row[0]);
        step(verb, rest);
        for (size_t k = 1; k < row.size(); ++k) {
            const auto [key, expected] = keyAndValue(row[k]);
            EXPECT_EQ(observed(key), expected) << key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, HostSteps, ::testing::ValuesIn(caseNames("steps.txt")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

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

TEST_F(Scheduler, HostKeywordsRegisterReplaceAndEnumerate) {
    int calls = 0;
    const KvFunctionLink counting([&calls](const void*) { ++calls; });
    YExtend("beep", nullptr);
    YExtend("count", &counting);
    const auto names = [] {
        std::vector<std::string> all;
        for (const char* k = YGetFirstCustomKeyword(); k; k = YGetNextCustomKeyword())
            all.emplace_back(k + std::string(YGetLastKeywordLink() ? "" : "-"));
        return joined(all);
    };
    EXPECT_EQ(names(), "poke,tick,note,beep-,count");
    YExtend("poke", nullptr);  // replaced: now last, without link
    EXPECT_EQ(names(), "tick,note,beep-,count,poke-");
    auto thread = start("x=5\nnote x\nnote\nnote x+1 \"a b\" y\nbeep 1 2\ncount\ncount x\nwait\n");
    passes(8);
    EXPECT_EQ(joined(notes), "5,,6|a b|y");
    EXPECT_EQ(calls, 2);
    YExtend("count", nullptr);
}

TEST_F(Scheduler, SetResultWritesTheResultVariableOnlyWhileAHeapLives) {
    auto thread = start("wait\n");
    YSetRESULT("text");
    EXPECT_STREQ(YHeap::theHeap["RESULT"], "text");
    YSetRESULT(2.5);
    EXPECT_STREQ(YHeap::theHeap["RESULT"], "2.5");
    thread.reset();
    YSetRESULT("no heap");
    EXPECT_EQ(YHeap::theHeap.isAlive(), 0);
}

}  // namespace
