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

    // Paths are the case folder's.
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
        until([this] { return read("pid"); }, "", 1);
    }
    bool running() const { return fs::exists(dir / "pid") && !fs::exists(dir / "status.txt"); }
    // Waits for the program started last to end (at most seconds); its status, or -1.
    int finish(int seconds = 20) {
        const std::string s = until([this] { return read("status.txt"); }, "", seconds);
        return s.empty() ? -1 : std::stoi(s);
    }
    // The X window named name, once it is shown; "" when none comes.
    std::string window(const std::string& name) const {
        // Searching can fail on a window that closes meanwhile: ask again.
        return until([&] {
            const std::string id = output("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null | head -1 | tr -d '\\n'");
            return id.find_first_not_of("0123456789") == std::string::npos ? id : "";
        }, "", 15);
    }
    static void settle(int ms = 600) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Asks until the answer is expected (with none expected: until there is
    // one) or seconds have passed; the last answer.
    template <class Ask>
    static std::string until(Ask ask, const std::string& expected = "", int seconds = 10) {
        std::string answer = ask();
        for (int i = 0; i < seconds * 10 && (expected.empty() ? answer.empty() : answer != expected); ++i) {
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
