// AO picture backgrounds: the picture painted once, restored into the
// window, stamped areas saved and put back exactly (nested, clipped), the
// AO path of Background16 for streams that are not images, and the
// example's pictures.
#include <filesystem>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "background/AOBackground.h"
#include "background/Background16.h"
#include "tests/support/AOBuilder.h"
#include "tests/background/BackgroundTestSupport.h"
#include "trinket/KvTrinketWindow.h"

namespace {

// On 16-bit canvases a colour table entry holds the pixel in both halves.
struct ColorTable {
    uint32_t entries[256];
    explicit ColorTable(const KvPixelFormat& f) {
        for (int i = 0; i < 256; ++i) {
            const uint32_t p = f.pack(KvColor::fromBytes(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)));
            entries[i] = p | p << 16;
        }
    }
    uint32_t pixel(int index) const { return entries[index] & 0xFFFF; }
};

// Every pixel of a canvas, for exact comparisons.
std::vector<uint32_t> pixelsOf(const KvCanvas& c) {
    std::vector<uint32_t> out;
    for (int y = 0; y < c.getHeight(); ++y)
        for (int x = 0; x < c.getWidth(); ++x) out.push_back(c.getPixel(x, y));
    return out;
}

void fill(KvCanvas* c, const KvRect& r, const KvColor& color) {
    c->fill = true;
    c->outline = false;
    c->fillColor = color;
    c->draw(r);
}

std::string examplePath(const char* name) {
    return (std::filesystem::path(QRN_TEST_DATA) / ".." / "examples" / "backdrop" / name).string();
}

}  // namespace

class AOBackgroundTest : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        KvCelRenderer::currentColorTable = table.entries;
    }
    void TearDown() override {
        KvCelRenderer::currentColorTable = nullptr;
        BackgroundTest::TearDown();
    }
    // The index the picture has at (x, y).
    static int patternAt(int x, int y) { return (x + 3 * y) & 0xFF; }
    // Whether the 30 x 20 top left of c holds the picture shifted left by shift, as the cel is (not mirrored).
    ::testing::AssertionResult holdsPattern(const KvCanvas& c, int shift = 0) const {
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                if (c.getPixel(x, y) != table.pixel(patternAt(x + shift, y)))
                    return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << c.getPixel(x, y);
        return ::testing::AssertionSuccess();
    }

    ColorTable table{KvPixelFormat::forDepth(16)};
    std::vector<unsigned char> picture = aotest::celsInTurn({aotest::pattern(30, 20)});
};

// AOBackground paints the first cel into a canvas of its rectangle;
// Background16 splashes a stream that is not an image at the picture's size.
TEST_F(AOBackgroundTest, PaintsTheFirstCelAndBackground16SplashesAStreamThatIsNotAnImage) {
    AOBackground bg(KvRect(0, 0, 40, 25), streamOf(picture));
    Background16 splashed(streamOf(picture));
    const KvCanvas *c = bg.bkGetCanvas(), *s = splashed.bkGetCanvas();
    ASSERT_TRUE(c && s);
    EXPECT_EQ(std::make_pair(c->getBounds(), s->getBounds()), std::make_pair(KvRect(0, 0, 40, 25), KvRect(0, 0, 30, 20)));
    EXPECT_EQ(c->getDepth(), 16);  // the framework can flip: the display's depth
    EXPECT_TRUE(holdsPattern(*c) && holdsPattern(*s));
    EXPECT_EQ(c->getPixel(35, 22), 0u);
    EXPECT_STREQ(bg.isA(), "AOBackground");
    EXPECT_TRUE(backend.messages.empty());
    splashed.bkSetRes(streamOf(aotest::celsInTurn({aotest::solid(30, 20, 77)})));
    EXPECT_EQ(s->getPixel(29, 19), table.pixel(77));
}

TEST_F(AOBackgroundTest, TheWindowShowsThePictureAndANewOneAfterARefresh) {
    auto* bg = new AOBackground(KvRect(0, 0, 30, 20), streamOf(picture));
    KvTrinketWindow window(KvRect(0, 0, 30, 20), bg, 0, -1, -1, 16, 1, 0);
    app->pass();
    KvHeadlessWindow* screen = backend.windowOf(&window);
    EXPECT_EQ(pixelsOf(screen->display()), pixelsOf(*bg->bkGetCanvas()));
    bg->bkSetRes(streamOf(aotest::celsInTurn({aotest::pattern(30, 20, 5)})));
    window.twRefreshBackground();
    app->pass();
    EXPECT_TRUE(holdsPattern(screen->display(), 5));
}

// Stamps come off exactly in reverse order; one that runs off the canvas saves
// only the inside, one wholly outside saves nothing but pairs with its pop.
TEST_F(AOBackgroundTest, StampsComeOffExactlyInReverseOrder) {
    AOBackground bg(KvRect(0, 0, 40, 25), streamOf(picture));
    KvMemCanvas* c = bg.bkGetCanvas();
    const std::vector<uint32_t> original = pixelsOf(*c);
    bg.bkPushStampRect(KvRect(5, 5, 20, 15));
    fill(c, KvRect(5, 5, 20, 15), KvColor::fromBytes(255, 0, 0));
    const std::vector<uint32_t> withA = pixelsOf(*c);
    bg.bkPushStampRect(KvRect(100, 100, 120, 120));
    bg.bkPushStampRect(KvRect(15, 10, 60, 40));
    fill(c, KvRect(15, 10, 60, 40), KvColor::fromBytes(0, 0, 255));
    EXPECT_EQ(bg.stampDepth(), 3);
    for (const std::vector<uint32_t>* after : {&withA, &withA, &original, &original}) {
        bg.bkPopStampRect();  // the last on an empty stack: nothing happens
        EXPECT_EQ(pixelsOf(*c), *after) << bg.stampDepth();
    }
}

TEST_F(AOBackgroundTest, WithoutFlippingTheCanvasIsIndexedAndTakesTheWindowPalette) {
    KvApp::bUsingDirectDraw = false;
    auto* bg = new AOBackground(KvRect(0, 0, 30, 20), streamOf(picture));
    KvApp::bUsingDirectDraw = true;
    ASSERT_EQ(bg->bkGetCanvas()->getDepth(), 8);
    EXPECT_EQ(bg->bkGetCanvas()->getPixel(4, 2), uint32_t(patternAt(4, 2)));
    KvTrinketWindow window(KvRect(0, 0, 30, 20), bg, 0, -1, -1, 16, 1, 0);
    KvColor palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = KvColor::fromBytes(uint8_t(i), 0, 0);
    window.twSetPalette(palette, 0);
    app->pass();
    const KvHeadlessWindow* screen = backend.windowOf(&window);
    EXPECT_EQ(screen->screenPixel(29, 19), screen->display().mapColor(palette[patternAt(29, 19)]));
}

// ---- Background16's AO path ----

TEST_F(AOBackgroundTest, AByteReversedImageHeaderIsNotAnImage) {
    // 00 20 ...: the first word reads 32 only with its bytes exchanged; the
    // reversed header then begins 20 00 xx xx, never 32.
    std::vector<unsigned char> file = makeImage(2, 1, {0x7FFF, 0x7FFF});
    file[0] = 0x00, file[1] = 0x20;
    Background16 bg(KvRect(0, 0, 8, 4), streamOf(file));
    ASSERT_NE(bg.bkGetCanvas(), nullptr);
    EXPECT_EQ(bg.bkGetCanvas()->getBounds(), KvRect(0, 0, 8, 4));
    EXPECT_EQ(pixelsOf(*bg.bkGetCanvas()), std::vector<uint32_t>(32, 0));
    EXPECT_TRUE(backend.messages.empty());
}

// The pictures of examples/backdrop load as what the example says they are.
TEST_F(AOBackgroundTest, TheExamplePicturesLoad) {
    auto* room = new KvIStreamFile(examplePath("room.b16").c_str());
    ASSERT_TRUE(room->good());
    EXPECT_TRUE(Background16::holdsImage(room));
    Background16 bg(room);
    ASSERT_NE(bg.bkGetCanvas(), nullptr);
    EXPECT_EQ(bg.bkGetCanvas()->getBounds(), KvRect(0, 0, 320, 200));
    EXPECT_TRUE(backend.messages.empty());
    // Sky above, a brown frame, a floor below.
    EXPECT_GT(bg.bkGetCanvas()->getPixelColor(10, 10).b8(), 200);
    EXPECT_LT(bg.bkGetCanvas()->getPixelColor(10, 190).b8(), 64);

    KvTrinketWindow window(KvRect(0, 0, 320, 200), nullptr, 0, -1, -1, 16, 1, 0);
    auto* hallStream = new KvIStreamFile(examplePath("hall.ao").c_str());
    EXPECT_FALSE(Background16::holdsImage(hallStream));
    KvAnimation hall(hallStream, 0, 0, &window);
    EXPECT_TRUE(hall.isLoaded());
    EXPECT_EQ(hall.box(), KvRect(0, 0, 320, 200));
    KvAnimation arrow(new KvIStreamFile(examplePath("ao/1.ao").c_str()), 0, 0, &window);
    EXPECT_TRUE(arrow.isLoaded());
    EXPECT_EQ(arrow.getNumberOfCels(), 2);
}
