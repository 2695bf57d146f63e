// Titles under "qrn run": scripts that create animations from the files next
// to them and read their properties, where animations go (the files'
// positions and Z, or the script's X Y with --script-positions), screenshots
// checked pixel by pixel at every depth, "qrn pack" round trips, and the
// carousel example.
#include "tests/apps/QrnAppFixture.h"

#include <memory>
#include <vector>

#include "anim/KvAOFile.h"
#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "framework/KvPng.h"

namespace {

// Index 1 red, 2 green, 3 blue, 4 black, every other one white: colours that
// every pixel format holds exactly.
const KvColor kColors[5] = {KvColor::fromBytes(255, 255, 255), KvColor::fromBytes(255, 0, 0),
                            KvColor::fromBytes(0, 255, 0), KvColor::fromBytes(0, 0, 255), KvColor::fromBytes(0, 0, 0)};
KvColor colorOf(int index) { return index >= 1 && index <= 4 ? kColors[index] : kColors[0]; }

std::string paletteFile() {
    std::string b;
    for (int i = 0; i < kAOPaletteEntries; ++i) {
        const KvColor c = colorOf(i);
        for (unsigned short v : {c.red, c.green, c.blue}) b += static_cast<char>(v >> 8), b += static_cast<char>(v);
    }
    return b;
}

// The test cel: 6 x 4, index 0 transparent.
constexpr int kCelW = 6, kCelH = 4;
int celIndex(int c, int r) { return (c + 2 * r) % 5; }

// Where the encoder's one-cel file keeps its embedded position and Z.
constexpr size_t kEncoderXYZOffset = kAOHeaderSize + 4;

class QrnTitle : public QrnRun {
protected:
    // ao/N.ao (the test cel, packed by the library's encoder, at the embedded
    // position x, y and z) and palette.plt.
    void writeTitle(int n = 1, int x = 0, int y = 0, int z = 0) {
        fs::create_directories(dir / "ao");
        KvMemCanvas art(kCelW, kCelH, 8);
        for (int r = 0; r < kCelH; ++r)
            for (int c = 0; c < kCelW; ++c) art.setPixel(c, r, static_cast<uint32_t>(celIndex(c, r)));
        long size = 0;
        const std::unique_ptr<const unsigned char[]> block(
            static_cast<const unsigned char*>(KvCelRenderer::pack(size, &art, KvRect::zero, 0)));
        std::vector<unsigned char> file(block.get(), block.get() + size);
        ASSERT_TRUE(KvAOFile::encodeXYZ(x, y, z, file.data() + kEncoderXYZOffset));
        write("ao/" + std::to_string(n) + ".ao", std::string(file.begin(), file.end()));
        write("palette.plt", paletteFile());
    }
    // The PNG as colours, or an empty vector.
    std::vector<KvColor> colorsOf(const std::string& file, int& width, int& height) {
        KvPngImage image;
        std::vector<KvColor> colors;
        if (!KvLoadPng((dir / file).string().c_str(), image)) return colors;
        width = image.width, height = image.height;
        for (size_t p = 0; p < image.rgba.size(); p += 4)
            colors.push_back(KvColor::fromBytes(image.rgba[p], image.rgba[p + 1], image.rgba[p + 2]));
        return colors;
    }
};

TEST_F(QrnTitle, ScriptsCreateAnimationsFromTheirFilesAndReadTheirProperties) {
    writeTitle(1, 7, 3);
    fs::create_directories(dir / "title");
    fs::rename(dir / "ao", dir / "title" / "ao");
    write("title/t.mps",
          "a=KvAnimation 5 6 1\nget a x x\nget a y y\nget a width w\nget a height h\n"
          "get a frame f\nget a sequence s\nsay x y w h f s\n"
          "set a drawDirection 4\nget a width w\nget a drawDirection d\nsay w d\n"
          "b=KvAnimation 1 2 9\nget b x v\nsay v\nquit\n");
    // The file's position by default, the script's on request; no ao/9.ao: no object.
    const std::pair<std::string, std::string> runs[] = {{"", "7 3 6 4 1 1\n4 4\nv\n"},
                                                        {"--script-positions ", "5 6 6 4 1 1\n4 4\nv\n"}};
    for (const auto& [options, said] : runs) {
        fs::remove(dir / "debug.txt");
        EXPECT_EQ(qrn("run " + options + "title/t.mps"), 0) << err;
        EXPECT_EQ(read("debug.txt"), said) << options;
    }
}

// By default an animation stands where its file says, in the file's Z order:
// file 1 at (7, 3) above file 2 at (9, 5), whatever the script's X Y and
// order of creation. The option places them by the script, the later on top.
TEST_F(QrnTitle, AnimationsStandAtTheirFilesPositionsUnlessTheScriptPlacesThem) {
    writeTitle(1, 7, 3, 5);
    writeTitle(2, 9, 5, 2);
    write("s.mps", "a=KvAnimation 1 1 1\nb=KvAnimation 11 8 2\npause 1\nquit\n");
    struct Run {
        std::string options;
        int ax, ay, bx, by;
        bool aOnTop;
    } runs[] = {{"", 7, 3, 9, 5, true}, {"--script-positions ", 1, 1, 11, 8, false}};
    constexpr int kWidth = 20, kHeight = 16;
    for (const Run& run : runs) {
        ASSERT_EQ(qrn("run " + run.options + "--size 20x16 --screenshot shot.png s.mps"), 0) << err;
        int width = 0, height = 0;
        const std::vector<KvColor> shot = colorsOf("shot.png", width, height);
        ASSERT_EQ(shot.size(), static_cast<size_t>(kWidth * kHeight));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inA = x >= run.ax && x < run.ax + kCelW && y >= run.ay && y < run.ay + kCelH;
                const bool inB = x >= run.bx && x < run.bx + kCelW && y >= run.by && y < run.by + kCelH;
                const int a = inA ? celIndex(x - run.ax, y - run.ay) : 0;
                const int b = inB ? celIndex(x - run.bx, y - run.by) : 0;
                // Index 0 is transparent: the one below shows through it.
                const int index = run.aOnTop ? (a ? a : b) : (b ? b : a);
                ASSERT_EQ(shot[static_cast<size_t>(y * kWidth + x)], colorOf(index)) << run.options << "at " << x << "," << y;
            }
    }
}

TEST_F(QrnTitle, TheScreenshotShowsTheWindowAtEveryDepth) {
    writeTitle();
    // One cel as stored, one transposed (direction 5: cel (c, r) at (x + r, y + c)).
    write("s.mps", "a=KvAnimation 5 6 1\nb=KvAnimation 12 2 1\nset b drawDirection 5\npause 1\nquit\n");
    constexpr int kWidth = 20, kHeight = 16;
    for (const char* depth : {"8", "16", "24", "32"}) {
        ASSERT_EQ(qrn(std::string("run --script-positions --size 20x16 --depth ") + depth + " --screenshot shot.png s.mps"), 0)
            << err;
        int width = 0, height = 0;
        const std::vector<KvColor> shot = colorsOf("shot.png", width, height);
        ASSERT_EQ(width, kWidth);
        ASSERT_EQ(height, kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                int index = 0;
                if (x >= 5 && x < 5 + kCelW && y >= 6 && y < 6 + kCelH) index = celIndex(x - 5, y - 6);
                if (x >= 12 && x < 12 + kCelH && y >= 2 && y < 2 + kCelW) index = celIndex(y - 2, x - 12);
                ASSERT_EQ(shot[static_cast<size_t>(y * kWidth + x)], colorOf(index)) << depth << " bits at " << x << "," << y;
            }
    }
}

TEST_F(QrnTitle, PackedPngsComeBackPixelForPixel) {
    write("palette.plt", paletteFile());
    fs::create_directories(dir / "ao");
    // Two frames of 5 x 3 side by side, in true colours mapped to the palette.
    KvMemCanvas strip(10, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) strip.setPixel(x, y, strip.mapColor(colorOf(1 + (x * 7 + y) % 4)));
    ASSERT_TRUE(KvSavePng(strip, (dir / "strip.png").string().c_str()));
    ASSERT_EQ(qrn("pack --frames 2 --fps 20 --position 3,4 --palette palette.plt strip.png ao/1.ao"), 0) << err;
    EXPECT_EQ(out, "ao/1.ao: 2 cels of 5 x 3\n");

    // The file: two cels at (3, 4), and pause, 0, 1, loop, end.
    KvAnimation a(new KvIStreamFile((dir / "ao" / "1.ao").string().c_str()), 0, 0, nullptr);
    ASSERT_TRUE(a.isLoaded());
    EXPECT_EQ(a.getNumberOfCels(), 2);
    EXPECT_EQ(a.getFramesPerSecond(), 20);
    int x = -1, y = -1, z = -1;
    a.getEmbeddedXYZ(x, y, z);
    EXPECT_EQ(std::vector<int>({x, y, z}), std::vector<int>({3, 4, 0}));
    std::vector<int> cels;
    for (int p = 0; p < a.getSeqLength(); ++p) cels.push_back(a.getSeqEntry(p).cel);
    EXPECT_EQ(cels, (std::vector<int>{kAOPause, 0, 1, kAOLoop, kAOEnd}));

    // Played into frame 2 and paused there: the second half of the strip,
    // at the file's position.
    write("p.mps", "a=KvAnimation 0 0 1\nset a frame 2\npause 1\nquit\n");
    ASSERT_EQ(qrn("run --size 12 --screenshot shot.png p.mps"), 2);
    ASSERT_EQ(qrn("run --size 12x10 --screenshot shot.png p.mps"), 0) << err;
    int width = 0, height = 0;
    const std::vector<KvColor> shot = colorsOf("shot.png", width, height);
    ASSERT_EQ(shot.size(), 120u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(shot[static_cast<size_t>((4 + y) * 12 + 3 + x)], strip.getPixelColor(5 + x, y));
    EXPECT_EQ(shot[0], colorOf(0));
}

TEST_F(QrnTitle, PackStoresThePositionAndZGiven) {
    write("p.plt", paletteFile());
    KvMemCanvas rgb(2, 2, 24);
    ASSERT_TRUE(KvSavePng(rgb, (dir / "rgb.png").string().c_str()));
    struct Case {
        std::string option;
        int x, y, z;
    } cases[] = {
        {"", 0, 0, 0},
        {"--position 24,44", 24, 44, 0},
        {"--position=-2047,2048,255", -2047, 2048, 255},
        {"--position -1,0,7", -1, 0, 7},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(qrn("pack --palette p.plt " + c.option + " rgb.png o.ao"), 0) << c.option << ": " << err;
        KvAnimation a(new KvIStreamFile((dir / "o.ao").string().c_str()), 0, 0, nullptr);
        ASSERT_TRUE(a.isLoaded()) << c.option;
        int x = 0, y = 0, z = 0;
        a.getEmbeddedXYZ(x, y, z);
        EXPECT_EQ(std::vector<int>({x, y, z}), std::vector<int>({c.x, c.y, c.z})) << c.option;
    }
}

// Each sound entry comes up with the frame it was given for.
TEST_F(QrnTitle, PackPutsSoundsBeforeTheirFrames) {
    write("p.plt", paletteFile());
    KvMemCanvas rgb(4, 2, 24);
    ASSERT_TRUE(KvSavePng(rgb, (dir / "rgb.png").string().c_str()));
    ASSERT_EQ(qrn("pack --frames 4 --palette p.plt --sound 3:7 --sound 1:12 rgb.png o.ao"), 0) << err;
    KvAnimation a(new KvIStreamFile((dir / "o.ao").string().c_str()), 0, 0, nullptr);
    ASSERT_TRUE(a.isLoaded());
    EXPECT_EQ(a.getNumberOfFrames(), 4);
    std::vector<int> found;  // id, frame, ...
    short id = 0;
    int frame = 0;
    for (a.getFirstSound(&id, &frame); id; a.getNextSound(&id, &frame)) found.insert(found.end(), {id, frame});
    EXPECT_EQ(found, std::vector<int>({12, 1, 7, 3}));
}

// Played once, a held animation stays on its last frame, and played again
// comes back to its first; without --hold it comes round to its first.
TEST_F(QrnTitle, PackHoldKeepsTheLastFrameAfterOnePlay) {
    writeTitle();
    KvMemCanvas rgb(3, 1, 24);
    ASSERT_TRUE(KvSavePng(rgb, (dir / "rgb.png").string().c_str()));
    write("t.mps", "a=KvAnimation 0 0 2\nplay a\npause 1\nget a frame f\nplay a\npause 1\nget a frame g\n"
                   "say f g\nquit\n");
    for (const std::string hold : {"", "--hold "}) {
        ASSERT_EQ(qrn("pack --frames 3 --fps 10 --palette palette.plt " + hold + "rgb.png ao/2.ao"), 0) << err;
        fs::remove(dir / "debug.txt");
        ASSERT_EQ(qrn("run t.mps"), 0) << err;
        EXPECT_EQ(read("debug.txt"), hold.empty() ? "1 1\n" : "3 1\n") << hold;
    }
}

TEST_F(QrnTitle, PackRefusesWhatItCannotTake) {
    KvMemCanvas rgb(4, 2, 24);
    ASSERT_TRUE(KvSavePng(rgb, (dir / "rgb.png").string().c_str()));
    write("text.png", "not an image");
    struct Case {
        std::string args;
        int status;
        std::string err;
    } cases[] = {
        {"pack rgb.png o.ao", 1, "qrn pack: rgb.png is not an indexed PNG: give --palette\n"},
        {"pack --frames 3 --palette none.plt rgb.png o.ao", 1, "qrn pack: cannot read the palette none.plt\n"},
        {"pack text.png o.ao", 1, "qrn pack: text.png: not a PNG file\n"},
        {"pack --frames 0 rgb.png o.ao", 2, "qrn pack: bad value for --frames: 0\n"},
        // Positions the file cannot hold, or not X,Y[,Z].
        {"pack --position 1 rgb.png o.ao", 2, "qrn pack: bad value for --position: 1\nusage: qrn pack"},
        {"pack --position 1,2,3,4 rgb.png o.ao", 2, "qrn pack: bad value for --position: 1,2,3,4\nusage: qrn pack"},
        {"pack --position 2049,0 rgb.png o.ao", 2, "qrn pack: bad value for --position: 2049,0\n"},
        {"pack --position 0,-2048 rgb.png o.ao", 2, "qrn pack: bad value for --position: 0,-2048\n"},
        {"pack --position 0,0,256 rgb.png o.ao", 2, "qrn pack: bad value for --position: 0,0,256\n"},
        {"pack --position 0,0,-1 rgb.png o.ao", 2, "qrn pack: bad value for --position: 0,0,-1\n"},
        {"pack --position 1,,2 rgb.png o.ao", 2, "qrn pack: bad value for --position: 1,,2\n"},
        {"pack --position x,1 rgb.png o.ao", 2, "qrn pack: bad value for --position: x,1\n"},
        {"pack --sound 2 rgb.png o.ao", 2, "qrn pack: bad value for --sound: 2\n"},
        {"pack --sound 1:32768 rgb.png o.ao", 2, "qrn pack: bad value for --sound: 1:32768\n"},
        {"pack --sound 0:1 rgb.png o.ao", 2, "qrn pack: bad value for --sound: 0:1\n"},
        {"pack --palette p.plt --sound 2:5 rgb.png o.ao", 1, "qrn pack: --sound 2:5: the strip has no frame 2\n"},
    };
    write("p.plt", paletteFile());
    EXPECT_EQ(qrn("pack --frames 3 --palette p.plt rgb.png o.ao"), 1);
    EXPECT_EQ(err, "qrn pack: rgb.png is not 3 frames wide\n");
    for (const Case& c : cases) {
        EXPECT_EQ(qrn(c.args), c.status) << c.args;
        EXPECT_EQ(err.substr(0, c.err.size()), c.err) << c.args;
    }
    EXPECT_FALSE(fs::exists(dir / "o.ao"));
}

TEST_F(QrnTitle, TheCarouselRunsAsItsReadmeShows) {
    const fs::path example = kSource.parent_path() / "examples" / "carousel";
    fs::copy(example, dir / "carousel", fs::copy_options::recursive);
    fs::remove(dir / "carousel" / "debug.txt");
    EXPECT_EQ(qrn("run --size 360x120 --screenshot carousel/shot.png carousel/carousel.mps"), 0) << err;
    const std::string readme = read(example / "README.md");
    const std::string said = read("debug.txt");
    EXPECT_EQ(said.substr(0, 38), "after a while the wheel shows frame 5\n");
    EXPECT_NE(readme.find("```\n" + said + "```"), std::string::npos) << "the README shows:\n" << said;
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const std::vector<KvColor> shot = colorsOf("carousel/shot.png", w1, h1);
    const std::vector<KvColor> shown = colorsOf("carousel/carousel.png", w2, h2);
    EXPECT_EQ(w1, 360);
    EXPECT_TRUE(shot == shown) << "carousel.png is not what the title shows now";
    // Its files hold the positions its script names.
    EXPECT_EQ(qrn("run --script-positions --size 360x120 --screenshot carousel/shot.png carousel/carousel.mps"), 0) << err;
    EXPECT_TRUE(colorsOf("carousel/shot.png", w1, h1) == shown) << "the script's positions differ from the files'";

    // The committed animations are what qrn pack makes of the art.
    struct Art {
        std::string png, frames, fps, position, ao;
    } art[] = {{"wheel", "8", "12", "24,44", "1"},
               {"ball", "8", "10", "88,28", "2"},
               {"flag", "4", "6", "140,48", "3"},
               {"wheel", "8", "12", "216,44", "4"},
               {"flag", "4", "6", "272,48", "5"}};
    for (const Art& a : art) {
        ASSERT_EQ(qrn("pack --frames " + a.frames + " --fps " + a.fps + " --position " + a.position + " carousel/art/" +
                      a.png + ".png " + a.ao + ".ao"),
                  0)
            << err;
        EXPECT_EQ(read(a.ao + ".ao"), read(example / "ao" / (a.ao + ".ao"))) << a.ao;
    }
}

}  // namespace
