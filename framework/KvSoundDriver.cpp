// The sound driver. The driver object is made on first use and never
// destroyed: an audio device may still pull from its mixer while the process
// ends, and sounds destroyed by static destructors still forget themselves there.
#include "framework/KvSoundDriver.h"

#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvMixer.h"
#include "framework/KvInterruptions.h"

namespace {

// What the driver asks of a device; a device may answer with another format.
constexpr int kRequestedRate = 44100;
constexpr int kRequestedChannels = 2;

void pumpLink(const void*) { KvSoundDriver::pump(); }
const KvLinkToFct kPumpLink(&pumpLink);

class Driver {
public:
    Driver()
        : mix(kRequestedRate, kRequestedChannels),
          task(&kPumpLink),
          interrupted(this, &Driver::onInterruption) {
        KvInterruptions::interruptedList.append(&interrupted);
    }

    // Follow the current backend and application.
    void attach() {
        follow(KvBackend::current());
        if (KvApp::theApp && !KvApp::theApp->hasTask(&task)) KvApp::theApp->addTask(&task);
    }

    void release(KvBackend* b) {
        if (b != backend) return;
        if (device) b->closeAudio();
        backend = nullptr;
        device = false;
    }

    KvMixer mix;
    bool device = false;

private:
    void follow(KvBackend* b) {
        if (b == backend) return;
        if (backend && device) backend->closeAudio();
        backend = b;
        KvAudioFormat deviceFormat;
        deviceFormat.rate = mix.getRate();
        deviceFormat.channels = mix.getChannels();
        device = b->openAudio(&KvMixer::fill, &mix, &deviceFormat);
        if (device && (deviceFormat.rate != mix.getRate() || deviceFormat.channels != mix.getChannels())) {
            // The mixer must write exactly the device's format; when it cannot
            // change now (voices are playing), the sound goes on by the clock.
            if (!mix.setFormat(deviceFormat.rate, deviceFormat.channels) || mix.getRate() != deviceFormat.rate ||
                mix.getChannels() != deviceFormat.channels) {
                b->closeAudio();
                device = false;
            }
        }
        if (device) {
            mix.setClock(nullptr);
            return;
        }
        mix.setFormat(kRequestedRate, kRequestedChannels);  // kept as it was while voices play
        base = mix.position();
        clock = KvFrameClock(mix.getRate());
        clock.frames(b->milliSeconds());
        mix.setClock([this] { return now(); });
    }

    // Where the timeline should be, by the backend's clock.
    uint64_t now() {
        follow(KvBackend::current());
        if (device) return mix.position();
        return base + clock.frames(backend->milliSeconds());
    }

    void onInterruption(const void* ms) {
        if (ms) clock.skip(*static_cast<const unsigned long*>(ms));
    }

    KvBackend* backend = nullptr;
    uint64_t base = 0;  // the timeline position when the clock was anchored
    KvFrameClock clock{kRequestedRate};
    KvTask task;
    KvMemberLink<Driver> interrupted;
};

Driver* made = nullptr;

Driver& driver() {
    if (!made) made = new Driver;
    return *made;
}

}  // namespace

KvMixer* KvSoundDriver::mixer() {
    Driver& d = driver();
    d.attach();
    return &d.mix;
}

void KvSoundDriver::pump() {
    Driver& d = driver();
    d.attach();
    d.mix.catchUp();
    d.mix.dispatch();
}

bool KvSoundDriver::hasDevice() {
    Driver& d = driver();
    d.attach();
    return d.device;
}

void KvSoundDriver::release(KvBackend* b) {
    if (made) made->release(b);
}
