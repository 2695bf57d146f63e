// The compiler's routines, one per form of the script text; each opens with
// the syntax it accepts. State is the compiler's own: the tables it fills,
// its open blocks and the lexer it reads from.
#include "script/YCompiler.h"

#include "script/YHeap.h"
#include "script/YKeywords.h"
#include "script/YVariable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool printable(unsigned char c) { return c >= 33 && c <= 126; }

bool failed() { return YVariable::getError() != yerrNone; }

void fail(int code) {
    if (!failed()) YVariable::setError(code);
}

// How a keyword compiles: the commands it emits (ycNone: none), the literal
// operand of a jump (0: each command takes the start of its list as
// operand), and whether the following clause is its body. A keyword not
// listed emits its own code, without body.
struct KeywordForm {
    int keyword;
    YCMND emit[3];
    uint16_t literal;
    bool body;
};

constexpr KeywordForm kKeywordForms[] = {
    {ycIfKeyword, {ycIf, ycBranch, ycNone}, 0, true},
    {ycForKeyword, {ycForInit, ycForNext, ycBranch}, 0, true},
    {ycBreakKeyword, {ycJump, ycNone, ycNone}, kYBreakMarker, false},
    {ycContinueKeyword, {ycJump, ycNone, ycNone}, kYContinueMarker, false},
    {ycProcedureKeyword, {ycProcedure, ycNone, ycNone}, 0, true},
    {ycElse, {ycElse, ycNone, ycNone}, 0, true},
};

KeywordForm formOf(int keyword) {
    for (const KeywordForm& form : kKeywordForms)
        if (form.keyword == keyword) return form;
    return KeywordForm{keyword, {static_cast<YCMND>(keyword), ycNone, ycNone}, 0, false};
}

const char kInclude[] = "include ";
constexpr int kIncludeLength = sizeof kInclude - 1;

}  // namespace

// Counts nested clauses (the outermost is not a block); a script with more
// than kYMaxOpenBlocks blocks open at once fails.
struct YClauseDepth {
    explicit YClauseDepth(YCompiler& c) : compiler(c) {
        if (++compiler.clauseDepth - 1 > kYMaxOpenBlocks) fail(ycerrCapacity);
    }
    ~YClauseDepth() { --compiler.clauseDepth; }
    YCompiler& compiler;
};

// Bytes of a token that getToken returned: one for a bracket.
int YCompiler::tokenLength(char* token) {
    if (*token == '[' || *token == ']') return 1;
    char* p = token;
    return lex.advancePastSeparator(p, 1);
}

// script: clauses up to the end of the text (or a ] outside any block)
int YCompiler::compile(YProgram& program) {
    YVariable::setError(yerrNone);
    commands.clear();
    words.clear();
    openBlocks.clear();
    commands.reserve(kYMaxCommands);
    words.reserve(kYMaxWords);
    procedurePending = 0;
    clauseDepth = 0;
    appendWord(kYSystem);
    appendWord(kYReceiver);
    appendWord(kYResult);

    while (doClause()) {
    }

    program.release();
    program.commandCount = static_cast<int>(commands.size());
    program.wordCount = static_cast<int>(words.size());
    program.commands = new YCommand[program.commandCount + 1];
    std::copy(commands.begin(), commands.end(), program.commands);
    program.commands[program.commandCount] = YCommand{ycNone, 0};
    program.words = new int16_t[program.wordCount > 0 ? program.wordCount : 1];
    std::copy(words.begin(), words.end(), program.words);

    const bool good = !failed() && openBlocks.empty();
    if (!good) lex.reportError();
    return good ? 1 : 0;
}

// clause: ; comment | [ clauses ] | include NAME | NAME=... | keyword ... | word ...
int YCompiler::doClause() {
    YClauseDepth depth(*this);
    for (;;) {
        if (failed()) return 0;
        char* token = lex.getToken(1);
        if (failed()) return 0;
        switch (*token) {
        case ';':
            return 1;
        case 0:  // end of text: back to the including text, or the end
            if (lex.resume()) continue;
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
        const int length = lex.advancePastSeparator(p, 0);
        if (length > 0 && token[length] == '=') return doAssignment(token, length);
        return doStatement(token);
    }
}

// include NAME: the name runs to the end of the line; the text goes on in that file.
int YCompiler::doInclude() {
    lex.skipBlanks(0);
    char* start = lex.scan;
    char* end = start;
    while (*end && *end != '\r') ++end;
    char fileName[kYFileNameSize];
    const long length = end - start < kYFileNameSize - 1 ? end - start : kYFileNameSize - 1;
    std::memcpy(fileName, start, static_cast<size_t>(length));
    fileName[length] = 0;
    *end = 0;
    if (lex.include(fileName, end - lex.buffer) != YLexer::kText) {
        fail(ycerrInclude);
        return 0;
    }
    return 1;
}

// NAME=[ e1 e2 ...   an array: NAME.1, NAME.2, ... take the elements' values
// NAME=&word ...     the target shares an object instead of copying it
// NAME=word args...  assign (code 18): [target, source, args...]
// NAME=              assign without source: clears the target
int YCompiler::doAssignment(char* token, int length) {
    const int target = YHeap::theHeap.pile(token, length, static_cast<const char*>(nullptr));
    if (target < 0) {
        fail(ycerrCapacity);
        return 0;
    }
    char* afterEquals = token + length + 1;
    lex.scan = afterEquals;
    lex.skipBlanks(0);
    if (*lex.scan == '[') {
        ++lex.scan;
        doArray(target);
        return failed() ? 0 : 1;
    }
    lex.scan = afterEquals;
    if (*afterEquals == '&') {
        YHeap::theHeap[target]->makeAlias();
        ++lex.scan;
    }
    doCommand(ycAssign, 0);
    appendWord(target);
    doList();
    return failed() ? 0 : 1;
}

// [ e1 e2 ... (after NAME=): each element, up to the line end, into a new
// clone of the target; no command.
void YCompiler::doArray(int target) {
    for (;;) {
        char* element = lex.getToken(0);
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
int YCompiler::doStatement(char* token) {
    const YKeyword* keyword = YFindKeyword(token);
    if (!keyword) {
        lex.scan = token;
        doCommand(ycStatement, 0);
        doList();
        return failed() ? 0 : 1;
    }
    if (static_cast<int>(openBlocks.size()) >= kYBlockStackSize) {
        lex.tokenStart = token;  // the message names this statement's line
        fail(ycerrCapacity);
        return 0;
    }
    openBlocks.push_back(static_cast<int>(commands.size()));
    const KeywordForm form = formOf(keyword->code);
    for (const YCMND code : form.emit)
        if (code != ycNone) doCommand(code, form.literal, form.literal != 0);
    if (keyword->code == ycProcedureKeyword) procedurePending = 1;
    // A procedure line without a name leaves the flag set: the next operand
    // compiled names the procedure.
    doList();
    int more = 1;
    if (form.body && !failed()) {
        lex.scan = lex.tokenStart;
        more = doClause();
    }
    if (failed()) return 0;
    setJump();
    return more;
}

// operand operand ... (to the line end): a word each, then the -1 that ends the list.
void YCompiler::doList() {
    for (;;) {
        char* token = lex.getToken(0);
        if (failed() || *token == '\r' || *token == 0) break;
        doExpression();
        if (failed()) break;
    }
    appendWord(-1);
}

// operand (from the token start): one word. A ";" operand is taken up to its
// first blank although the scanner has already moved on to the next line.
void YCompiler::doExpression() {
    char* p = lex.tokenStart;
    while (*p && *p != '\r' && !printable(static_cast<unsigned char>(*p))) ++p;
    if (printable(static_cast<unsigned char>(*p)))
        attach(p);
    else
        lex.scan = lex.tokenStart;
    if (procedurePending && !failed()) {
        procedurePending = 0;
        nameProcedure();
    }
}

// The procedure's name (the last word, or the variable it names) holds
// "+" and the index of the procedure's entry command: that is how call finds it.
void YCompiler::nameProcedure() {
    if (words.empty()) return;
    YVariable* entry = YHeap::theHeap[words.back()];
    if (!entry) return;
    char buffer[kYValueBufferSize];
    const int named = entry->value(buffer);
    if (named > 0 && YHeap::theHeap[named]) entry = YHeap::theHeap[named];
    char text[16];
    std::snprintf(text, sizeof text, "+%d", static_cast<int>(commands.size()) - 1);
    entry->set(text, -1);
}

// term | term op term ...: a token with an operator becomes an expression
// entry, a single term is that term's entry. Returns the heap index appended
// to the words, or -1.
int YCompiler::attach(const char* token) {
    if (!token) return -1;
    char* p = const_cast<char*>(token);
    const int length = lex.advancePastSeparator(p, 1);
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
void YCompiler::doCommand(YCMND code, int operand, bool literal) {
    if (static_cast<int>(commands.size()) >= kYMaxCommands) {
        fail(ycerrCapacity);
        return;
    }
    if (operand == 0 && !literal) operand = static_cast<int>(words.size());
    commands.push_back(YCommand{code, static_cast<uint16_t>(operand)});
}

void YCompiler::appendWord(int index) {
    if (static_cast<int>(words.size()) >= kYMaxWords) {
        fail(ycerrCapacity);
        return;
    }
    words.push_back(static_cast<int16_t>(index));
}

// (end of a keyword's body): closes the innermost open block, patching its jumps.
void YCompiler::setJump() {
    if (openBlocks.empty()) return;
    const int i = openBlocks.back();
    openBlocks.pop_back();
    std::vector<YCommand>& c = commands;
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
