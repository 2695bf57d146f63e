// Animations: the script class "KvAnimation" (creation parameters x, y and a
// resource id), its properties, methods and events, pixel hit testing,
// stamping into the background, and the draw direction.
//
// Values travel as decimal texts, read like atoi but clamped to an int, and
// written with "%d" into the shared value buffer. Every property link is a
// KvAnimationScriptLink naming one member; copying the properties for a copy
// of the animation retargets it.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/KvAnimation.h"
#include "anim/KvCelRenderer.h"
#include "sob/KvSR.h"
#include "trinket/KvTrinketWindow.h"

namespace {

// Registered while the library loads.
KvSR animationRecord("KvAnimation", &KvAnimation::sobAdapter);

const char* const kAOEventPaused = "paused";
const char* const kAOEventSpecial = "special";
const char* const kAOEventFrameNotify = "frameNotify";

int number(const void* text) {
    if (!text) return 0;
    const long v = std::strtol(static_cast<const char*>(text), nullptr, 10);
    return static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
}

void print(const void* buffer, int value) {
    if (buffer) std::snprintf(KvScriptableObject::sobValueOut(buffer), kKvSobValueBufferSize, "%d", value);
}

}  // namespace

// A link to one member of one animation: a setter or getter taking the
// value text or buffer, or an action without argument. Property links are
// retargeted through the scriptable-object base.
using KvAnimationScriptLink = KvMemberLink<KvAnimation, KvScriptableObject>;

// ---- the class ----

KvScriptableObject* KvAnimation::sobAdapter() {
    if (!srcURL) return nullptr;
    const int x = number(nextParameter());
    const int y = number(nextParameter());
    const KvRscID id(static_cast<short>(number(nextParameter())));
    KvIStream* s = srcURL(id);
    if (!s) return nullptr;
    KvTrinketWindow* window = KvTrinketWindow::currentWindow;
    auto* animation = alwaysUseEmbeddedXYZ ? new KvAnimation(s, kAOEmbeddedPosition, kAOEmbeddedPosition, window)
                                           : new KvAnimation(s, x, y, window);
    if (!animation->isLoaded()) {
        delete animation;
        return nullptr;
    }
    animation->loadSounds(-1);
    animation->setResId(id);
    return animation;
}

void KvAnimation::sobGetInfo(char* buffer) const {
    if (buffer) std::snprintf(buffer, kTrInfoBufferSize, "%d %d %d", trGetX(), trGetY(), static_cast<int>(resId));
}

KvScriptableObject* KvAnimation::copy() const {
    auto* twin = new KvAnimation(*this);
    sobClone(twin);
    return twin;
}

void KvAnimation::sobAssignProperties() {
    using L = KvAnimationScriptLink;
    KvTrinket::sobAssignProperties();
    sobRemoveProperty(sKvTDblClick);

    struct Data {
        const char* name;
        L::Method set;
        L::ConstMethod get;
    };
    const Data data[] = {
        {"frame", &KvAnimation::sobSetFrame, &KvAnimation::sobGetFrame},
        {"sequence", &KvAnimation::sobSetSequence, &KvAnimation::sobGetSequence},
        {"drawDirection", &KvAnimation::sobSetDrawDirection, &KvAnimation::sobGetDrawDirection},
        {"param", &KvAnimation::sobSetParam, &KvAnimation::sobGetParam},
        {"soundOn", &KvAnimation::sobSetSoundOn, &KvAnimation::sobGetSoundOn},
        {"boxTouchy", &KvAnimation::sobSetBoxTouchy, &KvAnimation::sobGetBoxTouchy},
        {"frameNotification", &KvAnimation::sobSetFrameNotification, &KvAnimation::sobGetFrameNotification},
    };
    for (const Data& d : data) {
        const L setter(this, d.set), getter(this, d.get);
        sobAddDataProperty(d.name, &setter, &getter);
    }
    const L unpause(this, static_cast<L::MethodNoArg>(&KvAnimation::unPause));
    const L forever(this, static_cast<L::MethodNoArg>(&KvAnimation::sobPlayForever));
    const L stamp(this, static_cast<L::MethodNoArg>(&KvAnimation::trStamp));
    const L unstamp(this, static_cast<L::MethodNoArg>(&KvAnimation::trUnstamp));
    sobAddMethodProperty(&unpause);
    sobAddMethodProperty("forever", &forever);
    sobAddMethodProperty("stamp", &stamp);
    sobAddMethodProperty("unstamp", &unstamp);
    for (const char* event : {kAOEventPaused, kAOEventSpecial, kAOEventFrameNotify}) sobAddEventProperty(event);
}

// ---- properties ----

void KvAnimation::sobSetFrame(const void* value) { setFrame(number(value), 0); }
void KvAnimation::sobGetFrame(const void* buffer) const { print(buffer, getFrame()); }

void KvAnimation::sobSetSequence(const void* value) {
    // Scripts count sequences from 1.
    setSequence(number(value) - 1, 0);
    activate();
}
void KvAnimation::sobGetSequence(const void* buffer) const { print(buffer, curSeq + 1); }

void KvAnimation::sobSetDrawDirection(const void* value) { setDrawDirection(static_cast<unsigned char>(number(value))); }
void KvAnimation::sobGetDrawDirection(const void* buffer) const { print(buffer, drawDirection); }

// The field of the entry at the current position chosen by the next parameter:
// 0 or 1 the command (cel), 2 and 3 its parameters x and y, 4 the third (param).
void KvAnimation::sobSetParam(const void* value) {
    const int v = number(value);
    KvAOSequence& e = seq[seqPos];
    switch (number(nextParameter())) {
        case 0:
        case 1: e.cel = static_cast<int16_t>(v); break;
        case 2: e.x = static_cast<int16_t>(v); break;
        case 3: e.y = static_cast<int16_t>(v); break;
        case 4: e.param = static_cast<uint16_t>(v); break;
        default: break;
    }
}
void KvAnimation::sobGetParam(const void* buffer) const {
    const KvAOSequence& e = seq[seqPos];
    int v = 0;
    switch (number(nextParameter())) {
        case 0:
        case 1: v = e.cel; break;
        case 2: v = e.x; break;
        case 3: v = e.y; break;
        case 4: v = e.param; break;
        default: break;
    }
    print(buffer, v);
}

void KvAnimation::sobSetSoundOn(const void* value) { setSound(number(value)); }
void KvAnimation::sobGetSoundOn(const void* buffer) const { print(buffer, soundOn); }

void KvAnimation::sobSetBoxTouchy(const void* value) { boxTouchy = number(value); }
void KvAnimation::sobGetBoxTouchy(const void* buffer) const { print(buffer, boxTouchy); }

void KvAnimation::sobSetFrameNotification(const void* value) {
    frameNotification = number(value);
    if (!frameNotification) {
        setAlertOnSeqPos(nullptr);
        return;
    }
    const KvAnimationScriptLink notify(this, &KvAnimation::passFrameNotify);
    setAlertOnSeqPos(&notify);
}
void KvAnimation::sobGetFrameNotification(const void* buffer) const { print(buffer, frameNotification); }

void KvAnimation::passFrameNotify() { sobPass(kAOEventFrameNotify); }

void KvAnimation::sobPlayForever() {
    setRepeat(-1);
    unPause();
}

// ---- pixels ----

int KvAnimation::visiblePixel(int x, int y) const {
    int c, r;
    if (!curPicture || !KvCelRenderer::mapToCel(trGetX(), trGetY(), curPicture, drawDirection, x, y, c, r)) return 0;
    return KvCelRenderer::pixelAt(curPicture, c, r) >= 0;
}

int KvAnimation::getPixel(int x, int y) const {
    int c, r;
    if (!curPicture || directColor || !KvCelRenderer::mapToCel(trGetX(), trGetY(), curPicture, drawDirection, x, y, c, r))
        return -1;
    return KvCelRenderer::pixelAt(curPicture, c, r);
}

int KvAnimation::covers(const KvPoint& p) const {
    const KvRect r = box() * trGetCorral();
    if (r == KvRect::zero || !r.contains(p)) return 0;
    if (boxTouchy) return 1;
    return visiblePixel(p.x, p.y);
}

void KvAnimation::setDrawDirection(unsigned char d) {
    if (d == drawDirection) return;
    trInvalidate();
    // A quarter turn more or less swaps the box's sides about its top-left corner.
    if ((d ^ drawDirection) & 4) {
        const KvRect& b = box();
        trSetRect(b.left, b.top, b.left + b.height(), b.top + b.width());
    }
    drawDirection = d;
}

// ---- stamping ----

void KvAnimation::trStamp() {
    if (trGetStamped()) return;
    if (KvTBackground* background = trGetBackground()) {
        // A script that gives "stamp" a parameter paints without keeping a stamp.
        if (!*nextParameter()) {
            trTouch(kTrPropStamped, 1, 0);
            background->bkPushStampRect(box());
        }
        KvTrinket::trInvalidate();
        if (KvMemCanvas* canvas = background->bkGetCanvas()) paint(trGetX(), trGetY(), canvas);
    }
    state = kAOStopped;
    trSetVisible(0);
    trSetDirtyState(kTrClean);
}

void KvAnimation::trUnstamp() {
    if (!trGetStamped()) return;
    if (KvTBackground* background = trGetBackground()) {
        background->bkPopStampRect();
        trTouch(kTrPropStamped, 0, 0);
    }
    state = kAOPaused;
    trSetVisible(1);
    KvTrinket::trInvalidate();
}
