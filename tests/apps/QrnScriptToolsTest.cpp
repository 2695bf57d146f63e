// Random scripts under qrn run say the same compiled, in either byte order,
// as they do as text.
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

}  // namespace
