// The demo title (titles/demo) under "qrn run --replay": the recorded session
// that solves its puzzle reaches quit with the expected debug.txt and a final
// picture equal to the committed one; the one that only wanders about leaves
// it running at its pass limit. Sessions and pictures: tests/apps/demo/.
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

}  // namespace
