// Compressed 15-bit backgrounds: the pixel converters, images round-tripped
// through liblzo2's compressor on every canvas format and row order, damaged
// streams, and the background inside a trinket window.
#include <cstring>
#include <random>

#include "background/Background16.h"
#include "background/Convert555.h"
#include "framework/KvWndCanvas.h"
#include "tests/background/BackgroundTestSupport.h"
#include "trinket/KvTrinketWindow.h"

namespace {

// What a canvas of c's format holds for source word p: the 5-5-5 canvas keeps
// the word itself (bit 15 too); the others widen each channel with ones below.
uint32_t expectedPixel(const KvCanvas& c, uint16_t p) {
    const unsigned r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    switch (c.getFormat()) {
    case kKvFormat555: return p;
    case kKvFormat565: return r << 11 | ((g << 1) | 1) << 5 | b;
    case kKvFormat888:
    case kKvFormat8888: return ((r << 3) | 7) << 16 | ((g << 3) | 7) << 8 | ((b << 3) | 7);
    default: return c.mapColor(KvPixelFormat::forDepth(15).unpack(p & 0x7FFF));
    }
}

// Whether c holds pixels (row after row, w wide) as its format stores them,
// looking at every step-th one.
::testing::AssertionResult holds(const KvCanvas& c, int w, const std::vector<uint16_t>& pixels, int step = 1) {
    for (size_t i = 0; i < pixels.size(); i += step) {
        const uint32_t got = c.getPixel(int(i) % w, int(i) / w), want = expectedPixel(c, pixels[i]);
        if (got != want) return ::testing::AssertionFailure() << "pixel " << i << " is " << got << ", not " << want;
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint16_t> randomPixels(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint16_t> pixels(count);
    for (uint16_t& p : pixels) p = static_cast<uint16_t>(rng());
    return pixels;
}

// The bytes of the canvas's first memory row.
std::vector<unsigned char> firstRow(KvCanvas* c) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    EXPECT_TRUE(c->getPointerToMemory(&bits, &pitch));
    std::vector<unsigned char> row(bits, bits + pitch);
    c->releasePointerToMemory();
    return row;
}

bool allBlack(const KvCanvas& c) {
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x)
            if (c.getPixel(x, y) != c.mapColor(KvColor(0, 0, 0))) return false;
    return true;
}

}  // namespace

// ---- the converters ----

TEST(Convert555, ChannelsWidenWithOnesAndNarrowByCutting) {
    using convert555::widen;
    EXPECT_EQ(widen(0x1F, 8), 0xFFu);
    EXPECT_EQ(widen(0, 8), 0x07u);
    EXPECT_EQ(widen(1, 6), 0x03u);
    EXPECT_EQ(widen(0x15, 5), 0x15u);
    EXPECT_EQ(widen(0x1F, 4), 0x0Fu);
    EXPECT_EQ(widen(0x10, 3), 0x04u);
}

TEST(Convert555, ArbitraryFormatsUseTheirOwnBitsAndShifts) {
    // 4-4-4 in bits 11-8, 7-4, 3-0, and 6-6-4 in bits 10-15, 4-9, 0-3.
    const std::vector<unsigned char> src = bigEndianWords({0x7FFF, 0x4210});
    unsigned char out[4];
    ASSERT_TRUE(convert555::convert(src.data(), out, 2, 1, 4, 0,
                                    convert555::ToArbitrary16{{4, 4, 4}, {8, 4, 0}}));
    EXPECT_EQ(out[0] | out[1] << 8, 0x0FFF);
    EXPECT_EQ(out[2] | out[3] << 8, 0x0888);
    ASSERT_TRUE(convert555::convert(src.data(), out, 2, 1, 4, 0,
                                    convert555::ToArbitrary16{{6, 6, 4}, {10, 4, 0}}));
    EXPECT_EQ(out[0] | out[1] << 8, 0xFFFF);
    EXPECT_EQ(out[2] | out[3] << 8, (0x21 << 10) | (0x21 << 4) | 0x8);
}

// Every source word, bit 15 set or not, in rows that end in a part chunk:
// each channel is widen()'s, in the format's place.
TEST(Convert555, TheFixedFormatsWidenEveryWordByChannel) {
    constexpr int kWidth = 300, kWords = 1 << 16, kHeight = kWords / kWidth + 1;
    std::vector<uint16_t> words(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i % kWords);
    const std::vector<unsigned char> src = bigEndianWords(words);
    std::vector<unsigned char> out16(2 * words.size()), out32(4 * words.size());
    ASSERT_TRUE(convert555::convert(src.data(), out16.data(), kWidth, kHeight, 2 * kWidth, 0,
                                    convert555::To565{}));
    ASSERT_TRUE(convert555::convert(src.data(), out32.data(), kWidth, kHeight, 4 * kWidth, 0,
                                    convert555::To8888{}));
    using convert555::widen;
    for (size_t i = 0; i < words.size(); ++i) {
        const unsigned r = words[i] >> 10 & 31, g = words[i] >> 5 & 31, b = words[i] & 31;
        uint16_t p16;
        uint32_t p32;
        std::memcpy(&p16, &out16[2 * i], sizeof p16);  // canvas pixels are in host order
        std::memcpy(&p32, &out32[4 * i], sizeof p32);
        ASSERT_EQ(p16, r << 11 | widen(g, 6) << 5 | b) << "word " << words[i];
        ASSERT_EQ(p32, widen(r, 8) << 16 | widen(g, 8) << 8 | widen(b, 8)) << "word " << words[i];
    }
}

// Padded rows go one at a time, each ending in a part chunk (275 = 256 + 2 x 8 + 3,
// and 7 with no whole group); the padding after every row stays as it was.
TEST(Convert555, PaddedRowsConvertEveryPixelAndLeavePaddingAlone) {
    struct Case {
        int width, height, padding;
    };
    for (const Case& k : {Case{275, 4, 6}, Case{7, 3, 2}}) {
        const std::vector<uint16_t> words = randomPixels(k.width * k.height, 66);
        const std::vector<unsigned char> src = bigEndianWords(words);
        for (int bytes : {2, 4}) {
            SCOPED_TRACE(testing::Message() << "width " << k.width << ", " << bytes << " bytes");
            const int pitch = k.width * bytes + k.padding;
            std::vector<unsigned char> out(size_t(pitch) * k.height, 0xAB);
            ASSERT_TRUE(bytes == 2 ? convert555::convert(src.data(), out.data(), k.width, k.height, pitch,
                                                         k.padding, convert555::To565{})
                                   : convert555::convert(src.data(), out.data(), k.width, k.height, pitch,
                                                         k.padding, convert555::To8888{}));
            for (int y = 0; y < k.height; ++y) {
                const unsigned char* row = &out[size_t(y) * pitch];
                for (int x = 0; x < k.width; ++x) {
                    const uint16_t w = words[size_t(y) * k.width + x];
                    uint32_t got = 0;
                    std::memcpy(&got, row + x * bytes, bytes);
                    ASSERT_EQ(got, bytes == 2 ? convert555::To565::pixel(w) : convert555::To8888::pixel(w))
                        << "x " << x << ", y " << y;
                }
                for (int i = 0; i < k.padding; ++i) ASSERT_EQ(row[k.width * bytes + i], 0xAB) << "y " << y;
            }
        }
    }
}

TEST(Convert555, APitchTooSmallForTheRowConvertsNothing) {
    const std::vector<unsigned char> src = bigEndianWords({0x7FFF, 0x7FFF});
    std::vector<unsigned char> out(8, 0xAB);
    EXPECT_FALSE(convert555::convert(src.data(), out.data(), 2, 1, 7, 0, convert555::To8888{}));
    EXPECT_FALSE(convert555::swapBytes(src.data(), out.data(), 2, 1, 3));
    EXPECT_EQ(out, std::vector<unsigned char>(8, 0xAB));
}

TEST(Convert555, SixteenBitConversionRunsInPlace) {
    std::vector<unsigned char> buffer = bigEndianWords({0x7FFF, 0x0000, 0x0421});
    ASSERT_TRUE(convert555::convert(buffer.data(), buffer.data(), 3, 1, 6, 0, convert555::To565{}));
    EXPECT_EQ(buffer, (std::vector<unsigned char>{0xFF, 0xFF, 0x20, 0x00, 0x61, 0x08}));
}

// ---- decoding into the display's format ----

class Background16Decode : public BackgroundTest {
protected:
    void TearDown() override {
        Background16::setBottomUpCanvases(false);
        BackgroundTest::TearDown();
    }
    std::unique_ptr<Background16> load(int depth, const std::vector<unsigned char>& file) {
        EXPECT_TRUE(backend.setDisplayDepth(depth));
        return std::make_unique<Background16>(streamOf(file));
    }
};

TEST_F(Background16Decode, TwoPixelImageBytesOnEachDirectFormat) {
    const std::vector<unsigned char> file = makeImage(2, 1, {0x7FFF, 0x0000});
    struct Case {
        int depth;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {15, {0xFF, 0x7F, 0x00, 0x00}},
        {16, {0xFF, 0xFF, 0x20, 0x00}},
        {24, {0xFF, 0xFF, 0xFF, 0x07, 0x07, 0x07}},
        {32, {0xFF, 0xFF, 0xFF, 0x00, 0x07, 0x07, 0x07, 0x00}},
    };
    for (const Case& c : cases) {
        auto bg = load(c.depth, file);
        ASSERT_NE(bg->bkGetCanvas(), nullptr) << c.depth;
        std::vector<unsigned char> row = firstRow(bg->bkGetCanvas());
        row.resize(c.bytes.size());
        EXPECT_EQ(row, c.bytes) << "depth " << c.depth;
    }
    EXPECT_TRUE(backend.messages.empty());
}

// Every canvas format, both row orders, sizes with and without row padding,
// rows shorter and longer than the converters' chunk.
TEST_F(Background16Decode, RoundTripsOnEveryFormatAndRowOrder) {
    const int sizes[][2] = {{1, 1}, {2, 1}, {3, 2}, {7, 5}, {64, 3}, {33, 17}, {601, 3}};
    for (bool bottomUp : {false, true}) {
        Background16::setBottomUpCanvases(bottomUp);
        for (int depth : {8, 15, 16, 24, 32})
            for (const auto& s : sizes) {
                const std::vector<uint16_t> pixels = randomPixels(s[0] * s[1], depth * 100 + s[0]);
                auto bg = load(depth, makeImage(s[0], s[1], pixels));
                const KvCanvas* c = bg->bkGetCanvas();
                ASSERT_NE(c, nullptr);
                ASSERT_EQ(c->isTopDown(), !bottomUp);
                ASSERT_EQ(c->getWidth(), s[0]);
                ASSERT_TRUE(holds(*c, s[0], pixels))
                    << "depth " << depth << (bottomUp ? " bottom-up " : " top-down ") << s[0] << "x" << s[1];
            }
    }
    EXPECT_TRUE(backend.messages.empty());
}

// Data beyond the pixels, within the last row's padding (decoded in place) or past it (through a buffer).
TEST_F(Background16Decode, UncompressedSizeLargerThanThePixels) {
    const std::vector<uint16_t> pixels = randomPixels(15, 9);
    for (size_t extra : {size_t(2), size_t(4096)}) {
        std::vector<unsigned char> raw = bigEndianWords(pixels);
        raw.resize(raw.size() + extra, 0x5A);
        auto bg = load(16, makeFile(3, 5, raw));
        EXPECT_TRUE(holds(*bg->bkGetCanvas(), 3, pixels)) << "extra " << extra;
    }
    EXPECT_TRUE(backend.messages.empty());
}

// ---- damaged streams ----

TEST_F(Background16Decode, DamagedStreamsShowBlackAndAreReportedOnce) {
    const std::vector<unsigned char> raw = bigEndianWords(randomPixels(40 * 30, 4));
    const std::vector<unsigned char> good = makeFile(40, 30, raw);
    const size_t packed = good.size() - 32;
    struct Case {
        const char* what;
        std::vector<unsigned char> file;
        bool canvas;               // the header is sound enough to size a canvas
        const char* says = nullptr;  // what the message tells, when it is pinned down
    };
    std::vector<Case> cases;
    auto mutate = [&](const char* what, bool canvas, auto change) {
        std::vector<unsigned char> f = good;
        change(f);
        cases.push_back({what, f, canvas});
    };
    mutate("stream cut short of its data", true, [](auto& f) { f.resize(f.size() - 10); });
    mutate("data cut short, header agreeing", true, [&](auto& f) {
        f.resize(f.size() - 10);
        poke32(f, 20, static_cast<uint32_t>(packed - 10));
    });
    mutate("garbage in place of the data", true, [](auto& f) {
        for (size_t i = 32; i < f.size(); ++i) f[i] = static_cast<unsigned char>(i * 37);
    });
    mutate("uncompressed size below width x height x 2", false, [](auto& f) { poke32(f, 16, 40 * 30 * 2 - 2); });
    mutate("uncompressed size past the allowed excess", false,
           [](auto& f) { poke32(f, 16, 40 * 30 * 2 + kB16MaxExtraBytes + 1); });
    {
        std::vector<unsigned char> rows = raw;
        rows.resize(40 * 29 * 2);
        cases.push_back({"data that end cleanly a row short", makeFile(40, 30, rows, 40 * 30 * 2), true,
                         "the compressed data hold 2320 bytes, the picture needs 2400"});
    }
    mutate("wider than any canvas", false, [](auto& f) { poke32(f, 4, kKvMaxCanvasSide + 1); });
    mutate("negative height", false, [](auto& f) { poke32(f, 8, 0xFFFFFFF0u); });
    mutate("zero width", false, [](auto& f) { poke32(f, 4, 0); });

    for (const Case& c : cases) {
        backend.messages.clear();
        auto bg = load(16, c.file);
        ASSERT_EQ(backend.messages.size(), 1u) << c.what;
        EXPECT_EQ(backend.messages[0].rfind(std::string(Background16::sDamagedImage) + ": ", 0), 0u)
            << c.what << ": " << backend.messages[0];
        if (c.says) {
            EXPECT_NE(backend.messages[0].find(c.says), std::string::npos) << c.what << ": " << backend.messages[0];
        }
        ASSERT_EQ(bg->bkGetCanvas() != nullptr, c.canvas) << c.what;
        if (c.canvas) {
            EXPECT_TRUE(allBlack(*bg->bkGetCanvas())) << c.what;
        }
    }
}

// The data are decoded up to their end marker whatever the result code: a
// compressed size that counts bytes after the marker or leaves some of it
// out, a garbled tail after the picture, data of more than the header's size.
TEST_F(Background16Decode, DecodesWhatTheDataHoldWhateverTheResultCode) {
    const std::vector<uint16_t> pixels = randomPixels(40 * 30, 4);
    const std::vector<unsigned char> raw = bigEndianWords(pixels);
    const std::vector<unsigned char> good = makeFile(40, 30, raw);
    const uint32_t packed = static_cast<uint32_t>(good.size() - 32);
    std::vector<std::pair<const char*, std::vector<unsigned char>>> cases;
    auto mutate = [&](const char* what, auto change) {
        std::vector<unsigned char> f = good;
        change(f);
        cases.emplace_back(what, f);
    };
    mutate("size counts bytes after the end marker", [&](auto& f) {
        f.insert(f.end(), {1, 2, 3, 4, 5});
        poke32(f, 20, packed + 5);
    });
    mutate("size counts bytes past the stream", [&](auto& f) { poke32(f, 20, packed + 5); });
    mutate("size leaves out end-marker bytes", [&](auto& f) { poke32(f, 20, packed - 3); });
    mutate("end marker garbled", [](auto& f) { f[f.size() - 3] = 0xFF; });
    mutate("uncompressed size above what the data give", [](auto& f) { poke32(f, 16, 40 * 30 * 2 + 8); });
    {
        std::vector<unsigned char> longer = raw;
        longer.resize(raw.size() + 64, 0x11);
        cases.emplace_back("data longer than the uncompressed size", makeFile(40, 30, longer, long(raw.size())));
    }
    for (const auto& [what, file] : cases) {
        backend.messages.clear();
        auto bg = load(16, file);
        EXPECT_TRUE(backend.messages.empty()) << what << ": " << (backend.messages.empty() ? "" : backend.messages[0]);
        ASSERT_NE(bg->bkGetCanvas(), nullptr) << what;
        EXPECT_TRUE(holds(*bg->bkGetCanvas(), 40, pixels, 7)) << what;
    }
}

// The hosts' form of draw takes the header alone.
TEST_F(Background16Decode, DrawTakesTheHeaderAlone) {
    auto bg = load(16, makeImage(2, 1, {0x0000, 0x0000}));
    std::vector<unsigned char> next = makeImage(2, 1, {0x7FFF, 0x0000});
    bg->draw(next.data());
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0), 0xFFFFu);
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(1, 0), 0x0020u);
    EXPECT_TRUE(backend.messages.empty());
}

// Whatever bytes of the data are damaged, the outcome is a whole picture or black with one message.
TEST_F(Background16Decode, RandomDamageNeverLeavesTheBuffers) {
    const std::vector<unsigned char> good = makeImage(24, 16, randomPixels(24 * 16, 8));
    std::mt19937 rng(77);
    int reported = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<unsigned char> f = good;
        const int hits = 1 + static_cast<int>(rng() % 4);
        for (int h = 0; h < hits; ++h) f[32 + rng() % (f.size() - 32)] = static_cast<unsigned char>(rng());
        backend.messages.clear();
        auto bg = load(round % 2 ? 32 : 16, f);
        ASSERT_LE(backend.messages.size(), 1u);
        if (!backend.messages.empty()) {
            ++reported;
            EXPECT_TRUE(allBlack(*bg->bkGetCanvas()));
        }
    }
    EXPECT_GT(reported, 0);
}

TEST_F(Background16Decode, DrawRefusesAHeaderThatIsNotThirtyTwo) {
    auto bg = load(16, makeImage(2, 1, {0x7FFF, 0x7FFF}));
    std::vector<unsigned char> other = makeImage(2, 1, {0, 0});
    poke32(other, 0, 33);
    bg->draw(other.data(), other.size());
    EXPECT_EQ(backend.messages, std::vector<std::string>{Background16::sBadHeader});
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0), 0xFFFFu);
    EXPECT_EQ(other[24] | other[25] << 8, 0x555);
}

TEST_F(Background16Decode, DrawSetsTheFormatWordAndDecodes) {
    auto bg = load(16, makeImage(2, 1, {0x7FFF, 0x7FFF}));
    std::vector<unsigned char> next = makeImage(2, 1, {0x0000, 0x7C00});
    bg->draw(next.data(), next.size());
    EXPECT_EQ(next[24] | next[25] << 8, 0x555);
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0), 0x0020u);
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(1, 0), 0xF820u);
}

TEST_F(Background16Decode, APictureOfAnotherSizeIsDamagedForThisCanvas) {
    auto bg = load(16, makeImage(2, 1, {0x7FFF, 0x7FFF}));
    bg->bkSetRes(streamOf(makeImage(1, 2, {0x7FFF, 0x7FFF})));
    EXPECT_EQ(backend.messages,
              std::vector<std::string>{std::string(Background16::sDamagedImage) + ": the picture is 1 x 2, the canvas 2 x 1"});
    EXPECT_TRUE(allBlack(*bg->bkGetCanvas()));
}

TEST_F(Background16Decode, DecompressTimeIsTheClockAroundTheFirstDecode) {
    backend.tickPerRead = 5;
    auto bg = load(16, makeImage(2, 1, {0, 0}));
    EXPECT_EQ(bg->getDecompressTime(), 5u);
    EXPECT_STREQ(bg->isA(), "Background16");
}

// ---- in a trinket window ----

TEST_F(Background16Decode, TheWindowShowsThePictureAndANewOne) {
    backend.setDisplayDepth(16);
    const std::vector<uint16_t> first = randomPixels(40 * 30, 1), second = randomPixels(40 * 30, 2);
    auto* bg = new Background16(streamOf(makeImage(40, 30, first)));
    KvTrinketWindow window(KvRect(0, 0, 40, 30), bg, 0, -1, -1, 16, 1, 0);
    app->pass();
    KvHeadlessWindow* screen = backend.windowOf(&window);
    auto showsImage = [&](const std::vector<uint16_t>& pixels) {
        for (int i = 0; i < 40 * 30; ++i)
            if (screen->screenPixel(i % 40, i / 40) != expectedPixel(screen->display(), pixels[i])) return false;
        return true;
    };
    EXPECT_TRUE(showsImage(first));
    bg->bkSetRes(streamOf(makeImage(40, 30, second)));
    window.twRefreshBackground();
    app->pass();
    EXPECT_TRUE(showsImage(second));
}

TEST_F(Background16Decode, WithoutAStreamTheWindowShowsBlack) {
    backend.setDisplayDepth(16);
    KvTrinketWindow window(KvRect(0, 0, 20, 10), new Background16(nullptr), 0, -1, -1, 16, 1, 0);
    app->pass();
    EXPECT_TRUE(allBlack(backend.windowOf(&window)->display()));
    EXPECT_EQ(window.twGetBackground()->bkGetCanvas(), nullptr);
}
