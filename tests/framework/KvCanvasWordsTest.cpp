// A canvas area as words holds, for every pixel, the colour the canvas says
// that pixel has, at every depth, whatever the area.
#include "framework/KvCanvasWords.h"

#include <gtest/gtest.h>

#include <random>

TEST(KvCanvasWords, EachWordIsThePixelsColour) {
    std::mt19937 random(11);
    KvCanvasWords words;  // one converter for every depth: its table follows the format
    for (int depth : {16, 8, 15, 24, 32, 16}) {
        KvMemCanvas canvas(23, 17, depth);
        ASSERT_TRUE(canvas.isValid()) << depth;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x) canvas.setPixel(x, y, random());
        const KvRect area(3, 2, 21, 15);
        unsigned char* bits = nullptr;
        int pitch = 0;
        ASSERT_TRUE(canvas.getPointerToMemory(&bits, &pitch));
        std::vector<uint32_t> out;
        words.convert(canvas, bits, pitch, area, out);
        canvas.releasePointerToMemory();
        ASSERT_EQ(out.size(), static_cast<size_t>(area.width() * area.height()));
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const KvColor c = canvas.getPixelColor(x, y);
                const uint32_t expected = (c.red >> 8) << 16 | (c.green >> 8) << 8 | (c.blue >> 8);
                ASSERT_EQ(out[static_cast<size_t>((y - area.top) * area.width() + x - area.left)], expected)
                    << "depth " << depth << " at " << x << "," << y;
            }
    }
}
