// The framework's own mixer inside a running application: on the headless
// clock a sound lasts exactly its length in virtual time, its links run in the
// main loop's passes, interruptions do not count as sound time, and a backend
// with a device pulls the sound in the device's format.
#include "framework/KvSoundDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "framework/KvIStream.h"
#include "framework/KvMixer.h"
#include "framework/KvWaveSound.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/ByteWriter.h"

namespace {

// Backend time and timeline frame of each link call.
struct Calls {
    std::vector<unsigned long> beganMs, finishedMs;
    std::vector<uint64_t> beganFrame, finishedFrame;
};

void watch(KvSound& s, KvBackend& b, Calls& c) {
    const KvFunctionLink began([&b, &c](const void*) {
        c.beganMs.push_back(b.milliSeconds());
        c.beganFrame.push_back(KvSoundDriver::mixer()->eventFrame());
    });
    const KvFunctionLink finished([&b, &c](const void*) {
        c.finishedMs.push_back(b.milliSeconds());
        c.finishedFrame.push_back(KvSoundDriver::mixer()->eventFrame());
    });
    s.beginningSetLink(&began);
    s.finishedSetLink(&finished);
}

class SoundDriverTest : public HeadlessTest {
protected:
    // A sound on the framework's mixer over a stream it does not own.
    std::unique_ptr<KvWaveSound> halfSecond() {
        const auto file = wave::constant16(44100, 22050, 100);
        stream = std::make_unique<KvIStreamMemory>(file.data(), static_cast<long>(file.size()));
        return std::make_unique<KvWaveSound>(stream.get(), false);
    }
    std::unique_ptr<KvIStreamMemory> stream;
};

TEST_F(SoundDriverTest, HeadlessHalfSecondFinishesFiveHundredVirtualMillisecondsAfterItBegan) {
    auto s = halfSecond();
    Calls calls;
    watch(*s, backend, calls);
    app->pass();
    const unsigned long started = backend.milliSeconds();
    s->play();
    EXPECT_FALSE(KvSoundDriver::hasDevice());
    EXPECT_TRUE(calls.beganMs.empty());  // links wait for a pass
    for (int i = 0; i < 100 && calls.finishedMs.empty(); ++i) app->pass();

    ASSERT_EQ(calls.beganMs.size(), 1u);
    ASSERT_EQ(calls.finishedMs.size(), 1u);
    EXPECT_EQ(calls.beganMs[0], started + kKvHeadlessDefaultStepMs);  // the first pass after play()
    EXPECT_EQ(calls.finishedMs[0], started + 500);
    const int rate = KvSoundDriver::mixer()->getRate();
    EXPECT_EQ(calls.finishedFrame[0] - calls.beganFrame[0], static_cast<uint64_t>(rate / 2));
    EXPECT_FALSE(s->isPlaying());
}

TEST_F(SoundDriverTest, PlayBetweenPassesBeginsAtThatMoment) {
    backend.setStepPerPass(1);
    auto s = halfSecond();
    Calls calls;
    watch(*s, backend, calls);
    app->pass();
    backend.advance(3);  // time moves without a pass: the sound still begins now
    const unsigned long started = backend.milliSeconds();
    s->play();
    while (calls.finishedMs.empty() && backend.milliSeconds() < started + 1000) app->pass();
    ASSERT_EQ(calls.finishedMs.size(), 1u);
    EXPECT_EQ(calls.finishedMs[0], started + 500);
}

TEST_F(SoundDriverTest, AnInterruptionIsNotSoundTime) {
    auto s = halfSecond();
    Calls calls;
    watch(*s, backend, calls);
    app->pass();
    const unsigned long started = backend.milliSeconds();
    s->play();
    for (int i = 0; i < 20; ++i) app->pass();  // 200 ms heard
    backend.interrupt(1000);
    while (calls.finishedMs.empty() && backend.milliSeconds() < started + 5000) app->pass();
    ASSERT_EQ(calls.finishedMs.size(), 1u);
    EXPECT_EQ(calls.finishedMs[0], started + 1500);
}

TEST_F(SoundDriverTest, PauseAndStopInsideTheLoop) {
    auto s = halfSecond();
    Calls calls;
    watch(*s, backend, calls);
    app->pass();
    const unsigned long started = backend.milliSeconds();
    s->play();
    for (int i = 0; i < 10; ++i) app->pass();
    s->pause();
    for (int i = 0; i < 30; ++i) app->pass();
    EXPECT_TRUE(s->isPlaying());
    EXPECT_TRUE(calls.finishedMs.empty());
    s->resume();
    while (calls.finishedMs.empty() && backend.milliSeconds() < started + 5000) app->pass();
    ASSERT_EQ(calls.finishedMs.size(), 1u);
    EXPECT_EQ(calls.finishedMs[0], started + 800);  // 500 ms of sound plus 300 ms paused

    s->play();
    for (int i = 0; i < 5; ++i) app->pass();
    s->stop();
    app->pass();
    ASSERT_EQ(calls.finishedMs.size(), 2u);
    EXPECT_EQ(calls.finishedFrame[1] - calls.beganFrame[1],
              static_cast<uint64_t>(KvSoundDriver::mixer()->getRate()) * 50 / 1000);
}

// A headless backend with a pretend device of another format, pulled by the test.
class DeviceBackend : public KvHeadlessBackend {
public:
    bool openAudio(KvAudioFill f, void* u, KvAudioFormat* deviceFormat) override {
        fill = f;
        user = u;
        deviceFormat->rate = 22050;
        deviceFormat->channels = 1;
        ++opens;
        return true;
    }
    void closeAudio() override {
        fill = nullptr;
        ++closes;
    }
    KvAudioFill fill = nullptr;
    void* user = nullptr;
    int opens = 0, closes = 0;
};

TEST(SoundDriverDevice, TheDevicePullsInItsFormatAndLinksRunInThePasses) {
    DeviceBackend device;
    KvBackend::install(&device);
    {
        KvApp app;
        std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, 800, 1000), nullptr));
        Calls calls;
        watch(*s, device, calls);
        s->play();
        EXPECT_TRUE(KvSoundDriver::hasDevice());
        EXPECT_EQ(device.opens, 1);
        EXPECT_EQ(KvSoundDriver::mixer()->getRate(), 22050);
        EXPECT_EQ(KvSoundDriver::mixer()->getChannels(), 1);
        ASSERT_NE(device.fill, nullptr);

        std::vector<int16_t> heard(3000);
        std::thread pull([&] {
            for (size_t at = 0; at < heard.size(); at += 500) device.fill(device.user, heard.data() + at, 500);
        });
        pull.join();
        EXPECT_TRUE(calls.beganMs.empty());  // nothing from the device thread
        app.pass();
        ASSERT_EQ(calls.finishedFrame.size(), 1u);
        EXPECT_EQ(calls.finishedFrame[0] - calls.beganFrame[0], 2205u);  // 100 ms at 22050
        for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], i < 2205 ? 1000 : 0) << i;
    }
    // Back to the default backend: the device is closed while its backend still lives.
    KvBackend::install(nullptr);
    EXPECT_FALSE(KvSoundDriver::hasDevice());
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(KvSoundDriver::mixer()->getRate(), 44100);
}

// A device already in the mixer's format is kept, even while a sound plays
// (the mixer could not change its format then).
TEST(SoundDriverDevice, ANewDeviceInTheMixersFormatIsKeptWhileASoundPlays) {
    DeviceBackend first, second;
    KvBackend::install(&first);
    {
        KvApp app;
        std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, 8000, 1000), nullptr));
        s->play();  // on first's device: 22050 mono, as second's
        ASSERT_EQ(KvSoundDriver::mixer()->getRate(), 22050);
        KvBackend::install(&second);
        EXPECT_TRUE(KvSoundDriver::hasDevice());
        EXPECT_EQ(first.closes, 1);
        EXPECT_EQ(second.opens, 1);
        EXPECT_EQ(second.closes, 0);
        EXPECT_TRUE(s->isPlaying());
    }
    KvBackend::install(nullptr);
}

}  // namespace
