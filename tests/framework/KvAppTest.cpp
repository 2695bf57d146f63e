// The application loop and the system services under it. Task order, tasks
// changing the list mid-pass, stopping, periods. The headless backend's
// clock, messages and interruptions, seen through the system
// services the library calls; and the services that ask the system itself:
// the program's path and modules.
#include "framework/KvInterruptions.h"
#include "framework/KvModule.h"
#include "framework/KvSys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/WindowFixture.h"

namespace {

using Clock = HeadlessTest;
namespace fs = std::filesystem;

TEST_F(Clock, StartsAtAFixedTimeStepsWithEachPassAndMovesByHand) {
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs);
    app->pass();
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 10);
    backend.setStepPerPass(33);
    app->pass();
    app->pass();
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 10 + 66);
    backend.setStepPerPass(0);
    app->pass();
    backend.advance(250);
    EXPECT_EQ(KvSysTickCount(), kKvHeadlessStartMs + 76 + 250);
    backend.setTime(5);
    EXPECT_EQ(KvSysTickCount(), 5u);
    backend.setTime(~0ul);
    backend.advance(3);  // wraps
    EXPECT_EQ(KvSysMilliSecCount(), 2u);
}

// The default backend has no audio device.
TEST(BackendInstall, DefaultIsHeadlessAndNullReinstatesIt) {
    KvBackend* def = KvBackend::current();
    ASSERT_NE(def, nullptr);
    EXPECT_STREQ(def->name(), "headless");
    KvAudioFormat deviceFormat;
    EXPECT_FALSE(def->openAudio(nullptr, nullptr, &deviceFormat));
    {
        KvHeadlessBackend mine;
        KvBackend::install(&mine);
        EXPECT_EQ(KvBackend::current(), &mine);
        KvBackend::install(nullptr);
        EXPECT_EQ(KvBackend::current(), def);
        KvBackend::install(&mine);
    }  // a backend destroyed while installed hands back to the default
    EXPECT_EQ(KvBackend::current(), def);
}

TEST_F(Clock, UserMessagesGoToStderr) {
    const struct { const char *text, *title, *expected; } cases[] = {
        {"Script too long", nullptr, "Script too long\n"},
        {"Bad format", "Background16", "Background16: Bad format\n"},
        {"", nullptr, "\n"},
        {nullptr, nullptr, "\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(KvSysUserMessage(c.text, kKvSysMessageModal, c.title), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
    }
}

// Every link hears of an interruption, even after one before it removed itself.
TEST_F(Clock, InterruptionsMoveTheClockAndReachEveryLink) {
    std::vector<unsigned long> reported;
    KvLink* self = nullptr;
    KvFunctionLink first([&](const void* ms) {
        reported.push_back(*static_cast<const unsigned long*>(ms));
        SoundManager::interruptedList.remove(self);
    });
    self = &first;
    KvFunctionLink second([&](const void* ms) { reported.push_back(*static_cast<const unsigned long*>(ms) + 1); });
    SoundManager::interruptedList.append(&first);
    SoundManager::interruptedList.append(&second);
    backend.interrupt(5000);
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    SoundManager::interrupted(7);  // a report alone does not move the clock
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    EXPECT_EQ(reported, (std::vector<unsigned long>{5000, 5001, 8}));
    SoundManager::interruptedList.remove(&second);
    EXPECT_FALSE(SoundManager::interruptedList.contains(&first) || SoundManager::interruptedList.contains(&second));
}

TEST(KvSys, TheExecutablePathNamesThisProgram) {
    const fs::path self = KvSysExecutablePath();
    EXPECT_TRUE(self.is_absolute()) << self;
    EXPECT_EQ(self.filename(), "test_framework");
    EXPECT_TRUE(fs::is_regular_file(self)) << self;
}

TEST(ModuleLoading, MissingModuleGivesNullAndAReason) {
    EXPECT_EQ(KvSysLoadModule("no-such-module.lrn"), nullptr);
    EXPECT_NE(std::string(KvSysModuleError()), "");
    EXPECT_EQ(KvSysLoadModule(nullptr), nullptr);
    KvSysFreeModule(nullptr);  // ignored
}

using App = HeadlessTest;

// A task whose body is a lambda, for tests.
std::unique_ptr<KvTask> makeTask(std::function<void()> body, int period = 0) {
    KvFunctionLink link([body](const void*) { body(); });
    return std::make_unique<KvTask>(&link, period);
}

TEST_F(App, FirstAppIsTheAppAndDirectDrawFollowsTheBackend) {
    EXPECT_TRUE(KvApp::bUsingDirectDraw);
    std::make_unique<KvApp>().reset();  // a second application comes and goes
    EXPECT_EQ(KvApp::theApp, app.get());
    app.reset();
    EXPECT_EQ(KvApp::theApp, nullptr);
}

// Runs tasks a, b, c and d, each of which writes its name when it runs and
// then does its actions: "+x" adds task x, "-x" removes it, "~" deletes the
// running task itself. The script's words add ("+x") or remove ("-x") a task
// between passes, or run one pass ("p"). Gives what the tasks wrote.
std::string runTasks(KvApp& app, const std::map<char, std::string>& actions, const std::string& script) {
    std::string log;
    KvTask* tasks[4] = {};
    for (int i = 0; i < 4; ++i) {
        const char name = static_cast<char>('a' + i);
        const std::string what = actions.count(name) ? actions.at(name) : "";
        KvFunctionLink link([&log, &tasks, &app, name, what, i](const void*) {
            log += name;
            for (size_t k = 0; k < what.size(); k += 2) {
                if (what[k] == '~') {
                    // This closure goes with its task: nothing of it is touched after.
                    KvTask* self = tasks[i];
                    tasks[i] = nullptr;
                    delete self;
                    return;
                }
                if (what[k] == '+') {
                    app.addTask(tasks[what[k + 1] - 'a']);
                } else {
                    app.removeTask(tasks[what[k + 1] - 'a']);
                }
            }
        });
        tasks[i] = new KvTask(&link);
    }
    std::istringstream words(script);
    for (std::string w; words >> w;) {
        if (w == "p") app.pass();
        else if (w[0] == '+') app.addTask(tasks[w[1] - 'a']);
        else app.removeTask(tasks[w[1] - 'a']);
    }
    for (KvTask* t : tasks) delete t;
    return log;
}

// Tasks run once a pass in the order added, may remove themselves and others
// or delete themselves as they run; a task added during a pass first runs in
// the next.
TEST_F(App, TasksRunOncePerPassInTheOrderAddedWhateverTheyDoToTheList) {
    const struct { std::map<char, std::string> actions; const char *script, *log; } cases[] = {
        {{}, "+b +a +c +a p p -a p", "bacbacbc"},  // adding twice has no effect
        {{{'b', "-b-c-a"}}, "+a +b +c +d p p", "abdd"},
        {{{'a', "~"}}, "+a +b p p", "abb"},
        {{{'a', "+b"}}, "+a p p", "aab"},
    };
    for (const auto& c : cases) EXPECT_EQ(runTasks(*app, c.actions, c.script), c.log) << c.script;
    EXPECT_EQ(app->getPassCount(), 9u);
}

TEST_F(App, StopEndsRunAfterThePassWithItsCode) {
    std::string log;
    std::unique_ptr<KvTask> stopper = makeTask([&] {
        log += 's';
        if (app->getPassCount() == 3) app->stop(7);
    });
    auto after = makeTask([&] { log += 'x'; });
    app->addTask(stopper.get());
    app->addTask(after.get());
    EXPECT_EQ(app->run(), 7);
    EXPECT_TRUE(app->isStopped());
    EXPECT_EQ(log, "sxsxsx");
    EXPECT_EQ(app->run(), 7);  // still stopped: no pass
    EXPECT_EQ(app->getPassCount(), 3u);
    app->restart();
    EXPECT_FALSE(app->isStopped());
}

// Periods of zero or less run every pass.
TEST_F(App, PeriodIsTheLeastTimeBetweenRuns) {
    backend.setStepPerPass(10);
    std::vector<unsigned long> runs;
    int zero = 0, negative = 0;
    auto t = makeTask([&] { runs.push_back(KvSysMilliSecCount() - kKvHeadlessStartMs); }, 25);
    auto a = makeTask([&] { ++zero; }, 0);
    auto b = makeTask([&] { ++negative; }, -5);
    for (KvTask* task : {t.get(), a.get(), b.get()}) app->addTask(task);
    for (int i = 0; i < 9; ++i) app->pass();
    // Passes at 10, 20, ..., 90: first pass, then every 25 ms or more.
    EXPECT_EQ(runs, (std::vector<unsigned long>{10, 40, 70}));
    EXPECT_EQ(zero * 10 + negative, 99);
}

// A task belongs to one application at a time, and outlives one.
TEST_F(App, ATaskMovesBetweenApplicationsAndOutlivesOne) {
    int runs = 0;
    auto t = makeTask([&] { ++runs; });
    KvApp other;
    app->addTask(t.get());
    other.addTask(t.get());
    EXPECT_FALSE(app->hasTask(t.get()));
    app->removeTask(t.get());  // not in it: ignored
    EXPECT_TRUE(other.hasTask(t.get()));
    app->addTask(t.get());
    app.reset();
    other.addTask(t.get());
    other.pass();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(other.hasTask(t.get()));
    t.reset();  // leaves other's list
    other.pass();
}

}  // namespace
