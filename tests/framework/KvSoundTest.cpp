// Sound, from file to device. WAVE files give signed 16-bit frames, tolerate
// odd chunk layouts, or give a sound that never plays (and never calls a
// link). The mixer's timeline has exact begin and finish frames; it mixes
// with saturation, resamples against a plain reference, pauses, resumes and
// stops, and runs links only from dispatch(), where they may delete their
// sound. The framework's own mixer in a running application: on the headless
// clock a sound lasts exactly its length in virtual time, its links run in the
// main loop's passes, interruptions are not sound time, and a backend with a
// device pulls the sound in the device's format.
#include "framework/KvIStream.h"
#include "framework/KvMixer.h"
#include "framework/KvSoundDriver.h"
#include "framework/KvWaveSound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <iomanip>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/framework/GoldenText.h"
#include "tests/support/ByteWriter.h"
#include "tests/support/WindowFixture.h"

namespace {

std::vector<int16_t> samplesOf(const KvWaveSound& s) {
    const KvPcm& p = s.getPcm();
    return std::vector<int16_t>(p.samples, p.samples + p.frames * p.channels);
}

// The bytes of a file of golden/wave-files.txt: "TEXT", 16:N, 32:N or HH words.
Bytes fileOf(const std::vector<std::string>& lines) {
    Bytes file;
    for (const std::string& line : lines) {
        std::istringstream in(line.substr(2));
        for (std::string w; in >> std::ws && !in.eof();) {
            const bool text = in.peek() == '"';
            in >> std::quoted(w);
            if (text) file.insert(file.end(), w.begin(), w.end());
            else if (w.size() == 2) file.push_back(static_cast<unsigned char>(std::stoul(w, nullptr, 16)));
            else if (w[0] == '1') put16(file, std::stoi(w.substr(3)));
            else put32(file, static_cast<uint32_t>(std::stoul(w.substr(3))));
        }
    }
    return file;
}

// Gives a sound one link for its beginning and its finish.
void onBothEnds(KvSound& s, std::function<void()> f) {
    const KvFunctionLink link([f](const void*) { f(); });
    s.beginningSetLink(&link);
    s.finishedSetLink(&link);
}

// What a sound holds, as the golden line writes it.
std::string heard(const KvWaveSound& s) {
    if (!s.isValid()) return "refused";
    std::string out = std::to_string(s.getPcm().channels) + " " + std::to_string(s.getPcm().rate) + " :";
    for (int16_t v : samplesOf(s)) out += " " + std::to_string(v);
    return out;
}

// Every format that plays comes out as signed 16-bit; tolerated layouts give
// the samples present; a refused file never plays and never calls a link.
TEST(WaveFiles, EachGivesItsGoldenSamplesOrNeverPlays) {
    const GoldenSections cases = goldenSections("framework/golden/wave-files.txt");
    ASSERT_EQ(cases.size(), 34u);
    for (const auto& [what, lines] : cases) {
        SCOPED_TRACE(what);
        KvMixer mixer(44100, 2);
        std::unique_ptr<KvWaveSound> s(wave::sound(fileOf({lines.begin(), lines.end() - 1}), &mixer));
        EXPECT_EQ(heard(*s), lines.back());
        if (s->isValid()) continue;
        int calls = 0;
        onBothEnds(*s, [&calls] { ++calls; });
        s->play();
        EXPECT_FALSE(s->isPlaying());
        EXPECT_EQ(mixer.voiceCount(), 0);
        mixer.advance(10000);
        s->pause();
        s->resume();
        s->stop();
        EXPECT_EQ(mixer.dispatch(), 0);
        EXPECT_EQ(calls, 0);
    }
}

TEST(Wave, DurationIsFramesOverRate) {
    const std::pair<Bytes, unsigned long> cases[] = {
        {wave::constant16(44100, 22050, 1), 500}, {wave::constant16(8000, 7999, 1), 999}, {Bytes{1, 2, 3}, 0}};
    for (const auto& [file, ms] : cases)
        EXPECT_EQ(std::unique_ptr<KvWaveSound>(wave::sound(file, nullptr))->getDuration(), ms) << ms;
}

TEST(WaveChunks, SoundsOfMoreSamplesThanTheLimitAreRefused) {
    // 8-bit mono: one byte a sample, so the file is half the samples it would make.
    for (const uint64_t samples : {KvWaveSound::kMaxSamples, KvWaveSound::kMaxSamples + 1}) {
        wave::Chunk data{"data", {}};
        data.declared = static_cast<int64_t>(samples);
        Bytes file = wave::riff({wave::fmt(1, 8000, 8), data}, 0x7FFFFFFF);
        file.resize(file.size() + samples, 128);
        const KvWaveSound s(new KvIStreamMemory(std::move(file)), true);
        EXPECT_EQ(s.isValid(), samples <= KvWaveSound::kMaxSamples) << samples;
    }
}

TEST(WaveFiles, MissingStreamsNeverPlay) {
    for (KvIStream* stream : std::initializer_list<KvIStream*>{nullptr, new KvIStreamFile("/nonexistent/sound.wav")}) {
        KvWaveSound s(stream, true);
        s.play();
        EXPECT_FALSE(s.isValid() || s.isPlaying());
    }
}

// A stream that tells when it is deleted.
class WatchedStream : public KvIStreamMemory {
public:
    WatchedStream(const Bytes& b, bool* gone)
        : KvIStreamMemory(b.data(), static_cast<long>(b.size())), gone(gone) {}
    ~WatchedStream() override { *gone = true; }

private:
    bool* gone;
};

// A sound copies its samples: a lent stream may go first, and whatever its
// offset the file is read from its start.
TEST(WaveStream, OwnedStreamsGoWithTheSoundAndLentOnesMayGoFirst) {
    const Bytes file = wave::constant16(8000, 4, 1234);
    bool ownedGone = false, lentGone = false;
    delete new KvWaveSound(new WatchedStream(file, &ownedGone), true);
    EXPECT_TRUE(ownedGone);
    auto* lent = new WatchedStream(file, &lentGone);
    ASSERT_TRUE(lent->setSrcOffset(20));
    KvMixer mixer(8000, 1);
    KvWaveSound s(lent, false, &mixer);
    ASSERT_TRUE(s.isValid());
    EXPECT_EQ(s.getIStream(), lent);
    EXPECT_FALSE(lentGone);
    delete lent;
    s.play();
    int16_t out[5] = {};
    mixer.mix(out, 5);
    EXPECT_EQ(std::vector<int16_t>(out, out + 5), (std::vector<int16_t>{1234, 1234, 1234, 1234, 0}));
}

// outFrames is ceil(srcFrames * outRate / srcRate).
struct Timing { int srcRate; long srcFrames; int outRate; uint64_t outFrames; };

class Timeline : public ::testing::TestWithParam<Timing> {};

// Mixed in uneven blocks so that no boundary lines up with the sound's ends.
TEST_P(Timeline, SoundsInExactlyItsFramesAndReportsThemInDispatch) {
    const Timing t = GetParam();
    KvMixer m(t.outRate, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(t.srcRate, t.srcFrames, 1000), &m));
    ASSERT_TRUE(s->isValid());
    EXPECT_EQ(m.lengthOf(s->getPcm()), t.outFrames);
    std::vector<uint64_t> frames;
    onBothEnds(*s, [&] { frames.push_back(m.eventFrame()); });
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
    onBothEnds(*s, [&] { frames.push_back(m.eventFrame()); });
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
    struct Case { int outChannels; std::vector<std::pair<int, std::vector<int16_t>>> files; std::vector<int16_t> want; };
    const Case cases[] = {
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

// Runs a script over sounds a, b, c of 500s: "a=N" makes sound a of N frames,
// "a.play" (pause, resume, stop) drives it, "+N" advances the timeline, "NxK"
// advances N frames and dispatches, K times, "mN" mixes N frames and logs
// them as runs "VALUE*COUNT", "a?" logs "a:playing" or "a:stopped", with
// "+paused" if so. "a.begin=delete" (or clear) and
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
        } else if (w[0] == 'm') {
            std::vector<int16_t> out(std::stoul(w.substr(1)));
            m.mix(out.data(), static_cast<int>(out.size()));
            for (size_t k = 0, end = 0; k < out.size(); k = end) {
                while (end < out.size() && out[end] == out[k]) ++end;
                log += std::to_string(out[k]) + "*" + std::to_string(end - k) + ' ';
            }
        } else if (w.find('x') != std::string::npos) {
            for (int k = std::stoi(w.substr(w.find('x') + 1)); k > 0; --k) m.advance(std::stoull(w)), m.dispatch();
        } else if (w[1] == '?') {
            log += w.substr(0, 1) + (sounds[i]->isPlaying() ? ":playing" : ":stopped") +
                   (sounds[i]->isPaused() ? "+paused " : " ");
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
    ASSERT_EQ(cases.size(), 11u);
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
    onBothEnds(*s, [&callers] { callers.push_back(std::this_thread::get_id()); });
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

using SoundDriverTest = HeadlessTest;

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
        std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(44100, 22050, 100), nullptr));
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
    DeviceBackend device, second;
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
        // A new device already in the mixer's format is kept even while a sound
        // plays, when the mixer could not change its format.
        s->play();
        KvBackend::install(&second);
        EXPECT_TRUE(KvSoundDriver::hasDevice() && second.opens == 1 && second.closes == 0 && s->isPlaying());
    }
    // Back to the default backend: the device is closed while its backend still
    // lives, as the first one was at the switch.
    KvBackend::install(nullptr);
    EXPECT_FALSE(KvSoundDriver::hasDevice());
    EXPECT_TRUE(device.closes == 1 && second.closes == 1);
    EXPECT_EQ(KvSoundDriver::mixer()->getRate(), 44100);
}

}  // namespace
