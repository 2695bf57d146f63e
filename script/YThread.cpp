// A script thread's life: construction from a stream or a script name,
// (re)loading with set (through a lexer and a compiler made for that one
// compilation), stripping, stopping and killing, the host's hooks and links.
// A thread owns its program's tables and block stack (all null when it has no
// runnable script) and clones of the links given to it. It joins the thread
// list when a compilation first succeeds and leaves it when destroyed; the
// last thread destroyed takes the script task and the heap with it.
#include "script/YThread.h"

#include "framework/KvApp.h"
#include "framework/KvSys.h"
#include "script/YEvents.h"
#include "script/YHeap.h"

#include <cstdio>
#include <string>
#include <utility>

KvTask* YThread::task = nullptr;
int YThread::yieldEventsOff = 0;

YThread::YThread(KvIStream* stream) {
    construct();
    blockStack = new int16_t[kYBlockStackSize];
    compiled = compile(stream);
    if (!compiled) {
        strip();
        compileFailed = 1;
    }
    enlist();
}

YThread::YThread(const char* scriptName, URLOpener url) : urlOpener(url) {
    construct();
    set(scriptName);
}

YThread::~YThread() {
    eventRecord::flush();
    threadList().remove(this);
    if (pendingThread == this) {
        pendingThread = nullptr;
        pendingName = nullptr;
        pendingIndex = 0;
    }
    if (threadList().isEmpty()) {
        delete task;  // a task leaves its application's list when destroyed
        task = nullptr;
        YHeap::theHeap.kill();
    }
    strip();
    delete exitLink;
    delete yieldLink;
    delete goLink;
    delete doneMainLink;
}

// The script task (made with the first thread, or added again to a new
// application), the heap, and a cleared thread.
void YThread::construct() {
    if (KvApp::theApp) {
        if (!task) {
            KvLinkToFct link(&YThread::taskFunction);
            task = new KvTask(&link, 0);
        }
        if (!KvApp::theApp->hasTask(task)) KvApp::theApp->addTask(task);
    }
    YHeap::theHeap.init();
    kill();
    resetFields();
}

void YThread::resetFields() {
    mainRunning = 1;
    forDepth = -1;
    idleHandler = idleInterval = idleElapsed = 0;
    scheduleHandler = scheduleInterval = scheduleElapsed = 0;
    blocked = 0;
    eventsEnabled = 1;
    inInterrupt = 0;
    interruptCallDepth = 0;
    started = 0;
    firstYieldOn = 1;
    turnState = kYTurnYield;
    ip = 0;
    suspended = 0;
    blockDepth = 0;
    condition = 1;
    saved = {};
    stalled = 0;
    compileFailed = 0;
}

void YThread::set(const char* scriptName) {
    if (scriptName) {
        const std::string copy(scriptName);  // the name may be this thread's own buffer
        std::snprintf(name, sizeof name, "%s", copy.c_str());
    } else {
        chooseFile(name, 0);
    }
    kill();
    resetFields();
    strip();
    if (!name[0]) return;
    blockStack = new int16_t[kYBlockStackSize];
    compiled = compile(name);
    if (!compiled) {
        strip();
        compileFailed = 1;
    }
    enlist();
}

int YThread::compile(const char* scriptName) {
    YLexer lexer(urlOpener, program);
    const int found = lexer.open(scriptName);
    ip = 0;
    if (found == YLexer::kCompiled) return 1;
    if (found == YLexer::kRefused) {
        char message[kYThreadNameSize + 64];
        std::snprintf(message, sizeof message, "%s: not a compiled script this system can read", scriptName);
        KvSysUserMessage(message, kKvSysMessageModal, nullptr);
        return 0;
    }
    return compile(lexer);
}

int YThread::compile(KvIStream* stream) {
    YLexer lexer(urlOpener, program);
    const int found = lexer.open(stream);
    ip = 0;
    if (found == YLexer::kCompiled) return 1;
    if (found == YLexer::kRefused) return 0;
    return compile(lexer);
}

int YThread::compile(YLexer& lexer) {
    YCompiler compilation(lexer);
    compiler = &compilation;
    const int good = compilation.compile(program);
    compiler = nullptr;
    ip = 0;
    return good;
}

int YThread::attach(const char* token) { return compiler ? compiler->attach(token) : -1; }

void YThread::enlist() {
    if (compiled && !threadList().contains(this)) threadList().append(this);
}

void YThread::strip() {
    program.release();
    delete[] blockStack;
    blockStack = nullptr;
    blockDepth = 0;
}

void YThread::go() {
    if (compiled) start();
}

void YThread::start() {
    started = 1;
    if (goLink) goLink->call();
}

void YThread::stop() {
    started = 0;
    eventRecord::flush();
}

void YThread::kill() {
    if (compiled) {
        stop();
        strip();
        YHeap::theHeap.kill();
        YHeap::theHeap.init();
        compiled = 0;
    }
    alertOnExit();
}

void YThread::alertOnExit() {
    if (exitLink) exitLink->call();
}

void YThread::call(const char* scriptName) {
    if (!scriptName || std::string(scriptName) == name) return;
    pushScript(name);
    relay(scriptName);
}

void YThread::relay(const char* scriptName) {
    if (!scriptName || std::string(scriptName) == name) return;
    pendingThread = this;
    pendingName = scriptName;
}

// ------------------------------------------------------------ host hooks

YThread::NameCheck YThread::setNameCheck(NameCheck check) { return std::exchange(YLexer::nameCheck, check); }

YThread::FatalHandler YThread::setFatalHandler(FatalHandler handler) {
    return std::exchange(YLexer::fatalHandler, handler);
}

YThread::CompileMessageHandler YThread::setCompileMessageHandler(CompileMessageHandler handler) {
    return std::exchange(YLexer::compileMessageHandler, handler);
}

namespace {
YThread::Chooser hostChooser = nullptr;
}

void YThread::setChooser(Chooser chooser) { hostChooser = chooser; }

void YThread::chooseFile(char* chosen, int save) {
    if (!chosen) return;
    if (hostChooser) {
        hostChooser(chosen, save);
        chosen[kYFileNameSize - 1] = 0;
        return;
    }
    KvSysChooseFile("Script", "*.mps", save, chosen, kYFileNameSize);
}

int YThread::save(const char* file) const { return program.save(file); }
