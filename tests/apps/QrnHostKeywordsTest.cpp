// The background and cursor keywords of "qrn run", on the example's files:
// the kind of background each file makes, the cursor, and refused ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class QrnHostKeywords : public ::testing::Test {
protected:
    // The example's files go into title/; qrn runs from the folder above, so
    // that they are found next to the script and not in the current folder.
    void SetUp() override {
        dir = fs::temp_directory_path() / "qrn-host-keywords";
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy(fs::path(QRN_TEST_DATA) / ".." / "examples" / "backdrop", dir / "title", fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string read(const fs::path& file) const {
        std::ifstream in(dir / file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int run(const std::string& script) {
        std::ofstream(dir / "title" / "test.mps", std::ios::binary) << script;
        const std::string command = "cd '" + dir.string() + "' && '" QRN_APP
                                    "' run title/test.mps </dev/null >out.txt 2>err.txt; echo $? >status.txt";
        if (std::system(command.c_str()) != 0) return -1;
        err = read("err.txt");
        return std::stoi(read("status.txt"));
    }
    fs::path dir;
    std::string err;
};

TEST_F(QrnHostKeywords, BackgroundsAndCursorsFromFilesNextToTheScript) {
    ASSERT_EQ(run("background \"room.b16\"\nsay RESULT\ncursor 1 4 4\nsay RESULT\n"
                  "background \"hall.ao\"\nsay RESULT\ncursor 1\nsay RESULT\nquit\n"),
              0);
    if (err.find("no window") != std::string::npos) GTEST_SKIP() << "qrn run opens no window yet";
    EXPECT_EQ(read("debug.txt"), "Background16\n1\nAOBackground\n1\n");
    EXPECT_EQ(err, "");
}

TEST_F(QrnHostKeywords, FilesThatCannotBeReadAreRefused) {
    ASSERT_EQ(run("background \"none.b16\"\nsay \"<\" RESULT \">\"\ncursor 9\nsay RESULT\ncursor one\nsay RESULT\nquit\n"), 0);
    EXPECT_EQ(read("debug.txt"), "<  >\n0\n0\n");
    EXPECT_NE(err.find("background none.b16"), std::string::npos) << err;
    EXPECT_NE(err.find("cursor 9"), std::string::npos) << err;
    EXPECT_NE(err.find("cursor one"), std::string::npos) << err;
}

}  // namespace
