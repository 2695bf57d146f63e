// Canvas storage, palette and single-pixel access. Blitting lives in
// KvCanvasBlt.cpp and shape drawing in KvCanvasDraw.cpp.
#include "framework/KvCanvas.h"

#include <cstring>
#include <new>
#include <utility>

// Recent answers of mapColor on an indexed canvas, one per slot chosen by a hash
// of the 24-bit colour. A slot holds the colour with bit 24 set, 0 when unused.
struct KvNearestMemo {
    static constexpr int kSlotBits = 12;
    uint32_t colour[1 << kSlotBits] = {};
    uint8_t index[1 << kSlotBits] = {};
};

KvCanvas::~KvCanvas() {
    delete[] store.bits;
    delete nearest;
}

void KvCanvas::allocate(int width, int height, int depth, bool topDown) {
    format = KvPixelFormat::forDepth(depth);
    store = KvPixelStore();
    store.topDown = topDown;
    if (format.code == 0 || width <= 0 || height <= 0 || width > kKvMaxCanvasSide ||
        height > kKvMaxCanvasSide)
        return;
    const int pitch = (width * format.bytesPerPixel + 3) & ~3;
    unsigned char* bits = new (std::nothrow) unsigned char[static_cast<size_t>(pitch) * height];
    if (!bits) return;
    std::memset(bits, 0, static_cast<size_t>(pitch) * height);
    store.bits = bits;
    store.width = width;
    store.height = height;
    store.pitch = pitch;
}

bool KvCanvas::getPointerToMemory(unsigned char** bits, int* pitch) {
    if (bits) *bits = store.bits;
    if (pitch) *pitch = store.bits ? store.pitch : 0;
    return store.bits != nullptr;
}

void KvCanvas::releasePointerToMemory() {}

void KvCanvas::setPalette(const KvColor* colors, bool update) {
    (void)update;  // memory canvases have nothing to realise; window canvases hook paletteChanged
    if (!colors) return;
    std::memcpy(palette, colors, sizeof palette);
    delete nearest;
    nearest = nullptr;
    paletteChanged();
}

void KvCanvas::getPalette(KvColor* colors) const {
    if (colors) std::memcpy(colors, palette, sizeof palette);
}

void KvCanvas::setColorKey(const KvColor& c) { colorKey = c; }

uint32_t KvCanvas::mapColor(const KvColor& c) const {
    if (!format.isIndexed()) return format.pack(c);
    // The nearest palette entry by squared distance of the 8-bit channels, the first
    // one on a tie. Blits into indexed canvases ask once per pixel, so answers are memoised.
    const uint32_t rgb = static_cast<uint32_t>(c.r8()) << 16 | c.g8() << 8 | c.b8();
    if (!nearest) nearest = new (std::nothrow) KvNearestMemo;
    const uint32_t slot = (rgb * 2654435761u) >> (32 - KvNearestMemo::kSlotBits);
    if (nearest && nearest->colour[slot] == (rgb | 1u << 24)) return nearest->index[slot];
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < 256 && bestDist != 0; ++i) {
        const long dr = c.r8() - palette[i].r8(), dg = c.g8() - palette[i].g8(),
                   db = c.b8() - palette[i].b8();
        const long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) bestDist = d, best = i;
    }
    if (nearest) {
        nearest->colour[slot] = rgb | 1u << 24;
        nearest->index[slot] = static_cast<uint8_t>(best);
    }
    return static_cast<uint32_t>(best);
}

uint32_t KvCanvas::getPixel(int x, int y) const {
    if (!store.bits || x < 0 || y < 0 || x >= store.width || y >= store.height) return 0;
    const int row = store.topDown ? y : store.height - 1 - y;
    const unsigned char* p = store.bits + static_cast<size_t>(row) * store.pitch +
                             static_cast<size_t>(x) * format.bytesPerPixel;
    uint32_t v = 0;
    for (int i = format.bytesPerPixel - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void KvCanvas::setPixel(int x, int y, uint32_t value) {
    if (!store.bits || x < 0 || y < 0 || x >= store.width || y >= store.height) return;
    const int row = store.topDown ? y : store.height - 1 - y;
    unsigned char* p = store.bits + static_cast<size_t>(row) * store.pitch +
                       static_cast<size_t>(x) * format.bytesPerPixel;
    for (int i = 0; i < format.bytesPerPixel; ++i, value >>= 8) p[i] = static_cast<uint8_t>(value);
    changed(KvRect(x, y, x + 1, y + 1));
}

KvColor KvCanvas::getPixelColor(int x, int y) const {
    const uint32_t v = getPixel(x, y);
    return format.isIndexed() ? palette[v & 0xFF] : format.unpack(v);
}

bool KvCanvas::swapStores(KvCanvas& a, KvCanvas& b) {
    if (&a == &b || a.store.width != b.store.width || a.store.height != b.store.height ||
        a.format.code != b.format.code || a.store.topDown != b.store.topDown)
        return false;
    std::swap(a.store, b.store);
    return true;
}

KvMemCanvas::KvMemCanvas(int width, int height, int depth, int surfaceMode, bool bottomUp)
    : mode(surfaceMode) {
    allocate(width, height, depth, !bottomUp);
}
