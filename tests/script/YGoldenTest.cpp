// Golden scripts: every golden/NAME.mps that has a golden/NAME.expected runs
// in a headless application (its working directory holding a copy of every
// golden file, so includes, calls and relays find each other) until it ends,
// quits or 5000 passes ran; debug.txt must then equal NAME.expected byte for
// byte. Scripts without an .expected file are only included or called.
#include "tests/script/ThreadTestSupport.h"
#include "tests/support/CaseFiles.h"

#include <filesystem>

namespace {

const std::filesystem::path kGoldenDir = std::filesystem::path(QRN_TEST_DATA) / "script" / "golden";
constexpr int kGoldenPassLimit = 5000;

class Golden : public ThreadTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Golden, ScriptWritesExactlyTheExpectedDebugFile) {
    for (const auto& file : std::filesystem::directory_iterator(kGoldenDir))
        std::filesystem::copy_file(file.path(), directory / file.path().filename());
    const std::string script = GetParam() + ".mps";
    YThread thread(script.c_str());
    ASSERT_TRUE(thread) << script << " does not compile";
    thread.go();
    runUntilEnd(thread, kGoldenPassLimit);
    EXPECT_EQ(debug(), read(GetParam() + ".expected"));
}

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, ::testing::ValuesIn(caseNames(kGoldenDir, ".expected")), caseName);

}  // namespace
