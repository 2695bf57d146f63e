// The background, cursor and thread keywords of "qrn run", on the example's
// files: the kind of background each file makes, the cursor, threads that
// share the script's variables, and refused ones.
#include "tests/apps/QrnAppFixture.h"

#include "framework/KvPng.h"

namespace {

class QrnHostKeywords : public QrnRun {
protected:
    // The example's files go into title/; qrn runs from the folder above, so
    // that they are found next to the script and not in the current folder.
    void SetUp() override {
        QrnRun::SetUp();
        fs::copy(kSource / ".." / "examples" / "backdrop", dir / "title", fs::copy_options::recursive);
    }
    int run(const std::string& script, const std::string& options = "") {
        write("title/test.mps", script);
        return qrn("run " + options + " title/test.mps");
    }
};

TEST_F(QrnHostKeywords, BackgroundsAndCursorsFromFilesNextToTheScript) {
    ASSERT_EQ(run("background \"room.b16\"\nsay RESULT\ncursor 1 4 4\nsay RESULT\n"
                  "background \"hall.ao\"\nsay RESULT\ncursor 1\nsay RESULT\nquit\n"),
              0);
    EXPECT_EQ(read("debug.txt"), "Background16\n1\nAOBackground\n1\n");
    EXPECT_EQ(err, "");
}

// The screenshot shows the image under the cursor, whose hot spot (4, 4)
// lies on the pointer at (0, 0): the arrow's tip is cut off by the edge.
TEST_F(QrnHostKeywords, TheScreenshotShowsTheImageAndTheCursor) {
    ASSERT_EQ(run("background \"room.b16\"\ncursor 1 4 4\nquit\n", "--size 320x200 --screenshot shot.png"), 0) << err;
    KvPngImage shot;
    ASSERT_TRUE(KvLoadPng((dir / "shot.png").string().c_str(), shot));
    ASSERT_EQ(shot.width, 320);
    auto color = [&](int x, int y) {
        const uint8_t* p = &shot.rgba[(static_cast<size_t>(y) * shot.width + x) * 4];
        return KvColor::fromBytes(p[0], p[1], p[2]);
    };
    EXPECT_GT(color(150, 10).b8(), 200);  // sky
    EXPECT_LT(color(150, 10).r8(), 100);
    EXPECT_GT(color(150, 190).r8(), color(150, 190).b8());  // floor
    const KvColor tip = color(0, 0);  // cel (4, 4): the arrow, white or grey as it blinks
    EXPECT_TRUE(tip.r8() == tip.g8() && tip.g8() == tip.b8() && tip.r8() > 100) << int(tip.r8());
    EXPECT_EQ(color(4, 0), KvColor::fromBytes(0, 0, 0));  // cel (8, 4): the arrow's black ground
    EXPECT_GT(color(5, 0).b8(), 200);                     // past the cel: sky again
}

TEST_F(QrnHostKeywords, FilesThatCannotBeReadAreRefused) {
    ASSERT_EQ(run("background \"none.b16\"\nsay \"<\" RESULT \">\"\ncursor 9\nsay RESULT\ncursor one\nsay RESULT\nquit\n"), 0);
    EXPECT_EQ(read("debug.txt"), "<  >\n0\n0\n");
    EXPECT_NE(err.find("background none.b16: cannot read the file"), std::string::npos) << err;
    EXPECT_NE(err.find("cursor 9: cannot read the file"), std::string::npos) << err;
    EXPECT_NE(err.find("cursor one: not a number"), std::string::npos) << err;
}

// A recorded drag of the arrow from (100, 50) far right and down: the corral
// stops it and the drop snaps it to the grid; without one the window's edge
// stops it. A trinket outside its corral cannot be taken, so the name must
// hold one already.
TEST_F(QrnHostKeywords, CorralsKeepDraggedTrinketsInsideAndSnapThem) {
    std::string session = "qrn-recording 1\nwindow 320 200 16\nseed 1\nstart 0\n";
    for (int pass = 1; pass <= 40; ++pass) {
        session += "pass " + std::to_string(pass) + " " + std::to_string(pass * 10) + "\n";
        if (pass == 10) session += "mouseMove 104 54\nmouseDown 104 54\n";
        if (pass > 10 && pass < 20) session += "mouseMove " + std::to_string(104 + 30 * (pass - 10)) + " 170\n";
        if (pass == 20) session += "mouseUp 374 170\n";
    }
    write("session.txt", session);
    const std::string make = "a=KvAnimation 0 0 1\nset a x 100\nset a y 50\n";
    const std::string drag = "set a mouseUp dropped\nwait\n"
                             "procedure dropped\n[\n  get a x x\n  get a y y\n  say x y\n  quit\n]\n";
    const std::string options = "--size 320x200 --max-passes 100 --replay session.txt";
    struct Case {
        std::string corral, said, err;
    } cases[] = {
        {"", "311 166\n", ""},
        {"corral \"a\" 100 50 210 160\nsay RESULT\n", "1\n201 151\n", ""},
        {"corral \"a\" 100 50 210 160 20 20\nsay RESULT\n", "1\n200 150\n", ""},
        {"corral \"a\" 100 50 200\nsay RESULT\n", "0\n311 166\n", "corral a: give L T R B and perhaps DX DY"},
        {"corral \"b\" 100 50 200 150\nsay RESULT\n", "0\n311 166\n", "corral b: no trinket of that name"},
        {"corral \"a\" 100 50 200 150 20 20 20\nsay RESULT\n", "0\n311 166\n", "corral a: give L T R B"},
        {"corral \"a\" 100 50 200 x\nsay RESULT\n", "0\n311 166\n", "corral a: give L T R B"},
    };
    for (const Case& c : cases) {
        fs::remove(dir / "debug.txt");
        ASSERT_EQ(run(make + c.corral + drag, options), 0) << c.corral << err;
        EXPECT_EQ(read("debug.txt"), c.said) << c.corral;
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
    }
}

// A started thread runs from the same pass on and sees the variables of the
// one that started it.
TEST_F(QrnHostKeywords, ThreadsRunBesideTheScriptAndShareItsVariables) {
    write("title/worker.mps", "say worker sees x\nwait\n");
    write("title/broken.mps", "say a\nsay (b\n");
    ASSERT_EQ(run("x=41+1\nthread \"worker.mps\"\nsay started RESULT\nthread \"none.mps\"\nsay RESULT\n"
                  "thread \"broken.mps\"\nsay RESULT\nquit\n"),
              0);
    EXPECT_EQ(read("debug.txt"), "worker sees 42\nstarted 1\n0\n0\n");
    EXPECT_NE(err.find("thread none.mps: cannot read the file"), std::string::npos) << err;
    EXPECT_NE(err.find("thread broken.mps: does not compile"), std::string::npos) << err;
}

}  // namespace
