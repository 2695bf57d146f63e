// PNG images saved and read back: indexed images keep their indices, palette
// and entry alpha; RGBA images keep every byte; images whose sizes do not
// match their pixels are not saved, and a pixel limit refuses large images,
// as does a header claiming more rows than its file could hold.
#include "framework/KvPng.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

KvPngImage image(bool indexed, std::vector<uint8_t> alpha = {}) {
    KvPngImage png;
    png.width = 7, png.height = 5, png.indexed = indexed;
    for (int p = 0; p < png.width * png.height; ++p) {
        if (indexed) png.indices.push_back(static_cast<uint8_t>(p % 3));
        for (int c = 0; c < 4 && !indexed; ++c) png.rgba.push_back(static_cast<uint8_t>(p * 13 + c * 71));
    }
    if (indexed) {
        png.palette = {KvColor::fromBytes(1, 2, 3), KvColor::fromBytes(200, 100, 50), KvColor::fromBytes(9, 9, 9)};
        png.paletteAlpha = alpha;
    }
    return png;
}

// A scratch file of its own for each test.
class KvPng : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path); }
    const std::string path =
        (std::filesystem::temp_directory_path() / ("kvpng-test-" + std::to_string(std::random_device{}()) + ".png")).string();
};

TEST_F(KvPng, ImagesReadBackAsSaved) {
    // Entry alpha: one transparent entry, every entry translucent, all opaque.
    const std::vector<uint8_t> alphas[] = {{0, 255, 255}, {0, 128, 7}, {255, 255, 255}, {}};
    for (const std::vector<uint8_t>& alpha : alphas) {
        const bool indexed = !alpha.empty();
        const KvPngImage saved = image(indexed, alpha);
        ASSERT_TRUE(KvSavePng(saved, path.c_str()));
        KvPngImage read;
        ASSERT_TRUE(KvLoadPng(path.c_str(), read));
        EXPECT_TRUE(read.indexed == indexed && read.width == saved.width && read.height == saved.height);
        if (indexed) {
            EXPECT_EQ(read.indices, saved.indices);
            EXPECT_EQ(read.paletteAlpha, saved.paletteAlpha);
            ASSERT_EQ(read.palette.size(), saved.palette.size());
            for (size_t i = 0; i < saved.palette.size(); ++i) EXPECT_EQ(read.palette[i].g8(), saved.palette[i].g8());
        } else {
            EXPECT_EQ(read.rgba, saved.rgba);
        }
        std::string why;
        EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why, 34));
        EXPECT_EQ(why, "the image's 35 pixels are more than 34");
    }
    KvPngImage wrong = image(false);
    wrong.rgba.pop_back();
    EXPECT_FALSE(KvSavePng(wrong, path.c_str()));
}

// The first bytes of the corpus seed: a 16000x16000 RGBA header and a few
// bytes of data, which would take a gigabyte if the pixels were allocated.
TEST_F(KvPng, AHeaderLargerThanItsFileCouldHoldIsRefusedBeforeAllocating) {
    std::filesystem::copy_file(QRN_TEST_DATA "/../fuzz/corpus/png/big-header-short-data.png", path);
    KvPngImage read;
    std::string why;
    EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why));
    EXPECT_EQ(why, "a 16000x16000 image cannot come from a file of " +
                       std::to_string(std::filesystem::file_size(path)) + " bytes");
    EXPECT_EQ(read.width, 0);
}

// A side past the canvas limit is refused on its own, however short the other.
TEST_F(KvPng, ASideLongerThanACanvasIsRefusedWhateverTheOtherSide) {
    ASSERT_TRUE(KvSavePng(image(true, {255, 255, 255}), path.c_str()));
    std::vector<unsigned char> file;
    {
        std::ifstream in(path, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (const auto& [width, height] : {std::pair<uint32_t, uint32_t>{kKvMaxCanvasSide + 1, 1}, {1, kKvMaxCanvasSide + 1}}) {
        // The header chunk's width and height (big-endian at 16 and 20), then its CRC over bytes 12 to 28.
        for (int i = 0; i < 4; ++i) {
            file[16 + i] = static_cast<unsigned char>(width >> (24 - 8 * i));
            file[20 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
        }
        uint32_t crc = 0xFFFFFFFF;
        for (size_t i = 12; i < 29; ++i) {
            crc ^= file[i];
            for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        crc = ~crc;
        for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));
        KvPngImage read;
        std::string why;
        EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why));
        EXPECT_EQ(why, "the image is larger than " + std::to_string(kKvMaxCanvasSide) + " pixels a side") << width << " x " << height;
    }
}

}  // namespace
