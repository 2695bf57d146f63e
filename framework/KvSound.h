// Sounds. A sound plays on the framework's mixer (KvMixer) and reports two
// moments through links: its beginning (the first output frame of a play) and
// its end. Both links are called on the main loop's thread, with their stored
// argument, when the framework dispatches sound events — never from inside
// play()/stop() or from an audio thread.
//
// Every play that began gets exactly one finished call: at its natural end, or
// when stop() or a new play() cuts it short. A play stopped before it began
// reports nothing. A deleted sound reports nothing more.
//
// Links are held by clone (null clears). A link is called through a copy, so
// it may replace or clear its own slot, restart the sound or delete it.
#pragma once

#include <memory>

#include "framework/KvLink.h"

class KvSound {
public:
    KvSound() = default;
    virtual ~KvSound() {
        delete beginningLink;
        delete finishedLink;
    }
    KvSound(const KvSound&) = delete;
    KvSound& operator=(const KvSound&) = delete;

    // Start from the beginning (a sound already playing starts over).
    virtual void play() = 0;
    // End the current play where it is.
    virtual void stop() = 0;
    // Hold the current play at its position; resume() goes on from there.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // From play() until the play ends; a paused play is still playing.
    virtual bool isPlaying() const = 0;
    virtual bool isPaused() const = 0;

    void beginningSetLink(const KvLink* link) { KvLink::assign(beginningLink, link); }
    void finishedSetLink(const KvLink* link) { KvLink::assign(finishedLink, link); }
    const KvLink* getBeginningLink() const { return beginningLink; }
    const KvLink* getFinishedLink() const { return finishedLink; }

protected:
    // The mixer reports the moments of a play through these.
    friend class KvMixer;
    void callBeginning() const { callThroughCopy(beginningLink); }
    void callFinished() const { callThroughCopy(finishedLink); }

private:
    static void callThroughCopy(const KvLink* link) {
        if (!link) return;
        const std::unique_ptr<KvLink> copy(link->clone());
        copy->call();
    }

    KvLink* beginningLink = nullptr;
    KvLink* finishedLink = nullptr;
};
