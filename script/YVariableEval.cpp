// The expression evaluator and its operator table.
//
// An expression entry's text is its Polish code, read forward from its first
// byte: "s" and an operator character, then the right operand's code, then
// the left operand's code; "t" takes the next term from the end of the parts
// (the terms); "z" is a missing left operand, the long 0. Every operand is
// first copied into a temporary (set(YVariable*)), so its form follows from
// its text: a quoted "10" takes part as the number 10.
//
// The error code is cleared when an outermost evaluation starts; once set,
// further operators do nothing, and the expression reads as its own source
// text. A nested evaluation (a term or "$" operand that is itself an
// expression) has its own cursor and term counter; its error, if the
// enclosing evaluation had none yet, becomes the enclosing one's.
#include "script/YHeap.h"
#include "script/YVariable.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// Numeric operations: both operands are numbers (forms long or double).
using NumberOperation = void (*)(YVariable& result, double left, double right);
// Text operations: at least one operand is not a number.
using TextOperation = void (*)(YVariable& result, std::string_view left, std::string_view right);

// The divisor test compares the divisor's square with this, not the divisor.
constexpr double kSmallestSquare = 1e-8;

void fail(int code) { YVariable::setError(code); }

void truth(YVariable& result, bool holds) { result.set(holds ? 1L : 0L); }

// Truncation toward zero to a 32-bit long, clamped to its range.
int64_t toLong32(double number) {
    if (std::isnan(number)) return 0;
    if (number <= INT32_MIN) return INT32_MIN;
    if (number >= INT32_MAX) return INT32_MAX;
    return static_cast<int64_t>(number);
}

void add(YVariable& result, double left, double right) { result.set(left + right); }
void subtract(YVariable& result, double left, double right) { result.set(left - right); }
void multiply(YVariable& result, double left, double right) { result.set(left * right); }

void divide(YVariable& result, double left, double right) {
    if (right * right < kSmallestSquare) return fail(yerrDomain);
    result.set(left / right);
}

void quotient(YVariable& result, double left, double right) {
    const int64_t divisor = toLong32(right);
    if (divisor == 0) return fail(yerrZeroDivisor);
    result.set(static_cast<double>(toLong32(left) / divisor));
}

// C's remainder: the sign of the left operand.
void remainder(YVariable& result, double left, double right) {
    const int64_t divisor = toLong32(right);
    if (divisor == 0) return fail(yerrZeroDivisor);
    result.set(static_cast<double>(toLong32(left) % divisor));
}

void power(YVariable& result, double left, double right) {
    if (left < 0 && right != std::trunc(right)) return fail(yerrDomain);
    result.set(std::pow(left, right));
}

void equal(YVariable& result, double left, double right) { truth(result, left == right); }
void differ(YVariable& result, double left, double right) { truth(result, left != right); }
void less(YVariable& result, double left, double right) { truth(result, left < right); }
void greater(YVariable& result, double left, double right) { truth(result, left > right); }

void concatenate(YVariable& result, std::string_view left, std::string_view right) {
    const size_t length = left.size() + right.size();
    if (length >= static_cast<size_t>(kYValueBufferSize)) return fail(yerrLength);
    char joined[kYValueBufferSize];
    std::memcpy(joined, left.data(), left.size());
    std::memcpy(joined + left.size(), right.data(), right.size());
    result.set(joined, static_cast<int>(length));
}

void notANumber(YVariable&, std::string_view, std::string_view) { fail(yerrNotANumber); }
// Byte-wise comparisons: std::char_traits<char> compares as unsigned char.
void sameText(YVariable& result, std::string_view left, std::string_view right) { truth(result, left == right); }
void otherText(YVariable& result, std::string_view left, std::string_view right) { truth(result, left != right); }
void textBefore(YVariable& result, std::string_view left, std::string_view right) { truth(result, left < right); }
void textAfter(YVariable& result, std::string_view left, std::string_view right) { truth(result, left > right); }

// Position from 1 of left inside right, 0 when absent.
void position(YVariable& result, std::string_view left, std::string_view right) {
    const size_t at = right.find(left);
    result.set(at == std::string_view::npos ? 0L : static_cast<long>(at) + 1);
}

struct BinaryOperator {
    char symbol;
    NumberOperation numbers;  // null: the text operation serves numbers too
    TextOperation texts;
};

constexpr BinaryOperator kBinaryOperators[] = {
    {'+', add, concatenate},       {'-', subtract, notANumber}, {'*', multiply, notANumber},
    {'/', divide, notANumber},     {'\\', quotient, notANumber}, {'%', remainder, notANumber},
    {'^', power, notANumber},      {'=', equal, sameText},       {'#', differ, otherText},
    {'<', less, textBefore},       {'>', greater, textAfter},    {'@', nullptr, position},
};

bool isUnary(char op) { return op == '~' || op == '$' || op == '`'; }

// How many evaluations are running, so that only an outermost one clears the error.
int evaluationDepth = 0;

}  // namespace

std::string_view YVariable::textView() const {
    if (form == yvsNone || !text) return {};
    return {text, static_cast<size_t>(sizeField)};
}

double YVariable::asDouble() const { return form == yvsLong ? payload.number : payload.real; }

void YVariable::evaluate(EvalCursor& cursor, YVariable& result) const {
    const char marker = *cursor.code;
    if (marker == 0) {  // damaged code: a missing operand reads as 0
        result.set(0L);
        return;
    }
    if (marker == 'z') {
        ++cursor.code;
        result.set(0L);
        return;
    }
    if (marker == 't') {
        ++cursor.code;
        --cursor.counter;
        YVariable* term = cursor.counter >= 0 ? YHeap::theHeap[parts[cursor.counter]] : nullptr;
        if (term)
            result.set(term);
        else
            result.set(0L);
        return;
    }
    const char op = cursor.code[1];
    if (op == 0) {
        ++cursor.code;
        result.set(0L);
        return;
    }
    cursor.code += 2;
    YVariable right;
    evaluate(cursor, right);
    if (isUnary(op)) {
        applyUnary(op, result, right);
        return;
    }
    YVariable left;
    evaluate(cursor, left);
    applyBinary(op, result, left, right);
}

void YVariable::applyBinary(char op, YVariable& result, YVariable& left, YVariable& right) {
    if (evalError) return;
    if (left.form == yvsObject && right.form == yvsObject) {
        result.set(0L);
        return;
    }
    for (const BinaryOperator& entry : kBinaryOperators) {
        if (entry.symbol != op) continue;
        if (entry.numbers && left.isNumber() && right.isNumber())
            entry.numbers(result, left.asDouble(), right.asDouble());
        else
            entry.texts(result, left.textView(), right.textView());
        return;
    }
    // Any other operator character leaves the result unchanged.
}

void YVariable::applyUnary(char op, YVariable& result, YVariable& operand) {
    if (evalError) return;
    if (operand.form == yvsObject) {
        result.set(0L);
        return;
    }
    switch (op) {
    case '~': {
        const int length = operand.form != yvsNone ? operand.sizeField
                                                   : (operand.name ? static_cast<int>(std::strlen(operand.name)) : 0);
        result.set(static_cast<long>(length));
        break;
    }
    case '$': {
        const std::string_view source = operand.textView();
        YHeap& heap = YHeap::theHeap;
        const char* code = heap.polish(source.data(), static_cast<int>(source.size()));
        if (evalError) return;  // not an expression: nothing is set
        YVariable* entry = nullptr;
        if (code[0] == 's') {
            entry = heap[heap.pile(source.data(), static_cast<int>(source.size()), yvtExpression)];
        } else {
            int termCount = 0;
            const uint16_t* terms = YHeap::getTerms(termCount);
            if (termCount > 0) entry = heap[terms[0]];
        }
        if (!entry) return;
        int length = 0;
        const char* value = entry->value(length);
        result.set(value, length);
        break;
    }
    case '`':
        result.set(&operand);
        if (result.form != yvsNone) result.form = yvsText;
        break;
    default:
        break;
    }
}

int YVariable::expressionValue(char* buffer) {
    if (!text) {
        copyOut(buffer, name, name ? static_cast<int>(std::strlen(name)) : 0);
        return 0;
    }
    const int enclosing = evalError;
    evalError = 0;
    ++evaluationDepth;
    YVariable result;
    EvalCursor cursor{text, sizeField < partCount ? sizeField : partCount};
    evaluate(cursor, result);
    --evaluationDepth;
    if (evalError) {
        copyOut(buffer, name, name ? static_cast<int>(std::strlen(name)) : 0);
    } else {
        const std::string_view value = result.textView();
        copyOut(buffer, value.data(), static_cast<int>(value.size()));
    }
    if (evaluationDepth > 0 && enclosing) evalError = enclosing;
    return 0;
}
