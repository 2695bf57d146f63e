// The qrn program run through the shell: each case gets a fresh temporary
// directory, runs the built program there and reads its status, output and files.
#pragma once

#include "tests/support/ByteWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <random>

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

    void write(const std::string& file, const std::string& text) const {
        std::ofstream(dir / file, std::ios::binary) << text;
    }
    std::string read(const fs::path& file) const {
        std::ifstream in(file.is_absolute() ? file : dir / file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    Bytes bytes(const fs::path& file) const {
        const std::string text = read(file);
        return Bytes(text.begin(), text.end());
    }
    void writeBytes(const std::string& file, const Bytes& b) const { write(file, std::string(b.begin(), b.end())); }
    // Runs qrn with args in the directory, standard input from /dev/null;
    // returns the exit status.
    int qrn(const std::string& args) {
        const std::string command = "cd '" + dir.string() + "' && '" QRN_APP "' " + args +
                                    " </dev/null >out.txt 2>err.txt; echo $? >status.txt";
        if (std::system(command.c_str()) != 0) return -1;
        out = read("out.txt");
        err = read("err.txt");
        return std::stoi(read("status.txt"));
    }
    fs::path dir;
    std::string out;
    std::string err;
};
