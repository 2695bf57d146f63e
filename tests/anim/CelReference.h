// Test helpers for cel pictures: random pictures in both encodings, a plain
// reference decoder (picture to a W x H grid), the draw-direction table
// written out case by case, the blend from its definition, and a canvas that
// counts its locks.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "framework/KvCanvas.h"

namespace celtest {

using Bytes = std::vector<unsigned char>;

inline Bytes words(std::initializer_list<int> values) {  // little-endian 16-bit
    Bytes b;
    for (int v : values) b.push_back(static_cast<unsigned char>(v)), b.push_back(static_cast<unsigned char>(v >> 8));
    return b;
}
inline Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
inline int get16(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] | b[at + 1] << 8); }
inline int pick(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
inline unsigned char byte(std::mt19937& rng) { return static_cast<unsigned char>(rng()); }

// Skips, fills and literals of random lengths, now and then an empty fill.
inline Bytes randomIndexed(std::mt19937& rng, int w, int h) {
    Bytes b = words({pick(rng, 0, 1) ? 0 : 7, w, h});  // any type but 2 is indexed
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w;) {
            const int kind = pick(rng, 0, 9);  // 0-2 skip, 3-5 fill, 6-8 literal, 9 empty fill
            const bool literal = kind >= 6 && kind <= 8;
            const int most = pick(rng, 0, 3) ? 8 : literal ? 254 : 255;
            const int n = kind == 9 ? 0 : std::min(w - c, pick(rng, 1, most));
            const unsigned char count = static_cast<unsigned char>(n);
            if (kind < 3) {
                b = b + Bytes{0x00, count};
            } else if (literal) {
                b.push_back(count);
                for (int i = 0; i < n; ++i) b.push_back(byte(rng));
            } else {
                b = b + Bytes{0xFF, byte(rng), count};
            }
            c += n;
        }
    return b;
}

// Row table, then rows of transparent, opaque and translucent runs.
inline Bytes randomDirect(std::mt19937& rng, int w, int h) {
    Bytes b = words({2, w, h, 0});
    b.resize(8 + 4 * static_cast<size_t>(h));
    for (int r = 0; r < h; ++r) {
        const uint32_t at = static_cast<uint32_t>(b.size());
        std::memcpy(&b[8 + 4 * r], &at, 4);
        for (int c = 0, n; c < w; c += n) {
            const int op = pick(rng, 0, 2);
            n = std::min(w - c, pick(rng, 0, 12));
            b = b + words({op, n});
            for (int i = 0; i < n && op > 0; ++i) {
                b = b + words({pick(rng, 0, 0xFFFF)});
                if (op == 2) b.push_back(byte(rng));
            }
        }
    }
    return b;
}

struct Cel {
    int kind = 0;  // 0 transparent, 1 opaque (every indexed pixel), 2 translucent
    uint32_t value = 0;
    int alpha = 255;
};
struct Grid {
    int w = 0, h = 0;
    std::vector<Cel> cells;
    Cel& at(int c, int r) { return cells[static_cast<size_t>(r) * w + c]; }
};

inline Grid decode(const Bytes& b) {
    Grid g{get16(b, 2), get16(b, 4), {}};
    g.cells.resize(static_cast<size_t>(g.w) * g.h);
    const bool direct = get16(b, 0) == 2;
    size_t at = 6;
    for (int r = 0; r < g.h; ++r) {
        if (direct) at = static_cast<size_t>(b[8 + 4 * r] | b[9 + 4 * r] << 8 | b[10 + 4 * r] << 16);
        for (int c = 0; c < g.w;) {
            if (direct) {
                const int op = get16(b, at), n = get16(b, at + 2) & 0xFFFF;
                at += 4;
                for (int i = 0; i < n; ++i, ++c) {
                    if (op == 0) continue;
                    g.at(c, r) = {op, static_cast<uint32_t>(get16(b, at) & 0xFFFF), op == 2 ? b[at + 2] : 255};
                    at += op == 1 ? 2 : 3;
                }
                continue;
            }
            const int op = b[at++];
            if (op == 0x00) {
                c += b[at++];
            } else if (op == 0xFF) {
                for (int i = 0; i < b[at + 1]; ++i) g.at(c++, r) = {1, b[at]};
                at += 2;
            } else {
                for (int i = 0; i < op; ++i) g.at(c++, r) = {1, b[at++]};
            }
        }
    }
    return g;
}

// Canvas position of cel (c, r) drawn at (x, y) in direction dir: the table, row by row.
inline KvPoint place(int dir, int x, int y, int w, int h, int c, int r) {
    const KvPoint table[8] = {
        {x + c, y + r},                  // 0
        {x + w - 1 - c, y + r},          // 1
        {x + c, y + h - 1 - r},          // 2
        {x + w - 1 - c, y + h - 1 - r},  // 3
        {x + h - 1 - r, y + c},          // 4
        {x + r, y + c},                  // 5
        {x + h - 1 - r, y + w - 1 - c},  // 6
        {x + r, y + w - 1 - c},          // 7
    };
    return table[dir];
}

// Each channel moves by floor(difference * alpha / 256).
inline uint32_t blendReference(uint32_t d, uint32_t s, int a, const uint32_t masks[3]) {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const double dm = d & masks[i], sm = s & masks[i];
        out |= static_cast<uint32_t>(static_cast<int64_t>(dm + std::floor((sm - dm) * a / 256.0))) & masks[i];
    }
    return out;
}

class CountingCanvas : public KvMemCanvas {
public:
    using KvMemCanvas::KvMemCanvas;
    int locks = 0, releases = 0;
    bool getPointerToMemory(unsigned char** bits, int* pitch) override {
        const bool ok = KvMemCanvas::getPointerToMemory(bits, pitch);
        return locks += ok, ok;
    }
    void releasePointerToMemory() override { ++releases, KvMemCanvas::releasePointerToMemory(); }
};

// The whole memory block, row padding included (read without counting a lock).
inline Bytes memoryOf(KvCanvas& c) {
    unsigned char* bits = nullptr;
    c.KvCanvas::getPointerToMemory(&bits, nullptr);
    return Bytes(bits, bits + c.getMemorySize());
}
inline void setMemory(KvCanvas& c, const Bytes& m) {
    unsigned char* bits = nullptr;
    c.KvCanvas::getPointerToMemory(&bits, nullptr);
    std::memcpy(bits, m.data(), m.size());
}
inline Bytes randomBytes(std::mt19937& rng, size_t n) {
    Bytes m(n);
    for (auto& v : m) v = byte(rng);
    return m;
}

}  // namespace celtest
