// Animations: colour operations. On 16, 24 and 32-bit windows an animation
// recolours through its colour table (index to native pixel); without a
// table (8-bit windows, or files that need none) the colour indices inside
// the encoded cels are rewritten in place. Cels that share a picture are
// rewritten once, and since the file is shared, copies see the change too.
#include <algorithm>
#include <array>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"

namespace {

using IndexMap = std::array<unsigned char, 256>;

IndexMap identity() {
    IndexMap map;
    for (int i = 0; i < 256; ++i) map[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    return map;
}

// A channel of a native pixel as a 16-bit component.
unsigned short component(uint32_t pixel, unsigned long mask, int bits, int shift) {
    const int up = 16 - bits - shift;
    const uint32_t v = pixel & static_cast<uint32_t>(mask);
    return static_cast<unsigned short>(up >= 0 ? v << up : v >> -up);
}

}  // namespace

std::vector<unsigned char*> KvAnimation::selectedPictures(int cel) const {
    std::vector<unsigned char*> pictures;
    if (cel == -2) {
        for (unsigned char* pic : cels)
            if (std::find(pictures.begin(), pictures.end(), pic) == pictures.end()) pictures.push_back(pic);
    } else if (unsigned char* pic = pictureOf(cel == -1 ? seq[seqPos].cel : cel)) {
        pictures.push_back(pic);
    }
    return pictures;
}

void KvAnimation::swapColors(unsigned char a, unsigned char b, int cel) {
    if (!colorTable) {
        swapCelColors(a, b, cel);
        return;
    }
    std::swap(colorTable[a], colorTable[b]);
    KvCelLiterals::colorsChanged();
    if (preMakePictures) makeAllPictures();
}

void KvAnimation::replaceColorIndex(unsigned char from, unsigned char to, int cel) {
    replaceColorIndices(1, &from, &to, cel);
}

void KvAnimation::replaceColorIndices(int n, const unsigned char* from, const unsigned char* to, int cel) {
    if (n <= 0 || !from || !to) return;
    if (!colorTable) {
        replaceCelColorIndices(n, from, to, cel);
        return;
    }
    // In order: later assignments see earlier ones.
    for (int i = 0; i < n; ++i) colorTable[from[i]] = colorTable[to[i]];
    KvCelLiterals::colorsChanged();
}

void KvAnimation::replaceCelColorIndices(int n, const unsigned char* from, const unsigned char* to, int cel) {
    if (n <= 0 || !from || !to || windowDepth() != 8) return;
    IndexMap map = identity();
    // The first pair that names an index wins.
    for (int i = n - 1; i >= 0; --i) map[from[i]] = to[i];
    for (unsigned char* pic : selectedPictures(cel)) KvCelRenderer::remapIndices(pic, map.data());
}

void KvAnimation::swapCelColors(unsigned char a, unsigned char b, int cel) {
    IndexMap map = identity();
    std::swap(map[a], map[b]);
    for (unsigned char* pic : selectedPictures(cel)) KvCelRenderer::remapIndices(pic, map.data());
}

void KvAnimation::replaceColor(int index, KvColor& color, bool redraw) {
    replaceColors(index, 1, &color, redraw);
}

void KvAnimation::replaceColors(int first, int count, KvColor* colors, bool redraw) {
    if (!colorTable || !colors || first < 0 || count <= 0 || first > kAOPaletteEntries - count) return;
    const bool doubled = windowDepth() == 16;
    for (int i = 0; i < count; ++i) {
        const uint32_t pixel = static_cast<uint32_t>(createColor(colors[i]));
        colorTable[first + i] = doubled ? pixel | pixel << 16 : pixel;
    }
    KvCelLiterals::colorsChanged();
    if (redraw) trInvalidate();
}

void KvAnimation::getColor(int index, KvColor& color) {
    color = KvColor(0, 0, 0);
    getColors(index, 1, &color);
}

void KvAnimation::getColors(int first, int count, KvColor* colors) {
    const KvPixelFormat* f = windowFormat();
    if (!f || f->depth <= 8 || !colorTable || !colors || first < 0 || count <= 0 || first > kAOPaletteEntries - count)
        return;
    for (int i = 0; i < count; ++i) {
        // 16-bit entries hold the pixel twice; its low half is the pixel.
        const uint32_t e = f->depth == 16 ? colorTable[first + i] & 0xFFFF : colorTable[first + i];
        colors[i].set(component(e, f->masks[0], f->bits[0], f->shifts[0]),
                      component(e, f->masks[1], f->bits[1], f->shifts[1]),
                      component(e, f->masks[2], f->bits[2], f->shifts[2]));
    }
}
