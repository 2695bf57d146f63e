// Bytes of the files the tests make in memory: 16- and 32-bit words in either
// byte order, and WAVE files whose chunks are written byte by byte, so a test
// can declare any length it likes, true or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvIStream.h"
#include "framework/KvWaveSound.h"

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, int v, bool big = false) {
    const auto lo = static_cast<unsigned char>(v), hi = static_cast<unsigned char>(v >> 8);
    b.push_back(big ? hi : lo);
    b.push_back(big ? lo : hi);
}
inline void put32(Bytes& b, uint32_t v, bool big = false) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> 8 * (big ? 3 - i : i)));
}
// A little-endian word written over the bytes at `at`.
inline void poke32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
// 16-bit words, big-endian.
inline Bytes bigEndianWords(const std::vector<uint16_t>& words) {
    Bytes out;
    for (uint16_t w : words) put16(out, w, true);
    return out;
}

// A stream over bytes the caller keeps alive.
inline KvIStream* streamOf(const Bytes& b) { return new KvIStreamMemory(b.data(), static_cast<long>(b.size())); }

namespace wave {

struct Chunk {
    std::string id;  // four characters
    Bytes body;
    int64_t declared = -1;  // the length written in the header; -1: the true length
    bool pad = true;        // write the pad byte after an odd body
};

inline Chunk fmt(int channels, int rate, int bits, int format = 1) {
    Chunk c{"fmt ", {}};
    const int align = channels * bits / 8;
    put16(c.body, format);
    put16(c.body, channels);
    put32(c.body, static_cast<uint32_t>(rate));
    put32(c.body, static_cast<uint32_t>(rate * align));
    put16(c.body, align);
    put16(c.body, bits);
    return c;
}

inline Chunk data16(const std::vector<int16_t>& samples) {
    Chunk c{"data", {}};
    for (int16_t s : samples) put16(c.body, s);
    return c;
}


// "RIFF" length "WAVE" chunks...; riffLength -1 writes the true length.
inline Bytes riff(const std::vector<Chunk>& chunks, int64_t riffLength = -1) {
    Bytes body;
    for (const Chunk& c : chunks) {
        body.insert(body.end(), c.id.begin(), c.id.end());
        put32(body, static_cast<uint32_t>(c.declared >= 0 ? c.declared : static_cast<int64_t>(c.body.size())));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.pad && (c.body.size() & 1)) body.push_back(0);
    }
    Bytes out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<uint32_t>(riffLength >= 0 ? riffLength : static_cast<int64_t>(body.size() + 4)));
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A 16-bit mono file of n frames all equal to value.
inline Bytes constant16(int rate, long n, int16_t value) {
    return riff({fmt(1, rate, 16), data16(std::vector<int16_t>(static_cast<size_t>(n), value))});
}

// A sound on mixer over the given file; the sound owns its stream.
inline KvWaveSound* sound(const Bytes& file, KvMixer* mixer) { return new KvWaveSound(streamOf(file), true, mixer); }

}  // namespace wave
