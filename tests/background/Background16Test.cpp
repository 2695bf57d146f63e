// Compressed 15-bit backgrounds: the pixel converters, images round-tripped
// through liblzo2's compressor on every canvas format and row order, damaged
// streams, and the background inside a trinket window.
#include <array>
#include <cstring>
#include <fstream>
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


bool allBlack(const KvCanvas& c) {
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x)
            if (c.getPixel(x, y) != c.mapColor(KvColor(0, 0, 0))) return false;
    return true;
}

}  // namespace

// ---- the converters ----

TEST(Convert555, ChannelsWidenWithOnesAndNarrowByCutting) {
    const unsigned cases[][3] = {{0x1F, 8, 0xFF}, {0, 8, 0x07}, {1, 6, 0x03}, {0x15, 5, 0x15}, {0x1F, 4, 0x0F}, {0x10, 3, 0x04}};
    for (const auto& c : cases) EXPECT_EQ(convert555::widen(c[0], c[1]), c[2]) << c[0] << " to " << c[1] << " bits";
}

TEST(Convert555, ArbitraryFormatsUseTheirOwnBitsAndShifts) {
    // 4-4-4 in bits 11-8, 7-4, 3-0, and 6-6-4 in bits 10-15, 4-9, 0-3.
    const std::pair<convert555::ToArbitrary16, std::array<int, 2>> cases[] = {
        {{{4, 4, 4}, {8, 4, 0}}, {0x0FFF, 0x0888}}, {{{6, 6, 4}, {10, 4, 0}}, {0xFFFF, (0x21 << 10) | (0x21 << 4) | 0x8}}};
    const std::vector<unsigned char> src = bigEndianWords({0x7FFF, 0x4210});
    for (const auto& [format, want] : cases) {
        unsigned char out[4];
        ASSERT_TRUE(convert555::convert(src.data(), out, 2, 1, 4, 0, format));
        EXPECT_EQ((std::array<int, 2>{out[0] | out[1] << 8, out[2] | out[3] << 8}), want);
    }
}

// Padded rows go one at a time, each ending in a part chunk (275 = 256 + 2 x 8 + 3,
// and 7 with no whole group); the padding after every row stays as it was.
TEST(Convert555, PaddedRowsConvertEveryPixelAndLeavePaddingAlone) {
    for (const auto& [width, height, padding] : {std::array{275, 4, 6}, std::array{7, 3, 2}}) {
        const std::vector<uint16_t> words = randomPixels(width * height, 66);
        const std::vector<unsigned char> src = bigEndianWords(words);
        for (int bytes : {2, 4}) {
            SCOPED_TRACE(testing::Message() << "width " << width << ", " << bytes << " bytes");
            const int pitch = width * bytes + padding;
            std::vector<unsigned char> out(size_t(pitch) * height, 0xAB);
            ASSERT_TRUE(bytes == 2 ? convert555::convert(src.data(), out.data(), width, height, pitch, padding, convert555::To565{})
                                   : convert555::convert(src.data(), out.data(), width, height, pitch, padding, convert555::To8888{}));
            for (int i = 0; i < pitch * height; ++i) {
                const int x = i % pitch / bytes, y = i / pitch;
                if (x >= width) {
                    ASSERT_EQ(out[i], 0xAB) << "padding of row " << y;
                } else if (i % pitch % bytes == 0) {
                    const uint16_t w = words[size_t(y) * width + x];
                    uint32_t got = 0;
                    std::memcpy(&got, &out[i], bytes);
                    ASSERT_EQ(got, bytes == 2 ? convert555::To565::pixel(w) : convert555::To8888::pixel(w)) << x << ", " << y;
                }
            }
        }
    }
}

// A pitch too small for the row converts nothing; 16-bit conversion runs in place.
TEST(Convert555, APitchTooSmallConvertsNothingAndSixteenBitsRunInPlace) {
    std::vector<unsigned char> buffer = bigEndianWords({0x7FFF, 0x0000, 0x0421});
    std::vector<unsigned char> out(8, 0xAB);
    EXPECT_FALSE(convert555::convert(buffer.data(), out.data(), 2, 1, 7, 0, convert555::To8888{}));
    EXPECT_FALSE(convert555::swapBytes(buffer.data(), out.data(), 2, 1, 3));
    EXPECT_EQ(out, std::vector<unsigned char>(8, 0xAB));
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

// ---- damaged streams ----

// Each damaged stream shows black (no canvas at all when the header cannot
// size one) and is reported once; data that still decode up to their end
// marker, whatever the result code, show the picture without a word, and so
// do data beyond the pixels, within the last row's padding (decoded in place;
// 39 pixels of 16 bits leave 2 bytes) or past it (through a buffer).
// golden/damaged.expected holds what each case said.
TEST_F(Background16Decode, DamagedStreamsShowBlackAndAreReportedOnceUnlessTheDataStillDecode) {
    constexpr int kWidth = 39, kHeight = 30, kBytes = kWidth * kHeight * 2;
    const std::vector<uint16_t> pixels = randomPixels(kWidth * kHeight, 4);
    const std::vector<unsigned char> raw = bigEndianWords(pixels), good = makeFile(kWidth, kHeight, raw),
                                     rowShort(raw.begin(), raw.end() - kWidth * 2);
    const uint32_t packed = static_cast<uint32_t>(good.size() - 32);
    auto longer = [&](size_t extra, long header) {  // extra bytes after the pixels, and the header's size of them all
        std::vector<unsigned char> more = raw;
        more.resize(more.size() + extra, 0x5A);
        return makeFile(kWidth, kHeight, more, header);
    };
    enum { kGarbage = -1, kRowShort = -2, kGarbledMarker = -3, kLonger = -4, kExtra = -5 };  // in place of a header word
    enum Shown { kNothing, kBlack, kPicture };
    const struct {
        const char* what;
        int grow;  // bytes added to (or cut off) the end
        int word;  // the header word changed to value, from byte 4 on
        uint32_t value;
        Shown shown;
    } cases[] = {
        {"stream cut short of its data", -10, 0, 0, kBlack},
        {"data cut short, header agreeing", -10, 20, packed - 10, kBlack},
        {"garbage in place of the data", 0, kGarbage, 0, kBlack},
        {"uncompressed size below width x height x 2", 0, 16, kBytes - 2, kNothing},
        {"uncompressed size past the allowed excess", 0, 16, kBytes + kB16MaxExtraBytes + 1, kNothing},
        {"data that end cleanly a row short", 0, kRowShort, 0, kBlack},
        {"wider than any canvas", 0, 4, kKvMaxCanvasSide + 1, kNothing},
        {"negative height", 0, 8, 0xFFFFFFF0u, kNothing},
        {"zero width", 0, 4, 0, kNothing},
        {"size counts bytes after the end marker", 5, 20, packed + 5, kPicture},
        {"size counts bytes past the stream", 0, 20, packed + 5, kPicture},
        {"size leaves out end-marker bytes", 0, 20, packed - 3, kPicture},
        {"end marker garbled", 0, kGarbledMarker, 0, kPicture},
        {"uncompressed size above what the data give", 0, 16, kBytes + 8, kPicture},
        {"data longer than the uncompressed size", 0, kLonger, 64, kPicture},
        {"data two bytes past the pixels, in the padding", 0, kExtra, 2, kPicture},
        {"data 4096 bytes past the pixels", 0, kExtra, 4096, kPicture},
    };
    std::string said;
    for (const auto& c : cases) {
        std::vector<unsigned char> f = c.word == kRowShort ? makeFile(kWidth, kHeight, rowShort, kBytes)
                                       : c.word == kLonger ? longer(c.value, kBytes)
                                       : c.word == kExtra  ? longer(c.value, -1) : good;
        f.resize(f.size() + c.grow, 1);
        if (c.word > 0) poke32(f, c.word, c.value);
        for (size_t i = 32; c.word == kGarbage && i < f.size(); ++i) f[i] = static_cast<unsigned char>(i * 37);
        if (c.word == kGarbledMarker) f[f.size() - 3] = 0xFF;
        backend.messages.clear();
        auto bg = load(16, f);
        said += c.what + std::string(":");
        for (const std::string& m : backend.messages) said += " " + m;
        said += "\n";
        const KvCanvas* canvas = bg->bkGetCanvas();
        ASSERT_EQ(canvas != nullptr, c.shown != kNothing) << c.what;
        EXPECT_TRUE(!canvas || (c.shown == kBlack ? allBlack(*canvas) : holds(*canvas, kWidth, pixels, 7))) << c.what;
    }
    std::ifstream expected(std::string(QRN_TEST_DATA) + "/background/golden/damaged.expected", std::ios::binary);
    EXPECT_EQ(said, std::string(std::istreambuf_iterator<char>(expected), {}));
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

// draw writes the format word and decodes, with or without the length (the
// hosts' form takes the header alone), and refuses a header that is not 32;
// a picture of another size is damaged for the canvas it has.
TEST_F(Background16Decode, DrawSetsTheFormatWordAndDecodesAGoodHeader) {
    backend.tickPerRead = 5;
    auto bg = load(16, makeImage(2, 1, {0x7FFF, 0x7FFF}));
    EXPECT_EQ(bg->getDecompressTime(), 5u);  // the clock around the first decode
    std::vector<unsigned char> next = makeImage(2, 1, {0x0000, 0x7C00}), other = makeImage(2, 1, {0, 0});
    poke32(other, 0, 33);
    bg->draw(other.data(), other.size());
    EXPECT_EQ(backend.messages, std::vector<std::string>{Background16::sBadHeader});
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0), 0xFFFFu);
    bg->draw(next.data(), next.size());
    EXPECT_EQ(next[24] | next[25] << 8, 0x555);
    EXPECT_EQ(other[24] | other[25] << 8, 0x555);
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0) << 16 | bg->bkGetCanvas()->getPixel(1, 0), 0x0020F820u);
    next = makeImage(2, 1, {0x7FFF, 0x0000});
    bg->draw(next.data());
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(0, 0) << 16 | bg->bkGetCanvas()->getPixel(1, 0), 0xFFFF0020u);
    EXPECT_STREQ(bg->isA(), "Background16");
    backend.messages.clear();
    bg->bkSetRes(streamOf(makeImage(1, 2, {0x7FFF, 0x7FFF})));  // another size: damaged for this canvas
    EXPECT_EQ(backend.messages,
              std::vector<std::string>{std::string(Background16::sDamagedImage) + ": the picture is 1 x 2, the canvas 2 x 1"});
    EXPECT_TRUE(allBlack(*bg->bkGetCanvas()));
}

// ---- in a trinket window ----

// And without a stream, black.
TEST_F(Background16Decode, TheWindowShowsThePictureAndANewOne) {
    backend.setDisplayDepth(16);
    const std::vector<uint16_t> first = randomPixels(40 * 30, 1), second = randomPixels(40 * 30, 2);
    auto* bg = new Background16(streamOf(makeImage(40, 30, first)));
    KvTrinketWindow window(KvRect(0, 0, 40, 30), bg, 0, -1, -1, 16, 1, 0), empty(KvRect(0, 0, 20, 10), new Background16(nullptr), 0, -1, -1, 16, 1, 0);
    app->pass();
    KvHeadlessWindow* screen = backend.windowOf(&window);
    EXPECT_TRUE(holds(screen->display(), 40, first));
    EXPECT_TRUE(allBlack(backend.windowOf(&empty)->display()));
    EXPECT_EQ(empty.twGetBackground()->bkGetCanvas(), nullptr);
    bg->bkSetRes(streamOf(makeImage(40, 30, second)));
    window.twRefreshBackground();
    app->pass();
    EXPECT_TRUE(holds(screen->display(), 40, second));
}
