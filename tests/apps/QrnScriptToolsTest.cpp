// qrn run, qrn compile and qrn disasm through the built program: the golden
// scripts write their expected output, as text and compiled in both byte orders; random
// scripts too; the example titles' scripts list as their golden listings;
// a script that does not compile, or a damaged compiled file, ends with
// status 1 and names the line or offset.
#include "tests/apps/QrnAppFixture.h"

#include <random>

namespace {

class QrnScriptTools : public QrnRun {
protected:
    // Runs a script and returns its debug.txt.
    std::string run(const std::string& script) {
        fs::remove(dir / "debug.txt");
        EXPECT_EQ(qrn("run " + script), 0) << script << ": " << err;
        return read("debug.txt");
    }
};

TEST_F(QrnScriptTools, GoldenScriptsRunAsExpectedFromTextAndCompiledInBothByteOrders) {
    const fs::path golden = kSource / "script" / "golden";
    for (const auto& file : fs::directory_iterator(golden))
        fs::copy_file(file.path(), dir / file.path().filename(), fs::copy_options::overwrite_existing);
    for (const std::string name : {"statements", "loops", "procedures", "arrays", "includes"}) {
        const std::string expected = read(golden / (name + ".expected"));
        EXPECT_EQ(run(name + ".mps"), expected) << name;
        ASSERT_EQ(qrn("compile " + name + ".mps"), 0) << err;
        EXPECT_EQ(run(name + ".qsc"), expected) << name;
        ASSERT_EQ(qrn("compile --byte-order big -o " + name + ".big " + name + ".mps"), 0) << err;
        EXPECT_EQ(read(name + ".big")[0], '\1');
        EXPECT_EQ(run(name + ".big"), expected) << name;
        ASSERT_EQ(qrn("disasm " + name + ".qsc"), 0) << err;
        const std::string little = out;
        ASSERT_EQ(qrn("disasm " + name + ".big"), 0) << err;
        EXPECT_EQ(out, little) << name;
    }
}

TEST_F(QrnScriptTools, RandomScriptsRunTheSameCompiled) {
    std::mt19937 rng(99);
    const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const char* names[] = {"a", "b", "c", "total"};
    const char* ops[] = {"+", "-", "*"};
    for (int round = 0; round < 6; ++round) {
        std::string text;
        for (const char* n : names) text += std::string(n) + "=" + std::to_string(pick(50)) + "\n";
        for (int line = 0, lines = 5 + pick(20); line < lines; ++line) {
            const std::string target = names[pick(4)], left = names[pick(4)];
            switch (pick(4)) {
            case 0: text += target + "=" + left + ops[pick(3)] + std::to_string(pick(9) + 1) + "\n"; break;
            case 1: text += "say " + left + " \"is\" " + target + "\n"; break;
            case 2: text += "if " + left + ">" + std::to_string(pick(40)) + "\n  say big " + left + "\nelse\n  say small\n"; break;
            default: text += "for i 1 " + std::to_string(pick(4) + 1) + "\n  " + target + "=" + target + "+i\n"; break;
            }
        }
        text += "say " + std::string(names[pick(4)]) + "\nexit\n";
        write("r.mps", text);
        const std::string expected = run("r.mps");
        ASSERT_EQ(qrn("compile r.mps"), 0) << err;
        EXPECT_EQ(run("r.qsc"), expected) << text;
        ASSERT_EQ(qrn("compile --byte-order big -o r.big r.mps"), 0) << err;
        EXPECT_EQ(run("r.big"), expected) << text;
    }
}

TEST_F(QrnScriptTools, ExampleScriptsListAsTheirGoldenListings) {
    for (const std::string name : {"hello", "carousel", "backdrop"}) {
        const fs::path script = kSource.parent_path() / "examples" / name / (name + ".mps");
        ASSERT_EQ(qrn("compile -o " + name + ".qsc '" + script.string() + "'"), 0) << err;
        ASSERT_EQ(qrn("disasm " + name + ".qsc"), 0) << err;
        EXPECT_EQ(out, read(kSource / "apps" / "golden" / (name + ".disasm"))) << name;
    }
}

TEST_F(QrnScriptTools, BadScriptsAndDamagedFilesAreRefused) {
    write("bad.mps", "say a\nif (b\n  say c\n");
    EXPECT_EQ(qrn("compile bad.mps"), 1);
    EXPECT_NE(err.find("bad.mps does not compile"), std::string::npos) << err;
    EXPECT_NE(err.find("2: "), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "bad.qsc"));

    write("s.mps", "x=1\nsay x\n");
    ASSERT_EQ(qrn("compile s.mps"), 0) << err;
    ASSERT_EQ(qrn("info s.qsc"), 0) << err;
    EXPECT_NE(out.find("kind: compiled script\nsize: "), std::string::npos) << out;
    EXPECT_NE(out.find("commands: 2\n"), std::string::npos) << out;
    std::string file = read("s.qsc");
    file[1] = '\x7F', file[4] = '\x7F';  // a command count far above the table's
    write("d.qsc", file);
    EXPECT_EQ(qrn("disasm d.qsc"), 1);
    EXPECT_NE(err.find("d.qsc: offset 1: commands count"), std::string::npos) << err;
    EXPECT_EQ(qrn("info d.qsc"), 1);
    EXPECT_NE(err.find("d.qsc: offset 1:"), std::string::npos) << err;
    write("t.qsc", read("s.qsc").substr(0, read("s.qsc").size() - 3));
    EXPECT_EQ(qrn("disasm t.qsc"), 1);
    EXPECT_NE(err.find("t.qsc: offset "), std::string::npos) << err;
}

}  // namespace
