// A script thread: one script, loaded from a text file (includes expanded),
// a stream, a URL opener or a compiled script file, compiled in one pass into
// command records and operand words, and run cooperatively by the one script
// task inside the framework's main loop.
//
// Compiled form: a table of command records {code, 16-bit operand}, count + 1
// of them, the last all zero; and an array of 16-bit heap indices holding the
// operand lists, each ended by -1. The first three words are 0, 1, 2
// (SYSTEM, RECEIVER, RESULT). An operand is a word index, or a command index
// for jumps. Every table has a fixed capacity (below); the compiler refuses a
// script that needs more, the executor stops a thread cleanly at a statement
// that would need more, and nothing is ever written past a table.
//
// The compiler's text buffer, scan pointers, current file name and include
// stack are process-wide: one compilation at a time, never re-entered.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

#include <cstdint>
#include <cstdio>

class KvIStream;
class KvTask;
class KvScriptableObject;
class eventRecord;

// Command codes. 1 to 5 and 17 occur only in the keyword table; any code the
// executor does not know stops the thread at that command.
enum YCMND : int32_t {
    ycNone = 0,  // the zero record that ends every table
    ycIfKeyword = 1,
    ycForKeyword = 2,
    ycBreakKeyword = 3,
    ycProcedureKeyword = 4,
    ycContinueKeyword = 5,
    ycCall = 6,
    ycProcedure = 7,
    ycForInit = 8,
    ycForNext = 9,
    ycBranch = 10,
    ycJump = 11,
    ycIf = 12,
    ycEndIf = 13,
    ycSay = 14,
    ycReturn = 15,
    ycElse = 17,
    ycAssign = 18,
    ycDrop = 19,
    ycStatement = 21,
    ycWait = 22,
    ycIdle = 23,
    ycSchedule = 24,
    ycExit = 25,
    ycSuspend = 26,
    ycResume = 27,
    ycPause = 28,
    ycDebug = 29,
    ycSet = 35,
    ycGet = 36,
    ycYield = 37,
    ycPlay = 40,
    ycRelay = 45,
    ycQuit = 46,
};

struct YCommand {
    YCMND code;
    uint16_t operand;
};

// One entry of the keyword table; the table ends with a null keyword.
struct YKeyword {
    int code;
    const char* keyword;
    uint8_t length;
};

// ---- capacities ----
inline constexpr int kYMaxCommands = 8000;
inline constexpr int kYMaxWords = 20000;         // the three predefined words included
inline constexpr int kYBlockStackSize = 2048;    // open blocks, return addresses
inline constexpr int kYMaxOpenBlocks = 2048;     // nested clauses while compiling
inline constexpr int kYMaxLoops = 128;           // nested for frames
inline constexpr int kYThreadNameSize = 512;     // a thread's script name, with its NUL
inline constexpr int kYFileNameSize = 128;       // the current file name, with its NUL
inline constexpr long kYMaxScriptBytes = 65535;  // the longest script text
inline constexpr int kYMaxIncludeDepth = 64;     // includes nested in includes
inline constexpr int kYSayBufferSize = 2048;
inline constexpr int kYMaxNameHops = 64;         // variable-name steps of a call
inline constexpr int kYMessageSize = 128;
// Operand markers of an unpatched break and continue.
inline constexpr uint16_t kYBreakMarker = 0xFFFF;
inline constexpr uint16_t kYContinueMarker = 0xFFFE;
// Version bytes of compiled script files.
inline constexpr unsigned char kYCompiledVersion = 2;
inline constexpr unsigned char kYCompiledSwapped = 1;

// Turn states read after every step.
inline constexpr int kYTurnYield = 0;
inline constexpr int kYTurnRunOn = 1;
inline constexpr int kYTurnCannotRun = 333;
inline constexpr int kYTurnHandlerDone = 777;

// Compile errors of the compiler itself; the tokenizer's unbalanced quote and
// the analyser's errors use the shared evaluation codes (YVariable.h).
enum YCompileError : int {
    ycerrCapacity = 20,  // more commands, words or open blocks than the tables hold
    ycerrInclude = 21,   // includes nested too deep, or an include that is not text
};

// A message of the compiler about the text it compiles: the line-numbered
// message of a failed compilation ("12: " and the text around the failing
// token) or the warning of an unclosed quote ("Unquote ...").
struct YCompileMessage {
    const char* text;      // as shown when no handler is installed
    const char* fileName;  // the file compiled there (an included file by its own name); "" for a nameless stream
    long line;             // the line of that file, from 1
    bool numbered;         // text begins with that line number and ": "
};

class YThread {
public:
    // Ends the process after showing message; see setFatalHandler.
    using FatalHandler = void (*)(const char* message);
    using CompileMessageHandler = void (*)(const YCompileMessage& message);
    using URLOpener = KvIStream* (*)(const char* name);
    // A host's rule on script names: null when the name may be opened, else
    // the reason it may not ("outside the title").
    using NameCheck = const char* (*)(const char* name);
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
    int getCommandCount() const { return commandCount; }
    int getWordCount() const { return wordCount; }
    const YCommand* getCommands() const { return commands; }
    const int16_t* getWords() const { return words; }
    static const YKeyword* getKeywordTable();
    static KvTask* getTask() { return task; }
    static int getThreadCount();
    static int getScriptStackDepth();

private:
    friend class eventRecord;
    friend struct YScriptText;
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
    int compile(const char* scriptName);
    int compile(KvIStream* stream);
    int compile();
    int load(const char* file, int swap);
    int load(KvIStream* stream, int swap);
    int loadBytes(const unsigned char* bytes, long size, int swap);
    void enlist();
    void start();

    // Compiler (YCompiler.cpp); its working state is process-wide.
    int doClause();
    int doStatement(char* token, int length);
    int doAssignment(char* token, int length);
    int doInclude();
    void doArray(int target);
    void doList();
    void doExpression();
    void doCommand(YCMND code, int operand, bool literal = false);
    void appendWord(int index);
    void setJump();
    void nameProcedure();

    // Executor helpers (YExecutor.cpp).
    int word(int at) const;
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
    YCommand* commands = nullptr;
    int16_t* words = nullptr;
    int16_t* blockStack = nullptr;
    char name[kYThreadNameSize] = {};
    ForFrame forFrames[kYMaxLoops] = {};
    int commandCount = 0;
    int wordCount = 0;

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

// The scheduler's view of the keyword table's timer words (the same pointers
// the table holds, so event records can be recognised by address).
const char* YScheduleKeyword();
const char* YIdleKeyword();
