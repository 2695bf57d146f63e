// The expression analyser: text to Polish code.
//
// Code is written backwards from the end of a static 128-byte buffer (byte
// 127 is always the terminator), every byte in front of the previous ones, so
// that it reads forward as: "s", operator, right operand, left operand; "t"
// for a term (taken from the end of the term array); "z" for a missing left
// operand. Read backwards it is the execution order.
//
// Three operator levels, lowest precedence first: "+-<>=#", "*/\%@^", and the
// unary "~$`"; below them the terms. A level splits its text at its operators
// that stand outside parentheses and quotes; the pieces are analysed at the
// next level, each followed by its operator and "s", so operators with two
// operands associate to the left.
//
// Limits: the code has at most 127 bytes and at most kYMaxTerms terms; beyond
// either the analysis fails with yerrTooComplex. Texts without an operand,
// "()" or a lone operator, fail with yerrMissingOperand. The analyser allocates
// nothing: each level scans its text twice (check, then analyse the pieces)
// instead of keeping a list of pieces.
#include "script/YHeap.h"

#include <cstdlib>
#include <cstring>

char YHeap::codeBuffer[kYCodeBufferSize];
char* YHeap::codeCursor = YHeap::codeBuffer + kYCodeBufferSize - 1;
uint16_t YHeap::terms[kYMaxTerms];
int YHeap::termCount = 0;

namespace {

// The texts this long or longer (and the empty text) are not analysed.
constexpr int kLongestText = kYValueBufferSize - 1;

const char* const kLevelOperators[] = {"+-<>=#", "*/\\%@^", "~$`"};
constexpr int kLevels = 3;

bool isUnary(char c) { return c == '~' || c == '$' || c == '`'; }

int fail(int code) {
    YVariable::setError(code);
    return code;
}

// Walks a text keeping track of quotes and parentheses; a split is an
// operator of the level outside both.
class Splitter {
public:
    explicit Splitter(const char* levelOperators) : operators(levelOperators) {}

    // Advances over c; false when a parenthesis closes below depth 0.
    bool step(char c) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return false;
        return true;
    }
    bool isSplit(char c) const { return !quote && depth == 0 && c != 0 && std::strchr(operators, c); }
    bool balanced() const { return !quote && depth == 0; }

private:
    const char* operators;
    char quote = 0;
    int depth = 0;
};

}  // namespace

const uint16_t* YHeap::getTerms(int& count) {
    count = termCount;
    return terms;
}

void YHeap::emit(char byte) {
    if (codeCursor == codeBuffer) {
        if (!YVariable::getError()) fail(yerrTooComplex);
        return;
    }
    *--codeCursor = byte;
}

const char* YHeap::polish(const char* text, int length) {
    termCount = 0;
    codeCursor = codeBuffer + kYCodeBufferSize - 1;
    *codeCursor = 0;
    if (!text || length <= 0 || length > kLongestText) {
        fail(yerrLength);
        return codeCursor;
    }
    analyse(text, length, 1);
    if (YVariable::getError()) codeCursor = codeBuffer + kYCodeBufferSize - 1;
    return codeCursor;
}

const char* YHeap::polish(const char* text) { return polish(text, text ? static_cast<int>(std::strlen(text)) : 0); }

const char* YHeap::polish(const char* first, const char* last) {
    return polish(first, static_cast<int>(std::labs(last - first)) + 1);
}

void YHeap::analyse(const char* text, int length, int level) {
    if (level > kLevels) {
        analyseTerm(text, length);
        return;
    }
    const char* operators = kLevelOperators[level - 1];

    // First pass: check the pieces. A leading operator with two operands
    // gets the missing left operand "z" at once; an operator on the last
    // byte is dropped (the text ends before it).
    Splitter check(operators);
    int end = length;
    int pieceStart = 0;
    for (int i = 0; i < length; ++i) {
        if (!check.step(text[i])) {
            fail(yerrUnbalanced);
            return;
        }
        if (!check.isSplit(text[i])) continue;
        if (i == length - 1) {
            end = i;
            break;
        }
        if (i == pieceStart) {
            if (pieceStart != 0) {
                fail(yerrMissingOperand);
                return;
            }
            if (!isUnary(text[i])) emit('z');
        }
        pieceStart = i + 1;
    }
    if (!check.balanced()) {
        fail(yerrUnbalanced);
        return;
    }
    // An operator with nothing after it, or a text that is only a dropped
    // operator: an operand is missing.
    if (end == pieceStart && (pieceStart > 0 || end == 0)) {
        fail(yerrMissingOperand);
        return;
    }
    if (YVariable::getError()) return;

    // Second pass: each piece at the next level, then its operator and "s".
    Splitter walk(operators);
    pieceStart = 0;
    char pieceOperator = 0;
    for (int i = 0; i <= end; ++i) {
        const bool split = i < end && walk.step(text[i]) && walk.isSplit(text[i]);
        if (i < end && !split) continue;
        if (i > pieceStart) {
            analyse(text + pieceStart, i - pieceStart, level + 1);
            if (YVariable::getError()) return;
            if (pieceOperator) {
                emit(pieceOperator);
                emit('s');
            }
        }
        if (split) pieceOperator = text[i];
        pieceStart = i + 1;
    }
}

// A term is a parenthesised text (analysed from level 1) or a word entered in
// the heap.
void YHeap::analyseTerm(const char* text, int length) {
    if (text[0] == '(') {
        if (length >= 2 && text[length - 1] == ')') {
            if (length == 2) {
                fail(yerrMissingOperand);
                return;
            }
            analyse(text + 1, length - 2, 1);
            return;
        }
        fail(yerrUnbalanced);  // and taken as a word
    }
    if (termCount >= kYMaxTerms) {
        fail(yerrTooComplex);
        return;
    }
    const int entry = pile(text, length, static_cast<const char*>(nullptr));
    if (entry < 0) {
        fail(yerrHeapFull);
        return;
    }
    terms[termCount++] = static_cast<uint16_t>(entry);
    emit('t');
}
