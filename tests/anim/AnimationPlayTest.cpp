// Playback on the virtual clock: timing and catch-up, per-frame durations,
// repeat counts, stop positions, commands, sounds with and without sync,
// callbacks that delete their animation, sequence editing and copies.
#include "tests/anim/AnimTestSupport.h"

using namespace aotest;

namespace {

// Four 2 x 2 cels of indices 1 to 4, and one sequence.
Bytes fileOf(std::vector<KvAOSequence> entries, int fps = 10) {
    AOFile f;
    f.fps = fps;
    f.cels = {solid(2, 2, 1), solid(2, 2, 2), solid(2, 2, 3), solid(2, 2, 4)};
    f.seqs = {std::move(entries)};
    return f.build();
}
const KvAOSequence kEnd = command(kAOEnd), kLoop = command(kAOLoop);

// A link that counts its calls in count.
KvFunctionLink counting(int& count) {
    return KvFunctionLink([&count](const void*) { ++count; });
}

}  // namespace

class Playback : public AnimTest {
protected:
    void SetUp() override {
        AnimTest::SetUp();
        open(8);
    }
    void run(unsigned long from, unsigned long to, unsigned long step = 100) {
        for (unsigned long t = from; t <= to; t += step) at(t);
    }
};

// One frame per update however late, then the next due time counts from now;
// on time, from the last due time.
TEST_F(Playback, AnAnimationThatFellBehindDropsTheLostTime) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kLoop, kEnd}));
    const struct {
        unsigned long now, next;
        int last;
    } steps[] = {{0, 100, 0}, {1000, 1100, 1}, {1099, 1100, 1}, {1100, 1200, 0}};
    for (const auto& s : steps) {
        at(s.now);
        EXPECT_EQ(a->getNextFrameTime(), s.next) << s.now;
        EXPECT_EQ(a->getLastSequencePos(), s.last) << s.now;
    }
}

TEST_F(Playback, FrameDurationsComeFromTheRateOrWithoutOneFromEachFrame) {
    KvAnimation* a = load(fileOf({frame(0, 0, 0, 40), frame(1, 0, 0, 70), kLoop, kEnd}, 0));
    EXPECT_EQ(a->getMSecPerFrame(), 40);
    at(1000);
    EXPECT_EQ(a->getNextFrameTime(), 1040u);
    at(1040);
    EXPECT_EQ(a->getNextFrameTime(), 1110u);
    a->setSequencePos(2, 1);
    EXPECT_EQ(a->getMSecPerFrame(), 0);  // a command entry
    EXPECT_FLOAT_EQ(a->getMSecPerFrameFloat(), 0.0f);

    KvAnimation* b = load(fileOf({frame(0), kEnd}));
    EXPECT_EQ(b->getMSecPerFrame(), 100);
    b->setFramesPerSecond(3);
    EXPECT_EQ(b->getMSecPerFrame(), 333);
    EXPECT_FLOAT_EQ(b->getMSecPerFrameFloat(), 1000.0f / 3);
    EXPECT_EQ(b->trGetUpdateRate(), 3);
    b->pause();
    EXPECT_EQ(b->trGetUpdateRate(), 1);
}

// After 12 frame times: the state, what is shown, and the alerts; a stopped
// animation goes back to the start, a paused one stays on its last frame.
TEST_F(Playback, RepeatCountsAtTheEndAndAtLoops) {
    const struct {
        std::vector<KvAOSequence> entries;
        int repeat;
        KvAOState state;
        int visible, pauses, repeats;
    } cases[] = {
        {{frame(0), kEnd}, 0, kAOStopped, 0, 0, 0},           {{frame(0), kEnd}, 1, kAOPaused, 1, 1, 0},
        {{frame(0), kLoop, kEnd}, 0, kAORunning, 1, 0, 11},   {{frame(0), frame(1), kLoop, kEnd}, 3, kAOPaused, 1, 1, 2},
        {{frame(0), kLoop, kEnd}, -1, kAORunning, 1, 0, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.repeat);
        KvAnimation* a = load(fileOf(c.entries));
        a->setRepeat(c.repeat);
        int pauses = 0, repeats = 0;
        const KvFunctionLink p = counting(pauses), r = counting(repeats);
        a->setAlertOnPause(&p, 0);
        a->setAlertOnRepeat(&r);
        run(2000, 3100);
        EXPECT_EQ(a->getState(), c.state);
        EXPECT_EQ(a->trGetVisible(), c.visible);
        EXPECT_EQ(std::pair(pauses, repeats), std::pair(c.pauses, c.repeats));
        if (c.state != kAORunning) {
            EXPECT_TRUE(c.state == kAOStopped ? a->getSequencePos() == 0 : a->isFrame(a->getSequencePos()));
        }
        delete a;
    }
}

TEST_F(Playback, SuspendedRepeatAlertsAreNotCalled) {
    KvAnimation* a = load(fileOf({frame(0), kLoop, kEnd}));
    int repeats = 0;
    const KvFunctionLink r = counting(repeats);
    a->setAlertOnRepeat(&r);
    a->suspendAlertOnRepeat();
    run(2000, 2400);
    EXPECT_EQ(repeats, 0);
    a->resumeAlertOnRepeat();
    at(2500);
    EXPECT_EQ(repeats, 1);
}

// A pause entry stops on the following frame, which unpausing passes over; a
// stop position pauses where it is reached, once.
TEST_F(Playback, PauseEntriesAndStopPositions) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOPause), frame(1), frame(2), kEnd}));
    run(1000, 1100);
    EXPECT_EQ(a->getState(), kAOPaused);
    EXPECT_EQ(a->getLastSequencePos(), 2);
    a->unPause();
    run(1200, 1300);
    EXPECT_EQ(a->getLastSequencePos(), 3);

    KvAnimation* b = load(fileOf({frame(0), frame(1), frame(2), frame(3), kLoop, kEnd}));
    b->setStopPos(2);
    at(2000);
    EXPECT_EQ(b->getState(), kAORunning);
    at(2100);
    EXPECT_EQ(b->getState(), kAOPaused);
    EXPECT_EQ(b->getStopPos(), -1);
    EXPECT_EQ(b->getLastSequencePos(), 1);
}

TEST_F(Playback, NopEntriesAreFramesToIsFrameButAreNeitherCountedNorNotified) {
    KvAnimation* a = load(fileOf({frame(0), command(kAONop), frame(1), kEnd}));
    std::vector<int> notified;
    const KvFunctionLink note([&](const void*) { notified.push_back(a->getSequencePos()); });
    a->setAlertOnSeqPos(&note);
    EXPECT_TRUE(a->isFrame(1));
    EXPECT_FALSE(a->isFrame(3));
    EXPECT_EQ(a->getNumberOfFrames(), 2);
    run(1000, 1100);
    EXPECT_EQ(a->getLastSequencePos(), 2);
    EXPECT_EQ(a->getFrame(), 2);
    EXPECT_EQ(notified, (std::vector<int>{0, 2}));
}

TEST_F(Playback, UserCommandsReachTheHandlerOtherCommandsOnlyAdvance) {
    KvAnimation* a = load(fileOf({frame(0), command(-600, 3, 1, 2), command(-6), frame(1), kEnd}));
    std::vector<int> seen;
    const KvFunctionLink handler([&](const void*) {
        seen = {a->getUserCommand(), a->getUserParam1(), a->getUserParam2(), a->getUserParam3()};
    });
    a->setUserCommandHandler(&handler);
    run(1000, 1100);
    EXPECT_EQ(seen, (std::vector<int>{-600, 1, 2, 3}));
    EXPECT_EQ(a->getLastSequencePos(), 3);
}

TEST_F(Playback, SetFrameBeyondTheLastFrameShowsTheLastAndPauses) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 5), frame(1), kEnd}));
    a->setFrame(3, 0);
    EXPECT_EQ(a->getSequencePos(), 2);
    EXPECT_EQ(a->getState(), kAOPaused);
    a->setFrame(0, 0);  // ignored
    EXPECT_EQ(a->getSequencePos(), 2);
    a->setFrame(1, 0);
    EXPECT_EQ(a->getFrame(), 1);
}

TEST_F(Playback, CallbacksMayDeleteTheirAnimation) {
    const struct {
        std::vector<KvAOSequence> entries;
        void (*install)(KvAnimation*, const KvLink*);
    } cases[] = {
        {{frame(0), kEnd}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnSeqPos(l); }},
        {{frame(0), command(kAOPause), frame(1), kEnd}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnPause(l, 0); }},
        {{frame(0), kLoop, kEnd}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnRepeat(l); }},
        {{frame(0), command(-700), frame(1), kEnd}, [](KvAnimation* a, const KvLink* l) { a->setUserCommandHandler(l); }},
    };
    for (const auto& c : cases) {
        KvAnimation* a = load(fileOf(c.entries));
        const KvFunctionLink deleter([&a](const void*) { delete a, a = nullptr; });
        c.install(a, &deleter);
        for (unsigned long t = 3000; t < 3400 && a; t += 100) at(t);
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(KvAnimation::currentAnimation, nullptr);
        EXPECT_EQ(window->twGetTrinketList().count(), 0);
    }
}

// Editing owns the sequence; the current position follows insertions and
// removals before it, the end entry stays, one sequence always stays.
TEST_F(Playback, SequenceEditingMovesPositionsAndOwnsTheSequence) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), frame(2), kEnd}));
    // Sequences, current sequence, its length, position, last drawn position.
    auto state = [a] { return std::vector{a->getNumberOfSeqs(), a->getSequence(), a->getSeqLength(), a->getSequencePos(), a->getLastSequencePos()}; };
    a->setSequencePos(1, 1);
    a->insertSeqEntry(kAOSound, 0, 0, 9, 0);
    EXPECT_EQ(state(), (std::vector{1, 0, 5, 2, 2}));
    EXPECT_EQ(a->getSeqEntry(0).cel, kAOSound);
    EXPECT_TRUE(a->hasChanged());
    a->removeSeqEntry(-1);  // the current entry: the position moves on first
    EXPECT_EQ(state(), (std::vector{1, 0, 4, 2, 2}));
    EXPECT_EQ(a->getSeqEntry(2).cel, 2);
    a->setSeqEntry(3, 4, 5, 0, 1);
    a->setSeqEntry(3, 4, 5, 0, 3);
    EXPECT_EQ(a->getSeqEntry(1).x, 4);
    EXPECT_EQ(a->getSeqEntry(3).cel, kAOEnd);

    const KvAOSequence added[] = {frame(3), frame(2), kEnd, frame(1)};
    a->addSequence(added);
    a->addSequence(nullptr);
    a->setSequence(1, 0);
    EXPECT_EQ(a->getSeqLength(), 3);
    a->setSequence(2, 0);
    EXPECT_EQ(a->getSeqLength(), 1);
    a->removeSequence(-1);  // the last one: the new last becomes current
    EXPECT_EQ(std::pair(a->getNumberOfSeqs(), a->getSequence()), std::pair(2, 1));
    a->setSequence(7, 0);  // clamped
    EXPECT_EQ(a->getSequence(), 1);
    a->removeSequence(0);
    a->removeSequence(0);
    EXPECT_EQ(a->getNumberOfSeqs(), 1);
    EXPECT_EQ(a->getSeqEntry(0).cel, 3);
}

// A frame's offsets count from the frame before: the box moves by their differences.
TEST_F(Playback, EachFrameMovesTheBoxByTheDifferenceOfTheOffsets) {
    KvAnimation* a = load(fileOf({frame(0, 2, 3), frame(1, 7, 5), frame(2, 1, 1), kEnd}), 10, 10);
    std::vector<int> corners;
    for (unsigned long t : {0, 100, 200}) at(t), corners.insert(corners.end(), {a->box().left, a->box().top});
    EXPECT_EQ(corners, (std::vector<int>{corners[0], corners[1], corners[0] + 5, corners[1] + 2, corners[0] - 1, corners[1] - 2}));
}

// The last drawn position follows removals before it, and stays on the
// entry that takes the place of the one drawn.
TEST_F(Playback, RemovingEntriesKeepsTheLastDrawnPositionOnThePictureShown) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAONop), frame(2), kEnd}));
    a->pause();
    a->setSequencePos(1, 1);
    a->setSequencePos(2, 0);  // a command: nothing is drawn
    ASSERT_EQ(a->getLastSequencePos(), 1);
    a->removeSeqEntry(1);
    EXPECT_EQ(std::pair(a->getSequencePos(), a->getLastSequencePos()), std::pair(1, 1));
    a->removeSeqEntry(0);
    EXPECT_EQ(a->getLastSequencePos(), 0);
}

TEST_F(Playback, CopiesShareTheFileAndOutliveTheOriginal) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kLoop, kEnd}), 10, 10);
    a->insertSeqEntry(kAONop, 0, 0, 0, 0);  // owned now: the copy gets its own
    a->setSequencePos(2, 1);
    auto* b = static_cast<KvAnimation*>(a->copy());
    EXPECT_EQ(a->getIStream(), b->getIStream());
    EXPECT_EQ(a->getIStream()->shareCount, 1);
    EXPECT_EQ(b->getSequencePos(), 2);
    EXPECT_EQ(b->box(), a->box());
    EXPECT_FALSE(b->hasChanged());
    b->setSeqEntry(kAONop, 0, 0, 0, 1);
    EXPECT_EQ(a->getSeqEntry(1).cel, 0);
    delete a;
    EXPECT_EQ(b->getIStream()->shareCount, 0);
    run(1000, 1300);
    EXPECT_EQ(b->getState(), kAORunning);
}

// ---- sounds ----

class Sounds : public Playback {
protected:
    void SetUp() override {
        Playback::SetUp();
        wav = wave::constant16(8000, 800, 100);  // 100 ms
        KvAnimation::installSndURL([](KvRscID id) -> KvIStream* { return id.value() == 7 ? streamOf(wav) : nullptr; });
    }
    static inline Bytes wav;
};

TEST_F(Sounds, WithoutSyncTheAnimationGoesOnAndIsToldWhenTheSoundEnds) {
    KvAnimation* a = load(fileOf({command(kAOSound, 7), frame(0), frame(1), kLoop, kEnd}));
    a->setSoundSync(0);
    a->setStopSoundOnPause(false);
    int done = 0;
    const KvFunctionLink d = counting(done);
    a->setAlertOnSoundDone(&d);
    at(1000);
    EXPECT_EQ(a->getSequencePos(), 2);  // past the sound, the first frame shown
    int busy = 0;
    for (unsigned long t = 1010; t < 1090 && !busy; t += 10) at(t), a->isRunning(nullptr, &busy);
    EXPECT_TRUE(busy);
    a->pause();
    run(1100, 1290, 10);
    EXPECT_EQ(done, 1);
    int paused = 0, idle = 0;
    EXPECT_EQ(a->isPaused(&paused, &idle), 1);
}

TEST_F(Sounds, WithSyncTheAnimationWaitsForTheSoundToBegin) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 7), frame(1), frame(2), kEnd}));
    a->loadSounds(-1);
    short id = 0;
    int frameNumber = 0;
    EXPECT_NE(a->getFirstSound(&id, &frameNumber), nullptr);
    EXPECT_EQ(std::pair(id, frameNumber), std::pair(short{7}, 2));
    EXPECT_EQ(a->getNextSound(&id, &frameNumber), nullptr);
    EXPECT_EQ(id, 0);

    run(1000, 1100);  // the sound is asked for: the walk stops
    EXPECT_EQ(std::pair(a->getSequencePos(), a->getLastSequencePos()), std::pair(2, 0));
    unsigned long t = 1100;
    while (a->getState() != kAORunning && t < 1300) at(t += 10);
    ASSERT_EQ(a->getState(), kAORunning);
    EXPECT_EQ(a->getSyncOffset(), t - 1100);  // the measured delay
    EXPECT_EQ(a->getLastSequencePos(), 2);
}

// Only the step onto a sound comes early, by the delay last measured: the
// other steps keep the frame rate.
TEST_F(Sounds, OnlyTheStepOntoASoundComesEarlyByTheSyncOffset) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOSound, 7), frame(0), kEnd}));
    ASSERT_EQ(a->getSyncOffset(), kAODefaultSyncOffset);
    at(1000);
    const int first = a->getSequencePos();
    const struct {
        unsigned long now;
        int moved;
    } steps[] = {{1099, 0}, {1100, 1}, {1199 - kAODefaultSyncOffset, 1}};
    for (const auto& s : steps) {
        at(s.now);
        EXPECT_EQ(a->getSequencePos(), first + s.moved) << s.now;
    }
    at(1200 - kAODefaultSyncOffset);
    EXPECT_GT(a->getSequencePos(), first + 1);
}

// Attached before the end when past the last frame; loaded only when asked,
// and only those with a file.
TEST_F(Sounds, AttachedSoundsLoadAndUnload) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kEnd}));
    a->attachSound(KvRscID(7), 2);
    a->attachSound(KvRscID(8), 9);
    EXPECT_EQ(a->getSeqEntry(1).cel, kAOSound);
    EXPECT_EQ(a->getSeqEntry(1).param, 7);
    EXPECT_EQ(a->getSeqEntry(3).param, 8);
    short id;
    EXPECT_EQ(a->getFirstSound(&id, nullptr), nullptr);
    a->loadSounds(-1);
    EXPECT_NE(a->getFirstSound(&id, nullptr), nullptr);
    EXPECT_EQ(a->getNextSound(&id, nullptr), nullptr);
    a->unloadSounds(-1);
    EXPECT_EQ(a->getFirstSound(&id, nullptr), nullptr);
}
