// Copying pixels between canvases (blt) and stretching them (bltScale).
// Both first reduce their rectangles, in 64-bit arithmetic, to the pixels that
// lie inside the source canvas, the destination canvas and the clip regions,
// so no size or offset can reach outside either canvas's memory. The rows of
// what is left are then converted by one loop per (source format, destination
// format, keyed, scaled) combination:
//   same format       the pixel value is copied (indexed -> indexed copies indices)
//   indexed -> direct through the source palette packed once for the destination
//   direct -> indexed the unpacked colour through the destination's mapColor
//   direct -> direct  channels widened to 8 bits then truncated, as unpack then pack
// A keyed copy skips every source pixel whose raw value is the source's colour
// key in the source's own format.
#include "framework/KvCanvas.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace {

static_assert(std::endian::native == std::endian::little,
              "canvas pixels are little-endian and the row loops read them natively");

template <int Bytes>
inline uint32_t loadPixel(const uint8_t* p) {
    if constexpr (Bytes == 1) {
        return *p;
    } else if constexpr (Bytes == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else if constexpr (Bytes == 3) {
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

template <int Bytes>
inline void storePixel(uint8_t* p, uint32_t v) {
    if constexpr (Bytes == 1) {
        *p = static_cast<uint8_t>(v);
    } else if constexpr (Bytes == 2) {
        const uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    } else if constexpr (Bytes == 3) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
    } else {
        std::memcpy(p, &v, 4);
    }
}

// Compile-time twins of the formats made by KvPixelFormat::forDepth.
struct IndexedPixel {
    static constexpr int bytes = 1;
    static constexpr bool indexed = true;
};

template <int Bytes, int RBits, int GBits, int BBits>
struct DirectPixel {
    static constexpr int bytes = Bytes;
    static constexpr bool indexed = false;
    static constexpr int bits[3] = {RBits, GBits, BBits};
    static constexpr int shifts[3] = {GBits + BBits, BBits, 0};
};

using Pixel555 = DirectPixel<2, 5, 5, 5>;
using Pixel565 = DirectPixel<2, 5, 6, 5>;
using Pixel888 = DirectPixel<3, 8, 8, 8>;
using Pixel8888 = DirectPixel<4, 8, 8, 8>;

// An n-bit channel widened to 8 bits by repeating its bits, as KvPixelFormat::unpack does.
template <int N>
constexpr uint32_t widen(uint32_t v) {
    static_assert(N >= 4 && N <= 8, "the loops widen with at most one repeat");
    if constexpr (N == 8)
        return v;
    else
        return v << (8 - N) | v >> (2 * N - 8);
}

template <class P, int C>
constexpr uint32_t channel8(uint32_t pixel) {
    return widen<P::bits[C]>(pixel >> P::shifts[C] & ((1u << P::bits[C]) - 1));
}

template <class P>
constexpr uint32_t packChannels(uint32_t r, uint32_t g, uint32_t b) {
    return (r >> (8 - P::bits[0])) << P::shifts[0] | (g >> (8 - P::bits[1])) << P::shifts[1] |
           (b >> (8 - P::bits[2])) << P::shifts[2];
}

// What a row loop needs besides the pixels.
struct RowContext {
    const uint32_t* lut = nullptr;     // indexed source: the destination pixel of each index
    const KvCanvas* target = nullptr;  // indexed destination: maps colours to palette indices
    uint32_t key = 0;                  // keyed copy: the source value that is skipped
};

template <class S, class D>
inline uint32_t convertPixel(const RowContext& ctx, uint32_t p) {
    if constexpr (std::is_same_v<S, D>) {
        return p;
    } else if constexpr (S::indexed) {
        return ctx.lut[p];
    } else if constexpr (D::indexed) {
        return ctx.target->mapColor(KvColor::fromBytes(static_cast<uint8_t>(channel8<S, 0>(p)),
                                                       static_cast<uint8_t>(channel8<S, 1>(p)),
                                                       static_cast<uint8_t>(channel8<S, 2>(p))));
    } else {
        return packChannels<D>(channel8<S, 0>(p), channel8<S, 1>(p), channel8<S, 2>(p));
    }
}

// A row loop writes count destination pixels from src: consecutive source pixels,
// or, when scaling, the pixels at byte offsets xOffsets[0 .. count) from src.
using RowFn = void (*)(const RowContext& ctx, const uint8_t* src, const int* xOffsets,
                       uint8_t* dst, int count);

template <class P>
void copyRow(const RowContext&, const uint8_t* src, const int*, uint8_t* dst, int count) {
    std::memmove(dst, src, static_cast<size_t>(count) * P::bytes);
}

// Source and destination never overlap here: copies within one canvas whose areas
// meet read from a line buffer or a copy (see blt and bltScale).
template <class S, class D, bool Keyed, bool Scaled>
void convertRow(const RowContext& ctx, const uint8_t* __restrict src, const int* xOffsets,
                uint8_t* __restrict dst, int count) {
    // Mapping to a palette index is a look-up worth skipping for a key pixel; every
    // other conversion is cheap enough to keep the loop free of unpredictable branches.
    constexpr bool costly = D::indexed && !S::indexed;
    const uint32_t key = ctx.key;
    for (int i = 0; i < count; ++i) {
        const uint32_t p = loadPixel<S::bytes>(Scaled ? src + xOffsets[i] : src + i * S::bytes);
        uint8_t* d = dst + i * D::bytes;
        if constexpr (Keyed && costly) {
            if (p != key) storePixel<D::bytes>(d, convertPixel<S, D>(ctx, p));
        } else if constexpr (Keyed) {
            const uint32_t out = convertPixel<S, D>(ctx, p);
            storePixel<D::bytes>(d, p == key ? loadPixel<D::bytes>(d) : out);
        } else {
            storePixel<D::bytes>(d, convertPixel<S, D>(ctx, p));
        }
    }
}

template <class S, class D>
RowFn pickRow(bool keyed, bool scaled) {
    if constexpr (std::is_same_v<S, D>)
        if (!keyed && !scaled) return copyRow<S>;
    if (keyed) return scaled ? convertRow<S, D, true, true> : convertRow<S, D, true, false>;
    return scaled ? convertRow<S, D, false, true> : convertRow<S, D, false, false>;
}

template <class F>
RowFn withPixelType(unsigned short code, F&& f) {
    switch (code) {
        case kKvFormatIndexed: return f(IndexedPixel{});
        case kKvFormat555: return f(Pixel555{});
        case kKvFormat565: return f(Pixel565{});
        case kKvFormat888: return f(Pixel888{});
        case kKvFormat8888: return f(Pixel8888{});
        default: return nullptr;
    }
}

RowFn selectRow(unsigned short from, unsigned short to, bool keyed, bool scaled) {
    return withPixelType(from, [&](auto s) {
        return withPixelType(to, [&](auto d) {
            return pickRow<decltype(s), decltype(d)>(keyed, scaled);
        });
    });
}

uint8_t* rowAddress(const KvPixelStore& s, int y) {
    return s.bits + static_cast<size_t>(s.topDown ? y : s.height - 1 - y) * s.pitch;
}

// The destination span of the source span [pos, pos + len) moved by shift, cut to a
// source of srcLimit and a destination of dstLimit pixels; {0, 0} when nothing is left.
struct Span {
    int first = 0;
    int end = 0;
};

Span moveSpan(int64_t pos, int64_t len, int srcLimit, int64_t shift, int dstLimit) {
    const int64_t first = std::max<int64_t>(std::max<int64_t>(pos, 0) + shift, 0);
    const int64_t end = std::min<int64_t>(std::min<int64_t>(pos + len, srcLimit) + shift, dstLimit);
    if (end <= first) return {};
    return {static_cast<int>(first), static_cast<int>(end)};
}

// Nearest-neighbour sampling along one axis: destination coordinate d of the
// destination span [dstPos, dstPos + dstLen) takes source coordinate
// srcPos + (d - dstPos) * srcLen / dstLen. The product stays below 2^64 because
// both factors are below 2^32.
struct Sampler {
    int64_t srcPos, srcLen, dstPos, dstLen;

    int64_t operator()(int d) const {
        return srcPos + static_cast<int64_t>(static_cast<uint64_t>(d - dstPos) *
                                             static_cast<uint64_t>(srcLen) /
                                             static_cast<uint64_t>(dstLen));
    }
    // The first d in [lo, hi) whose sample is at least bound, or hi; samples never decrease.
    int firstReaching(int lo, int hi, int64_t bound) const {
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if ((*this)(mid) >= bound)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
    // The destination span, inside [0, dstLimit), whose samples fall inside [0, srcLimit).
    Span visible(int dstLimit, int srcLimit) const {
        const int lo = static_cast<int>(std::max<int64_t>(dstPos, 0));
        const int hi = static_cast<int>(std::min<int64_t>(dstPos + dstLen, dstLimit));
        if (hi <= lo) return {};
        const Span s{firstReaching(lo, hi, 0), firstReaching(lo, hi, srcLimit)};
        return s.end > s.first ? s : Span{};
    }
};

// The boxes to draw: one rectangle, or the rectangles of the clipped area.
struct Boxes {
    pixman_box32_t single;
    const pixman_box32_t* list = &single;
    int count = 1;
    KvRect bounds;
};

Boxes boxesOf(const KvRect& area, KvRegion& scratch, const KvRegion* clipA, const KvRegion* clipB) {
    Boxes b;
    b.single = {area.left, area.top, area.right, area.bottom};
    b.bounds = area;
    if (clipA || clipB) {
        scratch.set(area);
        if (clipA) scratch *= *clipA;
        if (clipB) scratch *= *clipB;
        b.list = pixman_region32_rectangles(scratch.native(), &b.count);
        b.bounds = scratch.bounds();
    }
    return b;
}

// Visit the rows covered by y-x banded boxes (as pixman keeps a region), band by band,
// top to bottom or, when upward, bottom to top; rowFn(y, first, last) receives the
// boxes of the band that holds row y.
template <class F>
void forEachRow(const Boxes& boxes, bool upward, F&& rowFn) {
    const pixman_box32_t* b = boxes.list;
    auto band = [&](int first, int last) {
        if (upward)
            for (int y = b[first].y2 - 1; y >= b[first].y1; --y) rowFn(y, b + first, b + last);
        else
            for (int y = b[first].y1; y < b[first].y2; ++y) rowFn(y, b + first, b + last);
    };
    if (upward) {
        for (int last = boxes.count; last > 0;) {
            int first = last - 1;
            while (first > 0 && b[first - 1].y1 == b[last - 1].y1) --first;
            band(first, last);
            last = first;
        }
    } else {
        for (int first = 0; first < boxes.count;) {
            int last = first + 1;
            while (last < boxes.count && b[last].y1 == b[first].y1) ++last;
            band(first, last);
            first = last;
        }
    }
}

// What the row loops of a copy into target need; lut is filled when only the source is indexed.
RowContext makeContext(const KvPixelFormat& from, const KvColor* fromPalette,
                       const KvCanvas& target, uint32_t key, uint32_t (&lut)[256]) {
    RowContext ctx;
    const KvPixelFormat& to = target.getPixelFormat();
    if (from.isIndexed() && !to.isIndexed()) {
        for (int i = 0; i < 256; ++i) lut[i] = to.pack(fromPalette[i]);
        ctx.lut = lut;
    }
    ctx.target = &target;
    ctx.key = key;
    return ctx;
}

std::unique_ptr<uint8_t[]> scratchBuffer(size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

}  // namespace

bool KvCanvas::blt(const KvCanvas* src, int srcX, int srcY, int w, int h, int dstX, int dstY,
                   unsigned long rop, const KvRegion* clipRgn) {
    if (!src || !src->isValid() || !isValid() || (rop != kKvRopCopy && rop != kKvRopCopyKeyed))
        return false;
    const bool keyed = rop == kKvRopCopyKeyed;
    const RowFn row = selectRow(src->format.code, format.code, keyed, false);
    if (!row) return false;

    const int64_t shiftX = static_cast<int64_t>(dstX) - srcX;
    const int64_t shiftY = static_cast<int64_t>(dstY) - srcY;
    const Span xs = moveSpan(srcX, w, src->store.width, shiftX, store.width);
    const Span ys = moveSpan(srcY, h, src->store.height, shiftY, store.height);
    const KvRect area(xs.first, ys.first, xs.end, ys.end);
    if (area.isEmpty()) return true;
    // Every pixel of area has its source inside src, so the shifts are now small.
    const int dx = static_cast<int>(shiftX), dy = static_cast<int>(shiftY);

    KvRegion scratch;
    const Boxes boxes = boxesOf(area, scratch, clipRgn, clip);
    if (boxes.count == 0) return true;

    const int sb = src->format.bytesPerPixel, db = format.bytesPerPixel;
    const bool overlap = src == this && std::abs(dx) < area.width() && std::abs(dy) < area.height();
    if (!overlap && !keyed && src->format.code == format.code) {
        // A plain copy between two canvases: box by box, a row at a time, with
        // nothing between the copies (the screen takes one such per change).
        for (int i = 0; i < boxes.count; ++i) {
            const pixman_box32_t& b = boxes.list[i];
            const size_t bytes = static_cast<size_t>(b.x2 - b.x1) * db;
            for (int y = b.y1; y < b.y2; ++y)
                std::memcpy(rowAddress(store, y) + static_cast<size_t>(b.x1) * db,
                            rowAddress(src->store, y - dy) + static_cast<size_t>(b.x1 - dx) * sb, bytes);
        }
        changed(boxes.bounds);
        return true;
    }

    uint32_t lut[256];
    const RowContext ctx =
        makeContext(src->format, src->palette, *this, keyed ? src->mapColor(src->colorKey) : 0, lut);

    // Within one canvas the source rows may already have been written: walk away
    // from the destination (bottom-up when moving down), and read each source row
    // into a line buffer before writing it, which settles sideways moves.
    std::unique_ptr<uint8_t[]> line;
    if (overlap && !(line = scratchBuffer(static_cast<size_t>(area.width()) * sb))) return false;

    forEachRow(boxes, overlap && dy > 0,
               [&](int y, const pixman_box32_t* first, const pixman_box32_t* last) {
                   const uint8_t* srcRow = rowAddress(src->store, y - dy);
                   uint8_t* dstRow = rowAddress(store, y);
                   const int left = first->x1;
                   if (overlap) {
                       std::memcpy(line.get(), srcRow + static_cast<size_t>(left - dx) * sb,
                                   static_cast<size_t>(last[-1].x2 - left) * sb);
                       srcRow = line.get();
                   }
                   for (const pixman_box32_t* b = first; b != last; ++b) {
                       const int from = overlap ? b->x1 - left : b->x1 - dx;
                       row(ctx, srcRow + static_cast<size_t>(from) * sb, nullptr,
                           dstRow + static_cast<size_t>(b->x1) * db, b->x2 - b->x1);
                   }
               });
    changed(boxes.bounds);
    return true;
}

bool KvCanvas::bltScale(const KvCanvas* src, const KvRect& srcRect, const KvRect& dstRect,
                        unsigned long rop, const KvRegion* clipRgn) {
    if (!src || !src->isValid() || !isValid() || (rop != kKvRopCopy && rop != kKvRopCopyKeyed))
        return false;
    const bool keyed = rop == kKvRopCopyKeyed;
    const RowFn row = selectRow(src->format.code, format.code, keyed, true);
    if (!row) return false;

    const Sampler sx{srcRect.left, static_cast<int64_t>(srcRect.right) - srcRect.left,
                     dstRect.left, static_cast<int64_t>(dstRect.right) - dstRect.left};
    const Sampler sy{srcRect.top, static_cast<int64_t>(srcRect.bottom) - srcRect.top,
                     dstRect.top, static_cast<int64_t>(dstRect.bottom) - dstRect.top};
    if (sx.srcLen <= 0 || sy.srcLen <= 0 || sx.dstLen <= 0 || sy.dstLen <= 0) return true;
    const Span xs = sx.visible(store.width, src->store.width);
    const Span ys = sy.visible(store.height, src->store.height);
    const KvRect area(xs.first, ys.first, xs.end, ys.end);
    if (area.isEmpty()) return true;

    KvRegion scratch;
    const Boxes boxes = boxesOf(area, scratch, clipRgn, clip);
    if (boxes.count == 0) return true;

    // The source pixels sampled lie in (sampled.left .. right) x (top .. bottom);
    // columns are kept as byte offsets from sampled.left.
    const int sb = src->format.bytesPerPixel, db = format.bytesPerPixel;
    const KvRect sampled(static_cast<int>(sx(area.left)), static_cast<int>(sy(area.top)),
                         static_cast<int>(sx(area.right - 1)) + 1,
                         static_cast<int>(sy(area.bottom - 1)) + 1);
    std::unique_ptr<int[]> xOffsets(new (std::nothrow) int[area.width()]);
    if (!xOffsets) return false;
    for (int x = area.left; x < area.right; ++x)
        xOffsets[x - area.left] = static_cast<int>(sx(x) - sampled.left) * sb;

    // Stretching within one canvas onto the area it reads from: read from a copy.
    std::unique_ptr<uint8_t[]> copy;
    const size_t copyPitch = static_cast<size_t>(sampled.width()) * sb;
    if (src == this && sampled.overlaps(area)) {
        copy = scratchBuffer(copyPitch * sampled.height());
        if (!copy) return false;
        for (int y = sampled.top; y < sampled.bottom; ++y)
            std::memcpy(copy.get() + (y - sampled.top) * copyPitch,
                        rowAddress(store, y) + static_cast<size_t>(sampled.left) * sb, copyPitch);
    }

    uint32_t lut[256];
    const RowContext ctx =
        makeContext(src->format, src->palette, *this, keyed ? src->mapColor(src->colorKey) : 0, lut);

    forEachRow(boxes, false, [&](int y, const pixman_box32_t* first, const pixman_box32_t* last) {
        const int srcY = static_cast<int>(sy(y));
        const uint8_t* srcRow =
            copy ? copy.get() + (srcY - sampled.top) * copyPitch
                 : rowAddress(src->store, srcY) + static_cast<size_t>(sampled.left) * sb;
        uint8_t* dstRow = rowAddress(store, y);
        for (const pixman_box32_t* b = first; b != last; ++b)
            row(ctx, srcRow, xOffsets.get() + (b->x1 - area.left),
                dstRow + static_cast<size_t>(b->x1) * db, b->x2 - b->x1);
    });
    changed(boxes.bounds);
    return true;
}
