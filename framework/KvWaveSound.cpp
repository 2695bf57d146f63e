// WAVE parsing and the sound's control of its voice. Chunk offsets are kept
// in 64-bit arithmetic so that no 32-bit length, however large, can wrap an
// offset back inside the data.
#include "framework/KvWaveSound.h"

#include <cstring>

#include "framework/KvIStream.h"
#include "framework/KvSoundDriver.h"

namespace {

constexpr uint64_t kRiffHeaderSize = 12;  // "RIFF", length, "WAVE"
constexpr uint64_t kChunkHeaderSize = 8;  // id, length
constexpr uint64_t kMinFmtSize = 16;
constexpr int kFormatPcm = 1;

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
int le16(const unsigned char* p) { return p[0] | p[1] << 8; }

}  // namespace

KvWaveSound::KvWaveSound(KvIStream* s, bool owns, KvMixer* m)
    : stream(s), ownsStream(owns), onDriver(m == nullptr), mixer(m) {
    if (!stream || !stream->good() || !stream->setSrcOffset(0)) return;
    stream->rewind();
    valid = parse(stream->data(), stream->size());
}

KvWaveSound::~KvWaveSound() {
    if (mixer) mixer->forget(this);
    if (ownsStream) delete stream;
}

bool KvWaveSound::parse(const unsigned char* bytes, long size) {
    if (!bytes || size < static_cast<long>(kRiffHeaderSize)) return false;
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) return false;
    const uint64_t riffEnd = 8 + static_cast<uint64_t>(le32(bytes + 4));
    const uint64_t end = riffEnd < static_cast<uint64_t>(size) ? riffEnd : static_cast<uint64_t>(size);

    bool haveFmt = false;
    int bytesPerSample = 0;
    uint64_t at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= end) {
        const unsigned char* chunk = bytes + at;
        const uint64_t length = le32(chunk + 4);
        const uint64_t body = at + kChunkHeaderSize;
        const uint64_t present = end - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (haveFmt || length < kMinFmtSize || length > present) return false;
            const unsigned char* f = bytes + body;
            const int format = le16(f);
            const int channels = le16(f + 2);
            const uint32_t rate = le32(f + 4);
            const int blockAlign = le16(f + 12);
            const int bits = le16(f + 14);
            if (format != kFormatPcm || channels < 1 || channels > KvMixer::kMaxChannels) return false;
            if (rate < static_cast<uint32_t>(KvMixer::kMinRate) || rate > static_cast<uint32_t>(KvMixer::kMaxRate))
                return false;
            if (bits != 8 && bits != 16) return false;
            bytesPerSample = bits / 8;
            if (blockAlign != channels * bytesPerSample) return false;
            pcm.channels = channels;
            pcm.rate = static_cast<int>(rate);
            haveFmt = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFmt) return false;
            const uint64_t taken = length < present ? length : present;
            const uint64_t frames = taken / static_cast<uint64_t>(pcm.channels * bytesPerSample);
            if (frames * static_cast<uint64_t>(pcm.channels) > kMaxSamples) return false;
            const unsigned char* d = bytes + body;
            samples.resize(frames * static_cast<uint64_t>(pcm.channels));
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = bytesPerSample == 1 ? static_cast<int16_t>((d[i] - 128) * 256)
                                                 : static_cast<int16_t>(le16(d + 2 * i));
            pcm.samples = samples.data();
            pcm.frames = static_cast<long>(frames);
            return true;
        } else if (length > present) {
            return false;
        }
        at = body + length + (length & 1);
    }
    return false;
}

KvMixer* KvWaveSound::target() {
    if (onDriver) mixer = KvSoundDriver::mixer();
    return mixer;
}

void KvWaveSound::play() {
    if (!valid) return;
    KvMixer* m = target();
    if (!m) return;
    if (voice) m->stop(voice);
    voice = m->start(this, pcm);
}

void KvWaveSound::stop() {
    if (mixer && voice) mixer->stop(voice);
    voice = 0;
}

void KvWaveSound::pause() {
    if (mixer && voice) mixer->pause(voice);
}

void KvWaveSound::resume() {
    if (mixer && voice) mixer->resume(voice);
}

bool KvWaveSound::isPlaying() const { return mixer && voice && mixer->isActive(voice); }

bool KvWaveSound::isPaused() const { return mixer && voice && mixer->isPaused(voice); }

unsigned long KvWaveSound::getDuration() const {
    if (!valid) return 0;
    return static_cast<unsigned long>(static_cast<uint64_t>(pcm.frames) * 1000 / static_cast<uint64_t>(pcm.rate));
}
