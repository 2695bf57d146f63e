// WAV parsing: any bytes make a sound that is valid or refuses to play,
// never a read outside the stream.
#include <cstdint>

#include "framework/KvIStream.h"
#include "framework/KvMixer.h"
#include "framework/KvWaveSound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static KvMixer mixer;
    KvWaveSound sound(new KvIStreamMemory(data, static_cast<long>(size)), true, &mixer);
    if (sound.isValid()) {
        sound.play();
        mixer.advance(64);
        mixer.dispatch();
        sound.stop();
    }
    return 0;
}
