// Conversion of 15-bit image pixels to canvas pixels.
// Source: 16-bit big-endian words, bit 15 unused, red in bits 14-10, green
// 9-5, blue 4-0, width x height of them row after row with no padding.
// Destination: rows of width pixels in a canvas format, pitch bytes apart.
//
// Every loop reads a pixel before it writes it and walks front to back, and
// every output pixel is at least as wide as its input; so the output may
// start at or before the input in the same buffer (conversion in place)
// provided the output never passes input not yet read. A pitch too small for
// a row of output pixels converts nothing, so no write leaves the
// pitch x height bytes the caller owns.
#pragma once

#include <cstdint>
#include <cstring>

namespace convert555 {

inline constexpr int kChannelBits = 5;
inline constexpr unsigned kChannelMask = 0x1F;
inline constexpr int kRedShift = 10;
inline constexpr int kGreenShift = 5;
inline constexpr int kSourceBytes = 2;
// The widest channel a canvas format can describe.
inline constexpr int kMaxChannelBits = 16;

struct Rgb5 {
    unsigned r, g, b;
};

// One source pixel; bit 15 is ignored.
inline Rgb5 read(const unsigned char* p) {
    const unsigned v = (unsigned(p[0]) << 8) | p[1];
    return {(v >> kRedShift) & kChannelMask, (v >> kGreenShift) & kChannelMask, v & kChannelMask};
}

// A 5-bit channel as n bits: cut when n < 5, and for n > 5 widened one bit at
// a time with a one below (c = 2c + 1), so full intensity stays full.
constexpr unsigned widen(unsigned c5, int n) {
    if (n <= 0) return 0;
    if (n <= kChannelBits) return c5 >> (kChannelBits - n);
    if (n > kMaxChannelBits) n = kMaxChannelBits;
    unsigned c = c5;
    for (int i = kChannelBits; i < n; ++i) c = 2 * c + 1;
    return c;
}

inline void putLE16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// Output pixel encoders: kBytes wide, put() writes one pixel.
struct To565 {
    static constexpr int kBytes = 2;
    void put(unsigned char* out, Rgb5 c) const {
        putLE16(out, (c.r << 11) | (widen(c.g, 6) << 5) | c.b);
    }
};

struct To888 {
    static constexpr int kBytes = 3;
    void put(unsigned char* out, Rgb5 c) const {
        out[0] = static_cast<unsigned char>(widen(c.b, 8));
        out[1] = static_cast<unsigned char>(widen(c.g, 8));
        out[2] = static_cast<unsigned char>(widen(c.r, 8));
    }
};

struct To8888 {
    static constexpr int kBytes = 4;
    void put(unsigned char* out, Rgb5 c) const {
        out[0] = static_cast<unsigned char>(widen(c.b, 8));
        out[1] = static_cast<unsigned char>(widen(c.g, 8));
        out[2] = static_cast<unsigned char>(widen(c.r, 8));
        out[3] = 0;
    }
};

// Any 16-bit format given by its channels' bit counts and shifts (red, green, blue).
struct ToArbitrary16 {
    static constexpr int kBytes = 2;
    unsigned short bits[3];
    unsigned short shifts[3];
    void put(unsigned char* out, Rgb5 c) const {
        putLE16(out, (widen(c.r, bits[0]) << shifts[0]) + (widen(c.g, bits[1]) << shifts[1]) +
                         (widen(c.b, bits[2]) << shifts[2]));
    }
};

// Pixels read ahead into a local buffer at a time: the writes then cannot
// alias the reads, so the inner loop vectorises. Safe in place too, since no
// output pixel reaches the input of the pixel after it.
inline constexpr int kChunkPixels = 256;

// Converts width x height source pixels into rows pitch bytes apart; the
// bytes after each row's pixels (padding bytes, at most pitch - row bytes)
// are skipped. False, with nothing written, for a size or pitch that cannot hold the image.
template <typename Encoder>
bool convert(const unsigned char* src, unsigned char* dst, int width, int height, int pitch,
             long padding, const Encoder& enc) {
    const long rowBytes = static_cast<long>(width) * Encoder::kBytes;
    if (!src || !dst || width <= 0 || height <= 0 || padding < 0 || rowBytes + padding > pitch)
        return false;
    unsigned char chunk[kChunkPixels * kSourceBytes];
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; x += kChunkPixels) {
            const int n = width - x < kChunkPixels ? width - x : kChunkPixels;
            std::memcpy(chunk, src, static_cast<size_t>(n) * kSourceBytes);
            src += n * kSourceBytes;
            if (n == kChunkPixels) {
                // A constant count, which the compiler vectorises at any optimisation level.
                for (int i = 0; i < kChunkPixels; ++i)
                    enc.put(dst + i * Encoder::kBytes, read(chunk + i * kSourceBytes));
            } else {
                for (int i = 0; i < n; ++i) enc.put(dst + i * Encoder::kBytes, read(chunk + i * kSourceBytes));
            }
            dst += n * Encoder::kBytes;
        }
        if (y + 1 < height) dst += padding;
    }
    return true;
}

// The row padding the 16-bit converters skip: (pitch - 2 x width) / 2 x 2.
inline long padding16(int width, int pitch) {
    return (static_cast<long>(pitch) - 2L * width) / 2 * 2;
}

// The 5-5-5 canvas case: every word only has its two bytes exchanged, bit 15
// included. One run over the whole image when rows have no padding, else row
// by row.
inline bool swapBytes(const unsigned char* src, unsigned char* dst, int width, int height,
                      int pitch) {
    const long rowBytes = 2L * width;
    if (!src || !dst || width <= 0 || height <= 0 || rowBytes > pitch) return false;
    auto run = [](const unsigned char* s, unsigned char* d, long words) {
        for (long i = 0; i < words; ++i, s += 2, d += 2) {
            const unsigned char hi = s[0], lo = s[1];
            d[0] = lo;
            d[1] = hi;
        }
    };
    if (rowBytes == pitch) {
        run(src, dst, static_cast<long>(width) * height);
        return true;
    }
    for (int y = 0; y < height; ++y, src += rowBytes, dst += pitch) run(src, dst, width);
    return true;
}

}  // namespace convert555
