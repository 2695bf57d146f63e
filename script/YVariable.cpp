// Heap entries: construction, classification of names, and assignment.
//
// Numbers are read from texts exactly as "%lf" reads them and printed with
// "%ld" and "%.15g"; a double becomes a long (the reduction) when it is whole,
// within +-2,000,000,000 and, for a literal, written with at most 10 characters.
// Stored value texts are cut at kYMaxValueLength bytes, so every reader's
// 1024-byte buffer holds any value.
#include "script/YVariable.h"

#include "script/YHeap.h"
#include "script/YNumberText.h"
#include "sob/KvScriptableObject.h"

#include <climits>
#include <cstdlib>
#include <cstring>

int YVariable::evalError = 0;
unsigned long YVariable::randomDraws = 0;
int YVariable::nesting = 0;
unsigned YVariable::renames = 0;

namespace {

char* copyText(const char* source, int length) {
    char* copy = new char[length + 1];
    if (length > 0) std::memcpy(copy, source, length);
    copy[length] = 0;
    return copy;
}

// Enters a part of a name (a substring operand, a path part); a refused
// entry reads as a missing part.
uint16_t pileIndex(const char* text, int length) {
    const int index = YHeap::theHeap.pile(text, length, static_cast<const char*>(nullptr));
    return index < 0 ? kYNoPart : static_cast<uint16_t>(index);
}

}  // namespace

// ---------------------------------------------------------------- construction

YVariable::YVariable() : alias(1), form(yvsText) {}

YVariable::YVariable(const char* source, int length, YVT entryKind) {
    if (!source || length < 0) length = 0;
    name = copyText(source, length);
    kind = entryKind;
    if (kind == yvtExpression) {
        // Take over the analysis the heap has just made of this text.
        int termCount = 0;
        const uint16_t* terms = YHeap::getTerms(termCount);
        allocateParts(termCount);
        if (termCount > 0) std::memcpy(parts, terms, termCount * sizeof(uint16_t));
        text = copyText(YHeap::codeCursor, static_cast<int>(std::strlen(YHeap::codeCursor)));
        sizeField = termCount;
    } else if (kind == yvtUnclassified) {
        classify(length);
    }
}

YVariable::YVariable(const char* source, int length, const char* value)
    : YVariable(source, length, yvtUnclassified) {
    set(value, -1);
}

YVariable::~YVariable() {
    dropNumberPlan();
    if (form == yvsObject && alias == 0) delete payload.object;
    delete[] name;
    delete[] text;
    delete[] parts;
}

void YVariable::allocateParts(int count) {
    delete[] parts;
    parts = new uint16_t[count > 0 ? count : 1];
    for (int i = 0; i < (count > 0 ? count : 1); ++i) parts[i] = kYNoPart;
    partCount = count;
}

// --------------------------------------------------------------- classification

void YVariable::classify(int length) {
    kind = yvtVariable;
    if (const char* bar = static_cast<const char*>(std::memchr(name, '|', length))) {
        classifySubstring(bar, length);
        return;
    }
    const char first = length > 0 ? name[0] : 0;
    if (YNumberText::startsNumber(first)) {
        kind = yvtConstant;
        sizeField = length;
        takeNumber(name);
        return;
    }
    if (first == '"' || first == '\'' || first == '?') {
        kind = yvtConstant;
        sizeField = length;
        form = yvsText;
        return;
    }
    if (std::memchr(name, '.', length)) classifyPath(length);
}

// s|a (size 1, parts s a) and s|a|n or s||n (size 2, parts s a n, a missing
// middle being kYNoPart). Bars after the second belong to the last part.
void YVariable::classifySubstring(const char* bar, int length) {
    const char* end = name + length;
    allocateParts(3);
    const int headLength = static_cast<int>(bar - name);
    const char* rest = bar + 1;
    const auto* second = static_cast<const char*>(std::memchr(rest, '|', end - rest));
    int operands = 0;
    // Each pile may grow the heap; this entry is not in it yet, so nothing moves under us.
    const uint16_t head = pileIndex(name, headLength);
    uint16_t middle = kYNoPart;
    if (second) {
        if (second != rest) middle = pileIndex(rest, static_cast<int>(second - rest));
        operands = 1;
        rest = second + 1;
    }
    ++operands;
    const uint16_t last = pileIndex(rest, static_cast<int>(end - rest));
    kind = yvtSubstring;
    sizeField = operands;
    parts[0] = head;
    if (operands == 2) parts[1] = middle;
    parts[operands] = last;
}

// A name with full stops is a path unless every part after a stop begins like
// a number (clone names such as x.1 stay plain). Names with more than
// kYMaxPathStops stops are refused as paths and stay plain variables.
void YVariable::classifyPath(int length) {
    int stops = 0;
    bool numbered = true;
    for (int i = 0; i < length; ++i) {
        if (name[i] != '.') continue;
        ++stops;
        if (!YNumberText::startsNumber(i + 1 < length ? name[i + 1] : 0)) numbered = false;
    }
    if (numbered || stops > kYMaxPathStops) return;
    uint16_t found[kYMaxPathStops];
    int part = 0;
    for (int i = 0; i < length; ++i) {
        if (name[i] != '.') continue;
        int j = i + 1;
        while (j < length && name[j] != '.') ++j;
        found[part++] = pileIndex(name + i + 1, j - i - 1);
    }
    allocateParts(stops);
    std::memcpy(parts, found, stops * sizeof(uint16_t));
    kind = yvtPath;
    sizeField = stops;
}

// ------------------------------------------------------------------- numbers

void YVariable::takeNumber(const char* digits) {
    double number = 0.0;
    if (!YNumberText::parse(digits, number)) number = 0.0;
    payload.real = number;
    form = yvsDouble;
    reduce();
    // A text with a NUL inside reads shorter than its size: copies read it again.
    numberFromText = static_cast<int>(std::strlen(digits)) == sizeField;
}

void YVariable::reduce() {
    int32_t whole = 0;
    if (form != yvsDouble || !YNumberText::reduce(payload.real, sizeField, whole)) return;
    payload.number = whole;
    form = yvsLong;
}

void YVariable::makeNumberText() {
    char digits[kYNumberTextSize];
    const int length = form == yvsLong ? YNumberText::formatWhole(payload.number, digits)
                                       : YNumberText::formatReal(payload.real, digits);
    storeText(digits, length);
    sizeField = length;
    // A double's text may hold fewer digits than its payload; a long's reads
    // back as itself, and as a long unless the reduction refuses its text.
    int32_t whole = 0;
    numberFromText = form == yvsLong && YNumberText::reduce(payload.number, length, whole);
}

void YVariable::setNumber(int32_t number) {
    payload.number = number;
    form = yvsLong;
    makeNumberText();
}

// A number assigned by value has no literal, so the literal length rule of
// the reduction does not hold it back (size -1, as for a fresh result).
void YVariable::setReal(double number) {
    payload.real = number;
    form = yvsDouble;
    sizeField = -1;
    reduce();
    makeNumberText();
}

// ------------------------------------------------------------------- storage

// A variable assigned over and over (a loop counter, a running total) keeps
// its text's storage while the new text fits it.
void YVariable::storeText(const char* source, int length) {
    if (numberPlan || numberPlanRefused) dropNumberPlan();  // an expression's code is its text
    if (text && length <= textCapacity) {
        // The source may be this entry's own text.
        if (length > 0) std::memmove(text, source, length);
        text[length] = 0;
        return;
    }
    // The source may be this entry's own text: copy before freeing.
    char* copy = copyText(source, length);
    delete[] text;
    text = copy;
    textCapacity = length;
}

void YVariable::freeText() {
    if (numberPlan || numberPlanRefused) dropNumberPlan();
    delete[] text;
    text = nullptr;
    textCapacity = 0;
}

YVariable* YVariable::referenced() {
    YVariable* entry = this;
    for (int hops = 0; entry->alias == -1 && entry->other != 0 && hops < kYMaxNesting; ++hops) {
        YVariable* next = YHeap::theHeap[entry->other];
        if (!next || next == entry) break;
        entry = next;
    }
    return entry;
}

YVariable* YVariable::holder() {
    YVariable* entry = target();
    if (entry->kind == yvtPath) {
        YVariable* associate = YHeap::theHeap[entry->getAssociate()];
        if (associate) return associate->target();
    }
    return entry;
}

void YVariable::release(int length) {
    handled = 0;
    if (form != yvsObject) return;
    KvScriptableObject* held = payload.object;
    payload.object = nullptr;  // forgotten before a destructor could look at the heap
    if (alias == 0 && length != -3)
        delete held;
    else if (alias == 1)
        alias = 0;
}

void YVariable::forgetOwnValue() {
    if (form == yvsObject) payload.object = nullptr;  // a reference never owns
    form = yvsNone;
    sizeField = -1;
    freeText();
}

// ---------------------------------------------------------------- assignment

void YVariable::set(const char* source, int length) {
    if (kind != yvtVariable) return;
    if (alias == -1 && other != 0) {
        YVariable* entry = target();
        if (entry != this) {
            if (entry->kind == yvtVariable) entry->assign(source, length);
            if (length == -2 || length == -3) other = 0;
            return;
        }
    }
    assign(source, length);
}

void YVariable::assign(const char* source, int length) {
    release(length);
    if (source) {
        int stored = length < 0 ? static_cast<int>(std::strlen(source)) : length;
        if (stored > kYMaxValueLength) stored = kYMaxValueLength;
        storeText(source, stored);
        sizeField = stored;
        if (stored > 0 && YNumberText::startsNumber(text[0]))
            takeNumber(text);
        else
            form = yvsText;
        return;
    }
    if (length == -2 || length == -3) form = yvsNone;
    switch (form) {
    case yvsLong:
    case yvsDouble:
        makeNumberText();
        break;
    case yvsText:
        break;  // -1 on a text: nothing to re-make
    case yvsObject:  // the object was let go above: nothing is left
    case yvsNone:
        form = yvsNone;
        sizeField = -1;
        freeText();
        other = 0;
        break;
    }
}

YVariable* YVariable::assignable() {
    if (kind != yvtVariable) return nullptr;
    YVariable* entry = alias == -1 && other != 0 ? target() : this;
    return entry->kind == yvtVariable ? entry : nullptr;
}

void YVariable::set(long number) {
    YVariable* entry = assignable();
    if (!entry) return;
    entry->release(-2);
    // The payload is a 32-bit long; wider numbers are held as doubles.
    if (number >= INT32_MIN && number <= INT32_MAX)
        entry->setNumber(static_cast<int32_t>(number));
    else
        entry->setReal(static_cast<double>(number));
}

void YVariable::set(double number) {
    YVariable* entry = assignable();
    if (!entry) return;
    entry->release(-2);
    entry->setReal(number);
}

int YVariable::arithmeticText(double number, char* digits) {
    int32_t whole = 0;
    return YNumberText::reduce(number, -1, whole) ? YNumberText::formatWhole(whole, digits)
                                                  : YNumberText::formatReal(number, digits);
}

// A whole number's digits read back as the number itself, so only the
// reduction by the text's length is left to do; other texts are read.
void YVariable::setArithmetic(double number) {
    char digits[kYNumberTextSize];
    int32_t whole = 0;
    if (!YNumberText::reduce(number, -1, whole)) return set(digits, YNumberText::formatReal(number, digits));
    const int length = YNumberText::formatWhole(whole, digits);
    YVariable* entry = assignable();
    if (!entry) return;
    entry->release(length);
    entry->storeText(digits, length);
    entry->sizeField = length;
    entry->payload.real = whole;
    entry->form = yvsDouble;
    entry->reduce();
    entry->numberFromText = true;
}

void YVariable::set(KvScriptableObject* object) {
    YVariable* entry = target();
    if (entry->form == yvsObject && entry->payload.object == object) return;
    if (!object) {
        entry->assign(nullptr, -2);
        return;
    }
    entry->release(-2);
    entry->form = yvsObject;
    entry->payload.object = object;
    entry->storeText(&kYObjectMarker, 1);
    entry->sizeField = 1;
}

void YVariable::set(YVariable* source) {
    if (!source || source == this || kind != yvtVariable) return;
    handled = 0;
    char buffer[kYValueBufferSize];
    const int found = source->value(buffer);
    if (found > 0) {
        if (YVariable* entry = YHeap::theHeap[found]) source = entry;
    }
    YVariable* held = source->target();
    if (held->form == yvsObject) {
        KvScriptableObject* object = held->payload.object;
        if (alias == 0 && held->alias == 0) {
            set(object ? object->copy() : nullptr);
        } else if (alias == -1) {
            const int index = YHeap::theHeap.index(held);
            if (index >= 0) {
                forgetOwnValue();
                other = index;
            }
        } else {
            set(object);
            alias = 1;
        }
        return;
    }
    if (found > 0) {
        int length = 0;
        const char* value = source->value(length);
        set(value, length);
    } else {
        set(buffer, found < 0 ? -found : static_cast<int>(std::strlen(buffer)));
    }
}

int YVariable::size() const { return target()->sizeField; }

YVariable::operator int() const {
    if (alias == -1 && other != 0) return 1;
    return form != yvsNone;
}
