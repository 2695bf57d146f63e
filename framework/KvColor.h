// An RGB colour with 16-bit components. A byte value b is stored as b * 256,
// so the high byte of each component is the 8-bit channel.
#pragma once

#include <cstdint>

struct KvColor {
    unsigned short red = 0;
    unsigned short green = 0;
    unsigned short blue = 0;

    constexpr KvColor() = default;
    constexpr KvColor(unsigned short r, unsigned short g, unsigned short b)
        : red(r), green(g), blue(b) {}
    static constexpr KvColor fromBytes(uint8_t r, uint8_t g, uint8_t b) {
        return KvColor(static_cast<unsigned short>(r << 8), static_cast<unsigned short>(g << 8),
                       static_cast<unsigned short>(b << 8));
    }

    void set(unsigned short r, unsigned short g, unsigned short b) { red = r, green = g, blue = b; }
    constexpr uint8_t r8() const { return static_cast<uint8_t>(red >> 8); }
    constexpr uint8_t g8() const { return static_cast<uint8_t>(green >> 8); }
    constexpr uint8_t b8() const { return static_cast<uint8_t>(blue >> 8); }
    constexpr bool operator==(const KvColor&) const = default;
};
