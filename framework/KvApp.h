// The application object and its cooperative tasks. There is one KvApp
// (KvApp::theApp); its main loop makes passes until stop(). Each pass lets
// the backend deliver input, then calls every task once, in the order they
// were added. Tasks may add or remove tasks (themselves included) during a
// pass: a removed task is not called again, an added one first runs in the next pass.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

class KvApp;

class KvTask {
public:
    // link is cloned. period is the least number of milliseconds between two
    // runs; 0 runs the task on every pass. A task runs in the first pass after
    // it was added, then whenever period ms have passed since its last run.
    KvTask(const KvLink* link, int period = 0);
    // A task destroyed while in an application's list leaves it.
    virtual ~KvTask();
    KvTask(const KvTask&) = delete;
    KvTask& operator=(const KvTask&) = delete;

    // Calls the link with its stored argument. The task may delete itself here.
    virtual void run();
    int getPeriod() const { return period; }
    const KvLink* getLink() const { return link; }

private:
    friend class KvApp;
    KvLink* link;
    int period;
    KvApp* app = nullptr;           // the application whose list holds the task
    unsigned long addedInPass = 0;  // tasks added during a pass wait for the next one
    unsigned long lastRun = 0;
    bool ranOnce = false;
};

class KvApp {
public:
    static KvApp* theApp;
    // Window canvases can flip pages: a back buffer is available (read from
    // the backend when the app is made). bUsingDirectDraw is the name host
    // programs know it by.
    static inline bool bCanFlip = false;
    static inline bool& bUsingDirectDraw = bCanFlip;

    // The first application made becomes theApp; its destructor clears theApp.
    KvApp();
    virtual ~KvApp();
    KvApp(const KvApp&) = delete;
    KvApp& operator=(const KvApp&) = delete;

    // Not owned; adding twice does nothing. A task held by another application moves here.
    void addTask(KvTask* task);
    void removeTask(KvTask* task);  // unknown tasks are ignored
    bool hasTask(const KvTask* task) const;

    // Passes until stop(); returns the code given to stop.
    int run();
    // One pass: input, then every task once. For tests and hosts that own the loop.
    void pass();
    // The loop ends after the current pass (the remaining tasks of the pass still run).
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
