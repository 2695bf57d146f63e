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

// The bytes of the canvas's first memory row.
std::vector<unsigned char> firstRow(KvCanvas* c) {
    unsigned char* bits = nullptr;
    int pitch = 0;
    EXPECT_TRUE(c->getPointerToMemory(&bits, &pitch));
    std::vector<unsigned char> row(bits, bits + pitch);
    c->releasePointerToMemory();
    return row;
}

std::string golden(const char* name) {
    std::ifstream in(std::string(QRN_TEST_DATA) + "/background/golden/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

TEST_F(Background16Decode, TwoPixelImageBytesOnEachDirectFormat) {
    const std::vector<unsigned char> file = makeImage(2, 1, {0x7FFF, 0x0000});
    const std::pair<int, std::vector<unsigned char>> cases[] = {
        {15, {0xFF, 0x7F, 0x00, 0x00}}, {16, {0xFF, 0xFF, 0x20, 0x00}},
        {24, {0xFF, 0xFF, 0xFF, 0x07, 0x07, 0x07}}, {32, {0xFF, 0xFF, 0xFF, 0x00, 0x07, 0x07, 0x07, 0x00}}};
    for (const auto& [depth, bytes] : cases) {
        auto bg = load(depth, file);
        ASSERT_NE(bg->bkGetCanvas(), nullptr) << depth;
        std::vector<unsigned char> row = firstRow(bg->bkGetCanvas());
        row.resize(bytes.size());
        EXPECT_EQ(row, bytes) << "depth " << depth;
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

// Each damaged stream shows black (no canvas at all when the header cannot
// size one) and is reported once; golden/damaged.expected holds the messages.
TEST_F(Background16Decode, DamagedStreamsShowBlackAndAreReportedOnce) {
    const std::vector<unsigned char> raw = bigEndianWords(randomPixels(40 * 30, 4)), good = makeFile(40, 30, raw);
    const uint32_t packed = static_cast<uint32_t>(good.size() - 32);
    const std::vector<unsigned char> rowShort(raw.begin(), raw.begin() + 40 * 29 * 2);
    enum { kGarbage = -1, kRowShort = -2 };  // in place of a header word to change
    const struct {
        const char* what;
        size_t cut;  // bytes cut off the end
        int word;    // the header word changed to value, from byte 4 on
        uint32_t value;
        bool canvas;
    } cases[] = {
        {"stream cut short of its data", 10, 0, 0, true},
        {"data cut short, header agreeing", 10, 20, packed - 10, true},
        {"garbage in place of the data", 0, kGarbage, 0, true},
        {"uncompressed size below width x height x 2", 0, 16, 40 * 30 * 2 - 2, false},
        {"uncompressed size past the allowed excess", 0, 16, 40 * 30 * 2 + kB16MaxExtraBytes + 1, false},
        {"data that end cleanly a row short", 0, kRowShort, 0, true},
        {"wider than any canvas", 0, 4, kKvMaxCanvasSide + 1, false},
        {"negative height", 0, 8, 0xFFFFFFF0u, false},
        {"zero width", 0, 4, 0, false},
    };
    std::string said;
    for (const auto& c : cases) {
        std::vector<unsigned char> f = c.word == kRowShort ? makeFile(40, 30, rowShort, 40 * 30 * 2) : good;
        f.resize(f.size() - c.cut);
        if (c.word > 0) poke32(f, c.word, c.value);
        for (size_t i = 32; c.word == kGarbage && i < f.size(); ++i) f[i] = static_cast<unsigned char>(i * 37);
        backend.messages.clear();
        auto bg = load(16, f);
        ASSERT_EQ(backend.messages.size(), 1u) << c.what;
        said += std::string(c.what) + ": " + backend.messages[0] + "\n";
        ASSERT_EQ(bg->bkGetCanvas() != nullptr, c.canvas) << c.what;
        EXPECT_TRUE(!c.canvas || allBlack(*bg->bkGetCanvas())) << c.what;
    }
    EXPECT_EQ(said, golden("damaged.expected"));
}

// The data are decoded up to their end marker whatever the result code: a
// compressed size that counts bytes after the marker or leaves some of it
// out, a garbled tail after the picture, data of more than the header's size.
TEST_F(Background16Decode, DecodesWhatTheDataHoldWhateverTheResultCode) {
    const std::vector<uint16_t> pixels = randomPixels(40 * 30, 4);
    std::vector<unsigned char> raw = bigEndianWords(pixels);
    const std::vector<unsigned char> good = makeFile(40, 30, raw);
    const uint32_t packed = static_cast<uint32_t>(good.size() - 32);
    raw.resize(raw.size() + 64, 0x11);
    enum { kGarbledMarker = -1, kLonger = -2 };  // in place of a header word to change
    const struct {
        const char* what;
        size_t appended;  // bytes added after the data
        int word;         // the header word changed to value
        uint32_t value;
    } cases[] = {{"size counts bytes after the end marker", 5, 20, packed + 5},
                 {"size counts bytes past the stream", 0, 20, packed + 5},
                 {"size leaves out end-marker bytes", 0, 20, packed - 3},
                 {"end marker garbled", 0, kGarbledMarker, 0},
                 {"uncompressed size above what the data give", 0, 16, 40 * 30 * 2 + 8},
                 {"data longer than the uncompressed size", 0, kLonger, 0}};
    for (const auto& c : cases) {
        std::vector<unsigned char> f = c.word == kLonger ? makeFile(40, 30, raw, 40 * 30 * 2) : good;
        f.resize(f.size() + c.appended, 1);
        if (c.word > 0) poke32(f, c.word, c.value);
        if (c.word == kGarbledMarker) f[f.size() - 3] = 0xFF;
        backend.messages.clear();
        auto bg = load(16, f);
        EXPECT_EQ(backend.messages, std::vector<std::string>{}) << c.what;
        ASSERT_NE(bg->bkGetCanvas(), nullptr) << c.what;
        EXPECT_TRUE(holds(*bg->bkGetCanvas(), 40, pixels, 7)) << c.what;
    }
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
// hosts' form takes the header alone), and refuses a header that is not 32.
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
}

TEST_F(Background16Decode, APictureOfAnotherSizeIsDamagedForThisCanvas) {
    auto bg = load(16, makeImage(2, 1, {0x7FFF, 0x7FFF}));
    bg->bkSetRes(streamOf(makeImage(1, 2, {0x7FFF, 0x7FFF})));
    EXPECT_EQ(backend.messages,
              std::vector<std::string>{std::string(Background16::sDamagedImage) + ": the picture is 1 x 2, the canvas 2 x 1"});
    EXPECT_TRUE(allBlack(*bg->bkGetCanvas()));
}

// ---- in a trinket window ----

TEST_F(Background16Decode, TheWindowShowsThePictureAndANewOne) {
    backend.setDisplayDepth(16);
    const std::vector<uint16_t> first = randomPixels(40 * 30, 1), second = randomPixels(40 * 30, 2);
    auto* bg = new Background16(streamOf(makeImage(40, 30, first)));
    KvTrinketWindow window(KvRect(0, 0, 40, 30), bg, 0, -1, -1, 16, 1, 0);
    app->pass();
    KvHeadlessWindow* screen = backend.windowOf(&window);
    EXPECT_TRUE(holds(screen->display(), 40, first));
    bg->bkSetRes(streamOf(makeImage(40, 30, second)));
    window.twRefreshBackground();
    app->pass();
    EXPECT_TRUE(holds(screen->display(), 40, second));
}

TEST_F(Background16Decode, WithoutAStreamTheWindowShowsBlack) {
    backend.setDisplayDepth(16);
    KvTrinketWindow window(KvRect(0, 0, 20, 10), new Background16(nullptr), 0, -1, -1, 16, 1, 0);
    app->pass();
    EXPECT_TRUE(allBlack(backend.windowOf(&window)->display()));
    EXPECT_EQ(window.twGetBackground()->bkGetCanvas(), nullptr);
}
