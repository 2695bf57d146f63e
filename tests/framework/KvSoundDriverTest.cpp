// The framework's own mixer inside a running application: on the headless
// clock a sound lasts exactly its length in virtual time, its links run in the
// main loop's passes, interruptions do not count as sound time, and a backend
// with a device pulls the sound in the device's format.
#include "framework/KvSoundDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
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

// A half-second sound played over the headless clock, driven by a script of
// words: play (the moment its times count from), pass N, advance N (time
// without a pass), interrupt N, pause, resume; then passes run until it
// finishes. Its links run in the passes, on the backend's clock.
TEST_F(SoundDriverTest, TheLinksRunAtTheHeardEndOnTheBackendsClock) {
    const struct {
        unsigned long stepMs;
        const char* script;
        unsigned long beganMs, finishedMs;  // after play()
    } cases[] = {
        {kKvHeadlessDefaultStepMs, "play", kKvHeadlessDefaultStepMs, 500},  // the first pass after play()
        {1, "advance 3 play", 1, 500},  // time moved without a pass: it still begins at once
        {10, "play pass 20 interrupt 1000", 10, 1500},  // an interruption is not sound time
        {10, "play pass 10 pause pass 30 resume", 10, 800},  // 500 ms of sound, 300 paused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        backend.setStepPerPass(c.stepMs);
        auto s = halfSecond();
        Calls calls;
        watch(*s, backend, calls);
        app->pass();
        unsigned long started = 0;
        std::istringstream words(c.script);
        for (std::string w; words >> w;) {
            if (w == "play") {
                started = backend.milliSeconds();
                s->play();
                EXPECT_TRUE(calls.beganMs.empty());  // links wait for a pass
            } else if (w == "pause") {
                s->pause();
            } else if (w == "resume") {
                EXPECT_TRUE(s->isPlaying());
                s->resume();
            } else {
                unsigned long n = 0;
                words >> n;
                if (w == "pass")
                    for (unsigned long i = 0; i < n; ++i) app->pass();
                else if (w == "advance")
                    backend.advance(n);
                else
                    backend.interrupt(n);
            }
        }
        EXPECT_TRUE(calls.finishedMs.empty());
        while (calls.finishedMs.empty() && backend.milliSeconds() < started + 5000) app->pass();
        EXPECT_FALSE(KvSoundDriver::hasDevice());
        ASSERT_EQ(calls.beganMs.size(), 1u);
        ASSERT_EQ(calls.finishedMs.size(), 1u);
        EXPECT_EQ(calls.beganMs[0] - started, c.beganMs);
        EXPECT_EQ(calls.finishedMs[0] - started, c.finishedMs);
        EXPECT_FALSE(s->isPlaying());
    }
}

TEST_F(SoundDriverTest, AStopFinishesThePlayAfterTheFramesHeard) {
    auto s = halfSecond();
    Calls calls;
    watch(*s, backend, calls);
    app->pass();
    s->play();
    for (int i = 0; i < 5; ++i) app->pass();
    s->stop();
    app->pass();
    ASSERT_EQ(calls.finishedMs.size(), 1u);
    const int rate = KvSoundDriver::mixer()->getRate();
    EXPECT_EQ(calls.finishedFrame[0] - calls.beganFrame[0], static_cast<uint64_t>(rate) * 50 / 1000);
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
