// The qrn program run through the shell: each case gets a fresh temporary
// directory, runs the built program there and reads its status, output and files.
#pragma once

#include "tests/support/ByteWriter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

const fs::path kSource = QRN_TEST_DATA;

// Runs a shell command within 512 MB: under "ulimit -v" in a plain build; a
// sanitized process reserves far more address space than it uses, so there
// the sanitizer's own limits hold it (any one allocation, and all it keeps).
inline int withinMemoryLimit(const std::string& command) {
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit = "export ASAN_OPTIONS=max_allocation_size_mb=512:hard_rss_limit_mb=512:allocator_may_return_null=0; ";
#else
    const std::string limit = "ulimit -v 524288; ";
#endif
    return std::system(("(" + limit + command + ") </dev/null >/dev/null 2>&1").c_str());
}

class QrnRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');  // a parameterised case's name
        dir = fs::temp_directory_path() / ("qrn-app-" + name + "-" + std::to_string(std::random_device{}()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Paths are the case folder's; an absolute one stays as it is.
    void write(const fs::path& file, const std::string& text) const {
        fs::create_directories((dir / file).parent_path());
        std::ofstream(dir / file, std::ios::binary) << text;
    }
    std::string read(const fs::path& file) const {
        std::ifstream in(dir / file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    Bytes bytes(const fs::path& file) const {
        const std::string text = read(file);
        return Bytes(text.begin(), text.end());
    }
    // Runs qrn ARGS in the folder cwd (standard input /dev/null; within 512 MB
    // when limited), its debug.txt removed first; the exit status.
    int qrn(const std::string& args, const fs::path& cwd = ".", bool limited = false) {
        fs::remove(dir / cwd / "debug.txt");
        const std::string command = "cd '" + (dir / cwd).string() + "' && '" QRN_APP "' " + args + " </dev/null >'" +
                                    (dir / "out.txt").string() + "' 2>'" + (dir / "err.txt").string() + "'";
        const int status = limited ? withinMemoryLimit(command) : std::system(command.c_str());
        out = read("out.txt"), err = read("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path dir;
    std::string out;
    std::string err;
};
