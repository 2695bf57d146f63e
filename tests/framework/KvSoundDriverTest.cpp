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
#include "tests/framework/GoldenText.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/ByteWriter.h"

namespace {

// Backend time and timeline frame of each link call.
struct Calls {
    std::vector<std::pair<unsigned long, uint64_t>> began, finished;
};

void watch(KvSound& s, KvBackend& b, Calls& c) {
    const auto noteInto = [&b](auto& calls) {
        return KvFunctionLink([&b, &calls](const void*) {
            calls.emplace_back(b.milliSeconds(), KvSoundDriver::mixer()->eventFrame());
        });
    };
    const KvFunctionLink began = noteInto(c.began), finished = noteInto(c.finished);
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

// A half-second sound played over the headless clock, driven by the scripts
// of golden/sound-driver-scripts.txt. Its links run in the passes, on the
// backend's clock.
TEST_F(SoundDriverTest, TheLinksRunAtTheHeardEndOnTheBackendsClock) {
    const GoldenSections cases = goldenSections("framework/golden/sound-driver-scripts.txt");
    ASSERT_EQ(cases.size(), 5u);
    for (const auto& [script, want] : cases) {
        SCOPED_TRACE(script);
        std::istringstream words(script);
        unsigned long step = 0;
        words >> step;
        backend.setStepPerPass(step);
        auto s = halfSecond();
        Calls calls;
        watch(*s, backend, calls);
        app->pass();
        unsigned long started = 0;
        for (std::string w; words >> w;) {
            if (w == "play") {
                started = backend.milliSeconds();
                s->play();
                EXPECT_TRUE(calls.began.empty());  // links wait for a pass
            } else if (w == "pause" || w == "stop") {
                (w == "stop") ? s->stop() : s->pause();
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
        EXPECT_TRUE(calls.finished.empty());
        while (calls.finished.empty() && backend.milliSeconds() < started + 5000) app->pass();
        EXPECT_FALSE(KvSoundDriver::hasDevice());
        ASSERT_TRUE(calls.began.size() == 1 && calls.finished.size() == 1);
        EXPECT_EQ(std::to_string(calls.began[0].first - started) + " " + std::to_string(calls.finished[0].first - started) +
                      " " + std::to_string(calls.finished[0].second - calls.began[0].second),
                  want.at(0));
        EXPECT_FALSE(s->isPlaying());
    }
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
        EXPECT_TRUE(calls.began.empty());  // nothing from the device thread
        app.pass();
        ASSERT_EQ(calls.finished.size(), 1u);
        EXPECT_EQ(calls.finished[0].second - calls.began.at(0).second, 2205u);  // 100 ms at 22050
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
