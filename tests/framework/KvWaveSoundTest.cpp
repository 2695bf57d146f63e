// WAVE parsing: the formats that play, the chunk layouts that are tolerated,
// and the files that give a sound that never plays (and never calls a link).
#include "framework/KvWaveSound.h"

#include <gtest/gtest.h>

#include <memory>

#include "framework/KvIStream.h"
#include "framework/KvMixer.h"
#include "tests/support/ByteWriter.h"

namespace {

using wave::Chunk;

std::unique_ptr<KvWaveSound> parse(const Bytes& file) {
    return std::unique_ptr<KvWaveSound>(wave::sound(file, nullptr));
}

std::vector<int16_t> samplesOf(const KvWaveSound& s) {
    const KvPcm& p = s.getPcm();
    return std::vector<int16_t>(p.samples, p.samples + p.frames * p.channels);
}

TEST(Wave, EveryPcmFormatComesOutAsSigned16Bit) {
    const struct {
        int channels, bits, rate;
    } formats[] = {{1, 8, 11025}, {2, 8, 22050}, {1, 16, 44100}, {2, 16, 48000}, {1, 16, 8000},
                   {2, 16, 96000}, {1, 8, KvMixer::kMinRate}, {2, 16, KvMixer::kMaxRate}};
    for (const auto& f : formats) {
        Chunk data{"data", {}};
        std::vector<int16_t> want;
        for (int i = 0; i < 5 * f.channels; ++i) {
            const unsigned char u = static_cast<unsigned char>(i * 61);  // covers 0, 128-ish and 255-ish
            const int16_t v = f.bits == 8 ? static_cast<int16_t>((u - 128) * 256) : static_cast<int16_t>(i * 7919 - 32768);
            if (f.bits == 8) data.body.push_back(u);
            else put16(data.body, v);
            want.push_back(v);
        }
        const auto s = parse(wave::riff({wave::fmt(f.channels, f.rate, f.bits), data}));
        ASSERT_TRUE(s->isValid());
        EXPECT_EQ(std::pair(s->getPcm().channels, s->getPcm().rate), std::pair(f.channels, f.rate));
        EXPECT_EQ(s->getPcm().frames, 5);
        EXPECT_EQ(samplesOf(*s), want) << f.bits << " bits";
    }
}

TEST(Wave, DurationIsFramesOverRate) {
    EXPECT_EQ(parse(wave::constant16(44100, 22050, 1))->getDuration(), 500u);
    EXPECT_EQ(parse(wave::constant16(8000, 7999, 1))->getDuration(), 999u);
    EXPECT_EQ(parse(Bytes{1, 2, 3})->getDuration(), 0u);
}

TEST(WaveChunks, ToleratedLayoutsGiveTheSamplesPresent) {
    Chunk list{"LIST", {'a', 'b', 'c', 'd', 'e'}};  // odd: a pad byte follows
    Chunk fmt18 = wave::fmt(1, 8000, 8);
    put16(fmt18.body, 0);  // an 18-byte "fmt " with its extension size
    Chunk torn = wave::data16({100, -100, 200, -200});
    torn.body.pop_back();  // 7 bytes of 16-bit stereo: one whole frame and a torn one
    torn.declared = 1000;
    torn.pad = false;  // the file simply ends
    Bytes shortRiff = wave::riff({wave::fmt(1, 8000, 16), wave::data16({1, 2, 3, 4})});
    shortRiff[4] = static_cast<unsigned char>(shortRiff.size() - 8 - 4);  // leaves out the last two samples
    const struct {
        const char* what;
        Bytes file;
        std::vector<int16_t> samples;
    } cases[] = {
        {"odd chunks and extra ones",
         wave::riff({list, fmt18, Chunk{"fact", {4, 0, 0, 0}}, wave::data8({0, 128, 255}), Chunk{"cue ", {1, 2, 3}}}),
         {-32768, 0, 32512}},
        {"truncated data", wave::riff({wave::fmt(2, 22050, 16), torn}), {100, -100}},
        {"RIFF length past the end", wave::riff({wave::fmt(1, 8000, 16), wave::data16({1, 2, 3})}, 0x7FFFFFFF), {1, 2, 3}},
        {"bytes after the RIFF length", shortRiff, {1, 2}},
        {"empty data", wave::riff({wave::fmt(1, 8000, 16), Chunk{"data", {}}}), {}},
    };
    for (const auto& c : cases) {
        const auto s = parse(c.file);
        ASSERT_TRUE(s->isValid()) << c.what;
        EXPECT_EQ(samplesOf(*s), c.samples) << c.what;
    }
}

TEST(WaveChunks, SoundsOfMoreSamplesThanTheLimitAreRefused) {
    // 8-bit mono: one byte a sample, so the file is half the samples it would make.
    for (const uint64_t samples : {KvWaveSound::kMaxSamples, KvWaveSound::kMaxSamples + 1}) {
        Chunk data{"data", {}};
        data.declared = static_cast<int64_t>(samples);
        Bytes file = wave::riff({wave::fmt(1, 8000, 8), data}, 0x7FFFFFFF);
        file.resize(file.size() + samples, 128);
        const KvWaveSound s(new KvIStreamMemory(std::move(file)), true);
        EXPECT_EQ(s.isValid(), samples <= KvWaveSound::kMaxSamples) << samples;
    }
}

// Files that must give a sound that never plays.
struct Broken {
    const char* what;
    Bytes file;
};

std::vector<Broken> brokenFiles() {
    const Chunk goodFmt = wave::fmt(1, 8000, 16);
    const Chunk goodData = wave::data16({1, 2, 3});
    Chunk hugeFmt = goodFmt;
    hugeFmt.declared = 0xFFFFFFFF;
    Chunk shortFmt = goodFmt;
    shortFmt.body.resize(14);
    Chunk lyingExtra{"LIST", {1, 2, 3, 4}};
    lyingExtra.declared = 0xFFFFFFF0;  // would wrap a 32-bit offset back into the file
    Chunk badAlign = goodFmt;
    badAlign.body[12] = 3;
    Bytes notWave = wave::riff({goodFmt, goodData});
    notWave[8] = 'A';
    Bytes rifx = wave::riff({goodFmt, goodData});
    rifx[3] = 'X';
    Bytes headerOnly = wave::riff({});
    Bytes cutHeader(headerOnly.begin(), headerOnly.begin() + 11);
    return {
        {"empty", {}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}},
        {"cut header", cutHeader},
        {"no chunks", headerOnly},
        {"RIFX", rifx},
        {"not WAVE", notWave},
        {"no data", wave::riff({goodFmt})},
        {"no fmt", wave::riff({goodData})},
        {"data before fmt", wave::riff({goodData, goodFmt})},
        {"two fmt", wave::riff({goodFmt, goodFmt, goodData})},
        {"fmt length past the end", wave::riff({hugeFmt, goodData})},
        {"fmt too short", wave::riff({shortFmt, goodData})},
        {"skipped chunk length past the end", wave::riff({lyingExtra, goodFmt, goodData})},
        {"float samples", wave::riff({wave::fmt(1, 8000, 32, 3), goodData})},
        {"24-bit", wave::riff({wave::fmt(1, 8000, 24), goodData})},
        {"three channels", wave::riff({wave::fmt(3, 8000, 16), goodData})},
        {"no channels", wave::riff({wave::fmt(0, 8000, 16), goodData})},
        {"rate too low", wave::riff({wave::fmt(1, KvMixer::kMinRate - 1, 16), goodData})},
        {"rate too high", wave::riff({wave::fmt(1, KvMixer::kMaxRate + 1, 16), goodData})},
        {"block align wrong", wave::riff({badAlign, goodData})},
        {"RIFF length too small for WAVE", wave::riff({goodFmt, goodData}, 2)},
    };
}

TEST(WaveBroken, NeverPlaysAndNeverCallsALink) {
    for (const Broken& b : brokenFiles()) {
        KvMixer mixer(44100, 2);
        std::unique_ptr<KvWaveSound> s(wave::sound(b.file, &mixer));
        EXPECT_FALSE(s->isValid()) << b.what;
        int calls = 0;
        const KvFunctionLink count([&calls](const void*) { ++calls; });
        s->beginningSetLink(&count);
        s->finishedSetLink(&count);
        s->play();
        EXPECT_FALSE(s->isPlaying()) << b.what;
        EXPECT_EQ(mixer.voiceCount(), 0) << b.what;
        mixer.advance(10000);
        s->pause();
        s->resume();
        s->stop();
        EXPECT_EQ(mixer.dispatch(), 0) << b.what;
        EXPECT_EQ(calls, 0) << b.what;
    }
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

}  // namespace
