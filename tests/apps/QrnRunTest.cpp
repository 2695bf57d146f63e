// The qrn program itself: "qrn run" on the example, and every exit status. Each case runs the built program through the shell in
// a fresh temporary directory and reads its status, output and debug.txt.
#include "tests/apps/QrnAppFixture.h"

namespace {

TEST_F(QrnRun, TheExampleRunsAsItsReadmeShows) {
    fs::copy_file(kSource.parent_path() / "examples" / "hello" / "hello.mps", dir / "hello.mps");
    EXPECT_EQ(qrn("run hello.mps"), 0) << err;
    const std::string readme = read(kSource.parent_path() / "examples" / "hello" / "README.md");
    const std::string shown = read("debug.txt");
    EXPECT_EQ(shown.substr(0, 15), "Hello from qrn\n");
    EXPECT_NE(readme.find("```\n" + shown + "```"), std::string::npos) << "the README shows:\n" << shown;
}

TEST_F(QrnRun, ExitStatuses) {
    write("quit.mps", "say a\nquit\nsay b\n");
    write("ends.mps", "say a\nexit\n");
    write("waits.mps", "say a\nwait\n");
    write("broken.mps", "say a\nsay (b\n");
    write("long.mps", std::string(70000, ' '));
    write("paused.mps", "pause 1\nsay done\nexit\n");
    write("other-size.txt", "qrn-recording 1\nwindow 320 200 16\nseed 1\nstart 1000\n");
    write("garbled.txt", "qrn-recording 1\nwindow 640 480 16\nseed 1\nstart 1000\npass 1 1010\nmouseDown 4\n");
    write("main.mps", "say a\ninclude inc.mps\n");
    write("inc.mps", "say b\nsay \"open\n");
    struct Case {
        std::string args;
        int status;
        std::string err;  // the beginning of standard error
    } cases[] = {
        {"run quit.mps", 0, ""},
        {"run ends.mps", 0, ""},
        {"run --max-passes 50 waits.mps", 3, ""},
        {"run --max-passes=50 waits.mps", 3, ""},
        {"run missing.mps", 1, "can't find missing.mps\n"},
        // Compile messages name the file, an included one by its own name.
        {"run broken.mps", 1, "broken.mps:2:  say a\nsay (b\n\n"},
        {"run main.mps", 1, "inc.mps:2: Unquote \"open...\ninc.mps:2:  say b\nsay \"open\n\n"},
        {"run long.mps", 1, "Script too long\n"},
        {"run --max-passes 5 --ms-per-pass 100 paused.mps", 3, ""},
        {"run --max-passes 20 --ms-per-pass 100 paused.mps", 0, ""},
        {"run --bogus quit.mps", 2, "qrn run: unknown option --bogus\nusage: qrn run"},
        {"run --max-passes x quit.mps", 2, "qrn run: bad value for --max-passes: x\n"},
        {"run --max-passes", 2, "qrn run: --max-passes needs a value\n"},
        {"run", 2, "qrn run: no TITLE given\n"},
        {"run a.mps b.mps", 2, "qrn run: more than one TITLE given\n"},
        {"", 2, "qrn: no command given\nusage: qrn COMMAND"},
        {"frob x", 2, "qrn: unknown command frob\n"},
        {"play a b", 2, "qrn play: more than one TITLE given\n"},
        {"play --scale 0 quit.mps", 2, "qrn play: bad value for --scale: 0\n"},
        {"play --scale 17 quit.mps", 2, "qrn play: bad value for --scale: 17\n"},
        {"play --mute=1 quit.mps", 2, "qrn play: --mute takes no value\n"},
        {"play --record a.txt --replay b.txt quit.mps", 2, "qrn play: --record and --replay cannot go together\n"},
        {"run --replay missing.txt quit.mps", 1, "qrn run: missing.txt: cannot be read\n"},
        {"run --replay garbled.txt quit.mps", 1, "qrn run: garbled.txt:6: expected \"mouseDown X Y\"\n"},
        {"run --replay other-size.txt quit.mps", 1,
         "qrn run: other-size.txt: recorded in a 320x200 window at 16 bits; this run is 640x480 at 16 bits\n"},
        {"run --size 10 quit.mps", 2, "qrn run: bad value for --size: 10\n"},
        {"run --size 0x10 quit.mps", 2, "qrn run: bad value for --size: 0x10\n"},
        {"run --depth 15 quit.mps", 2, "qrn run: bad value for --depth: 15\n"},
        {"run --script-positions=1 quit.mps", 2, "qrn run: --script-positions takes no value\nusage: qrn run"},
        {"run --screenshot nodir/x.png quit.mps", 1, "qrn run: cannot write nodir/x.png\n"},
        {"pack only.png", 2, "qrn pack: give IMAGE.png and OUT.ao\n"},
        {"pack missing.png out.ao", 1, "qrn pack: missing.png: cannot open the file\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qrn(c.args), c.status) << c.args << "\n" << err;
        EXPECT_EQ(err.substr(0, c.err.size()), c.err) << c.args;
    }
}

TEST_F(QrnRun, HelpGoesToStandardOutputWithStatusZero) {
    EXPECT_EQ(qrn("--help"), 0);
    EXPECT_NE(out.find("run "), std::string::npos);
    EXPECT_EQ(err, "");
    EXPECT_EQ(qrn("run --help"), 0);
    EXPECT_EQ(out.substr(0, 31), "usage: qrn run [options] TITLE\n");
    for (const char* option : {"--size WxH", "--depth D", "--screenshot FILE.png", "--script-positions ", "--replay FILE"})
        EXPECT_NE(out.find(option), std::string::npos);
    EXPECT_NE(out.find("--ms-per-pass M"), std::string::npos);
    EXPECT_NE(out.find("exit status"), std::string::npos);
    EXPECT_EQ(qrn("pack --help"), 0);
    EXPECT_EQ(out.substr(0, 16), "usage: qrn pack ");
    EXPECT_EQ(qrn("--help"), 0);
    EXPECT_NE(out.find("pack "), std::string::npos);
}

TEST_F(QrnRun, ScriptPathIsRelativeToTheWorkingDirectory) {
    fs::create_directories(dir / "sub");
    write("sub/s.mps", "say from sub\nexit\n");
    EXPECT_EQ(qrn("run sub/s.mps"), 0) << err;
    EXPECT_EQ(read("debug.txt"), "from sub\n");
}

}  // namespace

TEST_F(QrnRun, InputKeepsIdleHandlersWaiting) {
    // Pointer moves every 0.3 s for the first 3 s of the run; the idle
    // handler, due after 1 s without input, may only come after them.
    write("idle.mps", "idle 1 woke\nwait\nprocedure woke\n[\n  say idle\n  quit\n]\n");
    std::string session = "qrn-recording 1\nwindow 640 480 16\nseed 1\nstart 1000\n";
    for (int pass = 1; pass <= 300; ++pass) {
        session += "pass " + std::to_string(pass) + " " + std::to_string(1000 + 10 * pass) + "\n";
        if (pass % 30 == 0) session += "mouseMove " + std::to_string(pass) + " 10\n";
    }
    write("moving.txt", session);
    EXPECT_EQ(qrn("run --max-passes 300 --replay moving.txt idle.mps"), 3) << err;
    EXPECT_EQ(read("debug.txt"), "");
    EXPECT_EQ(qrn("run --max-passes 500 --replay moving.txt idle.mps"), 0) << err;
    EXPECT_EQ(read("debug.txt"), "idle\n");
}
