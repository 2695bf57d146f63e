// The qrn program run through the shell: each case gets a fresh temporary
// directory, runs the built program there and reads its status, output and files.
#pragma once

#include "tests/support/ByteWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <random>

namespace fs = std::filesystem;

const fs::path kSource = QRN_TEST_DATA;

class QrnRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("qrn-app-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
               "-" + std::to_string(std::random_device{}()));  // unique per process
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
