// A sound read from a RIFF/WAVE file of PCM samples: 8-bit unsigned or 16-bit
// signed little-endian, mono or stereo, at KvMixer::kMinRate..kMaxRate.
//
// File layout: "RIFF", length, "WAVE", then chunks (4-byte id, 32-bit
// little-endian length, body, a pad byte after an odd body). A "fmt " chunk
// (format 1, channels, rate, byte rate, block align, bits) must come before
// the "data" chunk; other chunks are skipped. Every length is checked against
// the bytes present: a RIFF length beyond the end is cut to the end (writers
// that stream often leave it wrong); a "fmt " or skipped chunk that runs past
// the end makes the file unreadable; a "data" chunk that runs past the end
// plays the whole frames present, unless they are more than kMaxSamples.
// Anything else unreadable gives a sound that never plays: play() does nothing
// and no link is ever called.
//
// The samples are converted to 16-bit once, when the sound is made, so the
// stream may be changed or deleted afterwards (when the sound does not own it).
#pragma once

#include <cstdint>
#include <vector>

#include "framework/KvMixer.h"
#include "framework/KvSound.h"

class KvIStream;

class KvWaveSound : public KvSound {
public:
    // Reads stream whole (from source offset 0). With ownsStream the sound
    // deletes the stream when it is deleted. mixer: where to play; null plays
    // on the framework's own mixer (KvSoundDriver).
    KvWaveSound(KvIStream* stream, bool ownsStream, KvMixer* mixer = nullptr);
    // A sound of more samples than this (12 minutes of stereo at 44.1 kHz, 128 MB
    // once converted) is unreadable: the samples are made before it can play.
    static constexpr uint64_t kMaxSamples = uint64_t{1} << 26;
    ~KvWaveSound() override;

    void play() override;
    void stop() override;
    void pause() override;
    void resume() override;
    bool isPlaying() const override;
    bool isPaused() const override;

    // The file was a readable WAVE file.
    bool isValid() const { return valid; }
    KvIStream* getIStream() const { return stream; }
    // The samples as the mixer plays them (16-bit, the file's channels and rate).
    const KvPcm& getPcm() const { return pcm; }
    // Length of the sound in milliseconds, rounded down.
    unsigned long getDuration() const;

private:
    bool parse(const unsigned char* bytes, long size);
    KvMixer* target();

    KvIStream* stream;
    bool ownsStream;
    bool onDriver;   // plays on the framework's mixer, attached anew at each play
    KvMixer* mixer;  // where the voice plays; for onDriver, set at the first play
    bool valid = false;
    std::vector<int16_t> samples;
    KvPcm pcm;
    KvMixer::VoiceId voice = 0;
};
