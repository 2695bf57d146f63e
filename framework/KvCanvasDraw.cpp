// Shape drawing with the canvas's drawing attributes. fill paints the shape in
// fillColor; outline then paints, in outlineColor, the pixels of the shape that
// lie within penWidth pixels (horizontally, vertically or diagonally: a square
// pen) of a pixel outside it: the shape minus its erosion by the pen. Both stay
// inside the canvas and inside the canvas's clip region.
#include "framework/KvCanvas.h"

#include <algorithm>
#include <cstring>

namespace {

// Pens wider than this draw as this wide; it keeps every shifted coordinate far
// from the int range while still exceeding any canvas side several times.
constexpr int kMaxPenWidth = 4 * kKvMaxCanvasSide;

KvRegion shifted(const KvRegion& r, int by, bool vertical) {
    KvRegion out = r;
    if (vertical)
        out.offset(0, by);
    else
        out.offset(by, 0);
    return out;
}

// The pixels p for which p, p + 1, ..., p + n - 1 (along one axis) all lie in r,
// built by doubling: a run of a pixels followed by a run of b pixels is a run of a + b.
KvRegion runsOf(KvRegion power, int n, bool vertical) {
    KvRegion result;
    int have = 0;  // result holds runs of this length
    for (int len = 1; have < n; len *= 2) {  // power holds runs of length len
        if (n & len) {
            if (have == 0)
                result = power;
            else
                result *= shifted(power, -have, vertical);
            have += len;
        }
        if (have < n) power *= shifted(power, -len, vertical);
    }
    return result;
}

// The pixels whose whole (2k + 1) x (2k + 1) square around them lies in r.
KvRegion erode(const KvRegion& r, int k) {
    KvRegion inner = shifted(runsOf(r, 2 * k + 1, false), k, false);
    return shifted(runsOf(inner, 2 * k + 1, true), k, true);
}

// Rows of one value inside a box, written 64 and then eight bytes at a time
// where the pixel size allows (the pattern repeats within eight bytes for 1, 2 and 4
// bytes; within 24 for 3): fixed-size copies that compilers turn into wide
// stores, with the row's tail finished in halves rather than by a call.
template <int Bytes>
void fillBox(const KvPixelStore& store, const pixman_box32_t& b, uint32_t value) {
    const size_t bytes = static_cast<size_t>(b.x2 - b.x1) * Bytes;
    const uint64_t wide = Bytes == 1   ? (value & 0xFFu) * 0x0101010101010101ull
                          : Bytes == 2 ? (value & 0xFFFFu) * 0x0001000100010001ull
                                       : (value & 0xFFFFFFFFu) * 0x0000000100000001ull;
    uint64_t wide64[8];
    for (uint64_t& w : wide64) w = wide;
    uint8_t pattern[24];
    if constexpr (Bytes == 3)
        for (int i = 0; i < 24; ++i) pattern[i] = static_cast<uint8_t>(value >> (8 * (i % 3)));
    for (int y = b.y1; y < b.y2; ++y) {
        const int row = store.topDown ? y : store.height - 1 - y;
        uint8_t* p = store.bits + static_cast<size_t>(row) * store.pitch + static_cast<size_t>(b.x1) * Bytes;
        size_t i = 0;
        if constexpr (Bytes == 3) {
            for (; i + 24 <= bytes; i += 24) std::memcpy(p + i, pattern, 24);
            for (; i < bytes; ++i) p[i] = pattern[i % 24];
        } else {
            for (; i + 64 <= bytes; i += 64) std::memcpy(p + i, wide64, 64);
            for (; i + 8 <= bytes; i += 8) std::memcpy(p + i, &wide, 8);
            // Fewer than eight bytes, a whole number of pixels, are left.
            if (i + 4 <= bytes) std::memcpy(p + i, &wide, 4), i += 4;
            if (i + 2 <= bytes) std::memcpy(p + i, &wide, 2), i += 2;
            if (i < bytes) p[i] = static_cast<uint8_t>(wide);
        }
    }
}

void fillBoxes(const KvPixelStore& store, int bytesPerPixel, const pixman_box32_t* boxes, int count,
               uint32_t value) {
    for (int i = 0; i < count; ++i) switch (bytesPerPixel) {
            case 1: fillBox<1>(store, boxes[i], value); break;
            case 2: fillBox<2>(store, boxes[i], value); break;
            case 3: fillBox<3>(store, boxes[i], value); break;
            default: fillBox<4>(store, boxes[i], value); break;
        }
}

}  // namespace

void KvCanvas::draw(const KvRect& r) {
    if (!isValid() || r.isEmpty()) return;
    if (fill && !clip && (!outline || penWidth <= 0)) {
        // A plain fill needs no region: the rectangle cut to the canvas is the area.
        const KvRect area = r * getBounds();
        if (area.isEmpty()) return;
        const pixman_box32_t box{area.left, area.top, area.right, area.bottom};
        fillBoxes(store, format.bytesPerPixel, &box, 1, mapColor(fillColor));
        changed(area);
        return;
    }
    // Only the part of the shape near the canvas can matter (see draw(region)).
    const int reach = std::min(std::max(penWidth, 0), kMaxPenWidth) + 1;
    draw(KvRegion(r * KvRect(-reach, -reach, store.width + reach, store.height + reach)));
}

void KvCanvas::draw(const KvRegion& shape) {
    if (!isValid() || shape.isNull()) return;
    if (fill) fillRegion(shape, fillColor);
    if (!outline || penWidth <= 0) return;
    const int k = std::min(penWidth, kMaxPenWidth);
    // Whether a canvas pixel is in the frame depends only on the shape within k
    // pixels of it, so the shape may be cut k + 1 pixels outside the canvas: the
    // edges the cut makes are too far away to reach any canvas pixel.
    KvRegion nearby = shape;
    nearby *= KvRect(-k - 1, -k - 1, store.width + k + 1, store.height + k + 1);
    KvRegion frame = nearby;
    frame -= erode(nearby, k);
    fillRegion(frame, outlineColor);
}

void KvCanvas::fillRegion(const KvRegion& region, const KvColor& color) {
    int count = 0;
    if (!clip && region.bounds() <= getBounds()) {
        // Already inside the canvas: its own rectangles are the area.
        const pixman_box32_t* boxes =
            pixman_region32_rectangles(const_cast<pixman_region32_t*>(region.native()), &count);
        if (count == 0) return;
        fillBoxes(store, format.bytesPerPixel, boxes, count, mapColor(color));
        changed(region.bounds());
        return;
    }
    KvRegion area = region;
    area *= getBounds();
    if (clip) area *= *clip;
    if (area.isNull()) return;
    const pixman_box32_t* boxes = pixman_region32_rectangles(area.native(), &count);
    fillBoxes(store, format.bytesPerPixel, boxes, count, mapColor(color));
    changed(area.bounds());
}
