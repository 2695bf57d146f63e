// Animations: copying and destruction, timing against the window's time
// origin, the update walk over a sequence, alerts, states and sounds.
//
// Every callback (an alert, a handler, a script event, a sound's link) may
// delete the animation. The walks set currentAnimation to the animation they
// step and stop touching it as soon as it names another one (the destructor
// clears it). Links are called through a clone, so a link may replace or
// clear its own slot while it runs.
//
// Sounds are loaded into records shared by an animation and its copies; a
// record dies with the last animation that holds it. A sound's links name
// the animation that last played it, and that animation clears them when it
// goes.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "anim/KvAnimation.h"
#include "framework/KvWaveSound.h"
#include "trinket/KvTrinketWindow.h"

int KvAnimation::alwaysInvalidate = 1;
int KvAnimation::alwaysSyncSounds = 1;
int KvAnimation::alwaysUseGlobalTime = 1;
int KvAnimation::alwaysEnableAOSound = 1;
int KvAnimation::alwaysRedrawSameFrame = 0;
bool KvAnimation::gFloatTiming = false;
KvLink* KvAnimation::staticSeqHandler = nullptr;
KvLink* KvAnimation::defaultSoundCommandHandler = nullptr;
KvAnimation* KvAnimation::currentAnimation = nullptr;
int KvAnimation::soundCursor = -1;

namespace {

KvLink* cloneOf(const KvLink* l) { return l ? l->clone() : nullptr; }

// Sound ids travel as the stored argument of the sound links.
const void* idArgument(short id) { return reinterpret_cast<const void*>(static_cast<intptr_t>(id)); }
short idOf(const void* arg) { return static_cast<short>(reinterpret_cast<intptr_t>(arg)); }

}  // namespace

// ---- copying and destruction ----

KvAnimation::KvAnimation(const KvAnimation& o)
    : KvTrinket(o), stream(o.stream), fileData(o.fileData), loaded(o.loaded), aoFlags(o.aoFlags),
      celCount(o.celCount), framesPerSecond(o.framesPerSecond), cels(o.cels),
      directColor(o.directColor), embeddedX(o.embeddedX), embeddedY(o.embeddedY),
      embeddedZ(o.embeddedZ), useEmbeddedXYZ(o.useEmbeddedXYZ), premadePictures(o.premadePictures),
      preMake(o.preMake), premadeCel(o.premadeCel), resId(o.resId), seqTable(o.seqTable),
      seqOwned(o.seqOwned), seqLengths(o.seqLengths), curPicture(o.curPicture), state(o.state),
      repeat(o.repeat), stopPos(o.stopPos), msPerFrame(o.msPerFrame), msPerFrameF(o.msPerFrameF),
      nextFrameTime(o.nextFrameTime), nextFrameTimeF(o.nextFrameTimeF), syncOffset(o.syncOffset),
      useFloatTiming(o.useFloatTiming), useGlobalTime(o.useGlobalTime), soundOn(o.soundOn),
      soundSync(o.soundSync), invalidates(o.invalidates), stopSoundOnPause(true),
      alertOnRepeat(cloneOf(o.alertOnRepeat)), alertOnPause(cloneOf(o.alertOnPause)),
      alertOnSoundDone(cloneOf(o.alertOnSoundDone)), alertOnSeqPos(cloneOf(o.alertOnSeqPos)),
      userCommandHandler(cloneOf(o.userCommandHandler)),
      soundCommandHandler(cloneOf(o.soundCommandHandler)), alertOnPauseMode(o.alertOnPauseMode),
      pauseAlertSuspended(o.pauseAlertSuspended), repeatAlertSuspended(o.repeatAlertSuspended),
      // The copy has started no sound of its own: its activeSoundCount is 0.
      pendingPauseAlert(o.pendingPauseAlert), changed(0), drawDirection(o.drawDirection),
      boxTouchy(o.boxTouchy), frameNotification(o.frameNotification) {
    if (stream) ++stream->shareCount;
    literals.adopt(cels);
    for (size_t s = 0; s < seqTable.size(); ++s)
        if (seqOwned[s]) {
            auto* own = new KvAOSequence[static_cast<size_t>(seqLengths[s])];
            std::copy(o.seqTable[s], o.seqTable[s] + seqLengths[s], own);
            seqTable[s] = own;
        }
    KvList<SoundRecord>::Cursor walk(o.sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next()) {
        ++r->holders;
        sounds.append(r);
    }
    // The frame notification raises the copy's own event.
    const KvScriptableObject* source = &o;
    if (frameNotification && alertOnSeqPos && alertOnSeqPos->getTarget() == source)
        alertOnSeqPos->setTarget(static_cast<KvScriptableObject*>(this));
    animationList.append(this);
    if (o.colorTable && windowDepth() != 8) {
        colorTable = std::make_unique<uint32_t[]>(kAOPaletteEntries);
        std::copy(o.colorTable.get(), o.colorTable.get() + kAOPaletteEntries, colorTable.get());
    }
    setSequence(o.curSeq, 1);
    setSequencePos(o.seqPos, 0);
}

KvAnimation::~KvAnimation() {
    if (currentAnimation == this) currentAnimation = nullptr;
    colorTable.reset();
    trUnstamp();
    animationList.remove(this);
    unloadAllSounds();
    for (KvLink** l : {&alertOnRepeat, &alertOnPause, &alertOnSoundDone, &alertOnSeqPos,
                       &userCommandHandler, &soundCommandHandler}) {
        delete *l;
        *l = nullptr;
    }
    for (size_t s = 0; s < seqTable.size(); ++s)
        if (seqOwned[s]) delete[] seqTable[s];
    if (stream) {
        if (stream->shareCount)
            --stream->shareCount;
        else
            delete stream;
    }
}

// ---- timing ----

int KvAnimation::getMSecPerFrame() const {
    if (!framesPerSecond) return seq[seqPos].cel >= 0 ? seq[seqPos].param : 0;
    if (msPerFrame < 0) msPerFrame = 1000 / framesPerSecond;
    return msPerFrame;
}

float KvAnimation::getMSecPerFrameFloat() const {
    if (!framesPerSecond) return seq[seqPos].cel >= 0 ? static_cast<float>(seq[seqPos].param) : 0.0f;
    if (msPerFrameF == 0.0f) msPerFrameF = 1000.0f / static_cast<float>(framesPerSecond);
    return msPerFrameF;
}

void KvAnimation::setFramesPerSecond(int fps) {
    framesPerSecond = fps > 0 ? fps : 0;
    msPerFrame = -1;
    msPerFrameF = 0.0f;
}

int KvAnimation::trGetUpdateRate() const { return state == kAORunning ? framesPerSecond : 1; }

void KvAnimation::trInvalidate() {
    if (invalidates)
        KvTrinket::trInvalidate();
    else
        trMakeAllDirty();
}

void KvAnimation::trInvalidate(const KvRegion& region) {
    if (invalidates)
        KvTrinket::trInvalidate(region);
    else
        trMakeAllDirty();
}

// ---- the update ----

void KvAnimation::trUpdate() {
    const unsigned long now = trGetTimeOrigin();
    if (directColor) trInvalidate();
    if (state == kAOSynced) {
        nextFrameTime = now;
        syncOffset = now - syncOffset;  // it held the time the sound was asked for
        state = kAORunning;
        nextFrameTimeF = static_cast<double>(now);
    } else if (state != kAORunning || (useFloatTiming ? now < nextFrameTimeF : now < nextFrameTime)) {
        return;
    }

    // The next frame is due one frame after this one; an animation that fell
    // behind drops the lost time instead of hurrying through frames.
    const int ms = getMSecPerFrame();
    nextFrameTime = (useGlobalTime && nextFrameTime ? nextFrameTime : now) + ms;
    if (nextFrameTime + ms / 2 < now) nextFrameTime = now + ms;
    const double msF = getMSecPerFrameFloat();
    nextFrameTimeF = (useGlobalTime && nextFrameTimeF != 0.0 ? nextFrameTimeF : now) + msF;
    if (msF * 0.5 + nextFrameTimeF < now) nextFrameTimeF = now + msF;

    bool draw = true;
    int loops = 0;
    currentAnimation = this;
    for (int steps = 0; steps < kAOMaxStepsPerUpdate; ++steps) {
        const KvAOSequence e = seq[seqPos];
        bool pauseBack = false;  // a kAOEnd or kAOLoop that ends the last repeat
        if (e.cel >= 0) {
            if (draw) processFrame(alwaysRedrawSameFrame);
            if (state != kAOPaused) doSeqPos(1);
            if (!stillCurrent(this)) return;
            break;
        }
        if (e.cel == kAONop) {
            if (seqPos < endPos) ++seqPos;
            draw = true;
            continue;
        }
        if (e.cel == kAOEnd && repeat == 0) {
            state = kAOStopped;
            trSetVisible(0);
            trSetDirtyState(kTrClean);
            doSeqPos(0);
            if (!stillCurrent(this)) return;
            seqPos = 0;
            break;
        }
        if (e.cel == kAOEnd || e.cel == kAOLoop) {
            if (repeat == 1) {
                repeat = 0;
                pauseBack = true;
            } else {
                if (++loops > kAOMaxLoopsPerUpdate) break;
                doSeqPos(0);
                if (!stillCurrent(this)) return;
                seqPos = 0;
                if (repeat > 0) --repeat;
                if (alertOnRepeat && !repeatAlertSuspended) callLink(alertOnRepeat);
                if (!stillCurrent(this)) return;
                if (draw) continue;
                break;
            }
        }
        if (e.cel == kAOPause || pauseBack) {
            if (repeat == 0) {
                state = kAOPaused;
                alertPause();
                if (!stillCurrent(this)) return;
                if (stopSoundOnPause) stopSounds();
            }
            if (pauseBack) {
                doSeqPos(0);
                if (!stillCurrent(this)) return;
                if (seqPos > 0) --seqPos;
                while (seqPos > 0 && seq[seqPos].cel < 0) --seqPos;
                break;
            }
            doSeqPos(1);
            if (!stillCurrent(this)) return;
            if (draw) continue;
            break;
        }
        if (e.cel == kAOSound) {
            if (soundOn && sndURL)
                if (KvSound* sound = findSound(static_cast<short>(e.param))) {
                    const short id = static_cast<short>(e.param);
                    if (soundSync) {
                        state = kAOPaused;
                        draw = false;
                        const KvMemberLink<KvAnimation> begun(this, &KvAnimation::sync, idArgument(id));
                        sound->beginningSetLink(&begun);
                        syncOffset = now;
                    } else {
                        const KvMemberLink<KvAnimation> begun(this, &KvAnimation::incrementSoundCount, idArgument(id));
                        sound->beginningSetLink(&begun);
                    }
                    soundCommand(sound);
                    if (!stillCurrent(this)) return;
                    sound->play();
                    const KvMemberLink<KvAnimation> done(this, &KvAnimation::decrementSoundCount, idArgument(id));
                    sound->finishedSetLink(&done);
                }
            doSeqPos(1);
            if (!stillCurrent(this)) return;
            if (draw) continue;
            break;
        }
        if (e.cel <= kAOUserCommand) {
            if (userCommandHandler) callLink(userCommandHandler);
            if (!stillCurrent(this)) return;
            sobPass("special");
            if (!stillCurrent(this)) return;
        }
        doSeqPos(1);
        if (!stillCurrent(this)) return;
        draw = state == kAORunning;
        if (!draw) break;
    }

    const int here = seq[seqPos].cel;
    if (stopPos >= 0 && stopPos == seqPos) {
        pause();
        stopPos = -1;
    } else if (soundOn && soundSync && sndURL &&
               (here == kAOSound || (here == kAOLoop && seq[0].cel == kAOSound))) {
        // The sound at the next step starts late by about the last measured delay.
        if (nextFrameTime) nextFrameTime -= syncOffset;
    }
    nextFrameTimeF -= static_cast<double>(syncOffset);
}

void KvAnimation::processFrame(int force) {
    const KvAOSequence e = seq[seqPos], p = seq[lastSeqPos];
    const int dx = e.x - p.x, dy = e.y - p.y;
    if (!force && !dx && !dy && e.cel == p.cel) return;
    unsigned char* pic = pictureOf(e.cel);
    if (!pic) return;
    lastSeqPos = seqPos;
    trInvalidate();  // the old area
    curPicture = pic;
    int left = trGetX() + dx, top = trGetY() + dy;
    int w = getCelWidth(e.cel), h = getCelHeight(e.cel);
    if (drawDirection & 4) std::swap(w, h);
    // Mirrored directions keep the far edge where the frame offsets say.
    if (drawDirection & 1) left = box().right - w - dx;
    if (drawDirection & 2) top = box().bottom - h - dy;
    trSetRect(left, top, left + w, top + h);
    if (premadePictures) {
        premadeCel = e.cel;
        makePicture();
    }
}

void KvAnimation::doSeqPos(int advance) {
    if (seqPos >= endPos) return;
    if (staticSeqHandler) {
        const std::unique_ptr<KvLink> handler(staticSeqHandler->clone());
        (*handler)(this);
    }
    if (!stillCurrent(this)) return;
    if (alertOnSeqPos) callLink(alertOnSeqPos);
    if (!stillCurrent(this)) return;
    if (advance && seqPos < endPos) ++seqPos;
}

void KvAnimation::callLink(const KvLink* link) const {
    const std::unique_ptr<KvLink> copy(link->clone());
    copy->call();
}

void KvAnimation::alertPause() {
    if (alertOnPauseMode && !pendingPauseAlert && anySoundPlaying()) {
        pendingPauseAlert = 1;  // the alert waits for the sounds to end
        return;
    }
    pendingPauseAlert = 0;
    if (alertOnPause && !pauseAlertSuspended) callLink(alertOnPause);
    if (!stillCurrent(this)) return;
    sobPass("paused");
    if (!stillCurrent(this)) return;
    sobSyncDone();
}

void KvAnimation::soundCommand(KvSound* sound) {
    const KvLink* handler = soundCommandHandler ? soundCommandHandler : defaultSoundCommandHandler;
    if (!handler) return;
    const std::unique_ptr<KvLink> copy(handler->clone());
    (*copy)(sound);
}

// ---- states ----

void KvAnimation::activate() {
    state = kAORunning;
    nextFrameTime = 0;
    nextFrameTimeF = 0.0;
    trMakeAllDirty();
}

void KvAnimation::pause() {
    if (state != kAOStopped) state = kAOPaused;
    pendingPauseAlert = 0;
    if (stopSoundOnPause) stopSounds();
}

void KvAnimation::suspend() {
    if (state != kAOStopped) state = kAOPaused;
    KvList<SoundRecord>::Cursor walk(sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next()) r->sound->pause();
}

void KvAnimation::resume() {
    if (state == kAOPaused && !pendingPauseAlert) {
        state = kAORunning;
        nextFrameTime = 0;
        nextFrameTimeF = 0.0;
    }
    KvList<SoundRecord>::Cursor walk(sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next()) r->sound->resume();
}

void KvAnimation::unPause() {
    if (state != kAOPaused) return;
    state = kAORunning;
    nextFrameTime = 0;
}

void KvAnimation::reset() {
    pause();
    seqPos = 0;
    while (seqPos < endPos && seq[seqPos].cel < 0) ++seqPos;
    processFrame(0);
}

int KvAnimation::isPaused(int* paused, int* soundsIdle) const {
    const int p = state == kAOPaused, idle = !anySoundPlaying();
    if (paused) *paused = p;
    if (soundsIdle) *soundsIdle = idle;
    return p && idle;
}

int KvAnimation::isRunning(int* running, int* soundsBusy) const {
    const int r = state == kAORunning || state == kAOSynced, busy = anySoundPlaying();
    if (running) *running = r;
    if (soundsBusy) *soundsBusy = busy;
    return r || busy;
}

// ---- sounds ----

KvAnimation::SoundRecord* KvAnimation::recordOf(short id) const {
    KvList<SoundRecord>::Cursor walk(sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next())
        if (r->id == id) return r;
    return nullptr;
}

bool KvAnimation::anySoundPlaying() const {
    KvList<SoundRecord>::Cursor walk(sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next())
        if (r->playCount) return true;
    return false;
}

KvSound* KvAnimation::findSound(short id) {
    if (SoundRecord* r = recordOf(id)) return r->sound;
    if (!sndURL) return nullptr;
    KvIStream* s = sndURL(KvRscID(id));
    if (!s) return nullptr;
    sounds.append(new SoundRecord{new KvWaveSound(s, false), s, id, 0, 1});
    return sounds.last()->sound;
}

void KvAnimation::releaseRecord(SoundRecord* r) {
    const void* self = this;
    if (const KvLink* l = r->sound->getBeginningLink(); l && l->getTarget() == self) r->sound->beginningSetLink(nullptr);
    if (const KvLink* l = r->sound->getFinishedLink(); l && l->getTarget() == self) r->sound->finishedSetLink(nullptr);
    if (--r->holders > 0) return;
    delete r->sound;
    delete r->stream;
    delete r;
}

void KvAnimation::stopSounds() {
    KvList<SoundRecord>::Cursor walk(sounds);
    for (SoundRecord* r = walk.first(); r; r = walk.next()) {
        r->sound->beginningSetLink(nullptr);
        r->sound->stop();
    }
}

void KvAnimation::setSound(int on) {
    if (soundOn && !on) {
        pendingPauseAlert = 0;
        stopSounds();
    }
    soundOn = on;
}

void KvAnimation::sync(const void* id) {
    state = kAOSynced;
    incrementSoundCount(id);
}

void KvAnimation::incrementSoundCount(const void* id) {
    SoundRecord* r = recordOf(idOf(id));
    if (!r) return;
    r->sound->beginningSetLink(nullptr);
    ++r->playCount;
    ++activeSoundCount;
}

void KvAnimation::decrementSoundCount(const void* id) {
    if (SoundRecord* r = recordOf(idOf(id)); r && r->playCount > 0) --r->playCount;
    if (activeSoundCount <= 0 || --activeSoundCount > 0) return;
    KvAnimation* const previous = currentAnimation;
    currentAnimation = this;
    if (pendingPauseAlert && state != kAORunning && state != kAOSynced) alertPause();
    if (stillCurrent(this) && alertOnSoundDone) callLink(alertOnSoundDone);
    // The previous one may have gone during the callbacks.
    currentAnimation = animationList.contains(previous) ? previous : nullptr;
}

template <class Walk>
void KvAnimation::withSequence(int s, Walk walk) {
    if (s == -1) {
        walk();
        return;
    }
    const int previous = curSeq;
    setSequence(s, 0);
    walk();
    setSequence(previous, 0);
}

void KvAnimation::loadSounds(int s) {
    withSequence(s, [this] {
        for (int p = 0; p < endPos; ++p)
            if (seq[p].cel == kAOSound) findSound(static_cast<short>(seq[p].param));
    });
}

void KvAnimation::loadAllSounds() {
    const int previous = curSeq;
    for (int s = 0; s < getNumberOfSeqs(); ++s) {
        setSequence(s, 0);
        loadSounds(-1);
    }
    setSequence(previous, 0);
}

void KvAnimation::unloadSounds(int s) {
    if (sounds.isEmpty()) return;
    withSequence(s, [this] {
        // Each search goes on from where the last one stopped.
        KvList<SoundRecord>::Cursor walk(sounds);
        SoundRecord* r = walk.first();
        for (int p = 0; p < endPos; ++p) {
            if (seq[p].cel != kAOSound) continue;
            while (r && r->id != static_cast<short>(seq[p].param)) r = walk.next();
            if (!r) continue;
            sounds.remove(r);
            releaseRecord(r);
            r = walk.next();
        }
    });
}

void KvAnimation::unloadAllSounds() {
    while (SoundRecord* r = sounds.first()) {
        sounds.remove(r);
        releaseRecord(r);
    }
}

KvSound* KvAnimation::getFirstSound(short* id, int* frame) {
    soundCursor = -1;
    return getNextSound(id, frame);
}

KvSound* KvAnimation::getNextSound(short* id, int* frame) {
    for (int p = soundCursor + 1; p < endPos; ++p) {
        if (seq[p].cel != kAOSound) continue;
        soundCursor = p;
        int frames = 0;
        for (int q = 0; q < p; ++q) frames += seq[q].cel >= 0;
        const short soundId = static_cast<short>(seq[p].param);
        if (id) *id = soundId;
        if (frame) *frame = frames + 1;
        const SoundRecord* r = recordOf(soundId);
        return r ? r->sound : nullptr;
    }
    soundCursor = endPos;
    if (id) *id = 0;
    if (frame) *frame = 0;
    return nullptr;
}

void KvAnimation::attachSound(KvRscID id, int frame) {
    if (frame == -1) frame = getFrame();
    if (frame > 0) insertSeqEntry(kAOSound, 0, 0, static_cast<short>(id.value()), framePosition(frame));
}
