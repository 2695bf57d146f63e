// Cel pictures and their renderer.
//
// Indexed picture: int16 type (not 2), int16 width W, int16 height H, then H
// rows with no row table; a row is runs adding up to W pixels:
//   0x00 n        n transparent pixels (canvas unchanged)
//   0x01..0xFE k  k literal colour indices follow
//   0xFF c n      n pixels of colour index c
// Direct-colour picture: int16 type 2, W, H, int16 0, uint32 row offsets x H
// (from the picture start), then rows of runs: uint16 opcode, uint16 count n,
//   0: n transparent, 1: n 16-bit pixels copied, 2: n x (16-bit pixel, 8-bit alpha) blended.
// Multi-byte fields are native order here: the AO loader fixes byte order first.
//
// Draw direction 0..7 places cel pixel (c, r) drawn at (x, y):
//   0 (x+c, y+r)  1 (x+W-1-c, y+r)  2 (x+c, y+H-1-r)  3 (x+W-1-c, y+H-1-r)
//   4 (x+H-1-r, y+c)  5 (x+r, y+c)  6 (x+H-1-r, y+W-1-c)  7 (x+r, y+W-1-c)
// Indexed pixels go through currentColorTable on 16, 24 and 32-bit canvases
// (8-bit canvases take the index itself). Direct-colour pictures draw only on
// 16-bit canvases in directions 0 and 1.
//
// Whatever the runs say, the renderer never writes outside the canvas or the
// clip; a row whose runs overrun its width stops at the width. Pictures must
// have been checked with validate() against the bytes that hold them: the
// drawers trust them to end inside their bytes. A direct-colour picture also
// keeps its rows one after another in the places its row table names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/KvCanvas.h"
#include "framework/KvRect.h"

class KvCelLiterals;

class KvCelRenderer {
public:
    // Largest width or height of a picture that validate() accepts.
    static constexpr int kMaxPictureSide = kKvMaxCanvasSide;
    // Pictures placed further than this from the origin draw nothing (their box would
    // not fit an int); no canvas reaches that far.
    static constexpr int kMaxPosition = 1 << 24;
    // Picture type of the direct-colour form.
    static constexpr int kDirectColorType = 2;

    // 256 native pixel values; on 16-bit canvases each entry carries the pixel in both halves.
    // Indexed pictures draw nothing on 16, 24 and 32-bit canvases while it is null.
    static const uint32_t* currentColorTable;
    // Channel masks (red, green, blue) of the 16-bit format that translucent direct-colour
    // pixels are blended in; 5-6-5 until the trinket window sets them from its format.
    static uint32_t blendMasks[3];

    // The drawn box of a picture at (x, y) in a direction: W x H, or H x W for directions 4-7;
    // KvRect::zero for an empty picture, a direction above 7 or a position beyond kMaxPosition.
    static KvRect drawnBox(int x, int y, const unsigned char* pic, unsigned char dir);

    // Unclipped: for pictures whose drawn box lies inside the canvas (the fast path).
    // Nothing at or below the canvas height; a negative y is taken as 0 (shifted, not
    // clipped). A box that still leaves the canvas is drawn clipped to the canvas instead.
    // With literals, an indexed picture they hold a copy of (or can make one of) takes its
    // literal runs from that copy on 16 and 32-bit canvases; the pixels are the same.
    static void draw(int x, int y, const unsigned char* pic, KvCanvas* canvas, unsigned char dir,
                     KvCelLiterals* literals = nullptr);
    // Clipped to clip intersected with the canvas.
    static void draw(int x, int y, const unsigned char* pic, KvCanvas* canvas, const KvRect& clip,
                     unsigned char dir, KvCelLiterals* literals = nullptr);

    // True when the picture at pic (available bytes) is well formed: header in
    // range, every row's runs inside the bytes and adding up to exactly W.
    static bool validate(const unsigned char* pic, size_t available);

    // The canvas point (px, py) of a picture drawn at (x, y) in dir, mapped back to the
    // cel column c and row r that the drawing puts there. False outside the drawn box.
    static bool mapToCel(int x, int y, const unsigned char* pic, unsigned char dir, int px, int py,
                         int& c, int& r);
    // The pixel at cel column c, row r of a validated picture: the colour index (indexed
    // form) or the 16-bit pixel (direct-colour form); -1 for a transparent pixel or a
    // position outside the picture.
    static int pixelAt(const unsigned char* pic, int c, int r);
    // Rewrites every literal pixel and fill colour i of a validated indexed picture as
    // map[i], in place; skip runs and counts stay. Direct-colour pictures are left alone.
    // Every screen-format copy of literals goes stale.
    static void remapIndices(unsigned char* pic, const unsigned char map[256]);

    // The encoder: an 8-bit canvas area as a complete one-cel AO file (allocated with new[];
    // the caller owns it). The area is rect cut to the canvas, at rect's own origin;
    // KvRect::zero means the whole canvas. Null and size 0 for other depths or no area.
    static const void* pack(long& size, KvMemCanvas* canvas, const KvRect& rect, int transparent);
    // Encodes one row of W indices; returns the bytes written (at most 2 * W + 2).
    static int encodeRow(unsigned char* out, const unsigned char* row, int width, int transparent);
};
