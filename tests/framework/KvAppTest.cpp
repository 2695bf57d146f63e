// The application loop: task order, tasks changing the list mid-pass,
// stopping, periods.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "tests/support/WindowFixture.h"
#include "framework/KvSys.h"

using App = HeadlessTest;

namespace {
// A task whose body is a lambda, for tests.
std::unique_ptr<KvTask> makeTask(std::function<void()> body, int period = 0) {
    KvFunctionLink link([body](const void*) { body(); });
    return std::make_unique<KvTask>(&link, period);
}
}  // namespace

TEST_F(App, FirstAppIsTheAppAndDirectDrawFollowsTheBackend) {
    EXPECT_TRUE(KvApp::bUsingDirectDraw);
    std::make_unique<KvApp>().reset();  // a second application comes and goes
    EXPECT_EQ(KvApp::theApp, app.get());
    app.reset();
    EXPECT_EQ(KvApp::theApp, nullptr);
}

namespace {

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

}  // namespace

// Tasks run once a pass in the order added, may remove themselves and others
// or delete themselves as they run; a task added during a pass first runs in
// the next.
TEST_F(App, TasksRunOncePerPassInTheOrderAddedWhateverTheyDoToTheList) {
    const struct {
        std::map<char, std::string> actions;
        const char* script;
        const char* log;
    } cases[] = {
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
