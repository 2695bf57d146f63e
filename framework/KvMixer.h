// The framework's mixer, shared by every backend. Voices (one per play of a
// sound) are mixed into signed 16-bit interleaved output at the mixer's rate,
// resampled linearly from their own rate and summed with saturation.
//
// Timeline: the mixer's position is the number of output frames made so far,
// by mix() (an audio device asking for sound) or advance() (no device: time
// passes in silence). A voice started at position P begins at P and, unless
// paused or stopped, finishes at P + lengthOf(its pcm): exact frame numbers,
// whatever the block sizes. Pausing a voice holds its position while the
// timeline goes on, so its finish moves later by the paused frames.
//
// Threads: mix() may run on a device thread; everything else is for the main
// thread. One mutex guards voices, events and position. Begin and finish
// events are only queued by the mixing code; dispatch() (main thread) calls
// the sounds' links, one event at a time in timeline order, so a link may
// start, stop or delete any sound, its own included.
//
// A voice reads its owner's samples in place: the owner must forget() itself
// before those samples go away.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class KvSound;

// Samples a voice plays: frames of 1 or 2 interleaved signed 16-bit samples.
struct KvPcm {
    const int16_t* samples = nullptr;
    long frames = 0;
    int channels = 1;
    int rate = 44100;
};

// Turns a millisecond counter into output frames since the first reading,
// exactly: the frame count is always floor(total ms * rate / 1000), so no
// rounding accumulates. A counter that goes backwards (a new clock) counts as
// no time passing.
class KvFrameClock {
public:
    explicit KvFrameClock(int rate) : rate(rate) {}
    uint64_t frames(unsigned long nowMs);
    // The next ms milliseconds that the counter moves on do not count
    // (the time of an interruption, before or after the counter shows it).
    void skip(unsigned long ms) { skipMs += ms; }

private:
    int rate;
    bool started = false;
    unsigned long last = 0;
    uint64_t totalMs = 0;
    uint64_t skipMs = 0;
};

class KvMixer {
public:
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 192000;
    static constexpr int kMaxChannels = 2;
    static constexpr int kMaxVoices = 64;
    // Frames mixed in one piece; bounds the scratch buffer.
    static constexpr int kChunkFrames = 1024;

    using VoiceId = uint64_t;  // 0: no voice

    // rate is clamped to kMinRate..kMaxRate, channels to 1..kMaxChannels.
    explicit KvMixer(int rate = 44100, int channels = 2);
    ~KvMixer();
    KvMixer(const KvMixer&) = delete;
    KvMixer& operator=(const KvMixer&) = delete;

    int getRate() const { return rate; }
    int getChannels() const { return channels; }
    // Change the output format; refused (false) while any voice exists.
    bool setFormat(int rate, int channels);

    // The timeline position in output frames.
    uint64_t position() const;
    // Output frames that pcm lasts at this mixer's rate: ceil(frames * rate / pcm rate).
    uint64_t lengthOf(const KvPcm& pcm) const;

    // A new voice for pcm, beginning at the current position; its events go to
    // owner (null: none). 0 when pcm is malformed or kMaxVoices are in use.
    VoiceId start(KvSound* owner, const KvPcm& pcm);
    // Ends a voice now; if it had begun, its finish is queued at the current position.
    void stop(VoiceId voice);
    void pause(VoiceId voice);
    void resume(VoiceId voice);
    // The voice has not ended yet (paused or not).
    bool isActive(VoiceId voice);
    bool isPaused(VoiceId voice);
    int voiceCount() const;
    // Ends owner's voices and drops its queued events, calling nothing.
    void forget(const KvSound* owner);

    // Mixes frames of output into out (frames * channels samples). Any thread.
    void mix(int16_t* out, int frames);
    // Moves the timeline on by frames without making output.
    void advance(uint64_t frames);
    // A KvAudioFill for a device: user is the mixer.
    static void fill(void* user, int16_t* out, int frames);

    // Without a device the timeline follows a clock: clock() says where it
    // should be now. catchUp() advances to it (never backwards); start, stop,
    // pause, resume and the queries catch up first, so a voice started "now"
    // begins at the clock's now. An empty clock turns this off.
    using Clock = std::function<uint64_t()>;
    void setClock(Clock c);
    void catchUp();

    // Calls the links of queued events, in timeline order, until none is left
    // (events queued meanwhile included). Main thread only. Returns how many.
    int dispatch();
    bool hasPendingEvents() const;
    // While dispatch() calls a link: the timeline frame of that event.
    uint64_t eventFrame() const { return currentEventFrame; }

private:
    struct Voice {
        VoiceId id;
        KvSound* owner;
        KvPcm pcm;
        uint64_t length;  // output frames
        uint64_t done;    // output frames already made
        bool begun;
        bool paused;
    };
    struct Event {
        bool finish;
        KvSound* owner;
        uint64_t frame;
    };

    void run(int16_t* out, uint64_t frames);
    void runChunk(int32_t* acc, int n);
    void addVoice(const Voice& v, int32_t* acc, int n) const;
    void queue(bool finish, KvSound* owner, uint64_t frame);
    Voice* find(VoiceId id);

    mutable std::mutex lock;
    int rate;
    int channels;
    uint64_t pos = 0;
    VoiceId nextId = 1;
    std::vector<Voice> voices;
    std::deque<Event> events;
    std::vector<int32_t> scratch;
    Clock clock;
    uint64_t currentEventFrame = 0;
};
