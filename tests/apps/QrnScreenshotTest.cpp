// Screenshots of titles under "qrn run", every pixel checked against a model
// of where each cel lands: animations at their files' positions and Z or at
// the script's X Y, at every depth, transposed, a packed strip's second
// frame; and the cursor over a background.
#include "tests/apps/QrnAppFixture.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvPng.h"

namespace {

// Index 1 red, 2 green, 3 blue, 4 black, every other one white: colours that
// every pixel format holds exactly.
KvColor colorOf(int index) {
    static const KvColor colors[5] = {KvColor::fromBytes(255, 255, 255), KvColor::fromBytes(255, 0, 0),
                                      KvColor::fromBytes(0, 255, 0), KvColor::fromBytes(0, 0, 255),
                                      KvColor::fromBytes(0, 0, 0)};
    return colors[index >= 1 && index <= 4 ? index : 0];
}

// The test cel: 6 x 4, index 0 transparent; 0 outside it.
constexpr int kCelW = 6, kCelH = 4;
int cel(int c, int r) { return c >= 0 && c < kCelW && r >= 0 && r < kCelH ? (c + 2 * r) % 5 : 0; }
// The test strip: 10 x 3 in true colours of indices 1 to 4.
int stripIndex(int x, int y) { return 1 + (x * 7 + y) % 4; }

class QrnScreenshot : public QrnRun {
protected:
    void SetUp() override {
        QrnRun::SetUp();
        std::string plt;
        for (int i = 0; i < kAOPaletteEntries; ++i)
            for (const unsigned short v : {colorOf(i).red, colorOf(i).green, colorOf(i).blue})
                plt += static_cast<char>(v >> 8), plt += static_cast<char>(v);
        write("palette.plt", plt);
        fs::create_directories(dir / "ao");
    }
    // ao/N.ao: the test cel, packed by the library's encoder, embedded at x, y, z.
    void writeAnimation(int n, int x = 0, int y = 0, int z = 0) {
        KvMemCanvas art(kCelW, kCelH, 8);
        for (int r = 0; r < kCelH; ++r)
            for (int c = 0; c < kCelW; ++c) art.setPixel(c, r, static_cast<uint32_t>(cel(c, r)));
        long size = 0;
        const std::unique_ptr<const unsigned char[]> block(
            static_cast<const unsigned char*>(KvCelRenderer::pack(size, &art, KvRect::zero, 0)));
        Bytes file(block.get(), block.get() + size);
        ASSERT_TRUE(KvAOFile::encodeXYZ(x, y, z, file.data() + kAOHeaderSize + 4));  // where the one-cel file keeps them
        writeBytes("ao/" + std::to_string(n) + ".ao", file);
    }
    // "qrn run --screenshot" ARGS: the shot's colours, row by row.
    std::vector<KvColor> shot(const std::string& args, int& width) {
        EXPECT_EQ(qrn("run --screenshot shot.png " + args), 0) << args << ": " << err;
        KvPngImage image;
        std::vector<KvColor> colors;
        if (!KvLoadPng((dir / "shot.png").string().c_str(), image)) return colors;
        for (size_t p = 0; p < image.rgba.size(); p += 4)
            colors.push_back(KvColor::fromBytes(image.rgba[p], image.rgba[p + 1], image.rgba[p + 2]));
        width = image.width;
        return colors;
    }
    // Every pixel of a 20 x 16 shot is the colour of the model's index there.
    template <class Model>
    void expectShot(const std::string& args, Model index) {
        int width = 0;
        const std::vector<KvColor> colors = shot(args + " --size 20x16 s.mps", width);
        ASSERT_EQ(width, 20);
        ASSERT_EQ(colors.size(), 20u * 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) ASSERT_EQ(colors[y * 20 + x], colorOf(index(x, y))) << args << " at " << x << "," << y;
    }
};

// By default an animation stands where its file says, in the file's Z order:
// file 1 at (7, 3) above file 2 at (9, 5), whatever the script's X Y and
// order of creation. The option places them by the script, the later on top.
TEST_F(QrnScreenshot, AnimationsStandAtTheirFilesPositionsUnlessTheScriptPlacesThem) {
    writeAnimation(1, 7, 3, 5);
    writeAnimation(2, 9, 5, 2);
    write("s.mps", "a=KvAnimation 1 1 1\nb=KvAnimation 11 8 2\npause 1\nquit\n");
    const struct {
        std::string options;
        int ax, ay, bx, by;
        bool aOnTop;
    } runs[] = {{"", 7, 3, 9, 5, true}, {"--script-positions", 1, 1, 11, 8, false}};
    for (const auto& r : runs)
        expectShot(r.options, [&r](int x, int y) {
            const int a = cel(x - r.ax, y - r.ay), b = cel(x - r.bx, y - r.by);
            return r.aOnTop ? (a ? a : b) : (b ? b : a);  // the one below shows through index 0
        });
}

// One cel as stored, one transposed (direction 5: cel (c, r) at (x + r, y + c)).
TEST_F(QrnScreenshot, TheScreenshotShowsTheWindowAtEveryDepth) {
    writeAnimation(1);
    write("s.mps", "a=KvAnimation 5 6 1\nb=KvAnimation 12 2 1\nset b drawDirection 5\npause 1\nquit\n");
    for (const char* depth : {"8", "16", "24", "32"})
        expectShot(std::string("--script-positions --depth ") + depth,
                   [](int x, int y) { return std::max(cel(x - 5, y - 6), cel(y - 2, x - 12)); });
}

// Two frames of 5 x 3 side by side, in true colours mapped to the palette,
// played into frame 2 and paused there: the second half of the strip at the
// file's position.
TEST_F(QrnScreenshot, PackedPngsComeBackPixelForPixel) {
    KvMemCanvas strip(10, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) strip.setPixel(x, y, strip.mapColor(colorOf(stripIndex(x, y))));
    ASSERT_TRUE(KvSavePng(strip, (dir / "strip.png").string().c_str()));
    ASSERT_EQ(qrn("pack --frames 2 --fps 20 --position 3,4 --palette palette.plt strip.png ao/1.ao"), 0) << err;
    EXPECT_EQ(out, "ao/1.ao: 2 cels of 5 x 3\n");
    ASSERT_EQ(qrn("info ao/1.ao"), 0) << err;
    EXPECT_NE(out.find("cels: 2\nframes-per-second: 20\nflags: 0x0000\nposition: 3,4\nz: 0\ncolour: indexed\n"
                       "sequence 0: 5 entries\nsequence 0 entry 0: pause\nsequence 0 entry 1: cel 0 at 0,0 param 0\n"
                       "sequence 0 entry 2: cel 1 at 0,0 param 0\nsequence 0 entry 3: loop\nsequence 0 entry 4: end\n"),
              std::string::npos)
        << out;
    write("s.mps", "a=KvAnimation 0 0 1\nset a frame 2\npause 1\nquit\n");
    expectShot("", [](int x, int y) { return x >= 3 && x < 8 && y >= 4 && y < 7 ? stripIndex(x - 3 + 5, y - 4) : 0; });
}

// The image under the cursor, whose hot spot (4, 4) lies on the pointer at
// (0, 0): the arrow's tip is cut off by the edge.
TEST_F(QrnScreenshot, TheScreenshotShowsTheImageAndTheCursor) {
    fs::copy(kSource / ".." / "examples" / "backdrop", dir / "title", fs::copy_options::recursive);
    write("title/s.mps", "background \"room.b16\"\ncursor 1 4 4\nquit\n");
    int width = 0;
    const std::vector<KvColor> shot = this->shot("--size 320x200 title/s.mps", width);
    ASSERT_EQ(shot.size(), 320u * 200);
    const auto color = [&](int x, int y) { return shot[static_cast<size_t>(y) * 320 + x]; };
    EXPECT_GT(color(150, 10).b8(), 200);  // sky
    EXPECT_LT(color(150, 10).r8(), 100);
    EXPECT_GT(color(150, 190).r8(), color(150, 190).b8());  // floor
    const KvColor tip = color(0, 0);  // cel (4, 4): the arrow, white or grey as it blinks
    EXPECT_TRUE(tip.r8() == tip.g8() && tip.g8() == tip.b8() && tip.r8() > 100) << int(tip.r8());
    EXPECT_EQ(color(4, 0), KvColor::fromBytes(0, 0, 0));  // cel (8, 4): the arrow's black ground
    EXPECT_GT(color(5, 0).b8(), 200);                     // past the cel: sky again
}

}  // namespace
