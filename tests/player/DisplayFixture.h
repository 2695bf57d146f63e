// The player seen from outside, as a person sees it: each case gets a fresh
// folder, starts the built qrn program there in the background on the
// virtual display (with-display.sh), finds its window with xdotool, sends it
// real X input, captures it with xwd, and reads the files it wrote.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "framework/KvPng.h"
#include "tests/player/XwdImage.h"

namespace fs = std::filesystem;

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("qrn-player-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
               std::to_string(std::random_device{}()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (running()) sh("kill -KILL $(cat pid)");
        fs::remove_all(dir);
    }

    // A title's files, copied from the source tree or written here.
    void copy(const std::string& from, const std::string& to) const {
        fs::create_directories((dir / to).parent_path());
        fs::copy(fs::path(QRN_TEST_DATA) / ".." / from, dir / to,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    void write(const std::string& file, const std::string& text) const {
        fs::create_directories((dir / file).parent_path());
        std::ofstream(dir / file, std::ios::binary) << text;
    }
    std::string read(const std::string& file) const {
        std::ifstream in(dir / file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A shell command in the folder; 0 when it succeeded.
    int sh(const std::string& command) const { return std::system(("cd '" + dir.string() + "' && " + command).c_str()); }
    // The output of a shell command in the folder.
    std::string output(const std::string& command) const {
        sh(command + " >cmd.out 2>&1");
        return read("cmd.out");
    }

    // Starts "qrn ARGS" in the background; its status goes to status.txt when it ends.
    void start(const std::string& args, const std::string& env = "") {
        sh("(" + env + " '" QRN_APP "' " + args +
           " </dev/null >out.txt 2>err.txt & echo $! >pid; wait $!; echo $? >status.txt) >/dev/null 2>&1 &");
        for (int i = 0; i < 100 && !fs::exists(dir / "pid"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    bool running() const { return fs::exists(dir / "pid") && !fs::exists(dir / "status.txt"); }
    // Waits for the program started last to end (at most seconds); its status, or -1.
    int finish(int seconds = 20) {
        for (int i = 0; i < seconds * 20 && !fs::exists(dir / "status.txt"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string s = read("status.txt");
        return s.empty() ? -1 : std::stoi(s);
    }
    // The X window named name, once it is shown; "" when none comes.
    std::string window(const std::string& name) const {
        // Searching can fail on a window that closes meanwhile: ask again.
        for (int i = 0; i < 150; ++i) {
            std::string id = output("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null | head -1");
            while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
            if (!id.empty() && id.find_first_not_of("0123456789") == std::string::npos) return id;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }
    static void settle(int ms = 600) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Asks until the answer is expected or seconds have passed; the last answer.
    template <class Ask>
    static std::string until(const std::string& expected, Ask ask, int seconds = 10) {
        std::string answer = ask();
        for (int i = 0; i < seconds * 10 && answer != expected; ++i) {
            settle(100);
            answer = ask();
        }
        return answer;
    }

    XwdImage capture(const std::string& id) const {
        XwdImage image;
        std::string why;
        EXPECT_EQ(sh("xwd -silent -id " + id + " -out shot.xwd"), 0);
        EXPECT_TRUE(image.load((dir / "shot.xwd").string(), why)) << why;
        return image;
    }
    KvPngImage png(const std::string& file) const {
        KvPngImage image;
        std::string why;
        EXPECT_TRUE(KvLoadPng((dir / file).string().c_str(), image, &why)) << file << ": " << why;
        return image;
    }
    static uint32_t rgbAt(const KvPngImage& p, int x, int y) {
        const uint8_t* c = &p.rgba[4 * (static_cast<size_t>(y) * p.width + x)];
        return static_cast<uint32_t>(c[0]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[2];
    }

    fs::path dir;
};
