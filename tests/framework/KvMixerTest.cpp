// The mixer's timeline and output: exact begin and finish frames, mixing with
// saturation, resampling against a plain reference, pause/resume/stop, and
// links that only run from dispatch() and may delete their sound.
#include "framework/KvMixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/KvWaveSound.h"
#include "tests/framework/GoldenText.h"
#include "tests/support/ByteWriter.h"

namespace {

struct Timing {
    int srcRate;
    long srcFrames;
    int outRate;
    uint64_t outFrames;  // ceil(srcFrames * outRate / srcRate)
};

class Timeline : public ::testing::TestWithParam<Timing> {};

// Mixed in uneven blocks so that no boundary lines up with the sound's ends.
TEST_P(Timeline, SoundsInExactlyItsFramesAndReportsThemInDispatch) {
    const Timing t = GetParam();
    KvMixer m(t.outRate, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(t.srcRate, t.srcFrames, 1000), &m));
    ASSERT_TRUE(s->isValid());
    EXPECT_EQ(m.lengthOf(s->getPcm()), t.outFrames);
    std::vector<uint64_t> frames;
    const KvFunctionLink note([&](const void*) { frames.push_back(m.eventFrame()); });
    s->beginningSetLink(&note);
    s->finishedSetLink(&note);
    m.advance(777);
    s->play();
    std::vector<int16_t> out(t.outFrames + 5000);
    static const size_t steps[] = {1, 333, 1024, 4097, 7, 2500};
    for (size_t done = 0, i = 0; done < out.size(); done += steps[i++ % 6])
        m.mix(out.data() + done, static_cast<int>(std::min(steps[i % 6], out.size() - done)));
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i < t.outFrames ? 1000 : 0) << i;
    EXPECT_FALSE(s->isPlaying());
    ASSERT_EQ(m.dispatch(), 2);
    EXPECT_EQ(frames, (std::vector<uint64_t>{777, 777 + t.outFrames}));
}

INSTANTIATE_TEST_SUITE_P(Rates, Timeline,
                         ::testing::Values(Timing{44100, 22050, 44100, 22050},  // 500 ms
                                           Timing{22050, 11025, 44100, 22050},  // 500 ms
                                           Timing{8000, 4000, 44100, 22050},    // 500 ms
                                           Timing{48000, 24000, 44100, 22050},  // 500 ms
                                           Timing{44100, 22050, 48000, 24000},  // 500 ms
                                           Timing{11025, 5513, 44100, 22052},
                                           Timing{7000, 3, 44100, 19},  // 18.9 rounds up
                                           Timing{44100, 1, 8000, 1}));

TEST(TimelineClock, HalfSecondFinishesFiveHundredMillisecondsAfterItBegan) {
    KvMixer m(44100, 2);
    KvFrameClock clock(44100);
    unsigned long nowMs = 5000;
    m.setClock([&] { return clock.frames(nowMs); });
    m.catchUp();  // the timeline starts at the first reading
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(44100, 22050, 1), &m));
    std::vector<uint64_t> frames;
    const KvFunctionLink note([&](const void*) { frames.push_back(m.eventFrame()); });
    s->beginningSetLink(&note);
    s->finishedSetLink(&note);
    nowMs += 123;  // time passes before the play: it begins at the clock's now
    s->play();
    for (unsigned long step : {499, 1}) {
        EXPECT_TRUE(s->isPlaying());
        nowMs += step;
        m.catchUp();
        m.dispatch();
    }
    EXPECT_EQ(frames, (std::vector<uint64_t>{123 * 44100 / 1000, 623 * 44100 / 1000}));  // 22050 apart
    EXPECT_FALSE(s->isPlaying());
}

TEST(TimelineClock, MillisecondsBecomeFramesWithoutDrift) {
    std::mt19937 rng(7);
    for (int rate : {8000, 11025, 22050, 44100, 48000}) {
        KvFrameClock clock(rate);
        unsigned long now = 1000000;
        EXPECT_EQ(clock.frames(now), 0u);
        uint64_t total = 0;
        for (int i = 0; i < 5000; ++i) {
            const unsigned long step = rng() % 37;
            now += step;
            total += step;
            ASSERT_EQ(clock.frames(now), total * static_cast<uint64_t>(rate) / 1000) << rate;
        }
        // A clock that jumps back (a new clock) counts as no time.
        const uint64_t before = clock.frames(now);
        EXPECT_EQ(clock.frames(0), before);
        EXPECT_EQ(clock.frames(10), (total + 10) * static_cast<uint64_t>(rate) / 1000);
    }
}

// Each row plays files (channels, samples) into a mixer of outChannels and
// reads back the frames mixed.
TEST(Mixing, VoicesAddSaturateAndSpreadOrAverageTheirChannels) {
    struct Case {
        int outChannels;
        std::vector<std::pair<int, std::vector<int16_t>>> files;
        std::vector<int16_t> want;
    } cases[] = {
        {1, {{1, {30000, -30000, 100, 32767, -32768, 0}}, {1, {10000, -10000, -50, 32767, -32768, -7}}},
         {32767, -32768, 50, 32767, -32768, -7, 0, 0}},
        {2, {{1, {100, -300}}}, {100, 100, -300, -300}},
        {2, {{2, {100, 300, -101, 0}}}, {100, 300, -101, 0}},
        {1, {{2, {100, 300, -101, 0}}}, {200, -50}},  // -101 / 2, toward zero
    };
    for (const Case& c : cases) {
        KvMixer m(8000, c.outChannels);
        std::vector<std::unique_ptr<KvWaveSound>> sounds;
        for (const auto& [channels, samples] : c.files) {
            sounds.emplace_back(wave::sound(wave::riff({wave::fmt(channels, 8000, 16), wave::data16(samples)}), &m));
            sounds.back()->play();
        }
        std::vector<int16_t> out(c.want.size(), 1);
        m.mix(out.data(), static_cast<int>(out.size()) / c.outChannels);
        EXPECT_EQ(out, c.want);
    }
}

// Linear interpolation computed the obvious way, in floating point.
double reference(const std::vector<int16_t>& src, int srcRate, int outRate, uint64_t i) {
    const double x = static_cast<double>(i) * srcRate / outRate;
    const size_t k = static_cast<size_t>(std::floor(x));
    const size_t k1 = std::min(k + 1, src.size() - 1);
    return src[k] + (src[k1] - src[k]) * (x - static_cast<double>(k));
}

TEST(Mixing, ResamplingFollowsLinearInterpolation) {
    std::mt19937 rng(42);
    for (auto [srcRate, outRate] : {std::pair{22050, 44100}, {44100, 48000}, {48000, 44100}, {8000, 44100},
                                    {44100, 8000}, {11025, 22050}, {12345, 44100}}) {
        std::vector<int16_t> src(301);
        for (auto& v : src) v = static_cast<int16_t>(static_cast<int>(rng() % 65536) - 32768);
        KvMixer m(outRate, 1);
        std::unique_ptr<KvWaveSound> s(wave::sound(wave::riff({wave::fmt(1, srcRate, 16), wave::data16(src)}), &m));
        const uint64_t n = m.lengthOf(s->getPcm());
        s->play();
        std::vector<int16_t> out(n);
        m.mix(out.data(), static_cast<int>(n));
        EXPECT_FALSE(s->isPlaying());
        for (uint64_t i = 0; i < n; ++i) {
            ASSERT_NEAR(out[i], reference(src, srcRate, outRate, i), 1.0) << srcRate << "->" << outRate << " @" << i;
            // Where every other frame is a source frame, that frame is unchanged.
            if (srcRate * 2 == outRate && i % 2 == 0) {
                ASSERT_EQ(out[i], src[i / 2]);
            }
        }
    }
}

// The frames a pause holds back (the script table pins when it then finishes).
TEST(Control, APausedSoundIsSilentAndResumesWhereItWas) {
    KvMixer m(8000, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, 3000, 500), &m));
    EXPECT_FALSE(s->isPaused());
    s->play();
    std::vector<int16_t> out(4100);
    m.mix(out.data(), 1000);
    s->pause();
    EXPECT_TRUE(s->isPaused() && s->isPlaying());
    m.mix(out.data() + 1000, 1000);
    m.advance(4000);
    s->resume();
    EXPECT_FALSE(s->isPaused());
    m.mix(out.data() + 2000, 2100);  // the 2000 frames left, then silence
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i < 1000 || (i >= 2000 && i < 4000) ? 500 : 0) << i;
}

// Runs a script over sounds a, b, c of 500s: "a=N" makes sound a of N frames,
// "a.play" (pause, resume, stop) drives it, "+N" advances the timeline, "NxK"
// advances N frames and dispatches, K times. "a.begin=delete" (or clear) and
// "a.finish=delete" (or replayK) give a link something more to do. Every link
// names its sound through its stored argument; the log says "a<frame" for a
// beginning and "a>frame" for a finish.
std::string runScript(const std::string& script) {
    static const char kNames[] = "abc";
    KvMixer m(8000, 1);
    KvWaveSound* sounds[3] = {};
    std::string onBegin[3], onFinish[3], log;
    const auto act = [&](const void* arg, bool finish) {
        const long i = static_cast<const char*>(arg) - kNames;
        ASSERT_TRUE(i >= 0 && i < 3);
        log += std::string(1, kNames[i]) + (finish ? '>' : '<') + std::to_string(m.eventFrame()) + ' ';
        std::string& what = finish ? onFinish[i] : onBegin[i];
        if (what == "delete") {
            delete sounds[i];
            sounds[i] = nullptr;
        } else if (what == "clear") {
            sounds[i]->beginningSetLink(nullptr);  // deletes the link while it runs
        } else if (what.size() == 7 && what[6] > '0') {
            --what[6];
            sounds[i]->play();
        }
    };
    std::istringstream words(script);
    for (std::string w; words >> w;) {
        const size_t i = static_cast<size_t>(w[0] - 'a'), eq = w.find('=');
        if (w[0] == '+') {
            m.advance(std::stoull(w.substr(1)));
        } else if (w.find('x') != std::string::npos) {
            for (int k = std::stoi(w.substr(w.find('x') + 1)); k > 0; --k) m.advance(std::stoull(w)), m.dispatch();
        } else if (w[1] == '=') {
            sounds[i] = wave::sound(wave::constant16(8000, std::stol(w.substr(2)), 500), &m);
            const KvFunctionLink began([&](const void* a) { act(a, false); }, &kNames[i]);
            const KvFunctionLink finished([&](const void* a) { act(a, true); }, &kNames[i]);
            sounds[i]->beginningSetLink(&began);
            sounds[i]->finishedSetLink(&finished);
        } else if (eq != std::string::npos) {
            (w[2] == 'b' ? onBegin : onFinish)[i] = w.substr(eq + 1);
        } else {
            const std::string verb = w.substr(2);
            if (verb == "play") sounds[i]->play();
            else if (verb == "pause") sounds[i]->pause();
            else if (verb == "resume") sounds[i]->resume();
            else sounds[i]->stop();
        }
    }
    int16_t out[10];
    m.mix(out, 10);
    for (int16_t v : out) EXPECT_EQ(v, 0) << script;
    m.dispatch();
    EXPECT_EQ(m.voiceCount(), 0) << script;
    for (KvWaveSound* s : sounds) delete s;
    return log;
}

TEST(Control, EachPlayBeginsAndFinishesOnceAtTheRightFrames) {
    const GoldenSections cases = goldenSections("framework/golden/mixer-scripts.txt");
    ASSERT_EQ(cases.size(), 10u);
    for (const auto& [script, log] : cases) EXPECT_EQ(runScript(script), log.empty() ? "" : log[0] + " ") << script;
}

TEST(Control, VoicesAreLimited) {
    KvMixer m(8000, 1);
    const auto file = wave::constant16(8000, 10, 1);
    std::vector<std::unique_ptr<KvWaveSound>> sounds;
    for (int i = 0; i <= KvMixer::kMaxVoices; ++i) {
        sounds.emplace_back(wave::sound(file, &m));
        sounds.back()->play();
    }
    EXPECT_EQ(m.voiceCount(), KvMixer::kMaxVoices);
    EXPECT_FALSE(sounds.back()->isPlaying());
    EXPECT_TRUE(sounds.front()->isPlaying());
}

TEST(Control, MalformedPcmIsRefused) {
    KvMixer m(8000, 1);
    const int16_t one[2] = {1, 1};
    for (const KvPcm& bad : {KvPcm{nullptr, 5, 1, 8000}, KvPcm{one, -1, 1, 8000}, KvPcm{one, 1, 3, 8000},
                             KvPcm{one, 1, 1, KvMixer::kMaxRate + 1}})
        EXPECT_EQ(m.start(nullptr, bad), 0u);
    EXPECT_NE(m.start(nullptr, KvPcm{one, 1, 2, 8000}), 0u);
    EXPECT_EQ(m.voiceCount(), 1);
    EXPECT_FALSE(m.setFormat(44100, 2));  // not while a voice exists
    m.advance(1);
    EXPECT_EQ(m.voiceCount(), 0);
    EXPECT_TRUE(m.setFormat(44100, 2));
    EXPECT_EQ(m.getRate(), 44100);
}

TEST(Events, LinksRunOnlyInDispatchOnTheCallingThread) {
    KvMixer m(44100, 2);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(44100, 441, 9), &m));
    std::vector<std::thread::id> callers;
    const KvFunctionLink record([&callers](const void*) { callers.push_back(std::this_thread::get_id()); });
    s->beginningSetLink(&record);
    s->finishedSetLink(&record);
    s->play();
    std::thread device([&m] {
        std::vector<int16_t> buf(2 * 256);
        for (int i = 0; i < 10; ++i) m.mix(buf.data(), 256);
    });
    device.join();
    EXPECT_TRUE(callers.empty());  // neither from play() nor from the device thread
    EXPECT_TRUE(m.hasPendingEvents());
    EXPECT_EQ(m.dispatch(), 2);
    EXPECT_EQ(callers, std::vector<std::thread::id>(2, std::this_thread::get_id()));
    EXPECT_FALSE(m.hasPendingEvents());
}

TEST(Threads, SoundsComeAndGoWhileADeviceMixes) {
    KvMixer m(44100, 2);
    const auto file = wave::constant16(22050, 500, 3);
    std::atomic<bool> done{false};
    std::thread device([&] {
        std::vector<int16_t> buf(2 * 128);
        while (!done) m.mix(buf.data(), 128);
    });
    for (int i = 0; i < 300; ++i) {
        std::unique_ptr<KvWaveSound> s(wave::sound(file, &m));
        const KvFunctionLink count([](const void*) {});
        s->finishedSetLink(&count);
        s->play();
        if (i % 3 == 0) std::this_thread::yield();
        if (i % 5 == 0) s->pause();
        m.dispatch();
    }
    done = true;
    device.join();
    EXPECT_EQ(m.voiceCount(), 0);
    EXPECT_FALSE(m.hasPendingEvents());  // deleted sounds leave no events behind
}

}  // namespace
