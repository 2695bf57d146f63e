// Reading and writing compiled script files (the layout is in YProgram.h).
// A file is read whole and checked before anything is taken: counts must fit
// the file and the tables' capacities, every record must parse, and every
// word must be -1 or the index of an entry of the heap as the load leaves it.
// A file that fails any check is refused and changes nothing. A save goes
// to FILE.part first and replaces FILE only once written whole.
#include "script/YProgram.h"

#include "script/YHeap.h"
#include "script/YVariable.h"

#include "framework/KvIStream.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

class Reader {
public:
    Reader(const unsigned char* bytes, long size, int swapped) : at(bytes), end(bytes + size), swap(swapped) {}

    bool has(long count) const { return count >= 0 && end - at >= count; }
    uint32_t get32() {
        uint32_t v = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                     static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
        at += 4;
        if (swap) v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
        return v;
    }
    uint16_t get16() {
        uint16_t v = static_cast<uint16_t>(at[0] | at[1] << 8);
        at += 2;
        if (swap) v = static_cast<uint16_t>((v >> 8) | (v << 8));
        return v;
    }
    unsigned char get8() { return *at++; }

    const unsigned char* at;
    const unsigned char* end;
    int swap;
};

void put32(std::FILE* file, uint32_t v) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(bytes, 1, 4, file);
}

void put16(std::FILE* file, uint16_t v) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(bytes, 1, 2, file);
}

}  // namespace

int YProgram::save(const char* file) const {
    // Written under a temporary name and renamed whole, so that a failed or
    // interrupted save never leaves a cut file in place of the old one.
    if (!file) return 0;
    const std::string part = std::string(file) + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out) return 0;
    std::fputc(kYCompiledVersion, out);
    const int n = commands ? commandCount : 0;
    put32(out, static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
        std::fputc(static_cast<unsigned char>(commands[i].code), out);
        put16(out, commands[i].operand);
    }
    const int w = words ? wordCount : 0;
    put32(out, static_cast<uint32_t>(w));
    for (int i = 0; i < w; ++i) put16(out, static_cast<uint16_t>(words[i]));
    put32(out, static_cast<uint32_t>(YHeap::theHeap.size()));
    YHeap::theHeap.save(out);
    const bool written = !std::ferror(out);
    if (std::fclose(out) != 0 || !written || std::rename(part.c_str(), file) != 0) {
        std::remove(part.c_str());
        return 0;
    }
    return 1;
}

int YProgram::load(const char* file, int swap) {
    std::FILE* in = file ? std::fopen(file, "rb") : nullptr;
    if (!in) return 0;
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > static_cast<size_t>(KvIStream::kMaxSourceSize)) break;
    }
    std::fclose(in);
    return loadBytes(bytes.data(), static_cast<long>(bytes.size()), swap);
}

int YProgram::load(KvIStream* stream, int swap) {
    if (!stream) return 0;
    stream->setSrcOffset(0);
    stream->rewind();
    return loadBytes(stream->data(), stream->size(), swap);
}

int YProgram::loadBytes(const unsigned char* bytes, long size, int swap) {
    if (!bytes || size < 1) return 0;
    Reader in(bytes + 1, size - 1, swap);  // past the version byte

    if (!in.has(4)) return 0;
    const int32_t n = static_cast<int32_t>(in.get32());
    if (n < 0 || n > kYMaxCommands || !in.has(3L * n)) return 0;
    std::unique_ptr<YCommand[]> table(new YCommand[n + 1]);
    for (int i = 0; i < n; ++i) {
        const unsigned char code = in.get8();
        table[i] = YCommand{static_cast<YCMND>(code), in.get16()};
    }
    table[n] = YCommand{ycNone, 0};

    if (!in.has(4)) return 0;
    const int32_t w = static_cast<int32_t>(in.get32());
    if (w < 0 || w > kYMaxWords || !in.has(2L * w)) return 0;
    std::unique_ptr<int16_t[]> list(new int16_t[w > 0 ? w : 1]);
    for (int i = 0; i < w; ++i) list[i] = static_cast<int16_t>(in.get16());

    if (!in.has(4)) return 0;
    const int32_t v = static_cast<int32_t>(in.get32());
    if (v < 0 || v > kYMaxEntries) return 0;
    std::vector<std::unique_ptr<YVariable>> variables;
    for (int i = 3; i < v; ++i) {
        std::unique_ptr<YVariable> entry(new YVariable());
        if (!entry->read(in.at, in.end, swap)) return 0;
        variables.push_back(std::move(entry));
    }

    YHeap& heap = YHeap::theHeap;
    const long heapAfter = heap.size() + static_cast<long>(variables.size());
    if (heapAfter > kYMaxEntries) return 0;
    for (int i = 0; i < w; ++i)
        if (list[i] != -1 && (list[i] < 0 || list[i] >= heapAfter)) return 0;

    for (std::unique_ptr<YVariable>& entry : variables)
        if (heap.append(entry.get()) >= 0) entry.release();

    delete[] commands;
    delete[] words;
    commands = table.release();
    words = list.release();
    commandCount = n;
    wordCount = w;
    return 1;
}

void YProgram::release() {
    delete[] commands;
    delete[] words;
    commands = nullptr;
    words = nullptr;
    commandCount = wordCount = 0;
}
