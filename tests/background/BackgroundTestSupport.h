// Fixtures for the background tests: a headless backend that keeps the
// user's messages, and compressed 15-bit images made with liblzo2's own
// compressor.
#pragma once

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvCursor.h"
#include "framework/KvEvent.h"
#include "framework/KvIStream.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "tests/framework/HeadlessFixture.h"

class MessageBackend : public KvHeadlessBackend {
public:
    void userMessage(const char* text) override { messages.emplace_back(text); }
    // Each reading of the clock moves it on by tickPerRead ms.
    unsigned long milliSeconds() override {
        const unsigned long t = KvHeadlessBackend::milliSeconds() + reads * tickPerRead;
        ++reads;
        return t;
    }
    std::vector<std::string> messages;
    unsigned long tickPerRead = 0;
    unsigned long reads = 0;
};

using BackgroundTest = HeadlessTestWith<MessageBackend>;

// Pixels as the file stores them: 16-bit words, big-endian.
inline std::vector<unsigned char> bigEndianWords(const std::vector<uint16_t>& pixels) {
    std::vector<unsigned char> out;
    for (uint16_t p : pixels) {
        out.push_back(static_cast<unsigned char>(p >> 8));
        out.push_back(static_cast<unsigned char>(p));
    }
    return out;
}

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

inline void putWord(std::vector<unsigned char>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A complete file: the header, then the data compressed. raw defaults to the
// pixels; uncompressed defaults to raw's size.
inline std::vector<unsigned char> makeFile(uint32_t width, uint32_t height,
                                           const std::vector<unsigned char>& raw,
                                           long uncompressed = -1) {
    const std::vector<unsigned char> packed = lzoCompress(raw);
    std::vector<unsigned char> file(32 + packed.size(), 0);
    putWord(file, 0, 32);
    putWord(file, 4, width);
    putWord(file, 8, height);
    putWord(file, 16, uncompressed < 0 ? static_cast<uint32_t>(raw.size()) : static_cast<uint32_t>(uncompressed));
    putWord(file, 20, static_cast<uint32_t>(packed.size()));
    putWord(file, 24, 0x565);
    std::copy(packed.begin(), packed.end(), file.begin() + 32);
    return file;
}

inline std::vector<unsigned char> makeImage(uint32_t width, uint32_t height,
                                            const std::vector<uint16_t>& pixels) {
    return makeFile(width, height, bigEndianWords(pixels));
}

inline KvIStream* streamOf(const std::vector<unsigned char>& bytes) {
    return new KvIStreamMemory(bytes.data(), static_cast<long>(bytes.size()));
}
