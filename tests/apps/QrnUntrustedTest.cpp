// A title run as downloaded leaves debug.txt in whole lines when killed, and
// the fuzz corpora run within 512 MB.
#include "tests/apps/QrnAppFixture.h"

#include <sys/wait.h>

#include <sstream>

using QrnUntrusted = QrnRun;

TEST_F(QrnUntrusted, AKilledRunLeavesOnlyWholeLines) {
    const std::string tail(900, 'x');  // long lines, so that a cut one would show
    write("say.mps", "yield off\nfor i 1 30000\n  for j 1 30000\n    say j " + tail + "\n");
    const std::string command = "cd '" + dir.string() + "' && { '" QRN_APP
                                "' run --max-passes 2000000000 say.mps & "
                                "n=0; while [ ! -s debug.txt ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done; "
                                "sleep 0.3; kill -9 $!; wait; true; } 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string text = read("debug.txt");
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

// Every seed and finding of the fuzz corpora, put in a title as the file a
// script loads (or the session it replays), runs to its end within 512 MB.
// QRN_CORPUS names another folder of corpora, such as the ones a fuzzing
// campaign grew (build-fuzz/corpus).
TEST_F(QrnUntrusted, FuzzCorporaRunWithinTheMemoryLimit) {
    fs::create_directories(dir / "title" / "ao");
    fs::create_directories(dir / "title" / "snd");
    fs::copy_file(kSource / "apps" / "data" / "sounding.ao", dir / "title" / "ao" / "2.ao");
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
