// The application's main loop and its tasks.
// Invariant: a task is in at most one application's list, and task->app
// names that application (null when in none).
#include "framework/KvApp.h"

#include "framework/KvBackend.h"
#include "framework/KvSys.h"

KvApp* KvApp::theApp = nullptr;

KvTask::KvTask(const KvLink* l, int p) : link(l ? l->clone() : nullptr), period(p < 0 ? 0 : p) {}

KvTask::~KvTask() {
    if (app) app->removeTask(this);
    delete link;
}

void KvTask::run() {
    if (link) link->call();
}

KvApp::KvApp() {
    if (!theApp) theApp = this;
    bCanFlip = KvBackend::current()->canFlip();
}

KvApp::~KvApp() {
    KvList<KvTask>::Cursor walk(tasks);
    for (KvTask* t = walk.first(); t; t = walk.next()) t->app = nullptr;
    tasks.clear();
    if (theApp == this) theApp = nullptr;
}

void KvApp::addTask(KvTask* task) {
    if (!task || task->app == this) return;
    if (task->app) task->app->removeTask(task);
    task->app = this;
    task->addedInPass = passes;
    task->ranOnce = false;
    tasks.append(task);
}

void KvApp::removeTask(KvTask* task) {
    if (task && task->app == this && tasks.remove(task)) task->app = nullptr;
}

bool KvApp::hasTask(const KvTask* task) const { return task && tasks.contains(task); }

int KvApp::run() {
    while (!stopped) pass();
    return exitCode;
}

void KvApp::pass() {
    ++passes;
    KvBackend::current()->pumpEvents();
    const unsigned long now = KvSysMilliSecCount();
    KvList<KvTask>::Cursor walk(tasks);
    for (KvTask* t = walk.first(); t; t = walk.next()) {
        if (t->addedInPass == passes) continue;  // added during this pass
        if (t->ranOnce && now - t->lastRun < static_cast<unsigned long>(t->period)) continue;
        t->ranOnce = true;
        t->lastRun = now;
        t->run();  // t may be gone now
    }
}

void KvApp::stop(int code) {
    stopped = true;
    exitCode = code;
}
