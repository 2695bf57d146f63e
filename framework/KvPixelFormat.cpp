// Format descriptions and the colour <-> native pixel mapping of direct formats.
#include "framework/KvPixelFormat.h"

namespace {

KvPixelFormat direct(unsigned short code, unsigned short depth, unsigned short rb,
                     unsigned short gb, unsigned short bb) {
    KvPixelFormat f;
    f.code = code;
    f.depth = depth;
    f.bytesPerPixel = static_cast<unsigned short>(depth / 8);
    f.bits[0] = rb, f.bits[1] = gb, f.bits[2] = bb;
    f.shifts[2] = 0;
    f.shifts[1] = bb;
    f.shifts[0] = static_cast<unsigned short>(bb + gb);
    for (int i = 0; i < 3; ++i) f.masks[i] = ((1ul << f.bits[i]) - 1) << f.shifts[i];
    return f;
}

// Widen an n-bit channel value to 8 bits by repeating its bits.
uint8_t widen(uint32_t v, int n) {
    if (n <= 0) return 0;
    uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += n) out = (out << n) | v;
    return static_cast<uint8_t>(out >> (((8 + n - 1) / n) * n - 8));
}

}  // namespace

KvPixelFormat KvPixelFormat::forDepth(int depth) {
    switch (depth) {
        case 8: {
            KvPixelFormat f;
            f.code = kKvFormatIndexed;
            f.depth = 8;
            f.bytesPerPixel = 1;
            return f;
        }
        case 15: return direct(kKvFormat555, 16, 5, 5, 5);
        case 16: return direct(kKvFormat565, 16, 5, 6, 5);
        case 24: return direct(kKvFormat888, 24, 8, 8, 8);
        case 32: return direct(kKvFormat8888, 32, 8, 8, 8);
        default: return KvPixelFormat();
    }
}

uint32_t KvPixelFormat::pack(const KvColor& c) const {
    const uint8_t ch[3] = {c.r8(), c.g8(), c.b8()};
    uint32_t p = 0;
    for (int i = 0; i < 3; ++i) p |= static_cast<uint32_t>(ch[i] >> (8 - bits[i])) << shifts[i];
    return p;
}

KvColor KvPixelFormat::unpack(uint32_t pixel) const {
    uint8_t ch[3];
    for (int i = 0; i < 3; ++i) ch[i] = widen((pixel & masks[i]) >> shifts[i], bits[i]);
    return KvColor::fromBytes(ch[0], ch[1], ch[2]);
}
