// Canvas areas as 0x00RRGGBB words; see KvCanvasWords.h.
#include "framework/KvCanvasWords.h"

namespace {

uint32_t word(const KvColor& c) {
    return static_cast<uint32_t>(c.red >> 8) << 16 | static_cast<uint32_t>(c.green >> 8) << 8 | (c.blue >> 8);
}

template <class Pixel>
void eachPixel(const unsigned char* first, int pitch, int bpp, const KvRect& area, uint32_t* out, Pixel pixel) {
    for (int y = 0; y < area.height(); ++y) {
        const unsigned char* p = first + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < area.width(); ++x, p += bpp) *out++ = pixel(p);
    }
}

}  // namespace

void KvCanvasWords::convert(const KvCanvas& canvas, const unsigned char* bits, int pitch, const KvRect& area,
                            std::vector<uint32_t>& out) {
    const KvPixelFormat& format = canvas.getPixelFormat();
    const int bpp = format.bytesPerPixel;
    const unsigned char* first = bits + static_cast<size_t>(area.top) * pitch + static_cast<size_t>(area.left) * bpp;
    out.resize(static_cast<size_t>(area.width()) * area.height());
    if (format.isIndexed()) {
        const KvColor* palette = canvas.getPaletteEntries();
        uint32_t lut[256];
        for (int i = 0; i < 256; ++i) lut[i] = word(palette[i]);
        eachPixel(first, pitch, bpp, area, out.data(), [&lut](const unsigned char* p) { return lut[*p]; });
    } else if (bpp == 2) {
        if (widened.empty() || widenedFormat != format.code) {
            widened.resize(65536);
            for (uint32_t v = 0; v < 65536; ++v) widened[v] = word(format.unpack(v));
            widenedFormat = format.code;
        }
        const uint32_t* lut = widened.data();
        eachPixel(first, pitch, bpp, area, out.data(), [lut](const unsigned char* p) { return lut[p[0] | p[1] << 8]; });
    } else {
        eachPixel(first, pitch, bpp, area, out.data(), [](const unsigned char* p) {
            return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        });
    }
}
