// The script class "KvAnimation": creation, properties, methods and events
// (what a script reads back is in golden scripts with their expected output);
// hit testing and pixel reading; stamping; colour operations; and what the
// window draws (directions, corral clipping, premade pictures).
#include "tests/anim/AnimTestSupport.h"
#include "tests/support/CaseFiles.h"
#include "tests/support/Joined.h"

#include "script/YThread.h"
#include "sob/KvScriptableObject.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace aotest;
using Sob = KvScriptableObject;

namespace {

// Cel 0: 6 x 2, column 0 transparent (index 9):
//   . 3 0 0 0 0     (the 0s are a fill run: index 0 is drawn)
//   . 5 5 5 5 7
// Cel 1: 2 x 2 of index 5. Sequence 0: cel 0, a sound 7, user command -600,
// another command -6, cel 1, loop, end. Sequence 1: cel 1, end. Sequence 2:
// cel 0, user command -600, cel 1, a pause, cel 0, end.
AOFile scene() {
    AOFile f;
    f.cels = {picture(6, 2, {9, 3, 0, 0, 0, 0, 9, 5, 5, 5, 5, 7}, 9), solid(2, 2, 5)};
    f.seqs = {{frame(0), command(kAOSound, 7), command(-600, 1, 2, 3), command(-6), frame(1), command(kAOLoop), command(kAOEnd)},
              {frame(1), command(kAOEnd)},
              {frame(0), command(-600), frame(1), command(kAOPause), frame(0), command(kAOEnd)}};
    f.xyz[0] = 40, f.xyz[1] = 30;
    return f;
}

Bytes sceneFile;
KvIStream* sceneURL(KvRscID id) { return id.value() == 1 ? streamOf(sceneFile) : nullptr; }

// A background that keeps its picture in a canvas and a stack of saved areas.
class PictureBackground : public KvTBackground {
public:
    explicit PictureBackground(int depth) : canvas(AnimTest::kW, AnimTest::kH, depth) {
        canvas.fill = true;
        canvas.fillColor = KvColor(0xFFFF, 0xFFFF, 0xFFFF);
        canvas.draw(canvas.getBounds());
    }
    KvMemCanvas* bkGetCanvas() const override { return const_cast<KvMemCanvas*>(&canvas); }
    void bkPushStampRect(const KvRect& r) override {
        saved.push_back({r, std::make_unique<KvMemCanvas>(r.width(), r.height(), canvas.getDepth())});
        saved.back().second->blt(&canvas, r.left, r.top, r.width(), r.height(), 0, 0);
    }
    void bkPopStampRect() override {
        if (saved.empty()) return;
        const KvRect r = saved.back().first;
        canvas.blt(saved.back().second.get(), 0, 0, r.width(), r.height(), r.left, r.top);
        saved.pop_back();
    }

    KvMemCanvas canvas;
    std::vector<std::pair<KvRect, std::unique_ptr<KvMemCanvas>>> saved;

private:
    bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) override {
        const KvRect r = region.bounds();
        if (!region.isNull()) target->blt(&canvas, r.left, r.top, r.width(), r.height(), r.left, r.top, kKvRopCopy, &region);
        return false;
    }
};

}  // namespace

class ScriptFace : public AnimTest {
protected:
    void SetUp() override {
        AnimTest::SetUp();
        sceneFile = scene().build();
        KvAnimation::installSrcURL(&sceneURL);
    }
    KvAnimation* create(const char* x, const char* y, const char* id = "1") {
        return static_cast<KvAnimation*>(Sob::create("KvAnimation", x, y, id, Sob::kKvEndOfParameters));
    }
    std::string get(Sob* o, const char* name, const char* parameter = nullptr) {
        Sob::resetParameters();
        if (parameter) Sob::addParameter(parameter);
        const char* v = o->sobGet(name);
        return v ? v : "(null)";
    }
    void set(Sob* o, const char* name, const char* value, const char* parameter = nullptr) {
        Sob::resetParameters();
        if (parameter) Sob::addParameter(parameter);
        EXPECT_EQ(o->sobSet(name, value), 1) << name;
    }
};

// What a script sees is in golden/; here, what it cannot: the embedded position
// switched off, the state, the sound entry's fields, the removed property.
TEST_F(ScriptFace, CreationAndPropertiesReachThePlayback) {
    open(8);
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* a = create("10", "20");
    const auto end = Sob::kKvEndOfParameters;
    char info[kTrInfoBufferSize];
    a->sobGetInfo(info);
    a->pause();
    set(a, "sequence", "2");
    std::string seen = joined(info, a->getState(), "");
    set(a, "sequence", "1");
    set(a, "frame", "2");
    seen += joined(a->getState(), "");
    a->setSequencePos(1, 1);  // the sound entry
    seen += get(a, "param", "1") + " " + get(a, "param", "4");
    // dblClick is removed, the trinket's other events stay
    seen += joined("", a->sobSet("dblClick", nullptr, nullptr), a->sobSet("mouseDown", nullptr, nullptr), a->sobPlay("default", end));
    seen += joined("", a->getState());
    a->pause();
    seen += joined("", a->sobPlay("forever", end));
    seen += joined("", a->getRepeat(), a->getState());
    KvAnimation::installSrcURL(nullptr);
    EXPECT_EQ(joined(seen, create("10", "20") == nullptr), "10 20 1 1 2 -101 7 0 1 1 1 1 -1 1 1");
}

// Every golden/NAME.mps with a NAME.expected runs in a fresh working directory
// on an 8-bit window whose animation file 1 is the scene, the clock moving
// 10 ms a pass, until it ends or 2000 passes ran; the debug.txt it writes
// must equal NAME.expected byte for byte.
class ScriptGolden : public ScriptFace, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        ScriptFace::SetUp();
        home = fs::current_path();
        dir = fs::temp_directory_path() / ("qrn-anim-" + GetParam() + "-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(home);
        fs::remove_all(dir);
        ScriptFace::TearDown();
    }
    fs::path home, dir;
};
const fs::path kGoldenDir = fs::path(QRN_TEST_DATA) / "anim" / "golden";

TEST_P(ScriptGolden, WritesExactlyTheExpectedDebugFile) {
    open(8);
    backend.setStepPerPass(10);
    {
        YThread thread((kGoldenDir / (GetParam() + ".mps")).c_str());
        ASSERT_TRUE(thread) << "does not compile";
        thread.go();
        for (int pass = 0; pass < 2000 && thread && !app->isStopped(); ++pass) app->pass();
    }
    EXPECT_EQ(fileText(dir / "debug.txt"), fileText(kGoldenDir / (GetParam() + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptGolden, ::testing::ValuesIn(caseNames(kGoldenDir, ".expected")), caseName);

// ---- pixels ----

// At (40, 30), cel 0 is 6 x 2. Mirrored, the leftmost column is cel column
// 5; a quarter turn makes it 2 wide and 6 high about the same corner, cel (c,
// r) at (x + H - 1 - r, y + c). A pixel of -1 is transparent or outside.
TEST_F(ScriptFace, HitTestingFollowsVisiblePixelsInEveryDirection) {
    open(8);
    KvAnimation* a = create("0", "0");
    const struct {
        int direction, boxTouchy, x, y, covers, pixel;
    } cases[] = {
        {0, 0, 40, 30, 0, -1}, {0, 0, 41, 30, 1, 3}, {0, 0, 46, 30, 0, -1}, {0, 0, 43, 30, 1, 0},  // a fill of index 0 is a colour
        {0, 0, 42, 31, 1, 5},  {0, 0, 40, 31, 0, -1}, {0, 0, 39, 31, 0, -1}, {0, 1, 40, 30, 1, -1},
        {1, 0, 40, 31, 1, 7},  {1, 0, 45, 30, 0, -1}, {4, 0, 41, 31, 1, 3},  {4, 0, 40, 31, 1, 5},  {4, 0, 41, 30, 0, -1},
    };
    for (const auto& c : cases) {
        a->setDrawDirection(static_cast<unsigned char>(c.direction));
        a->setBoxTouchy(c.boxTouchy);
        EXPECT_EQ(a->covers(KvPoint(c.x, c.y)), c.covers) << c.direction << " " << c.x << "," << c.y;
        EXPECT_EQ(a->getPixel(c.x, c.y), c.pixel) << c.direction << " " << c.x << "," << c.y;
    }
    EXPECT_EQ(a->box(), KvRect(40, 30, 42, 36));
    a->trSetCorral(KvRect(0, 0, 41, 200));
    EXPECT_EQ(a->covers(KvPoint(41, 32)), 0);  // outside the corral
}

// Row 1 mirrored: canvas column 10 + 5 - c shows cel column c (column 0 is
// transparent); the corral clips it. -1 is the window's white.
TEST_F(ScriptFace, TheWindowDrawsTheCelInItsDirectionAndCorral) {
    open(8);
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* a = create("10", "5");
    a->pause();
    a->setDrawDirection(1);
    a->trSetCorral(KvRect(0, 0, 12, 100));
    std::string rows;
    for (unsigned long t : {1000, 1010}) {
        at(t);
        for (int x = 10; x < 16; ++x) rows += joined(pixel(x, 6) == pixel(0, 0) ? -1 : static_cast<int>(pixel(x, 6)), "");
        a->trSetCorral(KvRect(0, 0, 100, 100));
        a->trInvalidate();
    }
    EXPECT_EQ(rows, "7 5 -1 -1 -1 -1 7 5 5 5 5 -1 ");
}

TEST_F(ScriptFace, PremadePicturesDrawTheSameCels) {
    open(16);
    KvAnimation::setUseEmbeddedXYZ(0);
    // A palette without black, which premade pictures keep for transparency.
    static Bytes palette(kAOPaletteFileSize, 0x40);
    for (int i = 0; i < kAOPaletteEntries; ++i) palette[6 * static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    KvAnimation::installPaletteURL([](KvIStream*) { return streamOf(palette); });
    std::vector<uint32_t> drawn[2];
    for (AOPremake premake : {kAOPremakeOff, kAOPremakeMode1}) {
        KvAnimation::setMakePictures(premake);
        KvAnimation* a = create("10", "5");
        EXPECT_EQ(a->getState(), premake ? kAOPaused : kAORunning);
        a->pause();
        a->trInvalidate();
        at(2000);
        for (int y = 5; y < 7; ++y)
            for (int x = 10; x < 16; ++x) drawn[premake].push_back(pixel(x, y));
        delete a;
    }
    EXPECT_EQ(drawn[0], drawn[1]);
}

// ---- stamping ----

// Each step: stamped, visible, state, the picture's pixel, saved areas.
TEST_F(ScriptFace, StampThenUnstampPutsTheBackgroundBackAndShowsTheAnimationPaused) {
    auto* background = new PictureBackground(8);
    open(8, background);
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* a = create("10", "5");
    at(1000);
    const auto end = Sob::kKvEndOfParameters;
    const auto status = [&] {
        return joined(a->trGetStamped(), a->trGetVisible(), a->getState(), background->canvas.getPixel(11, 5), background->saved.size(), "");
    };
    Sob::resetParameters();
    std::string seen = joined(a->sobPlay("stamp", end), "");
    seen += status();
    at(1100);
    seen += joined(pixel(11, 5), "");
    seen += joined(a->sobPlay("unstamp", end), "");
    seen += status();
    seen += joined(a->sobPlay("stamp", "keep", end), "");  // painted, but no stamp is kept
    seen += status();
    EXPECT_EQ(seen, "1 1 0 0 3 1 3 1 0 1 2 0 0 1 0 0 0 3 0 ");
}

// ---- colours ----

TEST_F(ScriptFace, SwapColorsRewritesCelsOnEightBitsAndTheTableAbove) {
    open(8);
    KvAnimation::setUseEmbeddedXYZ(0);
    KvAnimation* a = create("0", "0");
    a->swapColors(3, 5, -2);
    KvMemCanvas cel1(2, 2, 8);
    a->paintCel(1, 0, 0, &cel1, cel1.getBounds());
    std::string seen = joined(a->getPixel(1, 0), a->getPixel(1, 1), a->getCelWidth(1), cel1.getPixel(1, 1), "");
    const unsigned char from[2] = {3, 7}, to[2] = {7, 1}, five[1] = {5}, six[1] = {6};
    a->replaceColorIndices(2, from, to, 0);  // each pixel once, by the first pair naming it
    seen += joined(a->getPixel(1, 1), a->getPixel(5, 1), "");
    a->replaceColorIndex(5, 6, 5);  // no such cel: nothing
    seen += joined(a->getPixel(1, 0), "");
    a->replaceColorIndices(1, five, six, 0);  // a single pair
    KvColor black(1, 1, 1);
    a->getColor(5, black);
    EXPECT_EQ(seen + joined(a->getPixel(1, 0), black == KvColor(0, 0, 0)), "5 3 2 3 7 1 5 6 1");
    delete a;

    open(16);
    sceneFile = scene().build();
    a = create("0", "0");
    KvColor c3 = KvColor::fromBytes(255, 0, 0), c5 = KvColor::fromBytes(0, 0, 255);
    a->replaceColor(3, c3, false);
    a->replaceColor(5, c5, false);
    EXPECT_EQ(a->getColorTable()[3], 0xF800F800u);  // both halves
    a->swapColors(3, 5, -2);
    EXPECT_EQ(a->getPixel(1, 0), 3);  // cels unchanged
    KvColor got;
    a->getColor(3, got);
    EXPECT_EQ(got, KvColor(0, 0, 0xF800));
    const unsigned char from16[2] = {3, 4}, to16[2] = {5, 3};
    a->replaceColorIndices(2, from16, to16, -2);  // in order: 4 takes 3's new value
    EXPECT_EQ(a->getColorTable()[4], a->getColorTable()[5]);
}

TEST_F(ScriptFace, ReplaceColorStoresThePlainPixelOnThirtyTwoBits) {
    open(32);
    KvAnimation* a = create("0", "0");
    KvColor c = KvColor::fromBytes(0x12, 0x34, 0x56);
    a->replaceColor(9, c, true);
    KvColor got;
    a->getColors(9, 1, &got);
    EXPECT_EQ(joined(a->getColorTable()[9], got == KvColor(0x1200, 0x3400, 0x5600)), joined(0x123456, 1));
}
