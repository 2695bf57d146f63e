// Playback on the virtual clock: timing and catch-up, per-frame durations,
// repeat counts, stop positions, commands, sounds with and without sync,
// callbacks that delete their animation, sequence editing and copies.
#include "tests/anim/AnimTestSupport.h"

#include "tests/support/ByteWriter.h"

#include <functional>

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

// A link that counts its calls and runs an action.
struct Counter {
    int calls = 0;
    std::function<void()> action;
    KvFunctionLink link() {
        return KvFunctionLink([this](const void*) {
            ++calls;
            if (action) action();
        });
    }
};

}  // namespace

class Playback : public AnimTest {
protected:
    void SetUp() override {
        AnimTest::SetUp();
        open(8);
    }
};

TEST_F(Playback, AnAnimationThatFellBehindDropsTheLostTime) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOLoop), command(kAOEnd)}));
    at(0);
    EXPECT_EQ(a->getNextFrameTime(), 100u);
    at(1000);  // 100 + 100 + 50 < 1000: caught up from now
    EXPECT_EQ(a->getNextFrameTime(), 1100u);
    EXPECT_EQ(a->getLastSequencePos(), 1);  // one frame per update, however late
    at(1099);
    EXPECT_EQ(a->getLastSequencePos(), 1);
    at(1100);
    EXPECT_EQ(a->getNextFrameTime(), 1200u);  // on time: from the last due time
    EXPECT_EQ(a->getLastSequencePos(), 0);
}

TEST_F(Playback, WithoutFramesPerSecondEachFrameCarriesItsDuration) {
    KvAnimation* a = load(fileOf({frame(0, 0, 0, 40), frame(1, 0, 0, 70), command(kAOLoop), command(kAOEnd)}, 0));
    EXPECT_EQ(a->getMSecPerFrame(), 40);
    at(1000);
    EXPECT_EQ(a->getNextFrameTime(), 1040u);
    at(1040);
    EXPECT_EQ(a->getNextFrameTime(), 1110u);
    a->setSequencePos(2, 1);
    EXPECT_EQ(a->getMSecPerFrame(), 0);  // a command entry
    EXPECT_FLOAT_EQ(a->getMSecPerFrameFloat(), 0.0f);
}

TEST_F(Playback, SetFramesPerSecondChangesBothCachedDurations) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOEnd)}));
    EXPECT_EQ(a->getMSecPerFrame(), 100);
    EXPECT_FLOAT_EQ(a->getMSecPerFrameFloat(), 100.0f);
    a->setFramesPerSecond(3);
    EXPECT_EQ(a->getMSecPerFrame(), 333);
    EXPECT_FLOAT_EQ(a->getMSecPerFrameFloat(), 1000.0f / 3);
    EXPECT_EQ(a->trGetUpdateRate(), 3);
    a->pause();
    EXPECT_EQ(a->trGetUpdateRate(), 1);
}

TEST_F(Playback, RepeatCountsAtTheEndAndAtLoops) {
    struct Case {
        std::vector<KvAOSequence> entries;
        int repeat;
        KvAOState state;  // after 12 frame times
        int visible, pauses, repeats;
    } cases[] = {
        {{frame(0), command(kAOEnd)}, 0, kAOStopped, 0, 0, 0},
        {{frame(0), command(kAOEnd)}, 1, kAOPaused, 1, 1, 0},
        {{frame(0), command(kAOLoop), command(kAOEnd)}, 0, kAORunning, 1, 0, 11},
        {{frame(0), frame(1), command(kAOLoop), command(kAOEnd)}, 3, kAOPaused, 1, 1, 2},
        {{frame(0), command(kAOLoop), command(kAOEnd)}, -1, kAORunning, 1, 0, 11},
    };
    for (const Case& c : cases) {
        KvAnimation* a = load(fileOf(c.entries));
        a->setRepeat(c.repeat);
        Counter pauses, repeats;
        const KvFunctionLink p = pauses.link(), r = repeats.link();
        a->setAlertOnPause(&p, 0);
        a->setAlertOnRepeat(&r);
        for (int t = 0; t < 12; ++t) at(2000 + 100 * t);
        EXPECT_EQ(a->getState(), c.state) << c.repeat;
        EXPECT_EQ(a->trGetVisible(), c.visible) << c.repeat;
        EXPECT_EQ(pauses.calls, c.pauses) << c.repeat;
        EXPECT_EQ(repeats.calls, c.repeats) << c.repeat;
        if (c.state == kAOStopped) {
            EXPECT_EQ(a->getSequencePos(), 0);
        }
        if (c.state == kAOPaused) {
            EXPECT_TRUE(a->isFrame(a->getSequencePos()));  // back on the last frame
        }
        delete a;
    }
}

TEST_F(Playback, SuspendedRepeatAlertsAreNotCalled) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOLoop), command(kAOEnd)}));
    Counter repeats;
    const KvFunctionLink r = repeats.link();
    a->setAlertOnRepeat(&r);
    a->suspendAlertOnRepeat();
    for (int t = 0; t < 5; ++t) at(2000 + 100 * t);
    EXPECT_EQ(repeats.calls, 0);
    a->resumeAlertOnRepeat();
    at(2500);
    EXPECT_EQ(repeats.calls, 1);
}

TEST_F(Playback, PauseEntriesStopOnTheFollowingFrame) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOPause), frame(1), frame(2), command(kAOEnd)}));
    at(1000);
    at(1100);
    EXPECT_EQ(a->getState(), kAOPaused);
    EXPECT_EQ(a->getLastSequencePos(), 2);
    a->unPause();
    at(1200);  // the frame already shown is passed over
    at(1300);
    EXPECT_EQ(a->getLastSequencePos(), 3);
}

TEST_F(Playback, AStopPositionPausesWhereItIsReached) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), frame(2), frame(3), command(kAOLoop), command(kAOEnd)}));
    a->setStopPos(2);
    at(1000);
    EXPECT_EQ(a->getState(), kAORunning);
    at(1100);
    EXPECT_EQ(a->getState(), kAOPaused);
    EXPECT_EQ(a->getStopPos(), -1);
    EXPECT_EQ(a->getLastSequencePos(), 1);
}

TEST_F(Playback, NopEntriesAreFramesToIsFrameButAreNeitherCountedNorNotified) {
    KvAnimation* a = load(fileOf({frame(0), command(kAONop), frame(1), command(kAOEnd)}));
    std::vector<int> notified;
    const KvFunctionLink note([&](const void*) { notified.push_back(a->getSequencePos()); });
    a->setAlertOnSeqPos(&note);
    EXPECT_TRUE(a->isFrame(1));
    EXPECT_FALSE(a->isFrame(3));
    EXPECT_EQ(a->getNumberOfFrames(), 2);
    at(1000);
    at(1100);
    EXPECT_EQ(a->getLastSequencePos(), 2);
    EXPECT_EQ(a->getFrame(), 2);
    EXPECT_EQ(notified, (std::vector<int>{0, 2}));
}

TEST_F(Playback, UserCommandsReachTheHandlerOtherCommandsOnlyAdvance) {
    KvAnimation* a = load(fileOf({frame(0), command(-600, 3, 1, 2), command(-6), frame(1), command(kAOEnd)}));
    std::vector<int> seen;
    const KvFunctionLink handler([&](const void*) {
        seen = {a->getUserCommand(), a->getUserParam1(), a->getUserParam2(), a->getUserParam3()};
    });
    a->setUserCommandHandler(&handler);
    at(1000);
    at(1100);
    EXPECT_EQ(seen, (std::vector<int>{-600, 1, 2, 3}));
    EXPECT_EQ(a->getLastSequencePos(), 3);
}

TEST_F(Playback, SetFrameBeyondTheLastFrameShowsTheLastAndPauses) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 5), frame(1), command(kAOEnd)}));
    a->setFrame(3, 0);
    EXPECT_EQ(a->getSequencePos(), 2);
    EXPECT_EQ(a->getState(), kAOPaused);
    a->setFrame(0, 0);  // ignored
    EXPECT_EQ(a->getSequencePos(), 2);
    a->setFrame(1, 0);
    EXPECT_EQ(a->getFrame(), 1);
}

TEST_F(Playback, CallbacksMayDeleteTheirAnimation) {
    struct Case {
        std::vector<KvAOSequence> entries;
        void (*install)(KvAnimation*, const KvLink*);
    } cases[] = {
        {{frame(0), command(kAOEnd)}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnSeqPos(l); }},
        {{frame(0), command(kAOPause), frame(1), command(kAOEnd)}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnPause(l, 0); }},
        {{frame(0), command(kAOLoop), command(kAOEnd)}, [](KvAnimation* a, const KvLink* l) { a->setAlertOnRepeat(l); }},
        {{frame(0), command(-700), frame(1), command(kAOEnd)}, [](KvAnimation* a, const KvLink* l) { a->setUserCommandHandler(l); }},
    };
    for (const Case& c : cases) {
        KvAnimation* a = load(fileOf(c.entries));
        const KvFunctionLink deleter([&a](const void*) {
            delete a;
            a = nullptr;
        });
        c.install(a, &deleter);
        for (int t = 0; t < 4 && a; ++t) at(3000 + 100 * t);
        EXPECT_EQ(a, nullptr);
        EXPECT_EQ(KvAnimation::currentAnimation, nullptr);
        EXPECT_EQ(window->twGetTrinketList().count(), 0);
    }
}

TEST_F(Playback, SequenceEditingMovesPositionsAndOwnsTheSequence) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), frame(2), command(kAOEnd)}));
    a->setSequencePos(1, 1);
    a->insertSeqEntry(kAOSound, 0, 0, 9, 0);
    EXPECT_EQ(a->getSeqLength(), 5);
    EXPECT_EQ(a->getSequencePos(), 2);
    EXPECT_EQ(a->getLastSequencePos(), 2);
    EXPECT_EQ(a->getSeqEntry(0).cel, kAOSound);
    EXPECT_TRUE(a->hasChanged());
    a->removeSeqEntry(-1);  // the current entry: the position moves on first
    EXPECT_EQ(a->getSeqLength(), 4);
    EXPECT_EQ(a->getSequencePos(), 2);
    EXPECT_EQ(a->getSeqEntry(2).cel, 2);
    a->setSeqEntry(3, 4, 5, 0, 1);
    EXPECT_EQ(a->getSeqEntry(1).x, 4);
    a->setSeqEntry(3, 4, 5, 0, 3);  // the end entry stays
    EXPECT_EQ(a->getSeqEntry(3).cel, kAOEnd);

    const KvAOSequence added[] = {frame(3), frame(2), command(kAOEnd), frame(1)};
    a->addSequence(added);
    a->addSequence(nullptr);
    ASSERT_EQ(a->getNumberOfSeqs(), 3);
    a->setSequence(1, 0);
    EXPECT_EQ(a->getSeqLength(), 3);
    a->setSequence(2, 0);
    EXPECT_EQ(a->getSeqLength(), 1);
    a->removeSequence(-1);  // the last one: the new last becomes current
    EXPECT_EQ(a->getNumberOfSeqs(), 2);
    EXPECT_EQ(a->getSequence(), 1);
    a->setSequence(7, 0);  // clamped
    EXPECT_EQ(a->getSequence(), 1);
    a->removeSequence(0);
    a->removeSequence(0);  // one sequence always stays
    EXPECT_EQ(a->getNumberOfSeqs(), 1);
    EXPECT_EQ(a->getSeqEntry(0).cel, 3);
}

// A frame's offsets count from the frame before: the box moves by their differences.
TEST_F(Playback, EachFrameMovesTheBoxByTheDifferenceOfTheOffsets) {
    KvAnimation* a = load(fileOf({frame(0, 2, 3), frame(1, 7, 5), frame(2, 1, 1), command(kAOEnd)}), 10, 10);
    at(0);
    const KvPoint first(a->box().left, a->box().top);
    at(100);
    EXPECT_EQ(KvPoint(a->box().left, a->box().top), KvPoint(first.x + 5, first.y + 2));
    at(200);
    EXPECT_EQ(KvPoint(a->box().left, a->box().top), KvPoint(first.x - 1, first.y - 2));
}

// The last drawn position follows removals before it, and stays on the
// entry that takes the place of the one drawn.
TEST_F(Playback, RemovingEntriesKeepsTheLastDrawnPositionOnThePictureShown) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAONop), frame(2), command(kAOEnd)}));
    a->pause();
    a->setSequencePos(1, 1);
    a->setSequencePos(2, 0);  // a command: nothing is drawn
    ASSERT_EQ(a->getLastSequencePos(), 1);
    a->removeSeqEntry(1);
    EXPECT_EQ(a->getSequencePos(), 1);
    EXPECT_EQ(a->getLastSequencePos(), 1);
    a->removeSeqEntry(0);
    EXPECT_EQ(a->getLastSequencePos(), 0);
}

TEST_F(Playback, CopiesShareTheFileAndOutliveTheOriginal) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOLoop), command(kAOEnd)}), 10, 10);
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
    for (int t = 0; t < 4; ++t) at(1000 + 100 * t);
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
    KvAnimation* a = load(fileOf({command(kAOSound, 7), frame(0), frame(1), command(kAOLoop), command(kAOEnd)}));
    a->setSoundSync(0);
    a->setStopSoundOnPause(false);
    Counter done;
    const KvFunctionLink d = done.link();
    a->setAlertOnSoundDone(&d);
    at(1000);
    EXPECT_EQ(a->getSequencePos(), 2);  // past the sound, the first frame shown
    int busy = 0;
    for (unsigned long t = 1010; t < 1090 && !busy; t += 10) {
        at(t);
        a->isRunning(nullptr, &busy);
    }
    EXPECT_TRUE(busy);
    a->pause();
    for (unsigned long t = 1100; t < 1300; t += 10) at(t);
    EXPECT_EQ(done.calls, 1);
    int paused = 0, idle = 0;
    EXPECT_EQ(a->isPaused(&paused, &idle), 1);
}

TEST_F(Sounds, WithSyncTheAnimationWaitsForTheSoundToBegin) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 7), frame(1), frame(2), command(kAOEnd)}));
    a->loadSounds(-1);
    short id = 0;
    int frameNumber = 0;
    EXPECT_NE(a->getFirstSound(&id, &frameNumber), nullptr);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(frameNumber, 2);
    EXPECT_EQ(a->getNextSound(&id, &frameNumber), nullptr);
    EXPECT_EQ(id, 0);

    at(1000);
    at(1100);  // the sound is asked for: the walk stops
    EXPECT_EQ(a->getSequencePos(), 2);
    EXPECT_EQ(a->getLastSequencePos(), 0);
    unsigned long t = 1100;
    while (a->getState() != kAORunning && t < 1300) at(t += 10);
    ASSERT_EQ(a->getState(), kAORunning);
    EXPECT_EQ(a->getSyncOffset(), t - 1100);  // the measured delay
    EXPECT_EQ(a->getLastSequencePos(), 2);
}

// Only the step onto a sound comes early, by the delay last measured: the
// other steps keep the frame rate.
TEST_F(Sounds, OnlyTheStepOntoASoundComesEarlyByTheSyncOffset) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOSound, 7), frame(0), command(kAOEnd)}));
    ASSERT_EQ(a->getSyncOffset(), kAODefaultSyncOffset);
    at(1000);
    const int first = a->getSequencePos();
    at(1099);
    EXPECT_EQ(a->getSequencePos(), first);
    at(1100);
    EXPECT_EQ(a->getSequencePos(), first + 1);  // the step before the sound's
    at(1199 - kAODefaultSyncOffset);
    EXPECT_EQ(a->getSequencePos(), first + 1);
    at(1200 - kAODefaultSyncOffset);
    EXPECT_GT(a->getSequencePos(), first + 1);
}

TEST_F(Sounds, AttachedSoundsLoadAndUnload) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOEnd)}));
    a->attachSound(KvRscID(7), 2);
    EXPECT_EQ(a->getSeqEntry(1).cel, kAOSound);
    EXPECT_EQ(a->getSeqEntry(1).param, 7);
    a->attachSound(KvRscID(8), 9);  // past the last frame: before the end
    EXPECT_EQ(a->getSeqEntry(3).param, 8);
    short id;
    EXPECT_EQ(a->getFirstSound(&id, nullptr), nullptr);  // not loaded yet
    a->loadSounds(-1);
    EXPECT_NE(a->getFirstSound(&id, nullptr), nullptr);
    EXPECT_EQ(a->getNextSound(&id, nullptr), nullptr);  // 8 has no file
    a->unloadSounds(-1);
    EXPECT_EQ(a->getFirstSound(&id, nullptr), nullptr);
}
