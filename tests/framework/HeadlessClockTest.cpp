// The headless backend's clock, display depth, messages and interruptions,
// seen through the system services the library calls; and the one service
// that asks the system itself, the program's path.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "framework/KvSys.h"
#include "framework/KvInterruptions.h"

using Clock = HeadlessTest;

TEST_F(Clock, StartsAtAFixedTimeStepsWithEachPassAndMovesByHand) {
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs);
    EXPECT_NE(KvSysMilliSecCount(), 0u);
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

TEST_F(Clock, NoAudioDevice) {
    KvAudioFormat deviceFormat;
    EXPECT_FALSE(KvBackend::current()->openAudio(nullptr, nullptr, &deviceFormat));
    EXPECT_EQ(backend.getAudioOpenCalls(), 1);
    EXPECT_TRUE(KvBackend::current()->canFlip());
    EXPECT_STREQ(KvBackend::current()->name(), "headless");
}

TEST(BackendInstall, DefaultIsHeadlessAndNullReinstatesIt) {
    KvBackend* def = KvBackend::current();
    ASSERT_NE(def, nullptr);
    EXPECT_STREQ(def->name(), "headless");
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
    struct Case {
        const char* text;
        const char* title;
        const char* expected;
    };
    const Case cases[] = {
        {"Script too long", nullptr, "Script too long\n"},
        {"Bad format", "Background16", "Background16: Bad format\n"},
        {"", nullptr, "\n"},
        {nullptr, nullptr, "\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(KvSysUserMessage(c.text, kKvSysMessageModal, c.title), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
    }
}

namespace {
std::vector<unsigned long> reported;
void recordInterruption(const void* ms) { reported.push_back(*static_cast<const unsigned long*>(ms)); }
}  // namespace

TEST_F(Clock, InterruptionsMoveTheClockAndReachEveryLink) {
    reported.clear();
    KvLinkToFct a(recordInterruption), b(recordInterruption);
    SoundManager::interruptedList.append(&a);
    SoundManager::interruptedList.append(&b);
    backend.interrupt(5000);
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    EXPECT_EQ(reported, (std::vector<unsigned long>{5000, 5000}));
    SoundManager::interruptedList.remove(&a);
    SoundManager::interrupted(7);  // a report alone does not move the clock
    EXPECT_EQ(reported, (std::vector<unsigned long>{5000, 5000, 7}));
    EXPECT_EQ(KvSysMilliSecCount(), kKvHeadlessStartMs + 5000);
    SoundManager::interruptedList.remove(&b);
}

TEST_F(Clock, InterruptionLinksMayRemoveThemselves) {
    int calls = 0;
    KvLink* self = nullptr;
    KvFunctionLink first([&](const void*) {
        ++calls;
        SoundManager::interruptedList.remove(self);
    });
    self = &first;
    KvFunctionLink second([&](const void*) { ++calls; });
    SoundManager::interruptedList.append(&first);
    SoundManager::interruptedList.append(&second);
    backend.interrupt(1);
    EXPECT_EQ(calls, 2);
    backend.interrupt(1);
    EXPECT_EQ(calls, 3);
    SoundManager::interruptedList.remove(&second);
    // The framework's sound driver may keep a link of its own there.
    EXPECT_FALSE(SoundManager::interruptedList.contains(&first));
    EXPECT_FALSE(SoundManager::interruptedList.contains(&second));
}

TEST(KvSys, TheExecutablePathNamesThisProgram) {
    const std::filesystem::path self = KvSysExecutablePath();
    EXPECT_TRUE(self.is_absolute()) << self;
    EXPECT_EQ(self.filename(), "test_framework");
    EXPECT_TRUE(std::filesystem::is_regular_file(self)) << self;
}
