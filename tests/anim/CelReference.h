// Test helpers for cel pictures: random pictures in both encodings, a plain
// reference decoder (picture to a W x H grid), the draw-direction table
// written out case by case, and canvases whose memory (padding included) is
// random and whose locks are counted.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "framework/KvCanvas.h"

namespace celtest {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, int v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
inline int get16(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] | b[at + 1] << 8); }

inline int pick(std::mt19937& rng, int lo, int hi) {  // inclusive
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Indexed picture of random runs: skips, fills and literals, now and then a
// zero-count skip or fill, counts up to the format's limits.
inline Bytes randomIndexed(std::mt19937& rng, int w, int h) {
    Bytes b;
    put16(b, pick(rng, 0, 1) ? 0 : 7);  // any type but 2 is indexed
    put16(b, w);
    put16(b, h);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w;) {
            const int kind = pick(rng, 0, 9);  // 0-2 skip, 3-5 fill, 6-8 literal, 9 empty fill
            const bool literal = kind >= 6 && kind <= 8;
            const int most = pick(rng, 0, 3) ? 8 : literal ? 254 : 255;
            const int n = kind == 9 ? 0 : std::min(w - c, pick(rng, 1, most));
            if (kind < 3) {
                b.push_back(0x00), b.push_back(static_cast<unsigned char>(n));
            } else if (literal) {
                b.push_back(static_cast<unsigned char>(n));
                for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(pick(rng, 0, 255)));
            } else {
                b.push_back(0xFF), b.push_back(static_cast<unsigned char>(pick(rng, 0, 255)));
                b.push_back(static_cast<unsigned char>(n));
            }
            c += n;
        }
    }
    return b;
}

// Direct-colour picture: row table, then rows of transparent, opaque and translucent runs.
inline Bytes randomDirect(std::mt19937& rng, int w, int h) {
    Bytes b;
    put16(b, 2);
    put16(b, w);
    put16(b, h);
    put16(b, 0);
    b.resize(8 + 4 * static_cast<size_t>(h));
    for (int r = 0; r < h; ++r) {
        const uint32_t at = static_cast<uint32_t>(b.size());
        std::memcpy(&b[8 + 4 * r], &at, 4);
        for (int c = 0; c < w;) {
            const int op = pick(rng, 0, 2);
            const int n = std::min(w - c, pick(rng, 0, 12));
            put16(b, op);
            put16(b, n);
            for (int i = 0; i < n && op > 0; ++i) {
                put16(b, pick(rng, 0, 0xFFFF));
                if (op == 2) b.push_back(static_cast<unsigned char>(pick(rng, 0, 255)));
            }
            c += n;
        }
    }
    return b;
}

// A decoded pixel: kind 0 transparent, 1 opaque (indexed pixels too), 2 translucent.
struct Cel {
    int kind = 0;
    uint32_t value = 0;
    int alpha = 255;
};

struct Grid {
    int w = 0, h = 0;
    std::vector<Cel> cells;
    const Cel& at(int c, int r) const { return cells[static_cast<size_t>(r) * w + c]; }
};

inline Grid decode(const Bytes& b) {
    Grid g;
    g.w = get16(b, 2);
    g.h = get16(b, 4);
    g.cells.resize(static_cast<size_t>(g.w) * g.h);
    auto set = [&](int c, int r, Cel cel) { g.cells[static_cast<size_t>(r) * g.w + c] = cel; };
    if (get16(b, 0) == 2) {
        for (int r = 0; r < g.h; ++r) {
            uint32_t at;
            std::memcpy(&at, &b[8 + 4 * r], 4);
            for (int c = 0; c < g.w;) {
                const int op = get16(b, at), n = get16(b, at + 2) & 0xFFFF;
                at += 4;
                for (int i = 0; i < n; ++i, ++c) {
                    if (op == 1) set(c, r, {1, static_cast<uint32_t>(get16(b, at) & 0xFFFF)}), at += 2;
                    if (op == 2) set(c, r, {2, static_cast<uint32_t>(get16(b, at) & 0xFFFF), b[at + 2]}), at += 3;
                }
            }
        }
        return g;
    }
    size_t at = 6;
    for (int r = 0; r < g.h; ++r) {
        for (int c = 0; c < g.w;) {
            const int op = b[at++];
            if (op == 0x00) {
                c += b[at++];
            } else if (op == 0xFF) {
                for (int i = 0; i < b[at + 1]; ++i) set(c++, r, {1, b[at]});
                at += 2;
            } else {
                for (int i = 0; i < op; ++i) set(c++, r, {1, b[at++]});
            }
        }
    }
    return g;
}

// Canvas position of cel (c, r) drawn at (x, y) in direction dir.
inline KvPoint place(int dir, int x, int y, int w, int h, int c, int r) {
    switch (dir) {
        case 0: return {x + c, y + r};
        case 1: return {x + w - 1 - c, y + r};
        case 2: return {x + c, y + h - 1 - r};
        case 3: return {x + w - 1 - c, y + h - 1 - r};
        case 4: return {x + h - 1 - r, y + c};
        case 5: return {x + r, y + c};
        case 6: return {x + h - 1 - r, y + w - 1 - c};
        default: return {x + r, y + w - 1 - c};
    }
}

// The blend of one channel written from its definition, floor and all.
inline uint32_t blendReference(uint32_t d, uint32_t s, int a, const uint32_t masks[3]) {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const double dm = d & masks[i], sm = s & masks[i];
        out |= static_cast<uint32_t>(static_cast<int64_t>(dm + std::floor((sm - dm) * a / 256.0))) &
               masks[i];
    }
    return out;
}

// A memory canvas that counts locks and releases.
class CountingCanvas : public KvMemCanvas {
public:
    using KvMemCanvas::KvMemCanvas;
    int locks = 0, releases = 0;
    bool getPointerToMemory(unsigned char** bits, int* pitch) override {
        const bool ok = KvMemCanvas::getPointerToMemory(bits, pitch);
        locks += ok;
        return ok;
    }
    void releasePointerToMemory() override {
        ++releases;
        KvMemCanvas::releasePointerToMemory();
    }
};

inline Bytes memoryOf(KvCanvas& c) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    c.getPointerToMemory(&bits, &pitch);
    Bytes m(bits, bits + c.getMemorySize());
    c.releasePointerToMemory();
    return m;
}

inline void setMemory(KvCanvas& c, const Bytes& m) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    c.getPointerToMemory(&bits, &pitch);
    std::memcpy(bits, m.data(), m.size());
    c.releasePointerToMemory();
}

inline Bytes randomBytes(std::mt19937& rng, size_t n) {
    Bytes m(n);
    for (auto& v : m) v = static_cast<unsigned char>(rng());
    return m;
}

}  // namespace celtest
