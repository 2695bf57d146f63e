// A script thread: one script, run cooperatively by the one script task
// inside the framework's main loop. The thread gets its program from the
// stages before it (lexer, compiler, compiled-file reader: YLexer.h,
// YCompiler.h, YProgram.h) and itself only executes and schedules.
//
// Every table has a fixed capacity: the compiler refuses a script that needs
// more, the executor stops a thread cleanly at a statement that would need
// more (loop frames, return addresses), and nothing is ever written past a
// table. Compilation is not re-entered: a thread compiles only from its
// constructor or set, never from inside a step.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"
#include "script/YCompiler.h"
#include "script/YKeywords.h"
#include "script/YLexer.h"
#include "script/YProgram.h"

#include <cstdint>
#include <cstdio>

class KvIStream;
class KvTask;
class KvScriptableObject;
class eventRecord;

// ---- capacities ----
inline constexpr int kYMaxLoops = 128;        // nested for frames
inline constexpr int kYThreadNameSize = 512;  // a thread's script name, with its NUL
inline constexpr int kYSayBufferSize = 2048;
inline constexpr int kYMaxNameHops = 64;      // variable-name steps of a call

// Turn states read after every step.
inline constexpr int kYTurnYield = 0;
inline constexpr int kYTurnRunOn = 1;
inline constexpr int kYTurnCannotRun = 333;
inline constexpr int kYTurnHandlerDone = 777;

class YThread {
public:
    // Ends the process after showing message; see setFatalHandler.
    using FatalHandler = YLexer::FatalHandler;
    using CompileMessageHandler = YLexer::CompileMessageHandler;
    using URLOpener = YURLOpener;
    // A host's rule on script names: null when the name may be opened, else
    // the reason it may not ("outside the title").
    using NameCheck = YLexer::NameCheck;
    // A host's watch over a thread's turn: called after each statement; true
    // ends the turn there, as a yield does, so that the main loop runs a pass
    // (reading events, seeing a window close) even under "yield off".
    using StatementWatch = bool (*)();
    // A host's file chooser: writes a path of at most kYFileNameSize - 1
    // characters into name, or "" to cancel.
    using Chooser = void (*)(char* name, int save);

    explicit YThread(KvIStream* stream);
    explicit YThread(const char* name = nullptr, URLOpener url = nullptr);
    ~YThread();

    void installURL(URLOpener url) { urlOpener = url; }
    // (Re)loads the thread from a script name; null asks the user (chooseFile).
    void set(const char* name);
    // Writes the compiled form as a compiled script file; 0 when the file cannot be made.
    int save(const char* file) const;
    // Without a host chooser: with a terminal on standard input, prompts
    // "Script: " on stderr and reads a path; otherwise name becomes "" (cancel).
    static void chooseFile(char* name, int save);
    static void setChooser(Chooser chooser);
    // The engine's fatal messages: a script that cannot be found or opened,
    // or that is too long. Without a handler the message goes through
    // KvSysUserMessage and the process exits with status 1. An installed
    // handler gets the message instead and must end the process itself; it
    // must not return into the engine, which exits with status 1 at once if it
    // does. Null restores the default. Returns the handler replaced.
    static FatalHandler setFatalHandler(FatalHandler handler);
    // The compiler's messages about the text it compiles. Without a handler
    // each text goes through KvSysUserMessage as it is; a host's handler can
    // show it with the file's name. The compilation goes on when it returns.
    // Null restores the default. Returns the handler replaced.
    static CompileMessageHandler setCompileMessageHandler(CompileMessageHandler handler);
    // Checked before every script name is opened, from a file or the URL
    // opener: the script itself, its includes, calls and relays. A refused
    // name is reported as a missing one is, with the reason. Null (the
    // default) opens any name. Returns the check replaced.
    static NameCheck setNameCheck(NameCheck check);
    // Null (the default) watches nothing. Returns the watch replaced.
    static StatementWatch setStatementWatch(StatementWatch watch);
    const char* getName() const { return name; }
    // 1 when the last compilation from a name or stream failed (the thread is
    // then not runnable; an ended script is not runnable either, but did not fail).
    int lastCompileFailed() const { return compileFailed; }

    // ---- execution ----
    void step(const void* event);
    void push(int value);
    int pop();
    int attach(const char* token);

    // ---- scheduling ----
    void go();
    void suspend() { suspended = 1; }
    void resume() { suspended = 0; }
    void cli() { blocked = 1; }
    void sti() { blocked = 0; }
    void flushIdle() { idleElapsed = 0; }
    static void resetIdle();
    static void dozeOffAll();
    static void wakeUpAll();
    static void suspendAll();
    static void resumeAll();
    static YThread* getCurrent();
    void call(const char* name);
    void relay(const char* name);
    void stop();
    void kill();
    void alertOnExit();
    void timer() {}
    int advance();
    int age();
    int getYield() const { return turnState; }
    int isYielding() const { return turnState == kYTurnYield; }
    int isFirstYieldOn() const { return firstYieldOn; }
    operator int() const { return compiled; }
    bool operator!() const { return !compiled; }
    void setExitLink(const KvLink* link) { KvLink::assign(exitLink, link); }
    void setYieldLink(const KvLink* link) { KvLink::assign(yieldLink, link); }
    void setGoLink(const KvLink* link) { KvLink::assign(goLink, link); }
    void setDoneMainLink(const KvLink* link) { KvLink::assign(doneMainLink, link); }

    // ---- events ----
    void handleEvent(const void* record);
    static void setYieldEventsOff(int on) { yieldEventsOff = on; }
    static int getYieldEventsOff() { return yieldEventsOff; }

    // ---- inspection (tests, tools) ----
    int getCommandCount() const { return program.commandCount; }
    int getWordCount() const { return program.wordCount; }
    const YCommand* getCommands() const { return program.commands; }
    const int16_t* getWords() const { return program.words; }
    static const YKeyword* getKeywordTable() { return YKeywordTable(); }
    static KvTask* getTask() { return task; }
    static int getThreadCount();
    static int getScriptStackDepth();

private:
    friend class eventRecord;
    friend class YEventLink;

    // A loop frame: five signed 16-bit fields.
    struct ForFrame {
        int16_t value;
        int16_t direction;  // +1, -1, or 0 when the last round is done
        int16_t limit;
        int16_t step;
        int16_t exit;       // the command index just after the loop
    };

    void construct();
    void resetFields();
    void strip();
    // Loading (YThread.cpp): a lexer for the text, a compiler for its clauses.
    int compile(const char* scriptName);
    int compile(KvIStream* stream);
    int compile(YLexer& lexer);
    void enlist();
    void start();

    // Executor helpers (YExecutor.cpp).
    int word(int at) const { return program.word(at); }
    int listLength(int operand) const;
    class YVariable* entryAt(int at) const;
    class YVariable* named(int at) const;
    void stall(int code);
    void startInterrupt(int handler);
    void leaveInterrupt();
    int checkDrop(int& wordIndex, char* buffer);
    void execute(const YCommand& command);
    void doCall(int operand);
    void doProcedure(int operand);
    void doForInit(int operand, int self);
    void doForNext(int operand);
    void doIf(int operand);
    void doJump(int target);
    void doSay(int operand);
    void doReturn();
    void doAssign(int operand);
    void doDrop(int operand);
    void doKeywordless(int operand);
    void doTimer(int operand, int& handler, int& interval, int& elapsed);
    void doPause(int operand);
    void doSet(int operand);
    void doGet(int operand);
    void doYield(int operand);
    void doPlay(int operand);
    void doRelay(int operand);
    void bindEvent(KvScriptableObject* object, const char* className, const char* property, int handler,
                   const char* bindingName);

    // Scheduler (YScheduler.cpp).
    static void taskFunction(const void*);
    static void switchScripts();
    int fireTimer(int handler, const char* keyword);
    bool turnEnds() const {
        return stalled || turnState == kYTurnYield || turnState == kYTurnHandlerDone || turnState == kYTurnCannotRun;
    }

    URLOpener urlOpener = nullptr;
    int mainRunning = 1;
    KvLink* exitLink = nullptr;
    KvLink* yieldLink = nullptr;
    KvLink* goLink = nullptr;
    KvLink* doneMainLink = nullptr;
    YProgram program;
    int16_t* blockStack = nullptr;
    char name[kYThreadNameSize] = {};
    ForFrame forFrames[kYMaxLoops] = {};
    // The compilation under way, while the thread compiles (attach goes to it).
    YCompiler* compiler = nullptr;

    int forDepth = -1;
    int idleHandler = 0;
    int idleInterval = 0;
    int idleElapsed = 0;
    int scheduleHandler = 0;
    int scheduleInterval = 0;
    int scheduleElapsed = 0;
    int blocked = 0;
    int compiled = 0;
    int eventsEnabled = 1;
    int inInterrupt = 0;
    int interruptCallDepth = 0;
    int started = 0;
    int firstYieldOn = 1;
    int turnState = kYTurnYield;
    int ip = 0;
    int suspended = 0;
    int blockDepth = 0;
    int condition = 1;
    struct {
        int ip;
        int suspended;
        int blockDepth;
        int condition;
    } saved = {};
    // The last step stopped at a command it cannot execute: the turn ends.
    int stalled = 0;
    int compileFailed = 0;

    static KvTask* task;
    static int yieldEventsOff;
    // A script switch waiting for the task: the thread, and a script name
    // (host call or relay) or the heap index of a variable naming the script.
    static YThread* pendingThread;
    static const char* pendingName;
    static int pendingIndex;
    // The shared pause deadline (0: none) and the code a thread last stopped at.
    static unsigned long pauseDeadline;
    static int lastStalledCode;
    static KvList<YThread>& threadList();
    // Owned copies of the names of calling scripts, the latest last.
    static KvList<char>& scriptStack();
    static void pushScript(const char* scriptName);
};
