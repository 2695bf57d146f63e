// An animation object: a trinket that plays the sequences of one AO file
// (anim/KvAOFile.h), drawing its cels straight from their run-length
// encoding (anim/KvCelRenderer.h), with sounds, alerts and a script face
// (the class "KvAnimation").
//
// Invariants: the file stays in its stream's memory for the animation's life
// and is shared, never copied, with copies of the animation (the stream's
// share count tells how many copies hold it). There is always a current
// sequence; every sequence holds a kAOEnd entry at its end position, and the
// current and displayed positions lie between 0 and that end, so no walk
// leaves a sequence's entries. A file that does not fit is refused: the
// animation then holds no cels and one empty sequence, and draws nothing.
//
// Callbacks (alerts, handlers, script events) may delete the animation:
// whoever calls one tests currentAnimation afterwards and stops touching the
// object once it no longer names it.
//
// Member functions live by responsibility: KvAnimationLoad.cpp (the file,
// palettes, colour tables, premade pictures, hooks), KvAnimationPlay.cpp and
// KvAnimationSequence.cpp (playback, timing, sounds, alerts, sequence
// editing, lifetime), KvAnimationScript.cpp (class registration, properties,
// hit testing, stamping), KvAnimationColor.cpp (colour operations) and
// KvAnimationDraw.cpp (drawing entry points).
#pragma once

#include <memory>
#include <vector>

#include "anim/KvAOFile.h"
#include "anim/KvCelLiterals.h"
#include "framework/KvCanvas.h"
#include "framework/KvColor.h"
#include "framework/KvIStream.h"
#include "framework/KvLink.h"
#include "framework/KvList.h"
#include "framework/KvRscID.h"
#include "framework/KvSound.h"
#include "trinket/KvTrinket.h"

class KvTrinketWindow;

enum KvAOState : int { kAOStopped = 0, kAORunning = 1, kAOPaused = 2, kAOSynced = 3 };

// Pre-rendering of cels into memory canvases: off, or on with the canvases made
// in surface mode 1; any other nonzero value means on with surface mode 2.
enum AOPremake : int { kAOPremakeOff = 0, kAOPremakeMode1 = 1, kAOPremakeMode2 = 2 };

// x or y at construction: take the file's embedded position.
inline constexpr int kAOEmbeddedPosition = 11111;
// Palette files: 256 entries of three big-endian 16-bit components.
inline constexpr int kAOPaletteEntries = 256;
inline constexpr long kAOPaletteFileSize = kAOPaletteEntries * 3 * 2;
// Initial syncOffset, in ms.
inline constexpr unsigned long kAODefaultSyncOffset = 5;
// An update walks back to position 0 at most this often: a sequence without a
// reachable frame plays one pass per update instead of spinning.
inline constexpr int kAOMaxLoopsPerUpdate = 1;
// An update steps over at most this many command entries (callbacks that keep
// moving the position back cannot hold the update for ever).
inline constexpr int kAOMaxStepsPerUpdate = 1 << 17;
// addSequence copies at most this many entries (the count is a 16-bit field).
inline constexpr int kAOMaxSequenceEntries = 32767;

using KvAOStreamHook = KvIStream* (*)(KvRscID);
using KvAOPaletteHook = KvIStream* (*)(KvIStream*);

class KvAnimation : public KvTrinket {
public:
    // ---- construction (KvAnimationLoad.cpp, KvAnimationPlay.cpp) ----
    // Takes and owns stream. x or y kAOEmbeddedPosition: the embedded position.
    KvAnimation(KvIStream* stream, int x, int y, KvTrinketWindow* window);
    // Opens srcURL(id); without the hook, or without a stream, it holds no file.
    KvAnimation(KvRscID id, int x, int y, KvTrinketWindow* window);
    // Shares the file and the premade pictures, clones the links, copies the rest.
    KvAnimation(const KvAnimation& other);
    ~KvAnimation() override;

    // The file was read: false when it was refused (or there was none).
    bool isLoaded() const { return loaded; }

    // ---- KvTrinket's virtuals ----
    KvScriptableObject* copy() const override;
    void sobGetInfo(char* buffer) const override;
    void sobAssignProperties() override;
    int trGetUpdateRate() const override;
    void trInvalidate(const KvRegion& region) override;
    void trInvalidate() override;
    int covers(const KvPoint& p) const override;
    void trStamp() override;
    void trUnstamp() override;

protected:
    void trUpdate() override;

public:
    void trDraw() const override;

    // ---- the animation's own virtuals, in slot order ----
protected:
    virtual void soundCommand(KvSound* sound);
    virtual void processFrame(int force);
    virtual void alertPause();
    virtual int visiblePixel(int x, int y) const;
    virtual void grDrawPic(int x, int y, unsigned char* pic, const KvRect& clip, unsigned char dir) const;
    virtual void grDrawPic(int x, int y, unsigned char* pic, unsigned char dir) const;

public:
    virtual void paint(int x, int y, KvCanvas* canvas) const;
    virtual void paint() const;
    virtual void paint(const KvPoint& p) const;
    virtual void paint(const KvRect& clip) const;
    virtual void paint(const KvPoint& p, const KvRect& clip) const;
    virtual void paintCel(int cel, int x, int y, KvCanvas* canvas, const KvRect& clip) const;
    virtual void paintCel(int cel, int x, int y, KvCanvas* canvas) const;
    virtual void activate();
    virtual void reset();
    virtual void unPause();
    virtual void pause();
    virtual void suspend();
    virtual void resume();
    virtual void setDrawDirection(unsigned char d);
    virtual void addSequence(const KvAOSequence* entries);
    virtual void removeSequence(int seq);
    virtual void setFrame(int n, int force);
    virtual void removeSeqEntry(int pos);
    virtual void setSeqEntry(short cel, short x, short y, short param, int pos);
    virtual void setSeqEntry(const KvAOSequence& entry, int pos);
    virtual void insertSeqEntry(short cel, short x, short y, short param, int pos);
    virtual void insertSeqEntry(const KvAOSequence& entry, int pos);
    virtual void attachSound(KvRscID id, int frame);
    virtual void setStopPos(int pos);
    virtual void setRepeat(int n);
    virtual void loadSounds(int seq);
    virtual void unloadSounds(int seq);
    virtual void loadAllSounds();
    virtual void unloadAllSounds();
    virtual int hasChanged() const;

    // ---- the file and its pictures (KvAnimationLoad.cpp) ----
    // Draws the first cel of a one-sequence AO file at (0, 0) of canvas, clipped
    // to it, in direction; deletes the stream. Indexed cels use whichever colour
    // table is current in the renderer.
    static void splash(KvCanvas* canvas, KvIStream* stream, unsigned char direction);
    // The encoder (KvCelRenderer::pack) where hosts look for it: an
    // 8-bit canvas area as a complete one-cel AO file, allocated with new[].
    static const void* pack(long& size, KvMemCanvas* canvas, const KvRect& rect, int transparent);
    // 256 colours from a palette file (left unchanged when the file is shorter); deletes the stream.
    static void loadPalette(KvIStream* stream, KvColor* colors);
    // The colour table from a palette file, for the window's pixel format; deletes the stream.
    void assignPalette(KvIStream* stream);

    static void setMakePictures(AOPremake p) { preMakePictures = p; }
    static AOPremake getMakePictures() { return preMakePictures; }

    void getEmbeddedXYZ(int& x, int& y, int& z) const { x = embeddedX, y = embeddedY, z = embeddedZ; }
    void setEmbeddedXYZ(int x, int y, int z) { embeddedX = x, embeddedY = y, embeddedZ = z, changed = 1; }
    static void setUseEmbeddedXYZ(int on) { alwaysUseEmbeddedXYZ = on; }
    static int isUsingEmbeddedXYZ() { return alwaysUseEmbeddedXYZ; }

    static void installSrcURL(KvAOStreamHook h) { srcURL = h; }
    static void installSndURL(KvAOStreamHook h) { sndURL = h; }
    static void installPltURL(KvAOStreamHook h) { pltURL = h; }
    static void installPaletteURL(KvAOPaletteHook h) { paletteURL = h; }
    static KvAOStreamHook getSrcURL() { return srcURL; }
    static KvAOStreamHook getSndURL() { return sndURL; }
    static KvAOStreamHook getPltURL() { return pltURL; }
    static KvAOPaletteHook getPaletteURL() { return paletteURL; }

    KvRscID getResId() const { return KvRscID(resId); }
    void setResId(KvRscID id) { resId = static_cast<short>(id.value()); }
    const KvIStream* getIStream() const { return stream; }
    int getNumberOfCels() const { return celCount; }
    int getNumberOfSeqs() const { return static_cast<int>(seqTable.size()); }
    int getCelWidth(int cel) const;
    int getCelHeight(int cel) const;
    // The colour table (256 native pixels), or null.
    const uint32_t* getColorTable() const { return colorTable.get(); }
    bool isDirectColor() const { return directColor; }
    const unsigned char* getCurrentPicture() const { return curPicture; }

    // ---- playback (KvAnimationPlay.cpp) ----
    int getMSecPerFrame() const;
    float getMSecPerFrameFloat() const;
    int getFramesPerSecond() const { return framesPerSecond; }
    void setFramesPerSecond(int fps);
    // Either pointer may be null.
    int isPaused(int* paused, int* soundsIdle) const;
    int isRunning(int* running, int* soundsBusy) const;
    KvAOState getState() const { return state; }
    int getRepeat() const { return repeat; }
    int getStopPos() const { return stopPos; }
    bool getUseFloatTiming() const { return useFloatTiming; }
    void setUseFloatTiming(bool on) { useFloatTiming = on; }
    static void setGlobalFloatTiming(bool on) { gFloatTiming = on; }
    int isUsingGlobalTime() const { return useGlobalTime; }
    void setUseGlobalTime(int on) { useGlobalTime = on; }
    int isSoundSyncOn() const { return soundSync; }
    void setSoundSync(int on) { soundSync = on; }
    int isInvalidating() const { return invalidates; }
    void setInvalidates(int on) { invalidates = on; }
    bool getStopSoundOnPause() const { return stopSoundOnPause; }
    void setStopSoundOnPause(bool on) { stopSoundOnPause = on; }
    unsigned long getNextFrameTime() const { return nextFrameTime; }
    double getNextFrameTimeF() const { return nextFrameTimeF; }
    unsigned long getSyncOffset() const { return syncOffset; }

    static void setAOSound(int on) { alwaysEnableAOSound = on; }
    static int isAOSoundOn() { return alwaysEnableAOSound; }
    static void setRedrawSameFrame(int on) { alwaysRedrawSameFrame = on; }
    static int isRedrawingSameFrame() { return alwaysRedrawSameFrame; }
    static void setAlwaysInvalidate(int on) { alwaysInvalidate = on; }
    static int isAlwaysInvalidating() { return alwaysInvalidate; }
    static void setAlwaysSyncSounds(int on) { alwaysSyncSounds = on; }
    static int isAlwaysSyncSoundsOn() { return alwaysSyncSounds; }
    static void setAlwaysUseGlobalTime(int on) { alwaysUseGlobalTime = on; }
    static int isAlwaysUseGlobalTimeOn() { return alwaysUseGlobalTime; }

    // ---- sequences and positions (KvAnimationSequence.cpp) ----
    int getSequence() const { return curSeq; }
    void setSequence(int seq, int force);
    int getSequencePos() const { return seqPos; }
    void setSequencePos(int pos, int force);
    int getFrame() const;
    int getNumberOfFrames() const;
    bool isFrame(int pos) const;
    int getLastSequencePos() const { return lastSeqPos; }
    int getSeqLength() const { return endPos + 1; }
    // pos -1: the current position; others are held between 0 and the end position.
    const KvAOSequence& getSeqEntry(int pos) const;
    int getUserCommand() const { return seq[seqPos].cel; }
    int getUserParam1() const { return seq[seqPos].x; }
    int getUserParam2() const { return seq[seqPos].y; }
    int getUserParam3() const { return seq[seqPos].param; }

    // ---- alerts and handlers (each keeps a clone; null clears) ----
    void setAlertOnSeqPos(const KvLink* l) { KvLink::assign(alertOnSeqPos, l); }
    static void setGlobalAlertOnSeqPos(const KvLink* l) { KvLink::assign(staticSeqHandler, l); }
    void setAlertOnSoundDone(const KvLink* l) { KvLink::assign(alertOnSoundDone, l); }
    void setAlertOnPause(const KvLink* l, int mode) { KvLink::assign(alertOnPause, l), alertOnPauseMode = mode; }
    void setAlertOnRepeat(const KvLink* l) { KvLink::assign(alertOnRepeat, l); }
    void setUserCommandHandler(const KvLink* l) { KvLink::assign(userCommandHandler, l); }
    void setSoundCommandHandler(const KvLink* l) { KvLink::assign(soundCommandHandler, l); }
    const KvLink* getSoundCommandHander() const { return soundCommandHandler; }
    static void setDefaultSoundCommandHandler(const KvLink* l) { KvLink::assign(defaultSoundCommandHandler, l); }
    static const KvLink* getDefaultSoundCommandHander() { return defaultSoundCommandHandler; }
    void suspendAlertOnPause() { pauseAlertSuspended = 1; }
    void resumeAlertOnPause() { pauseAlertSuspended = 0; }
    void suspendAlertOnRepeat() { repeatAlertSuspended = 1; }
    void resumeAlertOnRepeat() { repeatAlertSuspended = 0; }

    // ---- sounds ----
    int isSoundOn() const { return soundOn; }
    void setSound(int on);
    // Walk the current sequence's sound entries (one walk at a time, process-wide).
    KvSound* getFirstSound(short* id, int* frame);
    KvSound* getNextSound(short* id, int* frame);

    // ---- script face, hit testing, stamping (KvAnimationScript.cpp) ----
    static KvScriptableObject* sobAdapter();
    void sobSetFrame(const void* value);
    void sobGetFrame(const void* buffer) const;
    void sobSetSequence(const void* value);
    void sobGetSequence(const void* buffer) const;
    void sobSetDrawDirection(const void* value);
    void sobGetDrawDirection(const void* buffer) const;
    void sobSetParam(const void* value);
    void sobGetParam(const void* buffer) const;
    void sobSetSoundOn(const void* value);
    void sobGetSoundOn(const void* buffer) const;
    void sobSetBoxTouchy(const void* value);
    void sobGetBoxTouchy(const void* buffer) const;
    void sobSetFrameNotification(const void* value);
    void sobGetFrameNotification(const void* buffer) const;
    void sobPlayForever();
    void setBoxTouchy(int on) { boxTouchy = on; }
    int isBoxTouchy() const { return boxTouchy; }
    unsigned char getDrawDirection() const { return drawDirection; }
    // The colour index at a canvas point: -1 outside the picture, over a
    // transparent pixel, or for a direct-colour picture (it has no indices).
    int getPixel(int x, int y) const;

    // ---- colour operations (KvAnimationColor.cpp) ----
    // cel: -2 every cel, -1 the cel at the current position, 0..count-1 that cel.
    void swapColors(unsigned char a, unsigned char b, int cel);
    void replaceColorIndex(unsigned char from, unsigned char to, int cel);
    void replaceColorIndices(int n, const unsigned char* from, const unsigned char* to, int cel);
    void replaceColor(int index, KvColor& color, bool redraw);
    void replaceColors(int first, int count, KvColor* colors, bool redraw);
    void getColor(int index, KvColor& color);
    void getColors(int first, int count, KvColor* colors);

    // Every live animation.
    static KvList<KvAnimation> animationList;
    // The animation whose update (or sound callback) runs; null once it is deleted.
    static KvAnimation* currentAnimation;

protected:
    // Draw through the renderer with whatever colour table is current.
    static void grDrawPic(int x, int y, unsigned char* pic, KvCanvas* canvas, unsigned char dir);
    static void grDrawPic(int x, int y, unsigned char* pic, KvCanvas* canvas, const KvRect& clip, unsigned char dir);

    bool loadAOData(unsigned char* data, size_t size);
    // The first cel picture of a one-sequence AO file of size bytes, header byte
    // order fixed in place; null when it does not fit.
    static unsigned char* loadAOPicture(void* data, size_t size);
    void setInitState(int x, int y);
    void computeLastSeqPos();
    void makeAllPictures();
    void makePicture();
    void doSeqPos(int advance);
    void replaceCelColorIndices(int n, const unsigned char* from, const unsigned char* to, int cel);
    void swapCelColors(unsigned char a, unsigned char b, int cel);

private:
    // One loaded sound, shared by the copies of an animation.
    struct SoundRecord {
        KvSound* sound;
        KvIStream* stream;
        short id;
        int playCount;
        int holders;  // animations whose lists hold it
    };
    using PremadeSet = std::vector<std::unique_ptr<KvMemCanvas>>;

    void init(int x, int y);
    void makeColorTable();
    static void splsh(KvCanvas* canvas, unsigned char* data, size_t size, unsigned char direction);
    static void loadPlt(const unsigned char* plt, KvColor* colors);
    // Holds no file: one empty sequence, no cels.
    void holdNothing();
    unsigned long createColor(const KvColor& c) const;
    // The depth of the window's collector (0 without a window).
    int windowDepth() const;
    const KvPixelFormat* windowFormat() const;
    // Makes this animation's colour table (and the window's blend masks) the renderer's.
    void useTables() const;
    unsigned char* pictureOf(int cel) const;
    // The cels an operation's cel argument selects, each distinct picture once.
    std::vector<unsigned char*> selectedPictures(int cel) const;
    // Whether a callback left the animation alive: it names a (a static, so
    // that asking calls nothing on an object a callback deleted).
    static bool stillCurrent(const KvAnimation* a) { return currentAnimation == a; }
    void callLink(const KvLink* link) const;
    void stopSounds();
    KvSound* findSound(short id);
    SoundRecord* recordOf(short id) const;
    void releaseRecord(SoundRecord* r);
    void incrementSoundCount(const void* id);
    void decrementSoundCount(const void* id);
    void sync(const void* id);
    bool anySoundPlaying() const;
    // Switches to seq unforced for a walk over its sound entries, and back.
    template <class Walk>
    void withSequence(int seq, Walk walk);
    void ownCurrentSequence(int entries);
    int framePosition(int n) const;
    void passFrameNotify();

    // ---- the file ----
    KvIStream* stream = nullptr;
    unsigned char* fileData = nullptr;
    bool loaded = false;
    unsigned aoFlags = 0;
    int celCount = 0;
    int framesPerSecond = 0;
    std::vector<unsigned char*> cels;
    bool directColor = false;
    int embeddedX = 0, embeddedY = 0, embeddedZ = 0;
    int useEmbeddedXYZ = 1;
    std::unique_ptr<uint32_t[]> colorTable;
    // Screen-format literals of the cels, for drawing through colorTable.
    mutable KvCelLiterals literals;
    std::shared_ptr<PremadeSet> premadePictures;
    AOPremake preMake = kAOPremakeOff;
    int premadeCel = -1;
    short resId = 0;

    // ---- sequences ----
    std::vector<KvAOSequence*> seqTable;
    std::vector<unsigned char> seqOwned;
    std::vector<int> seqLengths;  // entries each sequence holds
    int curSeq = 0;
    KvAOSequence* seq = nullptr;
    int seqPos = 0;
    int lastSeqPos = 0;
    int endPos = 0;
    unsigned char* curPicture = nullptr;

    // ---- playback ----
    KvAOState state = kAORunning;
    int repeat = 0;
    int stopPos = -1;
    mutable int msPerFrame = -1;
    mutable float msPerFrameF = 0.0f;
    unsigned long nextFrameTime = 0;
    // Kept in double: a float loses whole milliseconds once the clock passes 2^24 ms.
    double nextFrameTimeF = 0.0;
    unsigned long syncOffset = kAODefaultSyncOffset;
    bool useFloatTiming = false;
    int useGlobalTime = 1;
    int soundOn = 1;
    int soundSync = 1;
    int invalidates = 1;
    bool stopSoundOnPause = true;
    KvLink* alertOnRepeat = nullptr;
    KvLink* alertOnPause = nullptr;
    KvLink* alertOnSoundDone = nullptr;
    KvLink* alertOnSeqPos = nullptr;
    KvLink* userCommandHandler = nullptr;
    KvLink* soundCommandHandler = nullptr;
    int alertOnPauseMode = 0;
    int pauseAlertSuspended = 0;
    int repeatAlertSuspended = 0;
    int pendingPauseAlert = 0;
    KvList<SoundRecord> sounds;
    int activeSoundCount = 0;
    int changed = 0;

    // ---- script face ----
    unsigned char drawDirection = 0;
    int boxTouchy = 0;
    int frameNotification = 0;

    // ---- class-wide ----
    static AOPremake preMakePictures;
    static int alwaysUseEmbeddedXYZ;
    static KvAOStreamHook srcURL;
    static KvAOStreamHook sndURL;
    static KvAOStreamHook pltURL;
    static KvAOPaletteHook paletteURL;
    static int alwaysInvalidate;
    static int alwaysSyncSounds;
    static int alwaysUseGlobalTime;
    static int alwaysEnableAOSound;
    static int alwaysRedrawSameFrame;
    static bool gFloatTiming;
    static KvLink* staticSeqHandler;
    static KvLink* defaultSoundCommandHandler;
    static int soundCursor;
};
