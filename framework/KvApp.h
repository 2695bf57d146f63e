// The application object and its cooperative tasks. There is one KvApp
// (KvApp::theApp); its main loop makes passes until stop(). Each pass lets
// the backend deliver input, then calls every task once, in the order they
// were added. Tasks may add or remove tasks (themselves included) during a
// pass: a removed task is not called again, an added one first runs in the next pass.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

class KvTask {
public:
    // link is cloned. period is the least number of milliseconds between two
    // runs; 0 runs the task on every pass.
    KvTask(const KvLink* link, int period = 0);
    virtual ~KvTask();
    KvTask(const KvTask&) = delete;
    KvTask& operator=(const KvTask&) = delete;

    virtual void run();
    int getPeriod() const { return period; }

private:
    friend class KvApp;
    KvLink* link;
    int period;
    unsigned long lastRun = 0;
    bool ranOnce = false;
};

class KvApp {
public:
    static KvApp* theApp;
    // Window canvases support page flipping (set from the backend when the app is made).
    static bool bUsingDirectDraw;

    KvApp();
    virtual ~KvApp();
    KvApp(const KvApp&) = delete;
    KvApp& operator=(const KvApp&) = delete;

    void addTask(KvTask* task);     // not owned; adding twice does nothing
    void removeTask(KvTask* task);  // unknown tasks are ignored
    bool hasTask(const KvTask* task) const;

    // Passes until stop(); returns the code given to stop.
    int run();
    // One pass: input, then every task once. For tests and hosts that own the loop.
    void pass();
    void stop(int code = 0);
    bool isStopped() const { return stopped; }
    void restart() { stopped = false; }
    unsigned long getPassCount() const { return passes; }

private:
    KvList<KvTask> tasks;
    bool stopped = false;
    int exitCode = 0;
    unsigned long passes = 0;
};
