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
#include "tests/support/ByteWriter.h"

namespace {

// What the links of one sound saw: the timeline frame of each call.
struct Log {
    std::vector<uint64_t> began;
    std::vector<uint64_t> finished;
};

void watch(KvSound* s, KvMixer* m, Log* log) {
    const KvFunctionLink began([m, log](const void*) { log->began.push_back(m->eventFrame()); });
    const KvFunctionLink finished([m, log](const void*) { log->finished.push_back(m->eventFrame()); });
    s->beginningSetLink(&began);
    s->finishedSetLink(&finished);
}

// Advances in uneven blocks so that no boundary lines up with a sound's ends.
void advanceUnevenly(KvMixer& m, uint64_t frames) {
    static const uint64_t steps[] = {1, 333, 1024, 4097, 7, 2500};
    for (size_t i = 0; frames > 0; ++i) {
        const uint64_t n = std::min(frames, steps[i % 6]);
        m.advance(n);
        frames -= n;
    }
}

struct Timing {
    int srcRate;
    long srcFrames;
    int outRate;
    uint64_t outFrames;  // ceil(srcFrames * outRate / srcRate)
};

class Timeline : public ::testing::TestWithParam<Timing> {};

TEST_P(Timeline, BeginsAtTheStartAndFinishesExactlyItsLengthLater) {
    const Timing t = GetParam();
    KvMixer m(t.outRate, 2);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(t.srcRate, t.srcFrames, 1000), &m));
    ASSERT_TRUE(s->isValid());
    EXPECT_EQ(m.lengthOf(s->getPcm()), t.outFrames);
    Log log;
    watch(s.get(), &m, &log);

    m.advance(777);
    s->play();
    advanceUnevenly(m, t.outFrames + 5000);
    EXPECT_FALSE(s->isPlaying());
    ASSERT_EQ(m.dispatch(), 2);
    EXPECT_EQ(log.began, std::vector<uint64_t>{777});
    EXPECT_EQ(log.finished, std::vector<uint64_t>{777 + t.outFrames});
}

TEST_P(Timeline, SoundsInExactlyItsFrames) {
    const Timing t = GetParam();
    KvMixer m(t.outRate, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(t.srcRate, t.srcFrames, 1000), &m));
    m.advance(3);
    s->play();
    std::vector<int16_t> out(t.outFrames + 100);
    for (size_t done = 0; done < out.size(); done += 999)
        m.mix(out.data() + done, static_cast<int>(std::min<size_t>(999, out.size() - done)));
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i < t.outFrames ? 1000 : 0) << i;
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
    Log log;
    watch(s.get(), &m, &log);

    nowMs += 123;  // time passes before the play: it begins at the clock's now
    s->play();
    nowMs += 499;
    m.catchUp();
    m.dispatch();
    EXPECT_EQ(log.began.size(), 1u);
    EXPECT_TRUE(log.finished.empty());
    EXPECT_TRUE(s->isPlaying());

    nowMs += 1;
    m.catchUp();
    m.dispatch();
    ASSERT_EQ(log.finished.size(), 1u);
    EXPECT_EQ(log.began[0], 123u * 44100 / 1000);  // 5424
    EXPECT_EQ(log.finished[0] - log.began[0], 22050u);
    EXPECT_EQ(log.finished[0], 623u * 44100 / 1000);
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

TEST(Mixing, TwoVoicesAddAndSaturate) {
    KvMixer m(8000, 1);
    const std::vector<int16_t> a = {30000, -30000, 100, 32767, -32768, 0};
    const std::vector<int16_t> b = {10000, -10000, -50, 32767, -32768, -7};
    const std::vector<int16_t> want = {32767, -32768, 50, 32767, -32768, -7};
    std::unique_ptr<KvWaveSound> sa(wave::sound(wave::riff({wave::fmt(1, 8000, 16), wave::data16(a)}), &m));
    std::unique_ptr<KvWaveSound> sb(wave::sound(wave::riff({wave::fmt(1, 8000, 16), wave::data16(b)}), &m));
    sa->play();
    sb->play();
    std::vector<int16_t> out(8, 1);
    m.mix(out.data(), 8);
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(out[i], want[i]) << i;
    EXPECT_EQ(out[6], 0);
    EXPECT_EQ(out[7], 0);
}

TEST(Mixing, ChannelsAreSpreadOrAveraged) {
    const auto monoFile = wave::riff({wave::fmt(1, 8000, 16), wave::data16({100, -300})});
    const auto stereoFile = wave::riff({wave::fmt(2, 8000, 16), wave::data16({100, 300, -101, 0})});

    KvMixer stereoOut(8000, 2);
    std::unique_ptr<KvWaveSound> mono(wave::sound(monoFile, &stereoOut));
    mono->play();
    int16_t o4[4];
    stereoOut.mix(o4, 2);
    EXPECT_EQ(std::vector<int16_t>(o4, o4 + 4), (std::vector<int16_t>{100, 100, -300, -300}));

    std::unique_ptr<KvWaveSound> stereo(wave::sound(stereoFile, &stereoOut));
    stereo->play();
    stereoOut.mix(o4, 2);
    EXPECT_EQ(std::vector<int16_t>(o4, o4 + 4), (std::vector<int16_t>{100, 300, -101, 0}));

    KvMixer monoOut(8000, 1);
    std::unique_ptr<KvWaveSound> down(wave::sound(stereoFile, &monoOut));
    down->play();
    int16_t o2[2];
    monoOut.mix(o2, 2);
    EXPECT_EQ(o2[0], 200);
    EXPECT_EQ(o2[1], -50);  // -101 / 2, toward zero
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
        for (uint64_t i = 0; i < n; ++i)
            ASSERT_NEAR(out[i], reference(src, srcRate, outRate, i), 1.0) << srcRate << "->" << outRate << " @" << i;
        if (srcRate == outRate / 2) {  // every other frame is a source frame, unchanged
            for (uint64_t i = 0; i < n; i += 2) ASSERT_EQ(out[i], src[i / 2]);
        }
    }
}

// The frames a pause holds back (the table below pins when it then finishes).
TEST(Control, APausedSoundIsSilentAndResumesWhereItWas) {
    KvMixer m(8000, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, 3000, 500), &m));
    s->play();
    std::vector<int16_t> out(1000);
    m.mix(out.data(), 1000);
    s->pause();
    EXPECT_TRUE(s->isPaused());
    EXPECT_TRUE(s->isPlaying());
    m.mix(out.data(), 1000);
    for (int16_t v : out) ASSERT_EQ(v, 0);
    m.advance(4000);
    s->resume();
    EXPECT_FALSE(s->isPaused());
    out.resize(2100);
    m.mix(out.data(), 2100);  // the 2000 frames left, then silence
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i < 2000 ? 500 : 0) << i;
}

// Plays a sound of `frames` frames through a script of words: play, pause,
// resume, stop, or +N to advance the timeline N frames.
TEST(Control, EachPlayBeginsAndFinishesOnceAtTheRightFrames) {
    struct Case {
        long frames;
        const char* script;
        std::vector<uint64_t> began, finished;
    };
    const Case cases[] = {
        {3000, "play +1234 stop", {0}, {1234}},
        {3000, "play +1234 stop stop +10", {0}, {1234}},  // stopping again reports nothing more
        {3000, "play stop play pause +100 stop +5000", {}, {}},  // never reached its first frame
        {100, "play +40 play +1000", {0, 40}, {40, 140}},  // the old play finishes, a new one begins
        {0, "+10 play +1", {10}, {10}},
        {3000, "play +1000 pause +500 resume +10000", {0}, {3500}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        KvMixer m(8000, 1);
        std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, c.frames, 500), &m));
        Log log;
        watch(s.get(), &m, &log);
        std::istringstream words(c.script);
        for (std::string w; words >> w;) {
            if (w == "play") s->play();
            else if (w == "pause") s->pause();
            else if (w == "resume") s->resume();
            else if (w == "stop") s->stop();
            else m.advance(std::stoull(w.substr(1)));
        }
        EXPECT_FALSE(s->isPlaying());
        int16_t out[10];
        m.mix(out, 10);
        for (int16_t v : out) EXPECT_EQ(v, 0);
        m.dispatch();
        EXPECT_EQ(log.began, c.began);
        EXPECT_EQ(log.finished, c.finished);
    }
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
    EXPECT_EQ(m.start(nullptr, KvPcm{nullptr, 5, 1, 8000}), 0u);
    EXPECT_EQ(m.start(nullptr, KvPcm{one, -1, 1, 8000}), 0u);
    EXPECT_EQ(m.start(nullptr, KvPcm{one, 1, 3, 8000}), 0u);
    EXPECT_EQ(m.start(nullptr, KvPcm{one, 1, 1, KvMixer::kMaxRate + 1}), 0u);
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
    EXPECT_TRUE(callers.empty());  // not from play()

    std::thread device([&m] {
        std::vector<int16_t> buf(2 * 256);
        for (int i = 0; i < 10; ++i) m.mix(buf.data(), 256);
    });
    device.join();
    EXPECT_TRUE(callers.empty());  // not from the device thread
    EXPECT_TRUE(m.hasPendingEvents());
    EXPECT_EQ(m.dispatch(), 2);
    ASSERT_EQ(callers.size(), 2u);
    EXPECT_EQ(callers[0], std::this_thread::get_id());
    EXPECT_EQ(callers[1], std::this_thread::get_id());
    EXPECT_FALSE(m.hasPendingEvents());
}

TEST(Events, DispatchFollowsTheTimelineAcrossSounds) {
    KvMixer m(8000, 1);
    std::unique_ptr<KvWaveSound> longer(wave::sound(wave::constant16(8000, 300, 1), &m));
    std::unique_ptr<KvWaveSound> shorter(wave::sound(wave::constant16(8000, 100, 1), &m));
    std::vector<std::pair<char, uint64_t>> order;
    auto tag = [&order, &m](char c) {
        return KvFunctionLink([&order, &m, c](const void*) { order.push_back({c, m.eventFrame()}); });
    };
    const KvFunctionLink lb = tag('L'), lf = tag('l'), sb = tag('S'), sf = tag('s');
    longer->beginningSetLink(&lb);
    longer->finishedSetLink(&lf);
    shorter->beginningSetLink(&sb);
    shorter->finishedSetLink(&sf);
    longer->play();
    m.advance(50);
    shorter->play();
    m.advance(1000);  // one block holds every event
    m.dispatch();
    const std::vector<std::pair<char, uint64_t>> want = {{'L', 0}, {'S', 50}, {'s', 150}, {'l', 300}};
    EXPECT_EQ(order, want);
}

TEST(Events, ALinkMayDeleteItsSoundWithItsFinishStillQueued) {
    KvMixer m(8000, 1);
    KvWaveSound* s = wave::sound(wave::constant16(8000, 10, 1), &m);
    int finishes = 0;
    const KvFunctionLink deleteIt([&s](const void*) {
        delete s;
        s = nullptr;
    });
    const KvFunctionLink countFinish([&finishes](const void*) { ++finishes; });
    s->beginningSetLink(&deleteIt);
    s->finishedSetLink(&countFinish);
    s->play();
    m.advance(100);  // begin and finish both queued
    EXPECT_EQ(m.dispatch(), 1);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(finishes, 0);
    EXPECT_EQ(m.voiceCount(), 0);
}

TEST(Events, AFinishedLinkMayDeleteOrRestartItsSound) {
    KvMixer m(8000, 1);
    KvWaveSound* doomed = wave::sound(wave::constant16(8000, 10, 1), &m);
    const KvFunctionLink deleteIt([&doomed](const void*) {
        delete doomed;
        doomed = nullptr;
    });
    doomed->finishedSetLink(&deleteIt);
    doomed->play();

    std::unique_ptr<KvWaveSound> looping(wave::sound(wave::constant16(8000, 30, 1), &m));
    Log log;
    watch(looping.get(), &m, &log);
    int restarts = 0;
    KvWaveSound* raw = looping.get();
    const KvFunctionLink again([&, raw](const void*) {
        log.finished.push_back(m.eventFrame());
        if (++restarts < 3) raw->play();
    });
    looping->finishedSetLink(&again);
    looping->play();
    for (int i = 0; i < 20; ++i) {
        m.advance(7);
        m.dispatch();
    }
    EXPECT_EQ(doomed, nullptr);
    // Each restart begins when the finish is dispatched, at the position then reached.
    ASSERT_EQ(log.finished.size(), 3u);
    ASSERT_EQ(log.began.size(), 3u);
    EXPECT_EQ(log.finished[0], 30u);
    EXPECT_EQ(log.began[1], 35u);
    EXPECT_EQ(log.finished[1], 65u);
    EXPECT_EQ(log.began[2], 70u);
    EXPECT_EQ(log.finished[2], 100u);
}

TEST(Events, ALinkGetsItsStoredArgumentAndMayClearItsOwnSlot) {
    KvMixer m(8000, 1);
    std::unique_ptr<KvWaveSound> s(wave::sound(wave::constant16(8000, 10, 1), &m));
    static const int id = 42;
    std::vector<const void*> seen;
    KvWaveSound* raw = s.get();
    const KvFunctionLink once([&seen, raw](const void* a) {
        seen.push_back(a);
        raw->beginningSetLink(nullptr);  // deletes the stored link while it runs
    }, &id);
    s->beginningSetLink(&once);
    s->play();
    m.advance(20);
    s->play();
    m.advance(20);
    m.dispatch();
    EXPECT_EQ(seen, std::vector<const void*>{&id});
    EXPECT_EQ(s->getBeginningLink(), nullptr);
}

TEST(Threads, SoundsComeAndGoWhileADeviceMixes) {
    KvMixer m(44100, 2);
    const auto file = wave::constant16(22050, 500, 3);
    std::atomic<bool> done{false};
    std::thread device([&] {
        std::vector<int16_t> buf(2 * 128);
        while (!done) m.mix(buf.data(), 128);
    });
    int finished = 0;
    for (int i = 0; i < 300; ++i) {
        std::unique_ptr<KvWaveSound> s(wave::sound(file, &m));
        const KvFunctionLink count([&finished](const void*) { ++finished; });
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
