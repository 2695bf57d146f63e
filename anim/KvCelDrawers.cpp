// The cel drawers: one template over the canvas pixel type, the draw
// direction and clipping, instantiated for 8, 16, 24 and 32-bit canvases in
// all eight directions, plus the direct-colour drawer for 16-bit canvases in
// directions 0 and 1.
//
// Every drawer decodes the runs straight into canvas memory. Destinations are
// byte offsets from the canvas memory (row step +pitch top-down, -pitch
// bottom-up); a pointer is formed only for a pixel that is written, so offsets
// of cel positions outside the clip are never dereferenced. Canvas pixels are
// little-endian, as is every host this library builds for.
#include "anim/KvCelDrawers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

static_assert(std::endian::native == std::endian::little,
              "canvas pixels and picture fields are stored in host order");

namespace KvCelDrawers {
namespace {

inline void store16(unsigned char* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, sizeof w);
}
inline void store32(unsigned char* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}
inline void store64(unsigned char* p, uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Runs are short (a few to a few dozen pixels), so spans go out in 16-byte
// blocks and 8-byte words: a memset or memcpy of unknown length may be
// expanded into string instructions whose start-up costs more than a typical run.
// Long spans take two blocks a step: the loop's end, which depends on the run's
// length and so is often guessed wrong, then comes half as many steps away.
constexpr size_t kBlock = 16;

// n bytes of a pattern that repeats every Period bytes (1, 2 or 4; n a multiple
// of it): whole pairs of blocks, single blocks or words, then as many ending at
// the span's end, which overlap the last whole ones at a pixel boundary.
template <size_t Period>
inline void fillPattern(unsigned char* p, size_t n, uint64_t pattern) {
    if (n >= 2 * kBlock) {
        const uint64_t block[2] = {pattern, pattern};
        for (size_t i = 0; i + 2 * kBlock <= n; i += 2 * kBlock) {
            std::memcpy(p + i, block, kBlock);
            std::memcpy(p + i + kBlock, block, kBlock);
        }
        std::memcpy(p + n - 2 * kBlock, block, kBlock);
        std::memcpy(p + n - kBlock, block, kBlock);
    } else if (n >= kBlock) {
        const uint64_t block[2] = {pattern, pattern};
        std::memcpy(p, block, kBlock);
        std::memcpy(p + n - kBlock, block, kBlock);
    } else if (n >= 8) {
        store64(p, pattern);
        store64(p + n - 8, pattern);
    } else {
        for (size_t i = 0; i < n; i += Period) std::memcpy(p + i, &pattern, Period);
    }
}

// Spans shorter than a block go out as two overlapping halves.
inline void copyBytes(unsigned char* d, const unsigned char* s, size_t n) {
    if (n >= 2 * kBlock) {
        for (size_t i = 0; i + 2 * kBlock <= n; i += 2 * kBlock) {
            std::memcpy(d + i, s + i, kBlock);
            std::memcpy(d + i + kBlock, s + i + kBlock, kBlock);
        }
        std::memcpy(d + n - 2 * kBlock, s + n - 2 * kBlock, kBlock);
        std::memcpy(d + n - kBlock, s + n - kBlock, kBlock);
    } else if (n >= kBlock) {
        std::memcpy(d, s, kBlock);
        std::memcpy(d + n - kBlock, s + n - kBlock, kBlock);
    } else if (n >= 8) {
        std::memcpy(d, s, 8);
        std::memcpy(d + n - 8, s + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(d, s, 4);
        std::memcpy(d + n - 4, s + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(d, s, 2);
        std::memcpy(d + n - 2, s + n - 2, 2);
    } else if (n == 1) {
        *d = *s;
    }
}

// Literal runs of one to three pixels are common in dithered and detailed
// cels, and a branch on their length is often guessed wrong: the pixels at 0,
// min(1, n - 1) and n - 1 cover any of them (some twice).
template <size_t Bytes>
inline void copyPixels(unsigned char* d, const unsigned char* s, int n) {
    if (n > 3) return copyBytes(d, s, static_cast<size_t>(n) * Bytes);
    const size_t mid = (n > 1 ? 1 : 0) * Bytes, last = static_cast<size_t>(n - 1) * Bytes;
    std::memcpy(d, s, Bytes);
    std::memcpy(d + mid, s + mid, Bytes);
    std::memcpy(d + last, s + last, Bytes);
}

// The same one pixel at a time, pixel i being pixel(i), step bytes after the last.
template <class Px, class Pixel>
inline void putPixels(unsigned char* p, ptrdiff_t step, int n, Pixel pixel) {
    if (n > 3) {
        for (int i = 0; i < n; ++i, p += step) Px::put(p, pixel(i));
        return;
    }
    const int mid = n > 1 ? 1 : 0, last = n - 1;
    Px::put(p, pixel(0));
    Px::put(p + mid * step, pixel(mid));
    Px::put(p + last * step, pixel(last));
}

// Pixel types: how an index becomes a native pixel and how runs of them are stored.
// fill() and copy() write n pixels left to right from p. Depths with
// kScreenCopies take literal runs from a screen-format copy when one is given:
// load() reads a pixel of it.
struct Pixel8 {
    static constexpr int kBytes = 1;
    static constexpr bool kScreenCopies = false;
    static uint32_t value(unsigned char i, const uint32_t*) { return i; }
    static void put(unsigned char* p, uint32_t v) { *p = static_cast<unsigned char>(v); }
    static void fill(unsigned char* p, int n, uint32_t v) {
        fillPattern<1>(p, n, (v & 0xFF) * 0x0101010101010101ull);
    }
    static void copy(unsigned char* p, const unsigned char* s, int n, const uint32_t*) {
        copyBytes(p, s, n);
    }
};

struct Pixel16 {
    static constexpr int kBytes = 2;
    static constexpr bool kScreenCopies = true;
    static uint32_t load(const unsigned char* p) { return readUint16(p); }
    static uint32_t value(unsigned char i, const uint32_t* t) { return t[i]; }
    static void put(unsigned char* p, uint32_t v) { store16(p, v); }
    // Several pixels per store. The pattern is rebuilt from the low half, so a
    // table without duplicated halves still draws right.
    static void fill(unsigned char* p, int n, uint32_t v) {
        fillPattern<2>(p, 2 * static_cast<size_t>(n), (v & 0xFFFF) * 0x0001000100010001ull);
    }
    static void copy(unsigned char* p, const unsigned char* s, int n, const uint32_t* t) {
        for (int i = 0; i < n; ++i) store16(p + 2 * i, t[s[i]]);
    }
};

struct Pixel24 {
    static constexpr int kBytes = 3;
    static constexpr bool kScreenCopies = false;
    static uint32_t value(unsigned char i, const uint32_t* t) { return t[i]; }
    static void put(unsigned char* p, uint32_t v) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
    }
    // One pixel written and copied forward: to four pixels, then those 12 bytes
    // (three whole words) at a time.
    static void fill(unsigned char* p, int n, uint32_t v) {
        if (n <= 0) return;
        put(p, v);
        int i = 1;
        if (n >= 4) {
            std::memcpy(p + 3, p, 3);
            std::memcpy(p + 6, p, 6);
            for (i = 4; i + 4 <= n; i += 4) std::memcpy(p + 3 * i, p, 12);
        }
        for (; i < n; ++i) std::memcpy(p + 3 * i, p, 3);
    }
    // Each pixel but the last is stored as a whole word; its fourth byte is
    // rewritten by the next pixel of the run.
    static void copy(unsigned char* p, const unsigned char* s, int n, const uint32_t* t) {
        int i = 0;
        for (; i + 1 < n; ++i) store32(p + 3 * i, t[s[i]]);
        if (n > 0) put(p + 3 * i, t[s[i]]);
    }
};

struct Pixel32 {
    static constexpr int kBytes = 4;
    static constexpr bool kScreenCopies = true;
    static uint32_t load(const unsigned char* p) { return readUint32(p); }
    static uint32_t value(unsigned char i, const uint32_t* t) { return t[i]; }
    static void put(unsigned char* p, uint32_t v) { store32(p, v); }
    static void fill(unsigned char* p, int n, uint32_t v) {
        fillPattern<4>(p, 4 * static_cast<size_t>(n), v * 0x0000000100000001ull);
    }
    static void copy(unsigned char* p, const unsigned char* s, int n, const uint32_t* t) {
        for (int i = 0; i < n; ++i) store32(p + 4 * i, t[s[i]]);
    }
};

// The draw-direction table as steps: cel column c, row r lands at
// (X0 + dxc*c + dxr*r, Y0 + dyc*c + dyr*r), where (X0, Y0) is the corner of the
// box that cel (0, 0) goes to.
struct Direction {
    int dxc, dxr, dyc, dyr;
};
constexpr Direction kDirections[8] = {
    {1, 0, 0, 1},  {-1, 0, 0, 1}, {1, 0, 0, -1},  {-1, 0, 0, -1},
    {0, -1, 1, 0}, {0, 1, 1, 0},  {0, -1, -1, 0}, {0, 1, -1, 0},
};

// Cel indices k in [0, count) whose canvas coordinate origin + sign*k lies in [lo, hi).
struct Span {
    int begin = 0, end = 0;
};
Span visible(int origin, int sign, int lo, int hi, int count) {
    Span s = sign > 0 ? Span{lo - origin, hi - origin} : Span{origin - hi + 1, origin - lo + 1};
    s.begin = std::clamp(s.begin, 0, count);
    s.end = std::clamp(s.end, s.begin, count);
    return s;
}

// Where a picture's pixels go in canvas memory and which of them are visible.
struct Placement {
    ptrdiff_t origin = 0;     // byte offset of cel (0, 0); outside the canvas when clipped off
    ptrdiff_t pixelStep = 0;  // per cel column
    ptrdiff_t rowStep = 0;    // per cel row
    Span cols, rows;
};

template <unsigned Dir>
Placement place(const Frame& f, int width, int height, int bytes) {
    constexpr Direction d = kDirections[Dir];
    const int x0 = f.x + (d.dxc < 0 ? width - 1 : 0) + (d.dxr < 0 ? height - 1 : 0);
    const int y0 = f.y + (d.dyc < 0 ? width - 1 : 0) + (d.dyr < 0 ? height - 1 : 0);
    const ptrdiff_t stride = f.topDown ? f.pitch : -static_cast<ptrdiff_t>(f.pitch);
    const ptrdiff_t firstRow = f.topDown ? 0 : static_cast<ptrdiff_t>(f.height - 1) * f.pitch;
    Placement p;
    p.origin = firstRow + y0 * stride + static_cast<ptrdiff_t>(x0) * bytes;
    p.pixelStep = d.dxc * bytes + d.dyc * stride;
    p.rowStep = d.dxr * bytes + d.dyr * stride;
    if constexpr (d.dxc != 0) {
        p.cols = visible(x0, d.dxc, f.clip.left, f.clip.right, width);
        p.rows = visible(y0, d.dyr, f.clip.top, f.clip.bottom, height);
    } else {
        p.cols = visible(y0, d.dyc, f.clip.top, f.clip.bottom, width);
        p.rows = visible(x0, d.dxr, f.clip.left, f.clip.right, height);
    }
    return p;
}

// Cuts the run of n pixels from column c (and its source, unit bytes a pixel) to
// the visible columns; false when nothing of it is visible.
inline bool cut(int& c, int& n, const unsigned char*& src, size_t unit, int c0, int c1) {
    const int lo = std::max(c, c0), hi = std::min(c + n, c1);
    if (lo >= hi) return false;
    src += (lo - c) * unit;
    c = lo;
    n = hi - lo;
    return true;
}

// Writes one cel row of an indexed picture. In directions 0 to 3 a cel row is a
// stretch of one canvas row (contiguous spans, steps known at compile time);
// in directions 4 to 7 it runs down or up a canvas column.
template <class Px, unsigned Dir, bool Clipped>
struct IndexedSink {
    static constexpr Direction kDir = kDirections[Dir];
    static constexpr bool kAlongRow = kDir.dyc == 0;
    static constexpr bool kForward = kDir.dxc > 0;

    unsigned char* bits;
    ptrdiff_t row;   // offset of this cel row's column 0
    ptrdiff_t step;  // per cel column, for directions 4 to 7
    const uint32_t* table;
    int c0, c1;                  // visible cel columns when clipped
    const unsigned char* pic;     // the picture
    const unsigned char* screen;  // its screen-format copy, or null

    void fill(int c, int n, const unsigned char* colour) {
        const unsigned char* unused = nullptr;
        if constexpr (Clipped) {
            if (!cut(c, n, unused, 0, c0, c1)) return;
        } else if (n == 0) {
            return;
        }
        const uint32_t v = Px::value(*colour, table);
        if constexpr (kAlongRow) {
            const int first = kForward ? c : -(c + n - 1);
            Px::fill(bits + (row + static_cast<ptrdiff_t>(first) * Px::kBytes), n, v);
        } else {
            unsigned char* p = bits + (row + c * step);
            for (int i = 0; i < n; ++i) Px::put(p + i * step, v);
        }
    }

    void literal(int c, const unsigned char* src, int n) {
        if constexpr (Clipped)
            if (!cut(c, n, src, 1, c0, c1)) return;
        if constexpr (Px::kScreenCopies) {
            if (screen) {
                copyScreen(c, screen + (src - pic) * Px::kBytes, n);
                return;
            }
        }
        if constexpr (kAlongRow && kForward) {
            Px::copy(bits + (row + static_cast<ptrdiff_t>(c) * Px::kBytes), src, n, table);
        } else {
            const ptrdiff_t s = kAlongRow ? -Px::kBytes : step;
            unsigned char* p = bits + (row + c * s);
            putPixels<Px>(p, s, n, [&](int i) { return Px::value(src[i], table); });
        }
    }

    // n screen pixels from s, already in the canvas format.
    void copyScreen(int c, const unsigned char* s, int n) {
        if constexpr (kAlongRow && kForward) {
            copyPixels<Px::kBytes>(bits + (row + static_cast<ptrdiff_t>(c) * Px::kBytes), s, n);
        } else {
            const ptrdiff_t st = kAlongRow ? -Px::kBytes : step;
            unsigned char* p = bits + (row + c * st);
            putPixels<Px>(p, st, n, [s](int i) { return Px::load(s + i * Px::kBytes); });
        }
    }
};

// The commonest draw of an animation: whole rows left to right with a
// screen-format copy. Each row is walked by byte offsets alone, the copy's
// in step with the picture's, which leaves a run little to do beyond its stores.
template <class Px>
void drawForward(const Frame& f, const Placement& p, const unsigned char* pic,
                 const uint32_t* table, const unsigned char* screen) {
    const int width = readInt16(pic + 2);
    const size_t rowBytes = static_cast<size_t>(width) * Px::kBytes;
    const unsigned char* src = pic + kIndexedHeaderSize;
    SkipSink skip;
    for (int r = 0; r < p.rows.begin; ++r) src = readIndexedRow(src, width, skip);
    for (int r = p.rows.begin; r < p.rows.end; ++r) {
        unsigned char* const d = f.bits + (p.origin + r * p.rowStep);
        for (size_t at = 0; at < rowBytes;) {
            const unsigned op = *src;
            if (op == kSkipRun) {
                at += src[1] * size_t(Px::kBytes);
                src += 2;
            } else if (op == kFillRun) {
                const size_t n = std::min(src[2] * size_t(Px::kBytes), rowBytes - at);
                Px::fill(d + at, static_cast<int>(n / Px::kBytes), Px::value(src[1], table));
                at += n;
                src += 3;
            } else {
                const size_t n = std::min(op * size_t(Px::kBytes), rowBytes - at);
                copyPixels<Px::kBytes>(d + at, screen + (src + 1 - pic) * Px::kBytes,
                                       static_cast<int>(n / Px::kBytes));
                at += n;
                src += 1 + op;
            }
        }
    }
}

template <class Px, unsigned Dir, bool Clipped>
void drawIndexedT(const Frame& f, const unsigned char* pic, const uint32_t* table,
                  const unsigned char* screen) {
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    const Placement p = place<Dir>(f, width, height, Px::kBytes);
    if constexpr (!Clipped && Px::kScreenCopies && kDirections[Dir].dxc > 0) {
        if (screen) return drawForward<Px>(f, p, pic, table, screen);
    }
    IndexedSink<Px, Dir, Clipped> sink{f.bits,       0,          p.pixelStep, table,
                                       p.cols.begin, p.cols.end, pic,         screen};
    const unsigned char* src = pic + kIndexedHeaderSize;
    SkipSink skip;
    for (int r = 0; r < p.rows.begin; ++r) src = readIndexedRow(src, width, skip);
    for (int r = p.rows.begin; r < p.rows.end; ++r) {
        sink.row = p.origin + r * p.rowStep;
        src = readIndexedRow(src, width, sink);
    }
}

// Writes one row of a direct-colour picture, left to right (direction 0) or
// right to left (direction 1).
template <unsigned Dir, bool Clipped>
struct DirectSink {
    static constexpr int kStep = kDirections[Dir].dxc * 2;

    unsigned char* bits;
    ptrdiff_t row;
    const uint32_t* masks;
    int c0, c1;

    unsigned char* at(int c) const { return bits + (row + static_cast<ptrdiff_t>(c) * kStep); }

    void copy(int c, const unsigned char* src, int n) {
        if constexpr (Clipped)
            if (!cut(c, n, src, 2, c0, c1)) return;
        if constexpr (kStep > 0) {
            std::memcpy(at(c), src, 2 * static_cast<size_t>(n));
        } else {
            for (int i = 0; i < n; ++i) store16(at(c + i), readUint16(src + 2 * i));
        }
    }

    void blend(int c, const unsigned char* src, int n) {
        if constexpr (Clipped)
            if (!cut(c, n, src, kTranslucentItemSize, c0, c1)) return;
        for (int i = 0; i < n; ++i, src += kTranslucentItemSize) {
            unsigned char* p = at(c + i);
            store16(p, blendPixel(readUint16(p), readUint16(src), src[2], masks));
        }
    }
};

template <unsigned Dir, bool Clipped>
void drawDirectT(const Frame& f, const unsigned char* pic, const uint32_t* masks) {
    const int width = readInt16(pic + 2), height = readInt16(pic + 4);
    const Placement p = place<Dir>(f, width, height, 2);
    if (p.rows.begin >= p.rows.end) return;
    // Unclipped drawing starts after the row table; clipped drawing goes through the
    // table straight to the first visible row.
    const unsigned char* src =
        Clipped ? pic + readUint32(pic + kDirectHeaderSize + 4 * static_cast<size_t>(p.rows.begin))
                : pic + kDirectHeaderSize + 4 * static_cast<size_t>(height);
    DirectSink<Dir, Clipped> sink{f.bits, 0, masks, p.cols.begin, p.cols.end};
    for (int r = p.rows.begin; r < p.rows.end; ++r) {
        sink.row = p.origin + r * p.rowStep;
        src = readDirectRow(src, width, sink);
    }
}

using IndexedDrawer = void (*)(const Frame&, const unsigned char*, const uint32_t*,
                               const unsigned char*);
using Drawers = std::array<IndexedDrawer, 8>;

template <class Px, bool Clipped, unsigned... D>
constexpr Drawers indexedDrawers(std::integer_sequence<unsigned, D...>) {
    return {&drawIndexedT<Px, D, Clipped>...};
}

template <class Px, bool Clipped>
constexpr Drawers indexedDrawers() {
    return indexedDrawers<Px, Clipped>(std::make_integer_sequence<unsigned, 8>());
}

}  // namespace

void drawIndexed(const Frame& frame, const unsigned char* pic, int bytesPerPixel, unsigned dir,
                 bool clipped, const uint32_t* table, const unsigned char* screen) {
    // By bytes per pixel, then unclipped and clipped.
    static constexpr std::array<Drawers, 8> kDrawers = {
        indexedDrawers<Pixel8, false>(),  indexedDrawers<Pixel8, true>(),
        indexedDrawers<Pixel16, false>(), indexedDrawers<Pixel16, true>(),
        indexedDrawers<Pixel24, false>(), indexedDrawers<Pixel24, true>(),
        indexedDrawers<Pixel32, false>(), indexedDrawers<Pixel32, true>(),
    };
    if (bytesPerPixel < 1 || bytesPerPixel > 4 || dir > 7) return;
    kDrawers[(bytesPerPixel - 1) * 2 + (clipped ? 1 : 0)][dir](frame, pic, table, screen);
}

void drawDirect(const Frame& frame, const unsigned char* pic, unsigned dir, bool clipped,
                const uint32_t masks[3]) {
    if (dir == 0)
        clipped ? drawDirectT<0, true>(frame, pic, masks)
                : drawDirectT<0, false>(frame, pic, masks);
    else if (dir == 1)
        clipped ? drawDirectT<1, true>(frame, pic, masks)
                : drawDirectT<1, false>(frame, pic, masks);
}

}  // namespace KvCelDrawers
