// A title run as downloaded: it opens only files inside its folder, loads no
// plug-in unless asked, can be stopped when it never yields, and leaves
// debug.txt in whole lines when killed.
#include "tests/apps/QrnAppFixture.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <vector>

#include "apps/QrnTitle.h"
#include "framework/KvRecording.h"

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
    // The host's own keywords open what they name the same way.
    const std::string outside = (dir / "elsewhere.ao").string();
    for (const std::string& keyword : {std::string("background \"../elsewhere.ao\""), "background \"" + outside + "\"",
                                       std::string("background \"palette.plt\""), std::string("cursor 1"),
                                       std::string("thread \"../secret.mps\"")}) {
        write("title/main.mps", keyword + "\nsay RESULT\nquit\n");
        fs::remove(dir / "title" / "debug.txt");
        EXPECT_EQ(inTitle("run main.mps"), 0) << keyword;
        EXPECT_NE(err.find("outside the title"), std::string::npos) << keyword << ": " << err;
        EXPECT_TRUE(read("title/debug.txt") == "\n" || read("title/debug.txt") == "0\n") << keyword;
    }
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
                                "' run --max-passes 2000000000 say.mps & "
                                "n=0; while [ ! -s debug.txt ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done; "
                                "sleep 0.3; kill -9 $!; wait; true; } 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string text = read("title/debug.txt");
    ASSERT_FALSE(text.empty());
    // Each line goes out in one write, but the kernel stops a write between
    // two pages of the file when the process is killed: only there may the
    // last line end cut short.
    if (text.back() != '\n') {
        EXPECT_EQ(text.size() % 4096, 0u) << "a line cut at " << text.size();
        text.erase(text.rfind('\n') + 1);
    }
    std::istringstream lines(text);
    long n = 0;
    for (std::string line; std::getline(lines, line); ++n)
        ASSERT_EQ(line, std::to_string(n % 30000 + 1) + " " + tail) << "line " << n + 1;
    EXPECT_GT(n, 0);
}

namespace {
// Runs a shell command within 512 MB: under "ulimit -v" in a plain build; a
// sanitized process reserves far more address space than it uses, so there
// the sanitizer's own limits hold it (any one allocation, and all it keeps).
int withinMemoryLimit(const std::string& command) {
#if defined(__SANITIZE_ADDRESS__)
    const std::string limited = "ASAN_OPTIONS=max_allocation_size_mb=512:hard_rss_limit_mb=512:"
                                "allocator_may_return_null=0 " + command;
#else
    const std::string limited = "ulimit -v 524288; " + command;
#endif
    return std::system(("sh -c '" + limited + "; exit $?' </dev/null >/dev/null 2>&1").c_str());
}

// Animation 2 of a title: it plays sound 1, then shows its one cel.
const Bytes kSounding = {1, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x9B, 0xFF, 1, 0, 0, 0,
                         0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 4, 0, 2, 0, 0xFF, 7, 4, 4, 1, 2, 3, 4};
}  // namespace

TEST_F(QrnUntrusted, HostileSizesAreRefusedWithinTheMemoryLimit) {
    fs::create_directories(dir / "title" / "ao");
    fs::create_directories(dir / "title" / "snd");
    // An animation whose one cel claims 60000 x 60000.
    writeBytes("title/ao/1.ao", Bytes{1, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0x60, 0xEA, 0x60, 0xEA, 0xFF,
                                               7, 4, 4, 1, 2, 3, 4});
    // Backgrounds claiming a billion pixels, and the largest sides a canvas may have.
    Bytes billion(40), widest(48);
    for (Bytes* b : {&billion, &widest}) poke32(*b, 0, 32);
    poke32(billion, 4, 40000), poke32(billion, 8, 25000);
    poke32(widest, 4, 16384), poke32(widest, 8, 16384), poke32(widest, 16, 16384u * 16384u * 2), poke32(widest, 20, 16);
    writeBytes("title/billion.b16", billion);
    writeBytes("title/widest.b16", widest);
    // A sound whose data claim 4 GB, played by animation 2.
    Bytes sound = {'R', 'I', 'F', 'F', 0xF8, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1,
                   0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', 0xF0, 0xFF, 0xFF, 0xFF};
    sound.resize(sound.size() + 64, 1);
    writeBytes("title/snd/1.wav", sound);
    writeBytes("title/ao/2.ao", kSounding);
    // A recorded session too large to be one (sparse: it takes no disk).
    writeBytes("title/huge.txt", {});
    fs::resize_file(dir / "title" / "huge.txt", kKvMaxRecordingBytes + 1);
    struct Case {
        const char* script;  // "say ran" follows
        const char* options;
        int status;
        const char* message;
    } cases[] = {
        {"a=KvAnimation 0 0 1\nquit\n", "", 0, "ao/1.ao: offset 38: cel 0's picture of -5536 x -5536"},
        {"background \"billion.b16\"\nquit\n", "", 0, "Damaged image data: the header's width or height is out of range"},
        {"background \"widest.b16\"\nquit\n", "", 0, "Damaged image data: the picture has more pixels than a background may"},
        {"a=KvAnimation 0 0 2\nplay a\n", "--max-passes 20 ", 3, ""},
        {"quit\n", "--replay huge.txt ", 1, "huge.txt: not a recording (larger than 67108864 bytes)"},
    };
    for (const Case& c : cases) {
        write("title/main.mps", std::string("say ran\n") + c.script);
        fs::remove(dir / "title" / "debug.txt");
        const std::string run =
            "cd " + (dir / "title").string() + " && " QRN_APP " run " + c.options + "main.mps 2>err.txt";
        const int status = withinMemoryLimit(run);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.script << status;
        EXPECT_EQ(read("title/debug.txt"), c.status == 1 ? "" : "ran\n") << c.script;
        EXPECT_NE(read("title/err.txt").find(c.message), std::string::npos) << read("title/err.txt");
    }
}

// Every seed and finding of the fuzz corpora, put in a title as the file a
// script loads (or the session it replays), runs to its end within 512 MB.
// QRN_CORPUS names another folder of corpora, such as the ones a fuzzing
// campaign grew (build-fuzz/corpus).
TEST_F(QrnUntrusted, FuzzCorporaRunWithinTheMemoryLimit) {
    fs::create_directories(dir / "title" / "ao");
    fs::create_directories(dir / "title" / "snd");
    writeBytes("title/ao/2.ao", kSounding);
    struct Kind {
        const char* corpus;
        const char* file;    // where the input goes in the title
        const char* script;  // main.mps, or null when the input is the script
    } kinds[] = {
        {"ao", "ao/1.ao", "a=KvAnimation 0 0 1\nplay a\n"},
        {"b16", "room.b16", "background \"room.b16\"\n"},
        {"palette", "palette.plt", "a=KvAnimation 0 0 2\n"},
        {"wav", "snd/1.wav", "a=KvAnimation 0 0 2\nplay a\n"},
        {"script", "main.mps", nullptr},
        {"recording", "session.txt", "say ran\n"},
    };
    const char* corpora = std::getenv("QRN_CORPUS");
    const fs::path root = corpora ? fs::path(corpora) : kSource.parent_path() / "fuzz" / "corpus";
    int runs = 0;
    for (const Kind& k : kinds)
        for (const auto& input : fs::directory_iterator(root / k.corpus)) {
            fs::copy_file(input.path(), dir / "title" / k.file, fs::copy_options::overwrite_existing);
            if (k.script) write("title/main.mps", k.script);
            const std::string replay = std::string(k.corpus) == "recording" ? "--replay session.txt " : "";
            const std::string run = "cd " + (dir / "title").string() + " && " QRN_APP " run --max-passes 20 " +
                                    replay + "main.mps";
            const int status = withinMemoryLimit(run);
            // 0 at the end, 1 for a refused script or session, 3 at the pass limit; never a signal.
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 3) << input.path() << ": " << status;
            ++runs;
        }
    EXPECT_GT(runs, 25);
}
