// The headless backend's clock, display depth, messages and interruptions,
// seen through the system services the library calls; and the services that
// ask the system itself: the program's path, modules and folder listings.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "framework/KvSys.h"
#include "framework/KvInterruptions.h"
#include "framework/KvModule.h"

using Clock = HeadlessTest;
namespace fs = std::filesystem;

TEST_F(Clock, StartsAtAFixedTimeStepsWithEachPassAndMovesByHand) {
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs);
    app->pass();
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 10);
    backend.setStepPerPass(33);
    app->pass();
    app->pass();
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 10 + 66);
    backend.setStepPerPass(0);
    app->pass();
    backend.advance(250);
    EXPECT_EQ(KvSysTickCount(), kKvHeadlessStartMs + 76 + 250);
    backend.setTime(5);
    EXPECT_EQ(KvSysTickCount(), 5u);
    backend.setTime(~0ul);
    backend.advance(3);  // wraps
    EXPECT_EQ(KvSysMilliSecCount(), 2u);
}

TEST_F(Clock, DisplayDepthAcceptsOnlyCanvasDepths) {
    EXPECT_EQ(KvSysNumColors(), 16);
    for (int d : {8, 15, 24, 32, 16}) {
        EXPECT_TRUE(backend.setDisplayDepth(d));
        EXPECT_EQ(KvSysNumColors(0), d);
    }
    for (int bad : {0, 1, 4, 12, 17, 64, -16}) {
        EXPECT_FALSE(backend.setDisplayDepth(bad)) << bad;
        EXPECT_EQ(KvSysNumColors(), 16);
    }
}

// The default backend has no audio device.
TEST(BackendInstall, DefaultIsHeadlessAndNullReinstatesIt) {
    KvBackend* def = KvBackend::current();
    ASSERT_NE(def, nullptr);
    EXPECT_STREQ(def->name(), "headless");
    KvAudioFormat deviceFormat;
    EXPECT_FALSE(def->openAudio(nullptr, nullptr, &deviceFormat));
    {
        KvHeadlessBackend mine;
        KvBackend::install(&mine);
        EXPECT_EQ(KvBackend::current(), &mine);
        KvBackend::install(nullptr);
        EXPECT_EQ(KvBackend::current(), def);
        KvBackend::install(&mine);
    }  // a backend destroyed while installed hands back to the default
    EXPECT_EQ(KvBackend::current(), def);
}

TEST_F(Clock, UserMessagesGoToStderr) {
    const struct {
        const char *text, *title, *expected;
    } cases[] = {
        {"Script too long", nullptr, "Script too long\n"},
        {"Bad format", "Background16", "Background16: Bad format\n"},
        {"", nullptr, "\n"},
        {nullptr, nullptr, "\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(KvSysUserMessage(c.text, kKvSysMessageModal, c.title), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
    }
}

// Every link hears of an interruption, even after one before it removed itself.
TEST_F(Clock, InterruptionsMoveTheClockAndReachEveryLink) {
    std::vector<unsigned long> reported;
    KvLink* self = nullptr;
    KvFunctionLink first([&](const void* ms) {
        reported.push_back(*static_cast<const unsigned long*>(ms));
        SoundManager::interruptedList.remove(self);
    });
    self = &first;
    KvFunctionLink second([&](const void* ms) { reported.push_back(*static_cast<const unsigned long*>(ms) + 1); });
    SoundManager::interruptedList.append(&first);
    SoundManager::interruptedList.append(&second);
    backend.interrupt(5000);
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    SoundManager::interrupted(7);  // a report alone does not move the clock
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    EXPECT_EQ(reported, (std::vector<unsigned long>{5000, 5001, 8}));
    SoundManager::interruptedList.remove(&second);
    EXPECT_FALSE(SoundManager::interruptedList.contains(&first) || SoundManager::interruptedList.contains(&second));
}

TEST(KvSys, TheExecutablePathNamesThisProgram) {
    const fs::path self = KvSysExecutablePath();
    EXPECT_TRUE(self.is_absolute()) << self;
    EXPECT_EQ(self.filename(), "test_framework");
    EXPECT_TRUE(fs::is_regular_file(self)) << self;
}

TEST(ModuleLoading, MissingModuleGivesNullAndAReason) {
    EXPECT_EQ(KvSysLoadModule("no-such-module.lrn"), nullptr);
    EXPECT_NE(std::string(KvSysModuleError()), "");
    EXPECT_EQ(KvSysLoadModule(nullptr), nullptr);
    KvSysFreeModule(nullptr);  // ignored
}

TEST(ModuleListing, SortsOrdinaryMatchingFilesByName) {
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() /
                         ("qrn-list-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    ASSERT_TRUE(fs::create_directory(dir));
    fs::current_path(dir);
    for (const char* f : {"b.lrn", "a.lrn", "B.lrn", "c.lrnx", "a.txt"}) std::ofstream(f) << "x";
    fs::create_directory("d.lrn");
    std::vector<std::string> names{"stale"};
    const int n = KvSysListFiles("*.lrn", &names);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"B.lrn", "a.lrn", "b.lrn"}));
    EXPECT_EQ(KvSysListFiles(nullptr, &names), -1);
    EXPECT_EQ(KvSysListFiles("*.lrn", nullptr), -1);
    fs::current_path(home);
    fs::remove_all(dir);
}
