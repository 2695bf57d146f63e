// Reading heap entries: value texts by kind, numbers and objects, paths and
// substrings.
//
// Every reader follows references first. Texts that are not an entry's own
// text go to the caller's buffer or to one of two static value buffers used
// in turn (the third read reuses the first), so reading allocates nothing.
// A reader writes its caller's buffer last, with memmove, because the text it
// copies may itself lie in that buffer. Reads of values inside values nest at
// most kYMaxNesting deep, which stops an entry that (through a damaged record
// or a self-referring "$") reads itself.
#include "script/YHeap.h"
#include "script/YNumberText.h"
#include "script/YVariable.h"
#include "sob/KvScriptableObject.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

char valueBuffers[2][kYValueBufferSize];
int bufferTurn = 0;
char pathBuffer[kYPathBufferSize];

int textLength(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

long clampToLong32(double number) {
    if (std::isnan(number)) return 0;
    if (number <= INT32_MIN) return INT32_MIN;
    if (number >= INT32_MAX) return INT32_MAX;
    return static_cast<long>(number);
}

// "%lf" as the reader of numbers in texts; 0 when it does not parse.
double readNumber(const char* text) {
    double number = 0.0;
    if (!text || !YNumberText::parse(text, number)) return 0.0;
    return number;
}

// atoi of a value text, kept within the 32-bit range of a long.
long readWhole(const char* text) {
    if (!text) return 0;
    const long number = std::strtol(text, nullptr, 10);
    if (number < INT32_MIN) return INT32_MIN;
    if (number > INT32_MAX) return INT32_MAX;
    return number;
}

}  // namespace

int YVariable::copyOut(char* buffer, const char* source, int length) {
    if (!source || length < 0) length = 0;
    if (length > kYMaxValueLength) length = kYMaxValueLength;
    if (length > 0) std::memmove(buffer, source, length);
    buffer[length] = 0;
    return length;
}

char* YVariable::nextValueBuffer() {
    bufferTurn ^= 1;
    return valueBuffers[bufferTurn];
}

// ------------------------------------------------------------------ as text

const char* YVariable::value(int& length) {
    YVariable* entry = target();
    switch (entry->kind) {
    case yvtVariable:
    case yvtUnclassified:
        if (entry->form != yvsNone && entry->text) {
            length = entry->sizeField;
            return entry->text;
        }
        break;  // an unassigned variable reads as its own name
    case yvtConstant:
        if (entry->name && (entry->name[0] == '"' || entry->name[0] == '\'' || entry->name[0] == '?')) {
            char* buffer = nextValueBuffer();
            const int found = entry->value(buffer);
            length = found < 0 ? -found : textLength(buffer);
            return buffer;
        }
        break;  // a number literal reads as written
    default: {
        char* buffer = nextValueBuffer();
        entry->value(buffer);
        length = textLength(buffer);
        return buffer;
    }
    }
    length = textLength(entry->name);
    if (length <= kYMaxValueLength) return entry->name ? entry->name : "";
    char* buffer = nextValueBuffer();
    length = copyOut(buffer, entry->name, length);
    return buffer;
}

int YVariable::value(char* buffer) {
    YVariable* entry = target();
    if (nesting >= kYMaxNesting) {
        buffer[0] = 0;
        if (!evalError) evalError = yerrTooDeep;
        return 0;
    }
    ++nesting;
    const int result = entry->readInto(buffer);
    --nesting;
    return result;
}

int YVariable::readInto(char* buffer) {
    switch (kind) {
    case yvtConstant:
        return constantValue(buffer);
    case yvtPath: {
        const int index = getAssociate();
        YVariable* associate = YHeap::theHeap[index];
        if (!associate) break;  // unresolvable: the path reads as its own name
        associate->value(buffer);
        return index;
    }
    case yvtSubstring:
        return substringValue(buffer);
    case yvtExpression:
        return expressionValue(buffer);
    default:
        if (form != yvsNone && text) {
            copyOut(buffer, text, sizeField);
            return 0;
        }
        break;
    }
    copyOut(buffer, name, textLength(name));
    return 0;
}

int YVariable::constantValue(char* buffer) const {
    const int length = textLength(name);
    const char first = length > 0 ? name[0] : 0;
    if (first == '?') {
        ++randomDraws;
        buffer[0] = static_cast<char>('0' + std::rand() % 10);
        buffer[1] = 0;
        return -1;
    }
    if (first == '"' || first == '\'') {
        copyOut(buffer, name + 1, length >= 2 ? length - 2 : 0);
        return 0;
    }
    copyOut(buffer, name, length);
    return 0;
}

// ------------------------------------------------------------- substrings

const char* YVariable::partText(int index, int& length) {
    YVariable* part = YHeap::theHeap[index];
    if (!part) {
        length = 0;
        return "";
    }
    return part->value(length);
}

long YVariable::partNumber(int index) {
    YVariable* part = YHeap::theHeap[index];
    long number = 0;
    if (part) part->value(&number);
    return number;
}

// Positions count from 1; a position below 2 means the start. The numbers are
// read before the text, whose buffer a later read could reuse.
int YVariable::substringValue(char* buffer) {
    buffer[0] = 0;
    if (partCount < 3 || (sizeField != 1 && sizeField != 2)) return 0;
    const bool twoBars = sizeField == 2;
    const bool emptyMiddle = twoBars && parts[1] == kYNoPart;
    const long start = emptyMiddle ? 0 : partNumber(parts[1]);
    long count = twoBars ? partNumber(parts[2]) : 0;
    int length = 0;
    const char* whole = partText(parts[0], length);
    long from = 0;
    long taken = 0;
    if (!twoBars) {
        if (start > length) return 0;
        from = start < 2 ? 0 : start - 1;
        taken = length - from;
    } else {
        if (count < 0) count = 0;
        if (count > length) count = length;
        if (emptyMiddle) {
            from = length - count;
            taken = count;
        } else {
            if (start > length) return 0;
            from = start < 2 ? 0 : start - 1;
            taken = from + count > length ? length - from : count;
        }
    }
    copyOut(buffer, whole + from, static_cast<int>(taken));
    return 0;
}

// ------------------------------------------------------------------- paths

// The head, then ".value" for every part whose value is not empty. Built in a
// local buffer first: a part's value may itself need the path buffer.
const char* YVariable::resolveName(int& length) {
    length = 0;
    const YVariable* entry = target();
    if (entry->kind != yvtPath || !entry->name) return nullptr;
    char resolved[kYPathBufferSize];
    const char* stop = std::strchr(entry->name, '.');
    int used = stop ? static_cast<int>(stop - entry->name) : textLength(entry->name);
    if (used >= kYPathBufferSize) return nullptr;
    std::memcpy(resolved, entry->name, used);
    const int count = entry->sizeField < entry->partCount ? entry->sizeField : entry->partCount;
    for (int i = 0; i < count; ++i) {
        int partLength = 0;
        const char* part = partText(entry->parts[i], partLength);
        if (partLength == 0) continue;
        if (used + 1 + partLength >= kYPathBufferSize) return nullptr;  // refused: too long
        resolved[used++] = '.';
        std::memcpy(resolved + used, part, partLength);
        used += partLength;
    }
    std::memcpy(pathBuffer, resolved, used);
    pathBuffer[used] = 0;
    length = used;
    return pathBuffer;
}

int YVariable::getAssociate() {
    int length = 0;
    const char* resolved = resolveName(length);
    if (!resolved) return -1;
    return YHeap::theHeap.pile(resolved, length, yvtVariable);
}

// ---------------------------------------------------------- numbers, objects

const char* YVariable::value(KvScriptableObject*& object) {
    object = nullptr;
    YVariable* entry = target();
    if (entry->kind == yvtPath) {
        if (YVariable* associate = YHeap::theHeap[entry->getAssociate()]) return associate->value(object);
    } else if (entry->kind == yvtVariable && entry->form == yvsObject) {
        object = entry->payload.object;
    }
    int length = 0;
    return entry->value(length);
}

const char* YVariable::value(double* number) {
    YVariable* entry = target();
    int length = 0;
    const char* text = entry->value(length);
    if (entry->kind == yvtVariable || entry->kind == yvtConstant || entry->kind == yvtUnclassified) {
        *number = entry->form == yvsLong ? entry->payload.number
                  : entry->form == yvsDouble ? entry->payload.real
                                             : 0.0;
    } else {
        *number = readNumber(text);
    }
    return text;
}

// A double goes to the nearest whole number, halfway to the lower one.
const char* YVariable::value(long* number) {
    YVariable* entry = target();
    int length = 0;
    const char* text = entry->value(length);
    if (entry->kind == yvtVariable || entry->kind == yvtConstant || entry->kind == yvtUnclassified) {
        *number = entry->form == yvsLong     ? entry->payload.number
                  : entry->form == yvsDouble ? clampToLong32(std::ceil(entry->payload.real - 0.5))
                                             : 0;
    } else {
        *number = readWhole(text);
    }
    return text;
}

// ----------------------------------------------------------------- resolving

int YVariable::resolve(char* buffer) {
    int found = value(buffer);
    for (int hops = 0; found > 0 && hops < kYMaxNesting; ++hops) {
        YVariable* entry = YHeap::theHeap[found];
        if (!entry) break;
        found = entry->value(buffer);
    }
    return found;
}

// Only a path's value is another entry's, and value(object) already reads
// the entry a path stands for.
const char* YVariable::resolve(KvScriptableObject*& object) { return value(object); }

const char* YVariable::resolve() {
    char* buffer = nextValueBuffer();
    resolve(buffer);
    return buffer;
}
