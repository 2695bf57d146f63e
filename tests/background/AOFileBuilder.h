// Small AO files made in the tests: one sequence of frames over indexed cels.
// Layout: int16 sequence count, int16 cel count, uint8 frames per second,
// uint8 swap flag 0, 2 reserved bytes, uint16 flags, uint32 cel offsets, one
// 4-byte embedded XYZ record (zero), the sequence (int16 count, then 8-byte
// entries x, y, cel, param), then the cels: int16 type 0, width, height, and
// each row as literal runs (a count of 1 to 254, then that many indices).
#pragma once

#include <cstdint>
#include <vector>

struct TestCel {
    int width, height;
    std::vector<uint8_t> indices;  // row after row
};

struct TestEntry {
    int16_t x, y, cel;
    uint16_t param;
};

inline constexpr int16_t kTestAOLoop = -2;
inline constexpr int16_t kTestAOEnd = -1;

inline std::vector<unsigned char> aoFile(const std::vector<TestCel>& cels, std::vector<TestEntry> entries,
                                         int fps) {
    std::vector<unsigned char> f;
    auto put16 = [&f](int v) {
        f.push_back(static_cast<unsigned char>(v));
        f.push_back(static_cast<unsigned char>(v >> 8));
    };
    auto put32 = [&f](uint32_t v) {
        for (int i = 0; i < 4; ++i) f.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    std::vector<std::vector<unsigned char>> pictures;
    for (const TestCel& c : cels) {
        std::vector<unsigned char> p = {0, 0, static_cast<unsigned char>(c.width), static_cast<unsigned char>(c.width >> 8),
                                        static_cast<unsigned char>(c.height), static_cast<unsigned char>(c.height >> 8)};
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; x += 254) {
                const int n = c.width - x < 254 ? c.width - x : 254;
                p.push_back(static_cast<unsigned char>(n));
                for (int i = 0; i < n; ++i) p.push_back(c.indices[static_cast<size_t>(y) * c.width + x + i]);
            }
        pictures.push_back(p);
    }
    if (entries.empty() || entries.back().cel != kTestAOEnd) entries.push_back({0, 0, kTestAOEnd, 0});
    put16(1);
    put16(static_cast<int>(cels.size()));
    f.push_back(static_cast<unsigned char>(fps));
    f.push_back(0);
    put16(0);
    put16(0);
    uint32_t offset = 0;
    for (const auto& p : pictures) {
        put32(offset);
        offset += static_cast<uint32_t>(p.size());
    }
    put32(0);
    put16(static_cast<int>(entries.size()));
    for (const TestEntry& e : entries) {
        put16(e.x);
        put16(e.y);
        put16(e.cel);
        put16(e.param);
    }
    for (const auto& p : pictures) f.insert(f.end(), p.begin(), p.end());
    return f;
}

// A width x height cel whose pixel (x, y) has index (x + 3y + seed) % 256.
inline TestCel patternCel(int width, int height, int seed = 0) {
    TestCel c{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) c.indices.push_back(static_cast<uint8_t>(x + 3 * y + seed));
    return c;
}

// A one-colour cel.
inline TestCel solidCel(int width, int height, uint8_t index) {
    return TestCel{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height, index)};
}
