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

// Output pixel encoders: kBytes wide, put() writes one pixel, given as its
// channels or, for the fixed formats, as the source word.
// The two fixed formats build each pixel from the source word with shifts and
// masks alone and store it whole, which the compiler turns into vector code.

struct To565 {
    static constexpr int kBytes = 2;
    // Red and blue keep their place; green moves up one bit with a one below it.
    static uint16_t pixel(unsigned v) {
        return static_cast<uint16_t>(((v & 0x7C00) << 1) | ((v & 0x03E0) << 1) | 0x20 | (v & 0x1F));
    }
    void put(unsigned char* out, unsigned v) const {
        const uint16_t p = pixel(v);
        std::memcpy(out, &p, sizeof p);
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
    // Each channel c becomes 8c + 7 (widen to 8 bits) in bytes 0 (blue), 1, 2; byte 3 is 0.
    // The pixel is made and stored as two 16-bit halves, so that vector code
    // works on eight pixels at a time and only interleaves the halves at the end.
    static uint16_t low(unsigned v) {
        return static_cast<uint16_t>(((v & 0x03E0u) << 6) | ((v & 0x001Fu) << 3) | 0x0707u);
    }
    static uint16_t high(unsigned v) { return static_cast<uint16_t>(((v >> 7) & 0xF8u) | 0x07u); }
    static uint32_t pixel(unsigned v) { return uint32_t(high(v)) << 16 | low(v); }
    void put(unsigned char* out, unsigned v) const {
        const uint16_t lo = low(v), hi = high(v);
        std::memcpy(out, &lo, sizeof lo);
        std::memcpy(out + sizeof lo, &hi, sizeof hi);
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
// Pixels converted together in a chunk's last, partial stretch.
inline constexpr int kGroupPixels = 8;

// Whether an encoder takes the source word itself.
template <typename Encoder>
concept TakesWord = requires(const Encoder& e, unsigned char* out) { e.put(out, 0u); };

// The n pixels of a chunk. Words go in as the host reads them and are
// swapped in registers, so that the loop is plain element-wise arithmetic.
// Loops are vectorised only with a count known at compile time (at -O2),
// so a whole chunk is one loop and a partial one goes by groups of constant size.
template <typename Encoder>
inline void putChunk(const Encoder& enc, unsigned char* dst, const uint16_t* words, int n) {
    if constexpr (TakesWord<Encoder>) {
        auto swapped = [&](int i) { return unsigned(uint16_t(words[i] << 8 | words[i] >> 8)); };
        if (n == kChunkPixels) {
            for (int i = 0; i < kChunkPixels; ++i) enc.put(dst + i * Encoder::kBytes, swapped(i));
            return;
        }
        int i = 0;
        for (; i + kGroupPixels <= n; i += kGroupPixels)
            for (int j = i; j < i + kGroupPixels; ++j)
                enc.put(dst + j * Encoder::kBytes, swapped(j));
        for (; i < n; ++i) enc.put(dst + i * Encoder::kBytes, swapped(i));
    } else {
        const auto* bytes = reinterpret_cast<const unsigned char*>(words);
        for (int i = 0; i < n; ++i) enc.put(dst + i * Encoder::kBytes, read(bytes + i * kSourceBytes));
    }
}

// n pixels from src to dst, a chunk at a time.
template <typename Encoder>
inline void convertRun(const unsigned char* src, unsigned char* dst, long n, const Encoder& enc) {
    uint16_t chunk[kChunkPixels];
    long x = 0;
    for (; x + kChunkPixels <= n; x += kChunkPixels) {
        std::memcpy(chunk, src + x * kSourceBytes, sizeof chunk);
        putChunk(enc, dst + x * Encoder::kBytes, chunk, kChunkPixels);
    }
    if (x < n) {
        const int rest = static_cast<int>(n - x);
        std::memcpy(chunk, src + x * kSourceBytes, static_cast<size_t>(rest) * kSourceBytes);
        putChunk(enc, dst + x * Encoder::kBytes, chunk, rest);
    }
}

// Converts width x height source pixels into rows pitch bytes apart; the
// bytes after each row's pixels (padding bytes, at most pitch - row bytes)
// are skipped. Rows without padding between them are converted as one run.
// False, with nothing written, for a size or pitch that cannot hold the image.
template <typename Encoder>
bool convert(const unsigned char* src, unsigned char* dst, int width, int height, int pitch,
             long padding, const Encoder& enc) {
    const long rowBytes = static_cast<long>(width) * Encoder::kBytes;
    if (!src || !dst || width <= 0 || height <= 0 || padding < 0 || rowBytes + padding > pitch)
        return false;
    if (padding == 0) {
        convertRun(src, dst, static_cast<long>(width) * height, enc);
        return true;
    }
    for (int y = 0; y < height; ++y) {
        convertRun(src, dst, width, enc);
        src += static_cast<long>(width) * kSourceBytes;
        dst += rowBytes + padding;
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
