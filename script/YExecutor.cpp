// The executor: step runs one command of a thread's program.
//
// Words are read only through word(), which gives -1 (the end of a list) for
// any index outside the word array, and jumps are clamped to the zero record
// that ends the command table, so a damaged operand cannot make a read leave
// the tables. A command that cannot run (an unknown code, the zero record, a
// loop frame or return address beyond capacity) stalls the thread: the same
// command is fetched again by the next step, and the turn ends.
#include "script/YThread.h"

#include "framework/KvApp.h"
#include "framework/KvSys.h"
#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YKeywords.h"
#include "script/YVariable.h"
#include "sob/KvScriptableObject.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The debug file that say appends to, in the working directory.
const char kDebugFile[] = "debug.txt";
// A time unit of pause is 900 ms; of idle and schedule, 9 aging ticks.
constexpr double kPauseMsPerUnit = 900.0;
constexpr double kTicksPerUnit = 9.0;

std::string textOf(YVariable* entry) {
    if (!entry) return std::string();
    int length = 0;
    const char* text = entry->value(length);
    return std::string(text ? text : "", text && length > 0 ? static_cast<size_t>(length) : 0);
}

int clampToInt(double number) {
    if (std::isnan(number)) return 0;
    if (number >= INT_MAX) return INT_MAX;
    if (number <= INT_MIN) return INT_MIN;
    return static_cast<int>(std::trunc(number));
}

int16_t wrap16(long value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

long numberOf(YVariable* entry) {
    long number = 0;
    if (entry) entry->value(&number);
    return number;
}

}  // namespace

// ------------------------------------------------------------------ access
// Inline: the commands of this file are their only callers.

int YThread::listLength(int operand) const {
    int n = 0;
    while (word(operand + n) >= 0) ++n;
    return n;
}

inline YVariable* YThread::entryAt(int at) const {
    const int index = word(at);
    return index < 0 ? nullptr : YHeap::theHeap[index];
}

// The variable a word names: an entry whose value is another entry's (a
// path) stands for that entry.
inline YVariable* YThread::named(int at) const {
    YVariable* entry = entryAt(at);
    if (!entry || entry->readsAsItself()) return entry;
    char buffer[kYValueBufferSize];
    const int other = entry->value(buffer);
    if (other > 0 && YHeap::theHeap[other]) return YHeap::theHeap[other];
    return entry;
}

void YThread::stall(int code) {
    if (mainRunning && doneMainLink) {
        mainRunning = 0;
        lastStalledCode = code;
        doneMainLink->call();
    }
    if (yieldEventsOff) turnState = kYTurnCannotRun;
    --ip;
    stalled = 1;
}

// The block stack at run time: return addresses; -1 stands for the end.
void YThread::push(int value) {
    if (!blockStack || blockDepth >= kYBlockStackSize) return;
    blockStack[blockDepth++] = static_cast<int16_t>(value < 0 ? program.commandCount : value);
}

int YThread::pop() {
    if (!blockStack || blockDepth <= 0) return -1;
    return blockStack[--blockDepth];
}

void YThread::startInterrupt(int handler) {
    saved = {ip, suspended, blockDepth, condition};
    inInterrupt = 1;
    suspended = 0;
    ip = handler;
}

void YThread::leaveInterrupt() {
    ip = saved.ip;
    suspended = saved.suspended;
    blockDepth = saved.blockDepth;
    condition = saved.condition;
    inInterrupt = 0;
}

// -------------------------------------------------------------------- step

// Inline: step is its only caller.
inline void YThread::execute(const YCommand& command) {
    const int operand = command.operand;
    switch (command.code) {
    case ycCall: doCall(operand); break;
    case ycProcedure: doProcedure(operand); break;
    case ycForInit: doForInit(operand, ip - 1); break;
    case ycForNext: doForNext(operand); break;
    case ycBranch:
        if (!condition) doJump(operand);
        break;
    case ycJump: doJump(operand); break;
    case ycIf: doIf(operand); break;
    case ycEndIf:
    case ycDebug: break;
    case ycSay: doSay(operand); break;
    case ycReturn: doReturn(); break;
    case ycAssign: doAssign(operand); break;
    case ycDrop: doDrop(operand); break;
    case ycStatement: doKeywordless(operand); break;
    case ycWait:
        suspended = 1;
        if (mainRunning && doneMainLink) {
            mainRunning = 0;
            doneMainLink->call();
        }
        break;
    case ycIdle: doTimer(operand, idleHandler, idleInterval, idleElapsed); break;
    case ycSchedule: doTimer(operand, scheduleHandler, scheduleInterval, scheduleElapsed); break;
    case ycExit:
        started = 0;
        pendingThread = this;
        break;
    case ycSuspend: eventsEnabled = 0; break;
    case ycResume: eventsEnabled = 1; break;
    case ycPause: doPause(operand); break;
    case ycSet: doSet(operand); break;
    case ycGet: doGet(operand); break;
    case ycYield: doYield(operand); break;
    case ycPlay: doPlay(operand); break;
    case ycRelay: doRelay(operand); break;
    case ycQuit:
        if (KvApp::theApp) KvApp::theApp->stop();
        doRelay(operand);
        break;
    default: stall(command.code); break;
    }
}


void YThread::step(const void* event) {
    stalled = 0;
    if (!started || blocked || !program.commands) {
        turnState = kYTurnCannotRun;
        return;
    }
    if (event) {
        const auto* record = static_cast<const eventRecord*>(event);
        if (!eventsEnabled) {
            turnState = kYTurnHandlerDone;
            return;
        }
        if (YVariable* receiver = YHeap::theHeap[kYReceiver]) {
            if (record->getName() && (record->getName() == YScheduleKeyword() || record->getName() == YIdleKeyword())) {
                receiver->set(record->getName(), -1);
            } else {
                KvScriptableObject* object = record->getObject() ? record->getObject() : KvScriptableObject::getNewborn();
                if (object) receiver->set(object);
            }
        }
        interruptCallDepth = 0;
        if (inInterrupt) leaveInterrupt();
        startInterrupt(static_cast<int>(record->getHandler()));
    }
    if (pauseDeadline && KvSysMilliSecCount() > pauseDeadline) {
        pauseDeadline = 0;
        suspended = 0;
    }
    if (suspended) {
        turnState = kYTurnCannotRun;
        return;
    }
    if (ip < 0 || ip > program.commandCount) ip = program.commandCount;
    const YCommand command = program.commands[ip++];
    if (doneMainLink && !mainRunning && command.code != lastStalledCode) mainRunning = 1;
    execute(command);
}

// ------------------------------------------------------- flow of control

// call NAME args...: a procedure ("+index") or another script file. The name
// is followed through variables whose texts name variables.
void YThread::doCall(int operand) {
    int index = word(operand);
    if (index < 0 || !YHeap::theHeap[index]) return;
    char text[kYValueBufferSize];
    for (int hop = 0;; ++hop) {
        YHeap::theHeap[index]->resolve(text);
        const int next = YHeap::theHeap.index(text, static_cast<int>(std::strlen(text)));
        if (next < 0 || next == index || hop >= kYMaxNameHops) break;
        index = next;
    }
    if (text[0] == '+') {
        if (blockDepth >= kYBlockStackSize) {
            stall(ycCall);
            return;
        }
        push(ip);
        ip = std::atoi(text + 1);
        if (inInterrupt) ++interruptCallDepth;
        return;
    }
    pushScript(name);
    turnState = -index;
    started = 0;
    pendingThread = this;
}

// procedure NAME params...: skipped in straight-line flow; entered by call,
// it takes the caller's arguments as texts, parameter by parameter.
void YThread::doProcedure(int operand) {
    if (blockDepth == 0) {
        while (ip < program.commandCount && program.commands[ip].code != ycReturn) ++ip;
        if (ip < program.commandCount) ++ip;
        return;
    }
    const int caller = blockStack[blockDepth - 1] - 1;
    if (caller < 0 || caller >= program.commandCount) return;
    int argument = program.commands[caller].operand + 1;
    int parameter = operand + 1;
    for (;; ++argument, ++parameter) {
        YVariable* source = entryAt(argument);
        YVariable* target = entryAt(parameter);
        if (word(argument) < 0 || word(parameter) < 0) break;
        if (!source || !target) continue;
        const std::string text = textOf(source);
        target->set(text.c_str(), static_cast<int>(text.size()));
    }
}

// for VAR START [LIMIT [STEP]]: a frame of 16-bit values; without LIMIT the
// loop counts down to 0. With fewer than two operands it is a while loop.
void YThread::doForInit(int operand, int self) {
    const int n = listLength(operand);
    if (n < 2) return;
    if (forDepth + 1 >= kYMaxLoops) {
        stall(ycForInit);
        return;
    }
    ForFrame frame{};
    frame.value = wrap16(numberOf(entryAt(operand + 1)));
    frame.limit = n < 3 ? 0 : wrap16(numberOf(entryAt(operand + 2)));
    frame.step = n < 3 ? -1 : n < 4 ? 1 : wrap16(numberOf(entryAt(operand + 3)));
    frame.exit = static_cast<int16_t>(self + 2 < program.commandCount ? program.commands[self + 2].operand : program.commandCount);
    frame.direction = frame.value < frame.limit ? 1 : -1;
    frame.value = wrap16(frame.value - frame.step);
    forFrames[++forDepth] = frame;
}

void YThread::doForNext(int operand) {
    if (word(operand) < 0 || word(operand + 1) < 0) {  // fewer than two words
        doIf(operand);
        return;
    }
    if (forDepth < 0) {  // no loop of its own: the loop ends
        condition = 0;
        return;
    }
    ForFrame& frame = forFrames[forDepth];
    frame.value = wrap16(frame.value + frame.step);
    if (YVariable* variable = named(operand)) variable->set(static_cast<long>(frame.value));
    if (frame.direction == 0) {
        condition = 0;
    } else if (frame.value == frame.limit) {
        condition = 1;
        frame.direction = 0;
    } else {
        condition = frame.direction > 0 ? frame.value < frame.limit : frame.value > frame.limit;
    }
}

// A jump that leaves the innermost loop (to its exit) drops its frame.
void YThread::doJump(int target) {
    ip = target > program.commandCount ? program.commandCount : target;
    if (forDepth >= 0 && static_cast<uint16_t>(forFrames[forDepth].exit) == target) --forDepth;
}

// if WORD: false only when the text begins with "0".
void YThread::doIf(int operand) {
    YVariable* entry = entryAt(operand);
    if (!entry) {
        condition = 1;
        return;
    }
    char text[kYValueBufferSize];
    entry->resolve(text);
    condition = text[0] == '0' ? 0 : 1;
}

void YThread::doReturn() {
    if (inInterrupt && interruptCallDepth == 0) {
        leaveInterrupt();
        if (yieldEventsOff) turnState = kYTurnHandlerDone;
        return;
    }
    const int back = pop();
    ip = back < 0 ? program.commandCount : back;  // nothing to return to: the end
    if (inInterrupt) --interruptCallDepth;
}

// ------------------------------------------------------------- statements

void YThread::doSay(int operand) {
    char line[kYSayBufferSize];
    int used = 0;
    for (int k = operand; word(k) >= 0; ++k) {
        const std::string text = textOf(entryAt(k));
        const int blank = used > 0 ? 1 : 0;
        if (used + blank + static_cast<int>(text.size()) >= kYSayBufferSize) continue;
        if (blank) line[used++] = ' ';
        std::memcpy(line + used, text.data(), text.size());
        used += static_cast<int>(text.size());
    }
    // The line and its end go out in one unbuffered write, so that a process
    // killed mid-run leaves only whole lines (used < kYSayBufferSize here).
    // A text's NUL ends the line's text, as it always has.
    used = static_cast<int>(strnlen(line, static_cast<size_t>(used)));
    line[used++] = '\n';
    if (std::FILE* file = std::fopen(kDebugFile, "a")) {
        std::setvbuf(file, nullptr, _IONBF, 0);
        std::fwrite(line, 1, static_cast<size_t>(used), file);
        std::fclose(file);
    }
}

// TARGET=SOURCE args...: a class name creates an object; a text is copied;
// an object is copied, or shared by an alias target.
void YThread::doAssign(int operand) {
    YVariable* target = named(operand);
    if (!target) return;
    // A plain variable's object is at hand; other kinds are read for it.
    KvScriptableObject* held = nullptr;
    if (const YVariable* holder = target->target(); holder->getKind() == yvtVariable)
        held = holder->form == yvsObject ? holder->payload.object : nullptr;
    else
        target->value(held);
    if (held) eventRecord::remove(held, nullptr);
    if (word(operand + 1) < 0) {
        target->set(nullptr, -2);
        return;
    }
    YVariable* entry = entryAt(operand + 1);
    if (!entry) return;
    // Arithmetic on numbers: the value goes to the target without a text in between.
    double number = 0.0;
    if (entry != target && entry->readArithmetic(number)) {
        target->setArithmetic(number);
        return;
    }
    // The source is read as the variable it names, then for its text and
    // object. An expression or substring gives the same text the second time
    // unless a random digit went into it, so it is read once.
    char buffer[kYValueBufferSize];
    const unsigned long draws = YVariable::getRandomDraws();
    const int other = entry->readsAsItself() ? 0 : entry->value(buffer);
    YVariable* source = other > 0 && YHeap::theHeap[other] ? YHeap::theHeap[other] : entry;
    KvScriptableObject* object = nullptr;
    const YVT kind = source->target()->getKind();
    const bool readOnce = source == entry && (kind == yvtExpression || kind == yvtSubstring) &&
                          draws == YVariable::getRandomDraws();
    const char* value = readOnce ? buffer : source->value(object);
    const std::string text(value ? value : "");
    if (source->getKind() == yvtVariable && source->getForm() == yvsNone && KvScriptableObject::isXtor(text.c_str())) {
        KvScriptableObject::resetParameters();
        for (int k = operand + 2; word(k) >= 0; ++k) KvScriptableObject::addParameter(textOf(entryAt(k)).c_str());
        KvScriptableObject* made = KvScriptableObject::create(text.c_str(), KvScriptableObject::kKvEndOfParameters);
        if (made)
            target->set(made);
        else
            target->set(0L);
        return;
    }
    if (target == source) return;
    if (!object && static_cast<unsigned char>(text[0]) != static_cast<unsigned char>(kYObjectMarker)) {
        target->set(text.c_str(), -1);
        return;
    }
    if (target->getAlias())
        target->set(object);
    else
        target->set(object ? object->copy() : nullptr);
}

void YThread::doDrop(int operand) {
    char buffer[kYValueBufferSize];
    for (int k = operand; word(k) >= 0; ++k) {
        if (!checkDrop(k, buffer)) continue;
        YVariable* entry = named(k);
        if (!entry) continue;
        KvScriptableObject* object = nullptr;
        entry->value(object);
        if (object) {
            eventRecord::remove(object, nullptr);
            YHeap::theHeap.drop(object, 1);
        } else {
            entry->set(nullptr, -2);
        }
    }
}

// The special words of drop; some take the next word too. 1: an ordinary variable.
int YThread::checkDrop(int& k, char* buffer) {
    YVariable* entry = entryAt(k);
    const char* word0 = entry ? entry->getName() : nullptr;
    if (!word0) return 1;
    const std::string special(word0);
    const bool hasNext = word(k + 1) >= 0;
    if (special == "schedule") {
        scheduleHandler = 0;
        inInterrupt = 0;
    } else if (special == "idle") {
        idleHandler = 0;
        inInterrupt = 0;
    } else if (special == "stack") {
        blockDepth = 0;
        saved.blockDepth = 0;
    } else if (special == "wait") {
        suspended = 0;
        saved.suspended = 0;
    } else if (special == "[") {
        if (!hasNext) return 0;
        YVariable* array = entryAt(++k);
        const char* base = array ? array->getName() : nullptr;
        if (!base) return 0;
        const size_t baseLength = std::strlen(base);
        YHeap& heap = YHeap::theHeap;
        for (int i = 3; i < heap.size(); ++i) {
            YVariable* element = heap[i];
            const char* own = element->getName();
            if (!own || std::strncmp(own, base, baseLength) != 0 || own[baseLength] != '.') continue;
            if (std::strchr(own + baseLength + 1, '.')) continue;
            if (element->getKind() != yvtVariable || element->getForm() == yvsNone) continue;
            KvScriptableObject* object = nullptr;
            element->value(object);
            if (object) eventRecord::remove(object, nullptr);
            element->set(nullptr, -2);
        }
    } else if (special == "trinkets") {
        YHeap::theHeap.dropTrinkets(1);
        eventRecord::flush();
    } else if (special == "var") {
        if (!hasNext) return 0;
        YVariable* next = entryAt(++k);
        if (!next) return 0;
        next->value(buffer);
        const int found = YHeap::theHeap.index(buffer, static_cast<int>(std::strlen(buffer)));
        if (YVariable* variable = YHeap::theHeap[found]) variable->set(nullptr, -2);
    } else if (special == "script") {
        if (!hasNext) return 0;
        if (textOf(entryAt(++k)) == "stack") {
            while (char* caller = scriptStack().last()) {
                scriptStack().remove(caller);
                delete[] caller;
            }
        }
    } else {
        return 1;
    }
    return 0;
}

// A statement whose first word is a host keyword: the link gets the
// resolved texts of the other words as parameters.
void YThread::doKeywordless(int operand) {
    YVariable* first = entryAt(operand);
    if (!first) return;
    bool found = false;
    const KvLink* link = YFindCustomKeyword(textOf(first).c_str(), found);
    if (!found) return;
    KvScriptableObject::resetParameters();
    char text[kYValueBufferSize];
    for (int k = operand + 1; word(k) >= 0; ++k) {
        YVariable* entry = entryAt(k);
        text[0] = 0;
        if (entry) entry->resolve(text);
        KvScriptableObject::addParameter(text);
    }
    if (!link) return;
    KvScriptableObject::prepareParameters();
    // A clone: the link may register its keyword again while it runs.
    const std::unique_ptr<KvLink> running(link->clone());
    running->call();
}

// idle TIME PROC / schedule TIME PROC: TIME × 9 aging ticks, the handler
// just after the procedure's entry. A time of 0 changes nothing.
void YThread::doTimer(int operand, int& handler, int& interval, int& elapsed) {
    YVariable* time = named(operand);
    YVariable* procedure = entryAt(operand + 1);
    if (!time || !procedure) return;
    double units = 0.0;
    time->value(&units);
    if (units == 0.0) return;
    long entry = 0;
    procedure->value(&entry);
    handler = static_cast<int>(entry) + 1;
    interval = clampToInt(units * kTicksPerUnit);
    elapsed = 0;
}

// pause TIME: every thread's shared deadline, TIME × 900 ms from now.
void YThread::doPause(int operand) {
    YVariable* time = named(operand);
    if (!time) return;
    double units = 0.0;
    time->value(&units);
    if (units == 0.0) return;
    pauseDeadline = KvSysMilliSecCount() + static_cast<unsigned long>(static_cast<long>(clampToInt(units * kPauseMsPerUnit)));
    suspended = 1;
}

// set OBJECT PROPERTY [params...] [VALUE]: a value, an event binding (a
// procedure as value), or a class's born handler (a class name as object).
void YThread::doSet(int operand) {
    const int n = listLength(operand);
    if (n < 2) return;
    YVariable* holder = named(operand);
    if (!holder) return;
    KvScriptableObject* object = nullptr;
    holder->value(object);
    std::string className;
    if (!object) {
        if (!holder->getName() || !KvScriptableObject::isXtor(holder->getName())) return;
        className = holder->getName();
    }
    const std::string property = textOf(entryAt(operand + 1));
    if (n == 2) {
        if (object) {
            eventRecord::remove(object, property.c_str());
            object->sobSet(property.c_str(), nullptr, nullptr);
        } else {
            KvScriptableObject::setBornHandler(className.c_str(), nullptr);
        }
        return;
    }
    KvScriptableObject::resetParameters();
    for (int k = operand + 2; k < operand + n - 1; ++k) KvScriptableObject::addParameter(textOf(entryAt(k)).c_str());
    const std::string value = textOf(named(operand + n - 1));
    if (!value.empty() && value[0] == '+') {
        bindEvent(object, className.c_str(), property.c_str(), std::atoi(value.c_str() + 1) + 1, holder->getName());
        return;
    }
    if (object) object->sobSet(property.c_str(), value.c_str());
}

void YThread::bindEvent(KvScriptableObject* object, const char* className, const char* property, int handler,
                        const char* bindingName) {
    if (object) {
        eventRecord::remove(object, property);
        auto* record = new eventRecord(bindingName, handler, object, property);
        const YEventLink link(this, record);
        const KvMemberLink<eventRecord> cloneLink(record, &eventRecord::clone);
        if (!object->sobSet(property, &link, &cloneLink)) delete record;  // no such event
        return;
    }
    auto* record = new eventRecord(bindingName, handler, nullptr, property);
    const YEventLink link(this, record);
    if (!KvScriptableObject::setBornHandler(className, &link)) delete record;
}

// get OBJECT PROPERTY [params...] TARGET; the property "name" gives the
// object's script name.
void YThread::doGet(int operand) {
    const int n = listLength(operand);
    if (n < 2) return;  // with no target word, the property's word names the target
    YVariable* holder = named(operand);
    if (!holder) return;
    KvScriptableObject* object = nullptr;
    holder->value(object);
    const std::string property = textOf(entryAt(operand + 1));
    KvScriptableObject::resetParameters();
    for (int k = operand + 2; k < operand + n - 1; ++k) KvScriptableObject::addParameter(textOf(entryAt(k)).c_str());
    const char* result = nullptr;
    std::string copy;
    if (property == "name") {
        result = word(operand) == kYReceiver ? eventRecord::getName(object) : holder->getName();
    } else if (object) {
        result = object->sobGet(property.c_str());
    }
    if (!result) return;
    copy = result;
    if (YVariable* target = named(operand + n - 1)) target->set(copy.c_str(), -1);
}

// yield on|off: a two-character word yields after every statement.
void YThread::doYield(int operand) {
    int length = -1;
    if (YVariable* entry = entryAt(operand)) entry->value(length);
    turnState = length == 2 ? kYTurnYield : kYTurnRunOn;
    if (yieldLink) yieldLink->call();
    if (turnState == kYTurnYield) firstYieldOn = 0;
}

// play OBJECT [METHOD [params...] [}]]: a word beginning with "}" ends the
// parameters and blocks the thread until the object says it is done.
void YThread::doPlay(int operand) {
    YVariable* first = entryAt(operand);
    if (!first) return;
    KvScriptableObject* object = nullptr;
    first->resolve(object);
    if (!object) return;
    KvScriptableObject::resetParameters();
    std::string method = word(operand + 1) >= 0 ? textOf(entryAt(operand + 1)) : std::string();
    if (method.empty()) method = KvScriptableObject::sobDefaultMethod;
    bool blocking = false;
    if (word(operand + 1) >= 0)
        for (int k = operand + 2; word(k) >= 0; ++k) {
            const std::string parameter = textOf(entryAt(k));
            if (!parameter.empty() && parameter[0] == '}') {
                blocking = true;
                break;
            }
            KvScriptableObject::addParameter(parameter.c_str());
        }
    if (blocking) {
        blocked = 1;
        const KvMemberLink<YThread> unblock(this, &YThread::sti);
        object->sobSetSyncLink(&unblock);
    }
    if (!object->sobPlay(method.c_str(), KvScriptableObject::kKvEndOfParameters)) {
        object->sobSetSyncLink(nullptr);
        blocked = 0;
    }
}

// relay SCRIPT: this script ends and SCRIPT (the variable's text) starts.
void YThread::doRelay(int operand) {
    const int index = word(operand);
    if (index >= 0) turnState = -index;
    started = 0;
    pendingThread = this;
}
