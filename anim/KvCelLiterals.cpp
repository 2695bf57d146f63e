// Screen-format copies of cels' literal pixels. A copy is made by one walk
// over the picture's runs, the same walk the drawers make, so it covers
// exactly the index bytes that a drawer may ask for.
#include "anim/KvCelLiterals.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "anim/KvCelDrawers.h"
#include "anim/KvCelRenderer.h"

using namespace KvCelDrawers;

uint64_t KvCelLiterals::generation = 1;
size_t KvCelLiterals::inUse = 0;

namespace {

// Writes the screen pixel of every literal index it is shown.
template <class Word>
struct ConvertSink {
    const unsigned char* pic;
    unsigned char* copy;
    const uint32_t* table;
    void fill(int, int, const unsigned char*) {}
    void literal(int, const unsigned char* src, int n) {
        unsigned char* out = copy + static_cast<size_t>(src - pic) * sizeof(Word);
        for (int i = 0; i < n; ++i) {
            const Word w = static_cast<Word>(table[src[i]]);
            std::memcpy(out + i * sizeof(Word), &w, sizeof w);
        }
    }
};

// The bytes of a validated indexed picture, header included.
size_t pictureSize(const unsigned char* pic) {
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    const unsigned char* src = pic + kIndexedHeaderSize;
    SkipSink skip;
    for (int r = 0; r < height; ++r) src = readIndexedRow(src, width, skip);
    return static_cast<size_t>(src - pic);
}

template <class Word>
void convert(const unsigned char* pic, unsigned char* copy, const uint32_t* table) {
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    ConvertSink<Word> sink{pic, copy, table};
    const unsigned char* src = pic + kIndexedHeaderSize;
    for (int r = 0; r < height; ++r) src = readIndexedRow(src, width, sink);
}

}  // namespace

KvCelLiterals::~KvCelLiterals() {
    for (Entry& e : entries) release(e);
}

void KvCelLiterals::adopt(const std::vector<unsigned char*>& pictures) {
    for (Entry& e : entries) release(e);
    entries.clear();
    for (const unsigned char* pic : pictures)
        if (pic && readInt16(pic) != KvCelRenderer::kDirectColorType) {
            Entry e;
            e.pic = pic;
            entries.push_back(std::move(e));
        }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.pic < b.pic; });
    // Cels may share a picture: one entry each.
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) { return a.pic == b.pic; }),
                  entries.end());
}

KvCelLiterals::Entry* KvCelLiterals::find(const unsigned char* pic) {
    auto it = std::lower_bound(entries.begin(), entries.end(), pic,
                               [](const Entry& e, const unsigned char* p) { return e.pic < p; });
    return it != entries.end() && it->pic == pic ? &*it : nullptr;
}

void KvCelLiterals::release(Entry& e) {
    inUse -= e.size;
    e.size = 0;
    e.copy.reset();
}

const unsigned char* KvCelLiterals::copyFor(const unsigned char* pic, const uint32_t* table,
                                            int depth) {
    if (!table || (depth != 16 && depth != 32)) return nullptr;
    Entry* e = find(pic);
    if (!e) return nullptr;
    const int bytes = depth / 8;
    if (e->copy && e->table == table && e->bytes == bytes && e->generation == generation)
        return e->copy.get();
    const size_t size = pictureSize(pic) * static_cast<size_t>(bytes);
    if (size != e->size) {
        release(*e);
        if (size > kBudgetBytes - inUse) return nullptr;
        e->copy.reset(new (std::nothrow) unsigned char[size]());
        if (!e->copy) return nullptr;
        e->size = size;
        inUse += size;
    }
    if (bytes == 2)
        convert<uint16_t>(pic, e->copy.get(), table);
    else
        convert<uint32_t>(pic, e->copy.get(), table);
    e->table = table;
    e->bytes = bytes;
    e->generation = generation;
    return e->copy.get();
}

void KvCelLiterals::colorsChanged() {
    ++generation;
}
