// The application loop: task order, tasks changing the list mid-pass,
// stopping, periods.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
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
    EXPECT_EQ(KvApp::theApp, app.get());
    EXPECT_TRUE(KvApp::bUsingDirectDraw);
    {
        KvApp second;
        EXPECT_EQ(KvApp::theApp, app.get());
    }
    EXPECT_EQ(KvApp::theApp, app.get());
    app.reset();
    EXPECT_EQ(KvApp::theApp, nullptr);
}

TEST_F(App, TasksRunOncePerPassInTheOrderAdded) {
    std::string log;
    auto a = makeTask([&] { log += 'a'; });
    auto b = makeTask([&] { log += 'b'; });
    auto c = makeTask([&] { log += 'c'; });
    app->addTask(b.get());
    app->addTask(a.get());
    app->addTask(c.get());
    app->addTask(a.get());  // twice: no effect
    app->pass();
    app->pass();
    EXPECT_EQ(log, "bacbac");
    EXPECT_EQ(app->getPassCount(), 2u);
    app->removeTask(a.get());
    EXPECT_FALSE(app->hasTask(a.get()));
    app->pass();
    EXPECT_EQ(log, "bacbacbc");
}

TEST_F(App, TasksMayRemoveThemselvesAndOthersDuringAPass) {
    std::string log;
    std::unique_ptr<KvTask> a, b, c, d;
    a = makeTask([&] { log += 'a'; });
    b = makeTask([&] {
        log += 'b';
        app->removeTask(b.get());
        app->removeTask(c.get());
        app->removeTask(a.get());
    });
    c = makeTask([&] { log += 'c'; });
    d = makeTask([&] { log += 'd'; });
    for (KvTask* t : {a.get(), b.get(), c.get(), d.get()}) app->addTask(t);
    app->pass();
    app->pass();
    EXPECT_EQ(log, "abdd");
}

TEST_F(App, ATaskMayDeleteItselfWhileItRuns) {
    int runs = 0;
    KvTask* self = nullptr;
    KvFunctionLink link([&](const void*) {
        ++runs;
        delete self;  // leaves the list through its destructor
    });
    self = new KvTask(&link);
    app->addTask(self);
    app->pass();
    app->pass();
    EXPECT_EQ(runs, 1);
}

TEST_F(App, TasksAddedDuringAPassFirstRunInTheNext) {
    std::string log;
    auto late = makeTask([&] { log += 'L'; });
    auto adder = makeTask([&] {
        log += 'A';
        app->addTask(late.get());
    });
    app->addTask(adder.get());
    app->pass();
    EXPECT_EQ(log, "A");
    app->pass();
    EXPECT_EQ(log, "AAL");
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

TEST_F(App, PeriodIsTheLeastTimeBetweenRuns) {
    backend.setStepPerPass(10);
    std::vector<unsigned long> runs;
    auto t = makeTask([&] { runs.push_back(KvSysMilliSecCount() - kKvHeadlessStartMs); }, 25);
    EXPECT_EQ(t->getPeriod(), 25);
    app->addTask(t.get());
    for (int i = 0; i < 9; ++i) app->pass();
    // Passes at 10, 20, ..., 90: first pass, then every 25 ms or more.
    EXPECT_EQ(runs, (std::vector<unsigned long>{10, 40, 70}));
}

TEST_F(App, PeriodZeroAndNegativeRunEveryPass) {
    int zero = 0, negative = 0;
    auto a = makeTask([&] { ++zero; }, 0);
    auto b = makeTask([&] { ++negative; }, -5);
    app->addTask(a.get());
    app->addTask(b.get());
    backend.setStepPerPass(0);
    for (int i = 0; i < 4; ++i) app->pass();
    EXPECT_EQ(zero, 4);
    EXPECT_EQ(negative, 4);
}

TEST_F(App, DestroyingTheAppReleasesItsTasks) {
    int runs = 0;
    auto t = makeTask([&] { ++runs; });
    app->addTask(t.get());
    app.reset();
    KvApp other;
    other.addTask(t.get());
    other.pass();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(other.hasTask(t.get()));
    t.reset();  // leaves other's list
    other.pass();
}

TEST_F(App, ATaskMovesBetweenApplications) {
    auto t = makeTask([] {});
    KvApp other;
    app->addTask(t.get());
    other.addTask(t.get());
    EXPECT_FALSE(app->hasTask(t.get()));
    EXPECT_TRUE(other.hasTask(t.get()));
    app->removeTask(t.get());  // not in it: ignored
    EXPECT_TRUE(other.hasTask(t.get()));
}
