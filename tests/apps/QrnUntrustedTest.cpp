// A title run as downloaded: it opens only files inside its folder, loads no
// plug-in unless asked, can be stopped when it never yields, and leaves
// debug.txt in whole lines when killed.
#include "tests/apps/QrnAppFixture.h"

#include <algorithm>
#include <sstream>

#include "apps/QrnTitle.h"

class QrnUntrusted : public QrnRun {
protected:
    // The title in dir/title, a script outside it in dir/secret.mps.
    void SetUp() override {
        QrnRun::SetUp();
        fs::create_directories(dir / "title" / "sub");
        write("secret.mps", "say secret\nquit\n");
        write("title/sub/inner.mps", "say inner\n");
    }
    // Runs qrn in the title's folder.
    int inTitle(const std::string& args) {
        const fs::path top = dir;
        dir = top / "title";
        const int status = qrn(args);
        dir = top;
        return status;
    }
};

TEST_F(QrnUntrusted, ScriptsOpenOnlyFilesInsideTheTitle) {
    fs::create_symlink(dir / "secret.mps", dir / "title" / "link.mps");
    const std::string outside = (dir / "secret.mps").string();
    struct Case {
        std::string script;
        std::string refused;  // the name in the message; empty when it runs
    } cases[] = {
        {"include ../secret.mps\n", "../secret.mps"},
        {"include " + outside + "\n", outside},
        {"include link.mps\n", "link.mps"},
        {"include sub/../../secret.mps\n", "sub/../../secret.mps"},
        {"relay ../secret.mps\n", "../secret.mps"},
        {"call ../secret.mps\n", "../secret.mps"},
        {"include sub/inner.mps\nquit\n", ""},
        {"include sub/../sub/inner.mps\nquit\n", ""},
    };
    for (const Case& c : cases) {
        std::ofstream(dir / "title" / "main.mps") << c.script;
        fs::remove(dir / "title" / "debug.txt");
        if (c.refused.empty()) {
            EXPECT_EQ(inTitle("run main.mps"), 0) << c.script << err;
            EXPECT_EQ(read("title/debug.txt"), "inner\n") << c.script;
        } else {
            EXPECT_EQ(inTitle("run main.mps"), 1) << c.script;
            EXPECT_EQ(err, "can't find " + c.refused + ": outside the title\n") << c.script;
            EXPECT_FALSE(fs::exists(dir / "title" / "debug.txt")) << c.script;
        }
    }
}

TEST_F(QrnUntrusted, AllowOutsideLiftsTheConfinement) {
    write("title/main.mps", "include ../secret.mps\n");
    fs::create_symlink(dir / "secret.mps", dir / "title" / "link.mps");
    write("title/linked.mps", "relay link.mps\n");
    for (const char* script : {"main.mps", "linked.mps"}) {
        fs::remove(dir / "title" / "debug.txt");
        EXPECT_EQ(inTitle(std::string("run --allow-outside ") + script), 0) << script << err;
        EXPECT_EQ(read("title/debug.txt"), "secret\n") << script;
    }
}

TEST_F(QrnUntrusted, TitleFilesThatLeadOutAreRefused) {
    fs::create_directories(dir / "title" / "ao");
    write("elsewhere.ao", "not an animation");
    fs::create_symlink(dir / "elsewhere.ao", dir / "title" / "ao" / "1.ao");
    fs::create_symlink(dir / "elsewhere.ao", dir / "title" / "palette.plt");
    write("title/main.mps", "a=KvAnimation 0 0 1\nquit\n");
    inTitle("run main.mps");
    EXPECT_NE(err.find("palette.plt: outside the title\n"), std::string::npos) << err;
    EXPECT_NE(err.find("1.ao: outside the title\n"), std::string::npos) << err;
}

TEST_F(QrnUntrusted, PluginsLoadOnlyWhenAskedFor) {
    fs::copy_file(fs::path(QRN_PLUGIN_DIR) / "Gizmo.lrn", dir / "title" / "Gizmo.lrn");
    write("title/main.mps", "g=Gizmo 5\nh=Gizmo 6\nget g size s\nsay s\nquit\n");
    const std::string notice = "Gizmo.lrn not loaded: plug-ins run native code; pass --plugins to allow\n";

    EXPECT_EQ(inTitle("run main.mps"), 0) << err;
    EXPECT_NE(read("title/debug.txt"), "5\n");
    EXPECT_EQ(err, "qrn run: " + notice);  // once, though the script names the class twice

    fs::remove(dir / "title" / "debug.txt");
    EXPECT_EQ(inTitle("run --plugins main.mps"), 0) << err;
    EXPECT_EQ(read("title/debug.txt"), "5\n");
    EXPECT_EQ(err, "");
}

TEST_F(QrnUntrusted, AScriptThatNeverYieldsCanBeStopped) {
    // Nine hundred million turns of the inner loop: endless, for a test.
    write("title/loop.mps", "yield off\nfor i 1 30000\n  for j 1 30000\n    say j\n");
    EXPECT_EQ(inTitle("run --max-statements 20 loop.mps"), 3) << err;
    const std::string said = read("title/debug.txt");
    EXPECT_EQ(said.substr(0, 4), "1\n2\n");
    EXPECT_LT(said.size(), 40u);
    // The pass limit holds too: the main loop gets its passes under "yield off".
    fs::remove(dir / "title" / "debug.txt");
    EXPECT_EQ(inTitle("run --max-passes 1 loop.mps"), 3) << err;
    const std::string text = read("title/debug.txt");
    EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 0);
    EXPECT_LE(std::count(text.begin(), text.end(), '\n'), kQrnStatementsPerPass);
    EXPECT_EQ(inTitle("run --max-statements 0 loop.mps"), 2);
}

TEST_F(QrnUntrusted, AKilledRunLeavesOnlyWholeLines) {
    const std::string tail(900, 'x');  // long lines, so that a cut one would show
    write("title/say.mps", "yield off\nfor i 1 30000\n  for j 1 30000\n    say j " + tail + "\n");
    const std::string command = "cd '" + (dir / "title").string() + "' && { '" QRN_APP
                                "' run --max-passes 2000000000 say.mps & sleep 0.5; kill -9 $!; wait; true; } 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = read("title/debug.txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    std::istringstream lines(text);
    long n = 0;
    for (std::string line; std::getline(lines, line); ++n)
        ASSERT_EQ(line, std::to_string(n % 30000 + 1) + " " + tail) << "line " << n + 1;
}
