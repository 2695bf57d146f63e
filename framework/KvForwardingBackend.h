// A backend that hands every call on to another (the inner backend), for
// backends that change one thing about a real one: a recorder that writes
// down what the inner backend delivers, a replayer that delivers a recording
// in its place. The inner backend is not owned and must outlive this one.
#pragma once

#include "framework/KvBackend.h"
#include "framework/KvSoundDriver.h"

class KvForwardingBackend : public KvBackend {
public:
    explicit KvForwardingBackend(KvBackend* inner) : inner(inner) {}
    ~KvForwardingBackend() override { KvSoundDriver::release(this); }

    KvBackend* getInner() const { return inner; }

    const char* name() const override { return inner->name(); }
    unsigned long milliSeconds() override { return inner->milliSeconds(); }
    void pumpEvents() override { inner->pumpEvents(); }
    int displayDepth() const override { return inner->displayDepth(); }
    bool canFlip() const override { return inner->canFlip(); }
    KvBackendWindow* openWindow(KvWindow* owner, const KvRect& rect, int style) override {
        return inner->openWindow(owner, rect, style);
    }
    bool openAudio(KvAudioFill fill, void* user, KvAudioFormat* deviceFormat) override {
        return inner->openAudio(fill, user, deviceFormat);
    }
    void closeAudio() override { inner->closeAudio(); }
    void lockAudio() override { inner->lockAudio(); }
    void unlockAudio() override { inner->unlockAudio(); }
    void userMessage(const char* text) override { inner->userMessage(text); }

protected:
    KvBackend* inner;
};
