// Reads the window dumps that xwd writes, for comparing what an X window
// shows with the canvas it was made from. Only what xwd writes for a
// TrueColor window is read: a Z pixmap of 24 or 32 bits a pixel, with
// channel masks. The header's numbers are big-endian; the pixels are in the
// byte order the header names.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct XwdImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB a pixel, rows top first

    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }

    // False, with why, for anything this reader does not take.
    bool load(const std::string& path, std::string& why) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // n bytes at o as one number, the first byte the most significant or the least.
        auto number = [&d](uint64_t o, int n, bool msbFirst) {
            uint32_t v = 0;
            for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(d[o + i]) << 8 * (msbFirst ? n - 1 - i : i);
            return v;
        };
        auto card = [&](int i) { return number(4 * i, 4, true); };
        if (d.size() < 100) return why = "shorter than a header", false;
        const uint32_t bpp = card(11), bytesPerLine = card(12), masks[3] = {card(14), card(15), card(16)};
        width = static_cast<int>(card(4)), height = static_cast<int>(card(5));
        if (card(1) != 7 || card(2) != 2 || (bpp != 32 && bpp != 24)) return why = "not a 24/32-bit Z pixmap", false;
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return why = "bad size", false;
        const uint64_t pixels = uint64_t{card(0)} + uint64_t{card(19)} * 12;  // past the header and the colour map
        if (bytesPerLine < uint64_t{bpp} / 8 * width || pixels + uint64_t{bytesPerLine} * height > d.size())
            return why = "pixels missing", false;
        rgb.assign(static_cast<size_t>(width) * height, 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t v = number(pixels + uint64_t{bytesPerLine} * y + bpp / 8 * x, bpp / 8, card(7) != 0);
                uint32_t& out = rgb[static_cast<size_t>(y) * width + x];
                for (const uint32_t m : masks) out = out << 8 | (m ? (v & m) / (m & -m) & 0xFF : 0);
            }
        return true;
    }
};
