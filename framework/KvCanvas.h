// Drawing surfaces. A canvas owns a block of pixel memory (KvPixelStore) of
// height rows, each pitch bytes apart, in one of the formats of KvPixelFormat.
// Row order is top-down (memory row 0 is image row 0) or bottom-up (memory
// row 0 is image row height-1); pitch is always positive and rows are padded
// to a multiple of 4 bytes. Two canvases of equal size and format can swap
// their stores (a flip chain does this), so no one may keep the memory pointer
// past releasePointerToMemory().
//
// Every operation clips to both canvases: no rectangle, offset or size can
// make a canvas read or write outside its own memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/KvColor.h"
#include "framework/KvPixelFormat.h"
#include "framework/KvRect.h"
#include "framework/KvRegion.h"

// Raster operations understood by blt and bltScale.
constexpr unsigned long kKvRopCopy = 0xCC0020;         // copy
constexpr unsigned long kKvRopCopyKeyed = 0x80CC0020;  // copy, skipping source key-colour pixels

// Largest canvas side accepted, so that pitch * height always fits a size_t and an int.
constexpr int kKvMaxCanvasSide = 16384;

struct KvNearestMemo;  // mapColor's memo, private to the canvas

struct KvPixelStore {
    unsigned char* bits = nullptr;  // null when the canvas could not be made
    int width = 0;
    int height = 0;
    int pitch = 0;
    bool topDown = true;
};

class KvCanvas {
public:
    virtual ~KvCanvas();

    // Drawing attributes used by draw(): fill the shape and/or outline it with a
    // pen of penWidth pixels drawn inside the shape's edge.
    bool fill = true;
    bool outline = false;
    KvColor fillColor;
    KvColor outlineColor;
    int penWidth = 1;
    // When non-null, draw(), blt() and bltScale() write only inside it (canvas coordinates),
    // in addition to any clip passed to blt.
    KvRegion* clip = nullptr;

    bool isValid() const { return store.bits != nullptr; }
    int getWidth() const { return store.width; }
    int getHeight() const { return store.height; }
    KvRect getBounds() const { return KvRect(0, 0, store.width, store.height); }
    int getDepth() const { return format.depth; }
    unsigned short getFormat() const { return format.code; }
    const KvPixelFormat& getPixelFormat() const { return format; }
    bool isTopDown() const { return store.topDown; }

    // The memory block; bits is null (and the result false) for an invalid canvas.
    // Every successful call is paired with releasePointerToMemory().
    virtual bool getPointerToMemory(unsigned char** bits, int* pitch);
    virtual void releasePointerToMemory();
    // The pixel memory is one block of getMemorySize() bytes that may be addressed directly.
    bool isOneBlock() const { return isValid(); }
    size_t getMemorySize() const { return static_cast<size_t>(store.pitch) * store.height; }

    // 256-colour palette. Every canvas keeps one; indexed canvases draw with it.
    void setPalette(const KvColor* colors, bool update);
    void getPalette(KvColor* colors) const;
    const KvColor* getPaletteEntries() const { return palette; }

    void setColorKey(const KvColor& c);
    KvColor getColorKey() const { return colorKey; }
    void setBackgroundColor(const KvColor& c) { background = c; }
    KvColor getBackgroundColor() const { return background; }

    // The native pixel value of a colour: for indexed canvases the nearest palette entry.
    uint32_t mapColor(const KvColor& c) const;
    // Single pixels, for tests and tools; out of range reads 0 and writes nothing.
    uint32_t getPixel(int x, int y) const;
    void setPixel(int x, int y, uint32_t value);
    KvColor getPixelColor(int x, int y) const;

    // Copy w x h pixels at (srcX, srcY) of src to (dstX, dstY) of this canvas,
    // converting between formats (to 8 bits by the nearest palette colour).
    // clip is in this canvas's coordinates. Returns false when nothing could be drawn
    // because a canvas is invalid or the rop is unknown.
    bool blt(const KvCanvas* src, int srcX, int srcY, int w, int h, int dstX, int dstY,
             unsigned long rop = kKvRopCopy, const KvRegion* clip = nullptr);
    // Stretch srcRect of src onto dstRect of this canvas (nearest neighbour).
    bool bltScale(const KvCanvas* src, const KvRect& srcRect, const KvRect& dstRect,
                  unsigned long rop = kKvRopCopy, const KvRegion* clip = nullptr);

    void draw(const KvRect& r);
    void draw(const KvRegion& r);

    // Exchange pixel memory with another canvas of the same size and format (page flipping).
    static bool swapStores(KvCanvas& a, KvCanvas& b);

protected:
    KvCanvas() = default;
    KvCanvas(const KvCanvas&) = delete;
    KvCanvas& operator=(const KvCanvas&) = delete;

    // Allocate a store for width x height at depth (8, 15, 16, 24, 32). On any bad
    // argument the canvas stays invalid: null memory, zero size.
    void allocate(int width, int height, int depth, bool topDown);
    virtual void paletteChanged() {}
    // Pixels inside area (canvas coordinates, already clipped to the canvas)
    // were rewritten by setPixel, blt, bltScale or draw. Window canvases show
    // them on the screen; memory canvases ignore it.
    virtual void changed(const KvRect& area) { (void)area; }

    KvPixelStore store;
    KvPixelFormat format;

private:
    void fillRegion(const KvRegion& region, const KvColor& color);

    KvColor palette[256];
    KvColor colorKey;
    KvColor background;
    mutable KvNearestMemo* nearest = nullptr;  // mapColor answers since the last setPalette
};

// An off-screen canvas. mode is the surface kind: 0 a device-independent bitmap,
// 1 system memory, 2 a surface that can join a window canvas's flip chain; every
// mode is plain memory here. bottomUp selects the row order.
class KvMemCanvas : public KvCanvas {
public:
    KvMemCanvas(int width, int height, int depth, int mode = 1, bool bottomUp = false);
    int getMode() const { return mode; }

private:
    int mode;
};
