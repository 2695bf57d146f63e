// The expression evaluator and its operator table.
//
// An expression entry's text is its Polish code, read forward from its first
// byte: "s" and an operator character, then the right operand's code, then
// the left operand's code; "t" takes the next term from the end of the parts
// (the terms); "z" is a missing left operand, the long 0. Every operand takes
// the value a temporary entry assigned from it (set(YVariable*)) would hold,
// so its form follows from its text: a quoted "10" takes part as the number
// 10. Operands are YOperands, so intermediate values allocate nothing and
// numbers get their texts only when a text is read.
//
// The error code is cleared when an outermost evaluation starts; once set,
// further operators do nothing, and the expression reads as its own source
// text. A nested evaluation (a term or "$" operand that is itself an
// expression) has its own cursor and term counter; its error, if the
// enclosing evaluation had none yet, becomes the enclosing one's.
//
// Arithmetic on numbers alone takes a shorter way: an expression whose
// operators all work on numbers and whose terms are plain variables or
// literals holding numbers (their payload being what their text reads as)
// is run from a plan of its code, decoded once, over doubles. Its value is
// the one the general way gives, since only values, never texts, take part;
// any term that is not such a number, and any error, leaves the expression
// to the general way, which reports the error exactly.
#include "script/YHeap.h"
#include "script/YOperand.h"
#include "script/YVariable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {

// Text operations: at least one operand is not a number.
using TextOperation = void (*)(YOperand& result, std::string_view left, std::string_view right);

// The divisor test compares the divisor's square with this, not the divisor.
constexpr double kSmallestSquare = 1e-8;
// numberOperation's answer for an operator that has no number operation.
constexpr int kNoNumberOperation = -1;

void fail(int code) { YVariable::setError(code); }

void truth(YOperand& result, bool holds) { result.setWhole(holds ? 1 : 0); }

// Truncation toward zero to a 32-bit long, clamped to its range.
int64_t toLong32(double number) {
    if (std::isnan(number)) return 0;
    if (number <= INT32_MIN) return INT32_MIN;
    if (number >= INT32_MAX) return INT32_MAX;
    return static_cast<int64_t>(number);
}

// The operation of op on two numbers (forms long or double): 0 and the
// value, which then becomes a number as a value made by arithmetic does
// (YOperand::setReal); or an error code; or kNoNumberOperation when op's
// text operation serves numbers too ("@"), or op is no binary operator.
int numberOperation(char op, double left, double right, double& result) {
    switch (op) {
    case '+': result = left + right; break;
    case '-': result = left - right; break;
    case '*': result = left * right; break;
    case '/':
        if (right * right < kSmallestSquare) return yerrDomain;
        result = left / right;
        break;
    case '\\':
    case '%': {
        const int64_t divisor = toLong32(right);
        if (divisor == 0) return yerrZeroDivisor;
        // C's remainder: the sign of the left operand.
        result = static_cast<double>(op == '%' ? toLong32(left) % divisor : toLong32(left) / divisor);
        break;
    }
    case '^':
        if (left < 0 && right != std::trunc(right)) return yerrDomain;
        result = std::pow(left, right);
        break;
    case '=': result = left == right; break;
    case '#': result = left != right; break;
    case '<': result = left < right; break;
    case '>': result = left > right; break;
    default: return kNoNumberOperation;
    }
    return yerrNone;
}

void concatenate(YOperand& result, std::string_view left, std::string_view right) {
    const size_t length = left.size() + right.size();
    if (length >= static_cast<size_t>(kYValueBufferSize)) return fail(yerrLength);
    // The result is a fresh operand: its buffer is neither operand's text.
    char* joined = result.buffer();
    // An empty operand may have no storage at all (a value that has no text).
    if (!left.empty()) std::memcpy(joined, left.data(), left.size());
    if (!right.empty()) std::memcpy(joined + left.size(), right.data(), right.size());
    result.adoptBuffer(static_cast<int>(length));
}

void notANumber(YOperand&, std::string_view, std::string_view) { fail(yerrNotANumber); }
// Byte-wise comparisons: std::char_traits<char> compares as unsigned char.
void sameText(YOperand& result, std::string_view left, std::string_view right) { truth(result, left == right); }
void otherText(YOperand& result, std::string_view left, std::string_view right) { truth(result, left != right); }
void textBefore(YOperand& result, std::string_view left, std::string_view right) { truth(result, left < right); }
void textAfter(YOperand& result, std::string_view left, std::string_view right) { truth(result, left > right); }

// Position from 1 of left inside right, 0 when absent.
void position(YOperand& result, std::string_view left, std::string_view right) {
    const size_t at = right.find(left);
    result.setWhole(at == std::string_view::npos ? 0L : static_cast<long>(at) + 1);
}

struct BinaryOperator {
    char symbol;
    TextOperation texts;
};

constexpr BinaryOperator kBinaryOperators[] = {
    {'+', concatenate}, {'-', notANumber}, {'*', notANumber}, {'/', notANumber},
    {'\\', notANumber}, {'%', notANumber}, {'^', notANumber}, {'=', sameText},
    {'#', otherText},   {'<', textBefore}, {'>', textAfter},  {'@', position},
};

const BinaryOperator* binaryOperator(char op) {
    for (const BinaryOperator& entry : kBinaryOperators)
        if (entry.symbol == op) return &entry;
    return nullptr;
}

int lengthBeforeNul(const char* text, int limit) {
    const void* nul = std::memchr(text, 0, static_cast<size_t>(limit));
    return nul ? static_cast<int>(static_cast<const char*>(nul) - text) : limit;
}

bool isUnary(char op) { return op == '~' || op == '$' || op == '`'; }

// The deepest stack an expression evaluated by plan may need.
constexpr int kYMaxPlanDepth = kYCodeBufferSize;

// How many evaluations are running, so that only an outermost one clears the error.
int evaluationDepth = 0;

}  // namespace

void YVariable::takeTerm(YOperand& operand, YVariable* term) {
    const YVariable* entry = term->target();
    // Plain variables and number literals lend their own texts: no plain
    // variable changes while an expression evaluates. Too deep a read takes
    // the general way, which refuses it.
    const bool literal = entry->kind == yvtConstant && entry->name && YNumberText::startsNumber(entry->name[0]);
    if (nesting < kYMaxNesting && (entry->kind == yvtVariable || literal)) {
        if (entry->form == yvsObject) return operand.setObject(entry->payload.object);
        const bool own = entry->kind == yvtVariable && entry->form != yvsNone && entry->text;
        const char* source = own ? entry->text : entry->name ? entry->name : "";
        if ((own || literal) && entry->isNumber() && entry->numberFromText && entry->sizeField <= kYMaxValueLength)
            return operand.borrowNumber(source, entry->sizeField, entry->form, entry->payload.number,
                                        entry->payload.real);
        // A reader copies at most the size field and stops at a NUL.
        const int length =
            own ? lengthBeforeNul(source, std::clamp(entry->sizeField, 0, kYMaxValueLength))
                : static_cast<int>(std::strlen(source));
        if (length <= kYMaxValueLength) return operand.borrowText(source, length);
    }
    char* buffer = operand.buffer();
    const int found = term->value(buffer);
    YVariable* source = term;
    if (found > 0) {
        if (YVariable* resolved = YHeap::theHeap[found]) source = resolved;
    }
    const YVariable* held = source->target();
    if (held->form == yvsObject) return operand.setObject(held->payload.object);
    if (found > 0) {
        int length = 0;
        const char* value = source->value(length);
        return operand.setText(value, length);
    }
    operand.adoptBuffer(found < 0 ? -found : static_cast<int>(std::strlen(buffer)));
}

// Inline: the evaluation by plan is its only caller.
inline bool YVariable::steadyNumber(const YVariable* term, double& number) {
    const YVariable* entry = term->target();
    if (!entry->isNumber() || !entry->numberFromText || entry->sizeField > kYMaxValueLength) return false;
    if (entry->kind == yvtVariable ? !entry->text
                                   : entry->kind != yvtConstant || !entry->name ||
                                         !YNumberText::startsNumber(entry->name[0]))
        return false;
    number = entry->form == yvsLong ? entry->payload.number : entry->payload.real;
    return true;
}

// An expression's code decoded once for evaluateNumbers. The terms are held
// as entries: an entry keeps its place for as long as the heap lives, and
// the plan lives in an entry of the same heap.
struct YVariable::NumberPlan {
    struct Step {
        char op;  // 't' a term, 'z' the missing left operand 0, else a binary operator
        const YVariable* term;
    };
    std::vector<Step> steps;
    bool hasTerms = false;
};

void YVariable::dropNumberPlan() {
    delete numberPlan;
    numberPlan = nullptr;
    numberPlanRefused = false;
}

// The code read backwards is the evaluation in postfix order, terms from the
// first to the last; the general evaluator applies a right operand's
// operators before the left one's, which only decides which error is
// reported, and an error gives up on the plan's way. The code must be one
// whole expression of operators that work on numbers, using exactly the
// entry's terms, all of them in the heap; any other code (damaged code
// included, which the general evaluator reads its own way) has no plan.
YVariable::NumberPlan* YVariable::makeNumberPlan() const {
    if (!text) return nullptr;
    const int length = static_cast<int>(std::strlen(text));
    const int termTotal = sizeField < partCount ? sizeField : partCount;
    auto plan = std::make_unique<NumberPlan>();
    int depth = 0;
    int term = 0;
    bool operated = false;
    for (int at = length - 1; at >= 0; --at) {
        const char byte = text[at];
        if (byte == 't' || byte == 'z') {
            const YVariable* entry = nullptr;
            if (byte == 't' && (term >= termTotal || !(entry = YHeap::theHeap[parts[term++]]))) return nullptr;
            plan->steps.push_back({byte, entry});
            if (++depth > kYMaxPlanDepth) return nullptr;
            continue;
        }
        double probe = 0.0;
        if (at == 0 || text[at - 1] != 's' || depth < 2 || numberOperation(byte, 1.0, 1.0, probe) != yerrNone)
            return nullptr;
        --at;
        plan->steps.push_back({byte, nullptr});
        --depth;
        operated = true;
    }
    // A lone term reads as its own text, not as a number made by arithmetic.
    if (depth != 1 || term != termTotal || !operated) return nullptr;
    plan->hasTerms = term > 0;
    return plan.release();
}

bool YVariable::evaluateNumbers(double& number) const {
    if (!numberPlan) {
        if (numberPlanRefused) return false;
        numberPlan = makeNumberPlan();
        numberPlanRefused = !numberPlan;
        if (!numberPlan) return false;
    }
    // A heap being killed has let go of its entries; a term read too deep is refused.
    if (!YHeap::theHeap.isAlive() || (numberPlan->hasTerms && nesting >= kYMaxNesting)) return false;
    double stack[kYMaxPlanDepth];
    int depth = 0;
    for (const NumberPlan::Step& step : numberPlan->steps) {
        if (step.op == 't') {
            if (!steadyNumber(step.term, stack[depth++])) return false;
        } else if (step.op == 'z') {
            stack[depth++] = 0.0;
        } else {
            const double right = stack[--depth];
            double& left = stack[depth - 1];
            // The commonest operators at once; numberOperation has them all.
            if (step.op == '+')
                left += right;
            else if (step.op == '-')
                left -= right;
            else if (step.op == '*')
                left *= right;
            else if (numberOperation(step.op, left, right, left) != yerrNone)
                return false;
            // As a number made by arithmetic: a whole one is a long, which has no negative zero.
            if (left == 0.0) left = 0.0;
        }
    }
    number = stack[0];
    return true;
}

// Reading the entry would nest one level deeper (value(char*)) before the
// expression is evaluated: the terms see that depth.
bool YVariable::readArithmetic(double& number) {
    const YVariable* entry = target();
    if (entry->kind != yvtExpression || !entry->text || nesting + 1 >= kYMaxNesting) return false;
    ++nesting;
    const bool evaluated = entry->evaluateNumbers(number);
    --nesting;
    if (evaluated && evaluationDepth == 0) evalError = yerrNone;
    return evaluated;
}

void YVariable::evaluate(EvalCursor& cursor, YOperand& result) const {
    const char marker = *cursor.code;
    if (marker == 0) {  // damaged code: a missing operand reads as 0
        result.setWhole(0);
        return;
    }
    if (marker == 'z') {
        ++cursor.code;
        result.setWhole(0);
        return;
    }
    if (marker == 't') {
        ++cursor.code;
        // A damaged entry may announce fewer terms than its code uses.
        YVariable* term = cursor.counter > 0 ? YHeap::theHeap[parts[--cursor.counter]] : nullptr;
        if (term)
            takeTerm(result, term);
        else
            result.setWhole(0);
        return;
    }
    const char op = cursor.code[1];
    if (op == 0) {
        ++cursor.code;
        result.setWhole(0);
        return;
    }
    cursor.code += 2;
    YOperand right;
    evaluate(cursor, right);
    if (isUnary(op)) {
        applyUnary(op, result, right);
        return;
    }
    YOperand left;
    evaluate(cursor, left);
    applyBinary(op, result, left, right);
}

void YVariable::applyBinary(char op, YOperand& result, YOperand& left, YOperand& right) {
    if (evalError) return;
    if (left.form() == yvsObject && right.form() == yvsObject) {
        result.setWhole(0);
        return;
    }
    // Any other operator character leaves the result unchanged.
    const BinaryOperator* entry = binaryOperator(op);
    if (!entry) return;
    if (left.isNumber() && right.isNumber()) {
        double number = 0.0;
        const int error = numberOperation(op, left.asDouble(), right.asDouble(), number);
        if (error == yerrNone) return result.setReal(number);
        if (error != kNoNumberOperation) return fail(error);
    }
    entry->texts(result, left.text(), right.text());
}

void YVariable::applyUnary(char op, YOperand& result, YOperand& operand) {
    if (evalError) return;
    if (operand.form() == yvsObject) {
        result.setWhole(0);
        return;
    }
    switch (op) {
    case '~':
        // A temporary has no name to fall back on: without a value its length is 0.
        result.setWhole(operand.form() != yvsNone ? operand.size() : 0);
        break;
    case '$': {
        const std::string_view source = operand.text();
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
        result.setText(value, length);
        break;
    }
    case '`':
        result.makeText(operand);
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
    double number = 0.0;
    if (evaluateNumbers(number)) {
        // As the general way ends without an error: an outermost evaluation clears the code.
        if (evaluationDepth == 0) evalError = yerrNone;
        char digits[kYNumberTextSize];
        copyOut(buffer, digits, arithmeticText(number, digits));
        return 0;
    }
    const int enclosing = evalError;
    evalError = 0;
    ++evaluationDepth;
    YOperand result;
    EvalCursor cursor{text, sizeField < partCount ? sizeField : partCount};
    evaluate(cursor, result);
    --evaluationDepth;
    if (evalError) {
        copyOut(buffer, name, name ? static_cast<int>(std::strlen(name)) : 0);
    } else {
        const std::string_view value = result.text();
        copyOut(buffer, value.data(), static_cast<int>(value.size()));
    }
    if (evaluationDepth > 0 && enclosing) evalError = enclosing;
    return 0;
}
