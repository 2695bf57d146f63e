// The script task and the turns of threads. On every pass of the main loop
// the task gives each thread in list order one turn (advance), sets the
// aging tick about every 100 ms so that idle and schedule handlers fire
// (age), and carries out a pending script switch once the round is over.
//
// Turn states: 0 yield (one statement per turn), 1 run on, 333 cannot run,
// 777 an event handler finished with yield-events-off, below -1 a switch to
// the script named by the variable whose heap index is minus the state.
#include "script/YThread.h"

#include "framework/KvSys.h"
#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YVariable.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

YThread* YThread::pendingThread = nullptr;
const char* YThread::pendingName = nullptr;
int YThread::pendingIndex = 0;
unsigned long YThread::pauseDeadline = 0;
int YThread::lastStalledCode = -1;

namespace {

// Milliseconds between aging ticks: a tick is due once more have passed.
constexpr unsigned long kAgingTickMs = 100;

int agingTick = 0;
unsigned long lastTick = 0;

char* copyText(const char* text) {
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

KvList<YThread>& YThread::threadList() {
    static KvList<YThread> threads;
    return threads;
}

KvList<char>& YThread::scriptStack() {
    static struct Stack {
        ~Stack() {
            while (char* n = names.last()) {
                names.remove(n);
                delete[] n;
            }
        }
        KvList<char> names;
    } stack;
    return stack.names;
}

void YThread::pushScript(const char* scriptName) { scriptStack().append(copyText(scriptName ? scriptName : "")); }

int YThread::getThreadCount() { return threadList().count(); }
int YThread::getScriptStackDepth() { return scriptStack().count(); }

YThread* YThread::getCurrent() { return threadList().first(); }

namespace {
template <class F>
void forEachThread(KvList<YThread>& threads, F f) {
    KvList<YThread>::Cursor walk(threads);
    for (YThread* t = walk.first(); t; t = walk.next()) f(*t);
}
}  // namespace

void YThread::resetIdle() {
    forEachThread(threadList(), [](YThread& t) { t.idleElapsed = 0; });
}
void YThread::dozeOffAll() {
    forEachThread(threadList(), [](YThread& t) { t.blocked = 1; });
}
void YThread::wakeUpAll() {
    forEachThread(threadList(), [](YThread& t) { t.blocked = 0; });
}
void YThread::suspendAll() {
    forEachThread(threadList(), [](YThread& t) { t.suspended = 1; });
}
void YThread::resumeAll() {
    forEachThread(threadList(), [](YThread& t) { t.suspended = 0; });
}

void YThread::taskFunction(const void*) {
    static KvList<YThread>& threads = threadList();  // looked up once: the task runs on every pass
    if (threads.isEmpty()) return;
    const unsigned long now = KvSysMilliSecCount();
    if (lastTick == 0) {
        lastTick = now;
    } else if (now - lastTick > kAgingTickMs) {
        agingTick = 1;
        lastTick = now;
    }
    {
        KvList<YThread>::Cursor walk(threads);
        for (YThread* t = walk.first(); t; t = walk.next())
            if (t->advance()) break;
    }
    agingTick = 0;
    if (pendingThread) switchScripts();
}

// Reloads the pending thread: the host's script name, the script a variable
// names, or (the script ended) the calling script, or nothing.
void YThread::switchScripts() {
    eventRecord::flush();
    YThread* t = pendingThread;
    if (pendingName) {
        const std::string next(pendingName);
        pendingName = nullptr;
        pendingIndex = 0;
        t->set(next.c_str());
        if (t->compiled) t->start();
    } else if (pendingIndex) {
        YVariable* entry = YHeap::theHeap[pendingIndex];
        const std::string next(entry ? entry->resolve() : "");  // set empties the heap
        pendingIndex = 0;
        t->set(next.c_str());
        if (t->compiled) t->start();
    } else if (scriptStack().isEmpty()) {
        t->kill();
    } else {
        char* caller = scriptStack().last();
        scriptStack().remove(caller);
        const std::string next(caller);
        delete[] caller;
        t->set(next.c_str());
        if (t->compiled) t->start();
    }
    pendingThread = nullptr;
}

namespace {
YThread::StatementWatch statementWatch = nullptr;
}  // namespace

YThread::StatementWatch YThread::setStatementWatch(StatementWatch watch) {
    return std::exchange(statementWatch, watch);
}

int YThread::advance() {
    stalled = 0;
    if (agingTick && age()) return 0;
    while (!pendingThread) {
        step(nullptr);
        if (turnEnds()) return 0;
        // The turn resumes at the next statement on the next pass.
        if (statementWatch && statementWatch()) return 0;
    }
    if (turnState < -1) pendingIndex = -turnState;
    return 1;
}

// Starts a timer's handler as an interrupt; returns the turn state's verdict
// as age does: -1 when the handler already returned.
int YThread::fireTimer(int handler, const char* keyword) {
    eventRecord* record = new eventRecord(keyword, handler, nullptr, nullptr);
    step(record);
    delete record;
    if (turnState == kYTurnHandlerDone) return -1;
    return turnState >= 0 ? 1 : 0;
}

int YThread::age() {
    ++idleElapsed;
    ++scheduleElapsed;
    if (scheduleHandler && scheduleElapsed > scheduleInterval) {
        const int handler = scheduleHandler;
        scheduleHandler = 0;  // a schedule fires once
        scheduleElapsed = idleElapsed = 0;
        const int verdict = fireTimer(handler, YScheduleKeyword());
        if (verdict >= 0) return verdict;
    }
    if (idleHandler && idleElapsed > idleInterval) {
        idleElapsed = 0;
        const int verdict = fireTimer(idleHandler, YIdleKeyword());
        return verdict < 0 ? 0 : verdict;
    }
    return 0;
}
