// The variable record of compiled script files. Multi-byte fields are
// little-endian as written; a reader given the swap flag reads every 2- and
// 4-byte field (and every part index) in the other byte order.
//
//   kind 4 | form 4 | [long 4, form 3] | [L 2, "%.15g" text L, form 4]
//   clones 4 | other 4 | size 4 | alias 4
//   name length 4 (-1: none) | name | text length 4 (-1: none) | text
//   parts count 4 (-1: none) | parts 2 x count
//
// Objects are not stored: an object entry is written with its marker text and
// reads back with no value. A record is parsed completely before anything is
// applied, so a refused one (a length past the end of the data, a field out
// of range) leaves the entry unchanged. Limits: names and texts of at most
// kYMaxValueLength bytes, number texts of at most kYMaxNumberText, at most
// kYMaxTerms parts.
#include "script/YHeap.h"
#include "script/YNumberText.h"
#include "script/YVariable.h"

#include <cstdlib>
#include <cstring>

struct YVariable::Record {
    int32_t kind = 0;
    int32_t form = 0;
    int32_t number = 0;
    double real = 0.0;
    int32_t clones = 0;
    int32_t other = 0;
    int32_t size = 0;
    int32_t alias = 0;
    int32_t nameLength = -1;
    char name[kYValueBufferSize];
    int32_t textLength = -1;
    char text[kYValueBufferSize];
    int32_t partCount = -1;
    uint16_t parts[kYMaxTerms];
};

namespace {

class FileSource {
public:
    explicit FileSource(FILE* f) : file(f) {}
    bool take(void* bytes, size_t count) { return count == 0 || std::fread(bytes, 1, count, file) == count; }

private:
    FILE* file;
};

class BufferSource {
public:
    BufferSource(const unsigned char* start, const unsigned char* stop) : at(start), end(stop) {}
    bool take(void* bytes, size_t count) {
        if (end < at || static_cast<size_t>(end - at) < count) return false;
        if (count > 0) std::memcpy(bytes, at, count);
        at += count;
        return true;
    }
    const unsigned char* position() const { return at; }

private:
    const unsigned char* at;
    const unsigned char* end;
};

template <class Source>
class FieldReader {
public:
    FieldReader(Source& s, int swapped) : source(s), swap(swapped != 0) {}

    bool word32(int32_t& value) {
        unsigned char b[4];
        if (!source.take(b, 4)) return false;
        const uint32_t v = swap ? (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3])
                                : (uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0]);
        value = static_cast<int32_t>(v);
        return true;
    }
    bool word16(uint16_t& value) {
        unsigned char b[2];
        if (!source.take(b, 2)) return false;
        value = swap ? static_cast<uint16_t>(b[0] << 8 | b[1]) : static_cast<uint16_t>(b[1] << 8 | b[0]);
        return true;
    }
    // A length field (-1 for none, else at most limit) and its bytes.
    bool bytes(int32_t& length, char* into, int32_t limit) {
        if (!word32(length) || length < -1 || length > limit) return false;
        if (length < 0) return true;
        if (!source.take(into, static_cast<size_t>(length))) return false;
        into[length] = 0;
        return true;
    }

private:
    Source& source;
    bool swap;
};

template <class Source>
bool parse(Source& source, int swap, YVariable::Record& record) {
    FieldReader<Source> in(source, swap);
    if (!in.word32(record.kind) || record.kind < yvtVariable || record.kind > yvtExpression) return false;
    if (!in.word32(record.form) || record.form < yvsNone || record.form > yvsDouble) return false;
    if (record.form == yvsLong && !in.word32(record.number)) return false;
    if (record.form == yvsDouble) {
        uint16_t length = 0;
        char digits[kYMaxNumberText + 1];
        if (!in.word16(length) || length > kYMaxNumberText) return false;
        if (!source.take(digits, length)) return false;
        digits[length] = 0;
        record.real = std::atof(digits);
    }
    if (!in.word32(record.clones) || !in.word32(record.other) || !in.word32(record.size) ||
        !in.word32(record.alias))
        return false;
    if (!in.bytes(record.nameLength, record.name, kYMaxValueLength)) return false;
    if (!in.bytes(record.textLength, record.text, kYMaxValueLength)) return false;
    if (!in.word32(record.partCount) || record.partCount < -1 || record.partCount > kYMaxTerms) return false;
    for (int i = 0; i < record.partCount; ++i)
        if (!in.word16(record.parts[i])) return false;
    return true;
}

class FieldWriter {
public:
    explicit FieldWriter(FILE* f) : file(f) {}
    void word32(int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void word16(uint16_t value) {
        const unsigned char b[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
        bytes(b, 2);
    }
    void text(const char* value) {
        if (!value) return word32(-1);
        const auto length = static_cast<int32_t>(std::strlen(value));
        word32(length);
        bytes(value, static_cast<size_t>(length));
    }
    void bytes(const void* data, size_t count) {
        if (count > 0 && std::fwrite(data, 1, count, file) != count) ok = false;
    }
    bool ok = true;

private:
    FILE* file;
};

char* duplicate(const char* source, int length) {
    char* copy = new char[length + 1];
    std::memcpy(copy, source, length);
    copy[length] = 0;
    return copy;
}

}  // namespace

int YVariable::write(FILE* file) const {
    if (!file) return 0;
    FieldWriter out(file);
    out.word32(kind);
    out.word32(form);
    if (form == yvsLong) out.word32(payload.number);
    if (form == yvsDouble) {
        char digits[kYNumberTextSize];
        const int length = YNumberText::formatReal(payload.real, digits);
        out.word16(static_cast<uint16_t>(length));
        out.bytes(digits, static_cast<size_t>(length));
    }
    out.word32(cloneCount);
    out.word32(other);
    out.word32(sizeField);
    out.word32(alias);
    out.text(name);
    out.text(text);
    out.word32(parts ? partCount : -1);
    for (int i = 0; parts && i < partCount; ++i) out.word16(parts[i]);
    return out.ok ? 1 : 0;
}

// A plain variable with a value must keep its size equal to its text's length
// (readers hand out size bytes of it), or -1: not yet known (array literals
// leave their elements so); apply() then takes the text's length.
bool YVariable::acceptable(const Record& record) const {
    if (record.kind != yvtVariable || record.form == yvsNone || record.form == yvsObject) return true;
    const int length = record.textLength >= 0 ? record.textLength
                       : text                 ? static_cast<int>(std::strlen(text))
                                              : -1;
    return length >= 0 && (record.size == length || record.size == -1);
}

void YVariable::apply(const Record& record) {
    release(-2);
    dropNumberPlan();
    kind = static_cast<YVT>(record.kind);
    form = record.form == yvsObject ? yvsNone : static_cast<YVS>(record.form);
    payload = {};
    if (form == yvsLong) payload.number = record.number;
    if (form == yvsDouble) payload.real = record.real;
    numberFromText = false;
    cloneCount = record.clones;
    other = record.other;
    sizeField = record.size;
    alias = record.alias;
    handled = 0;
    if (record.nameLength >= 0) {
        if (name) ++renames;
        delete[] name;
        name = duplicate(record.name, record.nameLength);
    }
    if (record.textLength >= 0) {
        delete[] text;
        text = duplicate(record.text, record.textLength);
        textCapacity = record.textLength;
    }
    if (kind == yvtVariable && form != yvsNone && sizeField == -1 && text)
        sizeField = record.textLength >= 0 ? record.textLength : static_cast<int>(std::strlen(text));
    if (record.partCount >= 0) {
        allocateParts(record.partCount);
        if (record.partCount > 0) std::memcpy(parts, record.parts, record.partCount * sizeof(uint16_t));
    }
}

int YVariable::read(FILE* file, int swap) {
    if (!file) return 0;
    Record record;
    FileSource source(file);
    if (!parse(source, swap, record) || !acceptable(record)) return 0;
    apply(record);
    return 1;
}

int YVariable::read(const unsigned char*& cursor, const unsigned char* end, int swap) {
    if (!cursor || !end) return 0;
    Record record;
    BufferSource source(cursor, end);
    if (!parse(source, swap, record) || !acceptable(record)) return 0;
    apply(record);
    cursor = source.position();
    return 1;
}

int YVariable::read(const unsigned char*& cursor, int swap) {
    if (!cursor) return 0;
    constexpr size_t kLargestRecord = 4 + 4 + 2 + kYMaxNumberText + 4 * 4 + 2 * (4 + kYMaxValueLength) + 4 +
                                      2 * static_cast<size_t>(kYMaxTerms);
    return read(cursor, cursor + kLargestRecord, swap);
}
