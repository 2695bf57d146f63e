// Compressed 15-bit images for the background tests, made with liblzo2's own
// compressor: a 32-byte header of little-endian words (header size, width,
// height, -, raw size, packed size, 0x565 format tag), then the packed data.
#pragma once

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "framework/KvIStream.h"
#include "tests/support/ByteWriter.h"
#include "tests/support/WindowFixture.h"

using BackgroundTest = WindowTest;

// LZO1X-1 compression of raw.
inline std::vector<unsigned char> lzoCompress(const std::vector<unsigned char>& raw) {
    EXPECT_EQ(lzo_init(), LZO_E_OK);
    std::vector<unsigned char> out(raw.size() + raw.size() / 16 + 64 + 3);
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint length = out.size();
    EXPECT_EQ(lzo1x_1_compress(raw.data(), raw.size(), out.data(), &length, work.data()), LZO_E_OK);
    out.resize(length);
    return out;
}

// A complete file: the header, then the data compressed. raw defaults to the
// pixels; uncompressed defaults to raw's size.
inline std::vector<unsigned char> makeFile(uint32_t width, uint32_t height,
                                           const std::vector<unsigned char>& raw,
                                           long uncompressed = -1) {
    const std::vector<unsigned char> packed = lzoCompress(raw);
    std::vector<unsigned char> file(32 + packed.size(), 0);
    poke32(file, 0, 32);
    poke32(file, 4, width);
    poke32(file, 8, height);
    poke32(file, 16, uncompressed < 0 ? static_cast<uint32_t>(raw.size()) : static_cast<uint32_t>(uncompressed));
    poke32(file, 20, static_cast<uint32_t>(packed.size()));
    poke32(file, 24, 0x565);
    std::copy(packed.begin(), packed.end(), file.begin() + 32);
    return file;
}

inline std::vector<unsigned char> makeImage(uint32_t width, uint32_t height,
                                            const std::vector<uint16_t>& pixels) {
    return makeFile(width, height, bigEndianWords(pixels));
}
