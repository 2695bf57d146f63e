// The one-pass compiler: clauses of the text buffer become command records
// and operand words. Words are heap indices (names, constants, paths and
// expressions entered in the heap as they are met); an operand list ends
// with -1. Open blocks are kept on the thread's block stack as the index of
// their first command and closed by setJump, which patches jumps.
//
// Capacities: kYMaxCommands commands, kYMaxWords words, kYBlockStackSize
// open keyword blocks and kYMaxOpenBlocks nested clauses; a script that needs
// more fails with the line-numbered message, nothing is written past a table.
// The working tables are process-wide, like the text: one compilation at a time.
#include "script/YHeap.h"
#include "script/YScriptText.h"
#include "script/YThread.h"
#include "script/YVariable.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct CompileState {
    std::vector<YCommand> commands;
    std::vector<int16_t> words;
    int procedurePending = 0;
    int clauseDepth = 0;
    int active = 0;
};

CompileState state;

bool printable(unsigned char c) { return c >= 33 && c <= 126; }

bool failed() { return YVariable::getError() != yerrNone; }

void fail(int code) {
    if (!failed()) YVariable::setError(code);
}

const char kInclude[] = "include ";
constexpr int kIncludeLength = sizeof kInclude - 1;

// The keyword the token starts with: the keyword's bytes followed by a byte
// that is not printable (a signed value of 32 or less).
const YKeyword* findKeyword(const char* token) {
    for (const YKeyword* k = YThread::getKeywordTable(); k->keyword; ++k) {
        if (std::strncmp(token, k->keyword, k->length) == 0 && static_cast<signed char>(token[k->length]) <= 32)
            return k;
    }
    return nullptr;
}

// Bytes of a token that getToken returned: one for a bracket.
int tokenLength(char* token) {
    if (*token == '[' || *token == ']') return 1;
    char* p = token;
    return YScriptText::advancePastSeparator(p, 1);
}

// Counts nested clauses (the outermost is not a block); a script with more
// than kYMaxOpenBlocks blocks open at once fails.
struct ClauseDepth {
    ClauseDepth() {
        if (++state.clauseDepth - 1 > kYMaxOpenBlocks) fail(ycerrCapacity);
    }
    ~ClauseDepth() { --state.clauseDepth; }
};

}  // namespace

// compile(): the clauses of the text buffer, then the exact-size tables.
int YThread::compile() {
    YVariable::setError(yerrNone);
    state.commands.clear();
    state.words.clear();
    state.commands.reserve(kYMaxCommands);
    state.words.reserve(kYMaxWords);
    state.procedurePending = 0;
    state.clauseDepth = 0;
    state.active = 1;
    blockDepth = 0;
    appendWord(kYSystem);
    appendWord(kYReceiver);
    appendWord(kYResult);

    while (doClause()) {
    }

    commandCount = static_cast<int>(state.commands.size());
    wordCount = static_cast<int>(state.words.size());
    commands = new YCommand[commandCount + 1];
    std::copy(state.commands.begin(), state.commands.end(), commands);
    commands[commandCount] = YCommand{ycNone, 0};
    words = new int16_t[wordCount > 0 ? wordCount : 1];
    std::copy(state.words.begin(), state.words.end(), words);
    state.active = 0;

    const bool good = !failed() && blockDepth == 0;
    if (!good) YScriptText::reportError();
    YScriptText::release();
    ip = 0;
    return good ? 1 : 0;
}

// clause: ; comment | [ clauses ] | include NAME | NAME=... | keyword ... | word ...
int YThread::doClause() {
    ClauseDepth depth;
    for (;;) {
        if (failed()) return 0;
        char* token = YScriptText::getToken(1);
        if (failed()) return 0;
        switch (*token) {
        case ';':
            return 1;
        case 0:  // end of text: back to the including text, or the end
            if (YScriptText::resume()) continue;
            return 0;
        case ']':
            return 0;
        case '[':
            while (doClause()) {
            }
            return failed() ? 0 : 1;
        default:
            break;
        }
        if (std::strncmp(token, kInclude, kIncludeLength) == 0) {
            if (!doInclude()) return 0;
            continue;  // the next clause comes from the included text
        }
        char* p = token;
        const int length = YScriptText::advancePastSeparator(p, 0);
        if (length > 0 && token[length] == '=') return doAssignment(token, length);
        return doStatement(token, tokenLength(token));
    }
}

// include NAME: the name runs to the end of the line; the text goes on in that file.
int YThread::doInclude() {
    YScriptText::skipBlanks(0);
    char* start = YScriptText::scan;
    char* end = start;
    while (*end && *end != '\r') ++end;
    char fileName[kYFileNameSize];
    const long length = end - start < kYFileNameSize - 1 ? end - start : kYFileNameSize - 1;
    std::memcpy(fileName, start, static_cast<size_t>(length));
    fileName[length] = 0;
    *end = 0;
    if (YScriptText::include(*this, fileName, end - YScriptText::buffer) != YScriptText::kText) {
        fail(ycerrInclude);
        return 0;
    }
    return 1;
}

// NAME=[ e1 e2 ...   an array: NAME.1, NAME.2, ... take the elements' values
// NAME=&word ...     the target shares an object instead of copying it
// NAME=word args...  assign (code 18): [target, source, args...]
// NAME=              assign without source: clears the target
int YThread::doAssignment(char* token, int length) {
    const int target = YHeap::theHeap.pile(token, length, static_cast<const char*>(nullptr));
    if (target < 0) {
        fail(ycerrCapacity);
        return 0;
    }
    char* afterEquals = token + length + 1;
    YScriptText::scan = afterEquals;
    YScriptText::skipBlanks(0);
    if (*YScriptText::scan == '[') {
        ++YScriptText::scan;
        doArray(target);
        return failed() ? 0 : 1;
    }
    YScriptText::scan = afterEquals;
    if (*afterEquals == '&') {
        YHeap::theHeap[target]->makeAlias();
        ++YScriptText::scan;
    }
    doCommand(ycAssign, 0);
    appendWord(target);
    doList();
    return failed() ? 0 : 1;
}

// The elements up to the end of the line, each into a new clone of the target.
void YThread::doArray(int target) {
    for (;;) {
        char* element = YScriptText::getToken(0);
        if (failed() || *element == '\r' || *element == 0 || *element == ';') return;
        const int length = tokenLength(element);
        int clone = YHeap::theHeap.clone(target);
        YVariable* entry = YHeap::theHeap[clone];
        if (!entry) {
            fail(ycerrCapacity);
            return;
        }
        char buffer[kYValueBufferSize];
        const int named = entry->value(buffer);
        if (named > 0 && YHeap::theHeap[named]) entry = YHeap::theHeap[named];
        YVariable temporary(element, length, yvtUnclassified);
        int valueLength = 0;
        const char* text = temporary.value(valueLength);
        entry->set(text, -1);
    }
}

// keyword operands...   the keyword's commands, its list, and for if, for,
//                       procedure and else the following clause as body
// word operands...      code 21 with the whole line (a host keyword, found at run time)
int YThread::doStatement(char* token, int length) {
    (void)length;
    const YKeyword* keyword = findKeyword(token);
    if (!keyword) {
        YScriptText::scan = token;
        doCommand(ycStatement, 0);
        doList();
        return failed() ? 0 : 1;
    }
    if (blockDepth >= kYBlockStackSize) {
        YScriptText::tokenStart = token;  // the message names this statement's line
        fail(ycerrCapacity);
        return 0;
    }
    push(static_cast<int>(state.commands.size()));
    bool hasBody = true;
    switch (keyword->code) {
    case ycIfKeyword:
        doCommand(ycIf, 0);
        doCommand(ycBranch, 0);
        break;
    case ycForKeyword:
        doCommand(ycForInit, 0);
        doCommand(ycForNext, 0);
        doCommand(ycBranch, 0);
        break;
    case ycBreakKeyword:
        doCommand(ycJump, kYBreakMarker, true);
        hasBody = false;
        break;
    case ycContinueKeyword:
        doCommand(ycJump, kYContinueMarker, true);
        hasBody = false;
        break;
    case ycProcedureKeyword:
        doCommand(ycProcedure, 0);
        state.procedurePending = 1;
        break;
    case ycElse:
        doCommand(ycElse, 0);
        break;
    default:
        doCommand(static_cast<YCMND>(keyword->code), 0);
        hasBody = false;
        break;
    }
    // A procedure line without a name leaves the flag set: the next operand
    // compiled names the procedure.
    doList();
    int more = 1;
    if (hasBody && !failed()) {
        YScriptText::scan = YScriptText::tokenStart;
        more = doClause();
    }
    if (failed()) return 0;
    setJump();
    return more;
}

// The operands up to the line end, then the -1 that ends the list.
void YThread::doList() {
    for (;;) {
        char* token = YScriptText::getToken(0);
        if (failed() || *token == '\r' || *token == 0) break;
        doExpression();
        if (failed()) break;
    }
    appendWord(-1);
}

// One operand from the token start. A ";" operand is taken up to its first
// blank although the scanner has already moved on to the next line.
void YThread::doExpression() {
    char* p = YScriptText::tokenStart;
    while (*p && *p != '\r' && !printable(static_cast<unsigned char>(*p))) ++p;
    if (printable(static_cast<unsigned char>(*p)))
        attach(p);
    else
        YScriptText::scan = YScriptText::tokenStart;
    if (state.procedurePending && !failed()) {
        state.procedurePending = 0;
        nameProcedure();
    }
}

// The procedure's name (the last word, or the variable it names) holds
// "+" and the index of the procedure's entry command: that is how call finds it.
void YThread::nameProcedure() {
    if (state.words.empty()) return;
    YVariable* entry = YHeap::theHeap[state.words.back()];
    if (!entry) return;
    char buffer[kYValueBufferSize];
    const int named = entry->value(buffer);
    if (named > 0 && YHeap::theHeap[named]) entry = YHeap::theHeap[named];
    char text[16];
    std::snprintf(text, sizeof text, "+%d", static_cast<int>(state.commands.size()) - 1);
    entry->set(text, -1);
}

// A token with an operator becomes an expression entry; a single term is
// that term's entry. Returns the heap index appended to the words, or -1.
int YThread::attach(const char* token) {
    if (!state.active || !token) return -1;
    char* p = const_cast<char*>(token);
    const int length = YScriptText::advancePastSeparator(p, 1);
    if (length <= 0) return -1;
    const char* code = YHeap::theHeap.polish(token, length);
    if (failed()) return -1;
    int index = -1;
    if (code[0] == 's') {
        index = YHeap::theHeap.pile(token, length, yvtExpression);
    } else {
        int count = 0;
        const uint16_t* terms = YHeap::getTerms(count);
        if (count > 0) index = terms[0];
    }
    if (index < 0 || index > INT16_MAX) {
        fail(ycerrCapacity);
        return -1;
    }
    appendWord(index);
    return failed() ? -1 : index;
}

// Appends a command; operand 0 stands for the current word count unless literal.
void YThread::doCommand(YCMND code, int operand, bool literal) {
    if (static_cast<int>(state.commands.size()) >= kYMaxCommands) {
        fail(ycerrCapacity);
        return;
    }
    if (operand == 0 && !literal) operand = static_cast<int>(state.words.size());
    state.commands.push_back(YCommand{code, static_cast<uint16_t>(operand)});
}

void YThread::appendWord(int index) {
    if (static_cast<int>(state.words.size()) >= kYMaxWords) {
        fail(ycerrCapacity);
        return;
    }
    state.words.push_back(static_cast<int16_t>(index));
}

// Closes the innermost open block, patching its jumps.
void YThread::setJump() {
    if (blockDepth <= 0) return;
    const int i = pop();
    std::vector<YCommand>& c = state.commands;
    const int count = static_cast<int>(c.size());
    if (i < 0 || i >= count) return;
    switch (c[i].code) {
    case ycProcedure:
        doCommand(ycReturn, 0, true);
        break;
    case ycForInit: {
        const int jump = static_cast<int>(c.size());
        doCommand(ycJump, i + 1, true);
        if (failed()) return;
        const uint16_t after = static_cast<uint16_t>(jump + 1);
        for (int k = i + 1; k < jump; ++k) {
            if (c[k].operand == kYContinueMarker) c[k].operand = static_cast<uint16_t>(i + 1);
            else if (c[k].operand == kYBreakMarker) c[k].operand = after;
        }
        if (i + 2 < jump) c[i + 2].operand = after;
        break;
    }
    case ycIf:
        doCommand(ycEndIf, 0, true);
        if (failed()) return;
        if (i + 1 < static_cast<int>(c.size())) c[i + 1].operand = static_cast<uint16_t>(c.size());
        break;
    case ycElse:
        // The else belongs to the if whose body ends just before it: that
        // if's end becomes a jump past the else body.
        // The command before the else becomes that jump whatever it is (an else
        // that is the first command has none: nothing is patched).
        c[i].code = ycEndIf;
        if (i >= 1) c[i - 1] = YCommand{ycJump, static_cast<uint16_t>(count)};
        break;
    default:
        break;
    }
}

// The block stack: open blocks while compiling, return addresses at run time.
void YThread::push(int value) {
    if (!blockStack || blockDepth >= kYBlockStackSize) return;
    blockStack[blockDepth++] = static_cast<int16_t>(value < 0 ? commandCount : value);
}

int YThread::pop() {
    if (!blockStack || blockDepth <= 0) return -1;
    return blockStack[--blockDepth];
}
