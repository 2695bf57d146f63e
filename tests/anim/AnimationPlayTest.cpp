// Playback on the virtual clock: timing and catch-up, per-frame durations,
// repeat counts, stop positions, commands, sounds with and without sync,
// callbacks that delete their animation, sequence editing and copies.
#include "tests/anim/AnimTestSupport.h"
#include "tests/support/Joined.h"

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
    // What probe reads after a pass at each of the times, one reading a line.
    template <class Probe>
    std::string after(std::initializer_list<unsigned long> times, Probe probe) {
        std::string out;
        for (unsigned long t : times) at(t), out += probe() + "\n";
        return out;
    }
    // State (0 stopped, 1 running, 2 paused, 3 synced), position, last drawn position.
    static std::string where(KvAnimation* a) { return joined(a->getState(), a->getSequencePos(), a->getLastSequencePos()); }
};

// One frame per update however late, then the next due time counts from now;
// on time, from the last due time.
TEST_F(Playback, AnAnimationThatFellBehindDropsTheLostTime) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kLoop, kEnd}));
    EXPECT_EQ(after({0, 1000, 1099, 1100}, [&] { return joined(a->getNextFrameTime(), a->getLastSequencePos()); }),
              "100 0\n1100 1\n1100 1\n1200 0\n");
}

TEST_F(Playback, FrameDurationsComeFromTheRateOrWithoutOneFromEachFrame) {
    KvAnimation* a = load(fileOf({frame(0, 0, 0, 40), frame(1, 0, 0, 70), kLoop, kEnd}, 0));
    KvAnimation* b = load(fileOf({frame(0), kEnd}));
    std::string seen = joined(a->getMSecPerFrame(), "");
    seen += after({1000, 1040}, [&] { return joined(a->getNextFrameTime()); });
    a->setSequencePos(2, 1);  // a command entry
    seen += joined(a->getMSecPerFrame(), a->getMSecPerFrameFloat(), b->getMSecPerFrame());
    b->setFramesPerSecond(3);
    seen += joined("", b->getMSecPerFrame(), b->getMSecPerFrameFloat(), b->trGetUpdateRate());
    b->pause();
    EXPECT_EQ(seen + joined("", b->trGetUpdateRate()), "40 1040\n1110\n0 0 100 333 333.333 3 1");
}

// After 12 frame times: the state, what is shown, and the alerts; a stopped
// animation goes back to the start, a paused one stays on its last frame.
TEST_F(Playback, RepeatCountsAtTheEndAndAtLoops) {
    const struct {
        std::vector<KvAOSequence> entries;
        int repeat;
        const char* after;  // state, position, visible, pause alerts, repeat alerts
    } cases[] = {
        {{frame(0), kEnd}, 0, "0 0 0 0 0"},        {{frame(0), kEnd}, 1, "2 0 1 1 0"},
        {{frame(0), kLoop, kEnd}, 0, "1 1 1 0 11"}, {{frame(0), frame(1), kLoop, kEnd}, 3, "2 1 1 1 2"},
        {{frame(0), kLoop, kEnd}, -1, "1 1 1 0 11"},
    };
    for (const auto& c : cases) {
        KvAnimation* a = load(fileOf(c.entries));
        a->setRepeat(c.repeat);
        int pauses = 0, repeats = 0;
        const KvFunctionLink p = counting(pauses), r = counting(repeats);
        a->setAlertOnPause(&p, 0);
        a->setAlertOnRepeat(&r);
        run(2000, 3100);
        EXPECT_EQ(joined(a->getState(), a->getSequencePos(), a->trGetVisible(), pauses, repeats), c.after) << c.repeat;
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
    const int suspended = repeats;
    a->resumeAlertOnRepeat();
    at(2500);
    EXPECT_EQ(joined(suspended, repeats), "0 1");
}

// A pause entry stops on the following frame, which unpausing passes over; a
// stop position pauses where it is reached, once.
TEST_F(Playback, PauseEntriesAndStopPositions) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOPause), frame(1), frame(2), kEnd}));
    std::string seen = after({1000, 1100}, [&] { return where(a); });
    a->unPause();
    EXPECT_EQ(seen + after({1200, 1300}, [&] { return where(a); }), "1 1 0\n2 2 2\n1 3 2\n1 4 3\n");

    KvAnimation* b = load(fileOf({frame(0), frame(1), frame(2), frame(3), kLoop, kEnd}));
    b->setStopPos(2);
    EXPECT_EQ(after({2000, 2100}, [&] { return where(b) + " " + joined(b->getStopPos()); }), "1 1 0 2\n2 2 1 -1\n");
}

TEST_F(Playback, NopEntriesAreFramesToIsFrameButAreNeitherCountedNorNotified) {
    KvAnimation* a = load(fileOf({frame(0), command(kAONop), frame(1), kEnd}));
    std::string notified;
    const KvFunctionLink note([&](const void*) { notified += joined(a->getSequencePos(), ""); });
    a->setAlertOnSeqPos(&note);
    const std::string frames = joined(a->isFrame(1), a->isFrame(3), a->getNumberOfFrames());
    run(1000, 1100);
    EXPECT_EQ(joined(frames, a->getLastSequencePos(), a->getFrame(), notified), "1 0 2 2 2 0 2 ");
}

TEST_F(Playback, UserCommandsReachTheHandlerOtherCommandsOnlyAdvance) {
    KvAnimation* a = load(fileOf({frame(0), command(-600, 3, 1, 2), command(-6), frame(1), kEnd}));
    std::string seen;
    const KvFunctionLink handler([&](const void*) {
        seen += joined(a->getUserCommand(), a->getUserParam1(), a->getUserParam2(), a->getUserParam3(), "");
    });
    a->setUserCommandHandler(&handler);
    run(1000, 1100);
    EXPECT_EQ(seen + joined(a->getLastSequencePos()), "-600 1 2 3 3");
}

// Frame 0 is ignored.
TEST_F(Playback, SetFrameBeyondTheLastFrameShowsTheLastAndPauses) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 5), frame(1), kEnd}));
    std::string seen;
    for (int n : {3, 0, 1}) a->setFrame(n, 0), seen += joined(a->getState(), a->getSequencePos(), a->getFrame(), "");
    EXPECT_EQ(seen, "2 2 2 2 2 2 2 0 1 ");
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
        EXPECT_EQ(joined(a == nullptr, KvAnimation::currentAnimation == nullptr, window->twGetTrinketList().count()), "1 1 0");
    }
}

// Editing owns the sequence; the current position follows insertions and
// removals before it, the end entry stays, one sequence always stays.
TEST_F(Playback, SequenceEditingMovesPositionsAndOwnsTheSequence) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), frame(2), kEnd}));
    std::string seen;
    // Sequences, current one, position, last drawn position, then the entries (cel@x).
    const auto note = [&] {
        seen += joined(a->getNumberOfSeqs(), a->getSequence(), a->getSequencePos(), a->getLastSequencePos(), ":");
        for (int p = 0; p < a->getSeqLength(); ++p) seen += joined("", a->getSeqEntry(p).cel) + "@" + joined(a->getSeqEntry(p).x);
        seen += "\n";
    };
    a->setSequencePos(1, 1);
    a->insertSeqEntry(kAOSound, 0, 0, 9, 0);
    note();
    a->removeSeqEntry(-1);  // the current entry: the position moves on first
    note();
    a->setSeqEntry(3, 4, 5, 0, 1);
    a->setSeqEntry(3, 4, 5, 0, 3);  // not over the end
    note();
    const KvAOSequence added[] = {frame(3), frame(2), kEnd, frame(1)};
    a->addSequence(added);
    a->addSequence(nullptr);
    for (int s : {1, 2}) a->setSequence(s, 0), note();
    a->removeSequence(-1);  // the last one: the new last becomes current
    a->setSequence(7, 0);   // clamped
    note();
    a->removeSequence(0);
    a->removeSequence(0);
    note();
    EXPECT_EQ(seen, "1 0 2 2 : -101@0 0@0 1@0 2@0 -1@0\n1 0 2 2 : -101@0 0@0 2@0 -1@0\n1 0 2 2 : -101@0 3@4 2@0 -1@0\n"
                    "3 1 0 0 : 3@0 2@0 -1@0\n3 2 0 0 : -1@0\n2 1 0 0 : 3@0 2@0 -1@0\n1 0 0 0 : 3@0 2@0 -1@0\n");
    EXPECT_TRUE(a->hasChanged());
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
    std::string seen = where(a);
    for (int p : {1, 0}) a->removeSeqEntry(p), seen += " " + where(a);
    EXPECT_EQ(seen, "2 2 1 2 1 1 2 0 0");
}

TEST_F(Playback, CopiesShareTheFileAndOutliveTheOriginal) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kLoop, kEnd}), 10, 10);
    a->insertSeqEntry(kAONop, 0, 0, 0, 0);  // owned now: the copy gets its own
    a->setSequencePos(2, 1);
    auto* b = static_cast<KvAnimation*>(a->copy());
    EXPECT_EQ(a->getIStream(), b->getIStream());
    EXPECT_EQ(b->box(), a->box());
    std::string seen = joined(a->getIStream()->shareCount, b->getSequencePos(), b->hasChanged());
    b->setSeqEntry(kAONop, 0, 0, 0, 1);
    seen += joined("", a->getSeqEntry(1).cel);
    delete a;
    run(1000, 1300);
    EXPECT_EQ(joined(seen, b->getIStream()->shareCount, b->getState()), "1 2 0 0 0 1");
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
    const int pos = a->getSequencePos();  // past the sound, the first frame shown
    int busy = 0, paused = 0, idle = 0;
    for (unsigned long t = 1010; t < 1090 && !busy; t += 10) at(t), a->isRunning(nullptr, &busy);
    a->pause();
    run(1100, 1290, 10);
    EXPECT_EQ(joined(pos, busy, done, a->isPaused(&paused, &idle)), "2 1 1 1");
}

TEST_F(Sounds, WithSyncTheAnimationWaitsForTheSoundToBegin) {
    KvAnimation* a = load(fileOf({frame(0), command(kAOSound, 7), frame(1), frame(2), kEnd}));
    a->loadSounds(-1);
    short id = 0;
    int frameNumber = 0;
    EXPECT_NE(a->getFirstSound(&id, &frameNumber), nullptr);
    std::string seen = joined(id, frameNumber, "");
    EXPECT_EQ(a->getNextSound(&id, &frameNumber), nullptr);
    run(1000, 1100);  // the sound is asked for: the walk stops
    seen += joined(id, where(a));
    unsigned long t = 1100;
    while (a->getState() != kAORunning && t < 1300) at(t += 10);
    EXPECT_EQ(joined(seen, a->getSyncOffset() == t - 1100, where(a)), "7 2 0 2 2 0 1 1 3 2");  // the measured delay
}

// Only the step onto a sound comes early, by the delay last measured: the
// other steps keep the frame rate.
TEST_F(Sounds, OnlyTheStepOntoASoundComesEarlyByTheSyncOffset) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), command(kAOSound, 7), frame(0), kEnd}));
    ASSERT_EQ(a->getSyncOffset(), kAODefaultSyncOffset);
    const unsigned long onto = 1200 - kAODefaultSyncOffset;
    EXPECT_EQ(after({1000, 1099, 1100, onto - 1, onto}, [&] { return joined(a->getSequencePos()); }), "1\n1\n2\n2\n3\n");
}

// Attached before the end when past the last frame; loaded only when asked,
// and only those with a file.
TEST_F(Sounds, AttachedSoundsLoadAndUnload) {
    KvAnimation* a = load(fileOf({frame(0), frame(1), kEnd}));
    a->attachSound(KvRscID(7), 2);
    a->attachSound(KvRscID(8), 9);
    short id;
    const auto loaded = [&] { return joined(a->getFirstSound(&id, nullptr) != nullptr, a->getNextSound(&id, nullptr) != nullptr); };
    std::string seen = joined(a->getSeqEntry(1).cel, a->getSeqEntry(1).param, a->getSeqEntry(3).param, loaded());
    a->loadSounds(-1);
    seen += " " + loaded();
    a->unloadSounds(-1);
    EXPECT_EQ(seen + " " + loaded(), "-101 7 8 0 0 1 0 0 0");
}
