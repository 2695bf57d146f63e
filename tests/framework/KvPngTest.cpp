// PNG images saved and read back: indexed images keep their indices, palette
// and entry alpha; RGBA images keep every byte; images whose sizes do not
// match their pixels are not saved, and a pixel limit refuses large images,
// as does a header claiming more rows than its file could hold.
#include "framework/KvPng.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

KvPngImage image(bool indexed, bool withAlpha) {
    KvPngImage png;
    png.width = 7, png.height = 5, png.indexed = indexed;
    for (int p = 0; p < png.width * png.height; ++p) {
        if (indexed) png.indices.push_back(static_cast<uint8_t>(p % 3));
        for (int c = 0; c < 4 && !indexed; ++c) png.rgba.push_back(static_cast<uint8_t>(p * 13 + c * 71));
    }
    if (indexed) {
        png.palette = {KvColor::fromBytes(1, 2, 3), KvColor::fromBytes(200, 100, 50), KvColor::fromBytes(9, 9, 9)};
        png.paletteAlpha = {withAlpha ? uint8_t{0} : uint8_t{255}, 255, 255};
    }
    return png;
}

TEST(KvPng, ImagesReadBackAsSaved) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("kvpng-test-" + std::to_string(std::random_device{}()) + ".png")).string();
    for (const auto& [indexed, withAlpha] : {std::pair{true, true}, {true, false}, {false, false}}) {
        const KvPngImage saved = image(indexed, withAlpha);
        ASSERT_TRUE(KvSavePng(saved, path.c_str()));
        KvPngImage read;
        ASSERT_TRUE(KvLoadPng(path.c_str(), read));
        EXPECT_EQ(read.indexed, indexed);
        EXPECT_EQ(read.width, saved.width);
        EXPECT_EQ(read.height, saved.height);
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
    KvPngImage wrong = image(false, false);
    wrong.rgba.pop_back();
    EXPECT_FALSE(KvSavePng(wrong, path.c_str()));
    std::filesystem::remove(path);
}

// The first bytes of the corpus seed: a 16000x16000 RGBA header and a few
// bytes of data, which would take a gigabyte if the pixels were allocated.
TEST(KvPng, AHeaderLargerThanItsFileCouldHoldIsRefusedBeforeAllocating) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("kvpng-test-" + std::to_string(std::random_device{}()) + ".png")).string();
    std::filesystem::copy_file(QRN_TEST_DATA "/../fuzz/corpus/png/big-header-short-data.png", path);
    KvPngImage read;
    std::string why;
    EXPECT_FALSE(KvLoadPng(path.c_str(), read, &why));
    EXPECT_EQ(why, "a 16000x16000 image cannot come from a file of " +
                       std::to_string(std::filesystem::file_size(path)) + " bytes");
    EXPECT_EQ(read.width, 0);
    std::filesystem::remove(path);
}

}  // namespace
