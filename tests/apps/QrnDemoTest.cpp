// The demo title (titles/demo) under "qrn run --replay": the recorded session
// that solves its puzzle reaches quit with the expected debug.txt and a final
// picture equal to the committed one; the one that only wanders about leaves
// it running at its pass limit; the committed animations are what qrn pack
// makes of the committed art. Sessions and pictures: tests/apps/demo/.
#include "tests/apps/QrnAppFixture.h"

#include "framework/KvPng.h"

namespace {

const fs::path kDemo = kSource.parent_path() / "titles" / "demo";
const fs::path kSessions = kSource / "apps" / "demo";

using QrnDemo = QrnRun;

TEST_F(QrnDemo, TheSolvingSessionEndsTheTitleWithTheExpectedPicture) {
    ASSERT_EQ(qrn("run --replay '" + (kSessions / "solve.txt").string() + "' --screenshot shot.png '" +
                  kDemo.string() + "'"),
              0)
        << err;
    EXPECT_EQ(read("debug.txt"),
              "three gems wait on the tray\n"
              "the chest is locked\n"
              "the red gem is home, 1 of 3\n"
              "the green gem is home, 2 of 3\n"
              "the blue gem is home, 3 of 3\n"
              "the chest opens\n"
              "the end\n");
    EXPECT_NE(read(kDemo / "README.md").find("```\n" + read("debug.txt") + "```"), std::string::npos)
        << "the demo's README does not show what the session says";
    KvPngImage shot, expected;
    ASSERT_TRUE(KvLoadPng((dir / "shot.png").string().c_str(), shot));
    ASSERT_TRUE(KvLoadPng((kSessions / "solved.png").string().c_str(), expected));
    EXPECT_EQ(shot.width, expected.width);
    EXPECT_EQ(shot.height, expected.height);
    EXPECT_TRUE(shot.rgba == expected.rgba) << "the final picture differs from tests/apps/demo/solved.png";
}

TEST_F(QrnDemo, TheWanderingSessionLeavesTheTitleRunning) {
    ASSERT_EQ(qrn("run --max-passes 1500 --replay '" + (kSessions / "wander.txt").string() + "' '" +
                  kDemo.string() + "'"),
              3)  // the pass limit
        << err;
    EXPECT_EQ(read("debug.txt"), "three gems wait on the tray\nthe chest is locked\n");
}

// As titles/demo/build.sh packs them.
TEST_F(QrnDemo, TheAnimationsAreWhatPackMakesOfTheArt) {
    const struct {
        std::string options, png, ao;
    } packed[] = {
        {"--frames 4 --fps 6", "arrow", "1"},
        {"--frames 2 --fps 4", "ring", "2"},
        {"--frames 4 --fps 8", "red", "10"},
        {"--frames 4 --fps 8", "green", "11"},
        {"--frames 4 --fps 8", "blue", "12"},
        {"--frames 8 --fps 8 --sound 1:1 --sound 5:1", "clock", "20"},
        {"--frames 2 --fps 5", "firefly", "21"},
        {"--frames 6 --fps 6 --hold --sound 2:3 --sound 3:4", "chest", "30"},
        {"--frames 6 --fps 8 --sound 2:2", "flash", "31"},
    };
    for (const auto& p : packed) {
        ASSERT_EQ(qrn("pack " + p.options + " --write-palette palette.plt '" + (kDemo / "art" / p.png).string() +
                      ".png' out.ao"),
                  0)
            << p.png << ": " << err;
        EXPECT_TRUE(read("out.ao") == read(kDemo / "ao" / (p.ao + ".ao"))) << p.png << " differs from ao/" << p.ao;
        EXPECT_TRUE(read("palette.plt") == read(kDemo / "palette.plt")) << p.png;
    }
}

}  // namespace
