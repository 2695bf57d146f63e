// The mixer: voices, timeline and events. Output frame i of a voice takes the
// source at position i * srcRate / rate (an exact fraction): the two source
// frames around it are blended linearly in integer arithmetic, so equal rates
// copy samples unchanged and no voice ever reads past its last source frame
// (i < ceil(frames * rate / srcRate) keeps i * srcRate / rate below frames).
#include "framework/KvMixer.h"

#include <algorithm>

#include "framework/KvSound.h"

uint64_t KvFrameClock::frames(unsigned long nowMs) {
    if (started && nowMs >= last) {
        const uint64_t moved = nowMs - last;
        const uint64_t skipped = std::min(moved, skipMs);
        skipMs -= skipped;
        totalMs += moved - skipped;
    }
    started = true;
    last = nowMs;
    return totalMs * static_cast<uint64_t>(rate) / 1000;
}

KvMixer::KvMixer(int r, int c)
    : rate(std::clamp(r, kMinRate, kMaxRate)), channels(std::clamp(c, 1, kMaxChannels)) {
    scratch.resize(static_cast<size_t>(kChunkFrames) * kMaxChannels);
}

KvMixer::~KvMixer() = default;

bool KvMixer::setFormat(int r, int c) {
    std::lock_guard g(lock);
    if (!voices.empty()) return false;
    rate = std::clamp(r, kMinRate, kMaxRate);
    channels = std::clamp(c, 1, kMaxChannels);
    return true;
}

uint64_t KvMixer::position() const {
    std::lock_guard g(lock);
    return pos;
}

uint64_t KvMixer::lengthOf(const KvPcm& pcm) const {
    if (pcm.frames <= 0 || pcm.rate < kMinRate || pcm.rate > kMaxRate) return 0;
    const uint64_t out = static_cast<uint64_t>(pcm.frames) * static_cast<uint64_t>(rate);
    return (out + static_cast<uint64_t>(pcm.rate) - 1) / static_cast<uint64_t>(pcm.rate);
}

KvMixer::VoiceId KvMixer::start(KvSound* owner, const KvPcm& pcm) {
    if (pcm.frames < 0 || (pcm.frames > 0 && !pcm.samples) || pcm.channels < 1 ||
        pcm.channels > kMaxChannels || pcm.rate < kMinRate || pcm.rate > kMaxRate)
        return 0;
    catchUp();
    std::lock_guard g(lock);
    if (static_cast<int>(voices.size()) >= kMaxVoices) return 0;
    const VoiceId id = nextId++;
    voices.push_back(Voice{id, owner, pcm, lengthOf(pcm), 0, false, false});
    return id;
}

KvMixer::Voice* KvMixer::find(VoiceId id) {
    for (Voice& v : voices)
        if (v.id == id) return &v;
    return nullptr;
}

void KvMixer::stop(VoiceId id) {
    catchUp();
    std::lock_guard g(lock);
    for (auto it = voices.begin(); it != voices.end(); ++it)
        if (it->id == id) {
            if (it->begun) queue(true, it->owner, pos);
            voices.erase(it);
            return;
        }
}

void KvMixer::pause(VoiceId id) {
    catchUp();
    std::lock_guard g(lock);
    if (Voice* v = find(id)) v->paused = true;
}

void KvMixer::resume(VoiceId id) {
    catchUp();
    std::lock_guard g(lock);
    if (Voice* v = find(id)) v->paused = false;
}

bool KvMixer::isActive(VoiceId id) {
    catchUp();
    std::lock_guard g(lock);
    return find(id) != nullptr;
}

bool KvMixer::isPaused(VoiceId id) {
    catchUp();
    std::lock_guard g(lock);
    const Voice* v = find(id);
    return v && v->paused;
}

int KvMixer::voiceCount() const {
    std::lock_guard g(lock);
    return static_cast<int>(voices.size());
}

void KvMixer::forget(const KvSound* owner) {
    if (!owner) return;
    std::lock_guard g(lock);
    std::erase_if(voices, [owner](const Voice& v) { return v.owner == owner; });
    std::erase_if(events, [owner](const Event& e) { return e.owner == owner; });
}

void KvMixer::mix(int16_t* out, int frames) {
    if (out && frames > 0) run(out, static_cast<uint64_t>(frames));
}

void KvMixer::advance(uint64_t frames) { run(nullptr, frames); }

void KvMixer::fill(void* user, int16_t* out, int frames) { static_cast<KvMixer*>(user)->mix(out, frames); }

void KvMixer::run(int16_t* out, uint64_t frames) {
    std::lock_guard g(lock);
    while (frames > 0) {
        const int n = static_cast<int>(std::min<uint64_t>(frames, kChunkFrames));
        const size_t samples = static_cast<size_t>(n) * static_cast<size_t>(channels);
        if (out) std::fill_n(scratch.begin(), samples, 0);
        runChunk(out ? scratch.data() : nullptr, n);
        if (out) {
            for (size_t i = 0; i < samples; ++i)
                out[i] = static_cast<int16_t>(std::clamp<int32_t>(scratch[i], INT16_MIN, INT16_MAX));
            out += samples;
        }
        frames -= static_cast<uint64_t>(n);
    }
}

// Frames pos .. pos + n - 1. Events of the chunk are queued in frame order;
// every earlier event has a frame <= pos, so the queue stays in order.
void KvMixer::runChunk(int32_t* acc, int n) {
    const size_t firstNew = events.size();
    for (size_t i = 0; i < voices.size();) {
        Voice& v = voices[i];
        if (v.paused) {
            ++i;
            continue;
        }
        if (!v.begun) {
            v.begun = true;
            queue(false, v.owner, pos);
        }
        const int take = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(n), v.length - v.done));
        if (acc) addVoice(v, acc, take);
        v.done += static_cast<uint64_t>(take);
        if (v.done == v.length) {
            queue(true, v.owner, pos + static_cast<uint64_t>(take));
            voices.erase(voices.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    std::stable_sort(events.begin() + static_cast<std::ptrdiff_t>(firstNew), events.end(),
                     [](const Event& a, const Event& b) { return a.frame < b.frame; });
    pos += static_cast<uint64_t>(n);
}

void KvMixer::addVoice(const Voice& v, int32_t* acc, int n) const {
    const uint64_t srcRate = static_cast<uint64_t>(v.pcm.rate);
    const uint64_t outRate = static_cast<uint64_t>(rate);
    const int srcCh = v.pcm.channels;
    const uint64_t last = static_cast<uint64_t>(v.pcm.frames) - 1;
    for (int k = 0; k < n; ++k) {
        const uint64_t where = (v.done + static_cast<uint64_t>(k)) * srcRate;
        const uint64_t f0 = where / outRate;
        const int64_t w1 = static_cast<int64_t>(where % outRate);
        const int64_t w0 = static_cast<int64_t>(outRate) - w1;
        const uint64_t f1 = f0 < last ? f0 + 1 : f0;
        const int16_t* s0 = v.pcm.samples + f0 * static_cast<uint64_t>(srcCh);
        const int16_t* s1 = v.pcm.samples + f1 * static_cast<uint64_t>(srcCh);
        auto sample = [&](int c) {
            return static_cast<int32_t>((s0[c] * w0 + s1[c] * w1) / static_cast<int64_t>(outRate));
        };
        int32_t* o = acc + static_cast<size_t>(k) * static_cast<size_t>(channels);
        if (srcCh == channels) {
            for (int c = 0; c < channels; ++c) o[c] += sample(c);
        } else if (srcCh == 1) {
            const int32_t s = sample(0);
            for (int c = 0; c < channels; ++c) o[c] += s;
        } else {
            o[0] += (sample(0) + sample(1)) / 2;
        }
    }
}

void KvMixer::queue(bool finish, KvSound* owner, uint64_t frame) {
    if (owner) events.push_back(Event{finish, owner, frame});
}

void KvMixer::setClock(Clock c) {
    std::lock_guard g(lock);
    clock = std::move(c);
}

void KvMixer::catchUp() {
    Clock c;
    {
        std::lock_guard g(lock);
        c = clock;
    }
    if (!c) return;
    const uint64_t target = c();
    const uint64_t now = position();
    if (target > now) advance(target - now);
}

int KvMixer::dispatch() {
    int count = 0;
    for (;;) {
        Event e;
        {
            std::lock_guard g(lock);
            if (events.empty()) break;
            e = events.front();
            events.pop_front();
        }
        // The owner is alive: deleting a sound drops its events under the lock,
        // and sounds are only deleted on this thread.
        const uint64_t outer = currentEventFrame;
        currentEventFrame = e.frame;
        if (e.finish)
            e.owner->callFinished();
        else
            e.owner->callBeginning();
        currentEventFrame = outer;
        ++count;
    }
    return count;
}

bool KvMixer::hasPendingEvents() const {
    std::lock_guard g(lock);
    return !events.empty();
}
