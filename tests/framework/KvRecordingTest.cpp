// Recorded sessions: a recording made over the headless backend, played over
// a fresh one whose own clock runs differently, delivers the same events in
// the same passes at the same clock readings, and a window asked where the
// pointer is answers where the recording put it; and the reader refuses every
// malformed line with its number and what it expected.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "framework/KvRecording.h"
#include "framework/KvRecordingBackend.h"
#include "framework/KvReplayBackend.h"
#include "framework/KvSys.h"
#include "framework/KvWindow.h"

namespace {

// Notes every input virtual as "pass clock what".
class NoteWindow : public KvWindow {
public:
    explicit NoteWindow(std::vector<std::string>& notes) : KvWindow(KvRect(0, 0, 64, 48)), notes(notes) {}
    void keyDown() override { note("keyDown " + std::to_string(KvEventGetKey())); }
    void mouseDown() override { note("mouseDown " + at()); }
    void mouseMove() override { note("mouseMove " + at()); }
    void close() override { note("close"); }

private:
    static std::string at() { return std::to_string(KvEventGetMouse().x) + "," + std::to_string(KvEventGetMouse().y); }
    void note(const std::string& what) {
        notes.push_back(std::to_string(KvApp::theApp->getPassCount()) + " " + std::to_string(KvSysMilliSecCount()) +
                        " " + what);
    }
    std::vector<std::string>& notes;
};

std::string readAll(std::FILE* f) {
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

}  // namespace

TEST(KvRecording, AReplayDeliversWhatWasRecordedOnTheRecordedClockThenTheClockGoesOn) {
    std::vector<std::string> live, replayed;
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        KvHeadlessBackend headless;
        headless.setStepPerPass(7);
        KvRecordingBackend recorder(&headless, file, 64, 48, 16, 1234);
        KvBackend::install(&recorder);
        KvApp app;
        NoteWindow w(live);
        app.pass();
        headless.mouseMove({3, 4}, &w);
        headless.mouseDown({5, 6}, &w);
        app.pass();
        headless.advance(100);  // a slow pass
        app.pass();
        headless.keyDown(65, &w);
        app.pass();
        headless.post(KvEventRecord{KvEventType::close, {}, 0, KvRect::zero}, &w);
        app.pass();
        KvBackend::install(nullptr);
    }
    KvRecording recording;
    std::string error;
    ASSERT_TRUE(recording.parse(readAll(file), error)) << error;
    std::fclose(file);
    EXPECT_EQ(recording.seed, 1234u);
    EXPECT_EQ(recording.width, 64);
    ASSERT_EQ(recording.passes.size(), 5u);
    {
        KvHeadlessBackend headless;  // its own clock starts elsewhere and steps by 10
        headless.setTime(50000);
        KvReplayBackend replay(&headless, recording);
        KvBackend::install(&replay);
        KvApp app;
        NoteWindow w(replayed);
        replay.setTarget(&w);
        headless.keyDown(66, &w);  // live input is not part of a replay
        for (int i = 0; i < 5; ++i) app.pass();
        EXPECT_TRUE(replay.finished());
        const unsigned long last = KvSysMilliSecCount();
        app.pass();
        EXPECT_EQ(KvSysMilliSecCount(), last + 10);  // on at the inner backend's pace
        KvBackend::install(nullptr);
    }
    EXPECT_EQ(live, (std::vector<std::string>{"2 1014 mouseMove 3,4", "2 1014 mouseDown 5,6", "4 1128 keyDown 65",
                                              "5 1135 close"}));
    EXPECT_EQ(replayed, live);
}

// Sprites that ask where the pointer is (a cursor made after the last move)
// must find it where the person left it, whatever the live pointer does.
TEST(KvRecording, AReplayedWindowsPointerIsTheRecordedOneUntilTheRecordingEnds) {
    KvRecording recording;
    std::string error;
    ASSERT_TRUE(recording.parse("qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 0\npass 1 10\npass 2 20\n"
                                "mouseMove 3 4\npass 3 30\nmouseDown 7 8\npass 4 40\n",
                                error))
        << error;
    KvHeadlessBackend headless;
    KvReplayBackend replay(&headless, recording);
    KvBackend::install(&replay);
    {
        KvApp app;
        std::vector<std::string> notes;
        NoteWindow w(notes);
        replay.setTarget(&w);
        headless.windowOf(&w)->setPointer(KvPoint(30, 40));
        std::vector<KvPoint> seen;
        for (int i = 0; i < 5; ++i) {
            app.pass();
            headless.mouseMove(KvPoint(50 + i, 40));  // live input, held back while the recording lasts
            seen.push_back(w.getMouse(nullptr));
        }
        EXPECT_EQ(seen, (std::vector<KvPoint>{{30, 40}, {3, 4}, {7, 8}, {7, 8}, {53, 40}}));
    }
    KvBackend::install(nullptr);
}

TEST(KvRecording, MalformedRecordingsAreRefusedWithTheLineAndWhatWasExpected) {
    const std::string head = "qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 1000\n";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "1: empty"},
        {"qrn-recording 2\n", "1: version 2 is not one this program reads"},
        {"hello\n", "1: expected \"qrn-recording 1\""},
        {"qrn-recording 1\nwindow 64 48 12\n", "2: expected \"window WIDTH HEIGHT DEPTH\""},
        {"qrn-recording 1\nwindow 0 48 16\n", "2: expected \"window"},
        {"qrn-recording 1\nseed 1\nstart 5\npass 1 5\n", "4: a pass before the window"},
        {head + "mouseDown 1 2\n", "5: mouseDown before the first pass"},
        {head + "pass 1 1010\nmouseDown 1\n", "6: expected \"mouseDown X Y\""},
        {head + "pass 1 1010\nkeyDown -3\n", "6: expected \"keyDown KEY\""},
        {head + "pass 1 1010\nclose now\n", "6: expected \"close\" alone"},
        {head + "pass 1 1010\npass 1 1020\n", "6: pass numbers must rise"},
        {head + "pass 1 1010\npass 2 1000\n", "6: the clock goes back"},
        {head + "pass 1 999\n", "5: the clock goes back"},
        {head + "pass 1 1010\nwobble\n", "6: unknown line \"wobble\""},
        {head + "pass 1 1010\nseed 4\n", "6: seed after the first pass"},
        {head + "pass 1 10x\n", "5: expected \"pass N MS\""},
        {head + "pass 1 99999999999999999999\n", "5: expected \"pass N MS\""},
        {"qrn-recording 1\nwindow 64 48 16\n", "2: the window, seed or start line is missing"},
    };
    for (const Case& c : cases) {
        KvRecording r;
        std::string error;
        EXPECT_FALSE(r.parse(c.text, error)) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
        EXPECT_TRUE(r.passes.empty());
    }
    // A billion events would not fit in memory: the count is refused at the
    // line past the limit, before it is kept.
    KvRecording r;
    std::string error;
    const std::string three = head + "pass 1 1010\nclose\npass 2 1020\n";
    EXPECT_TRUE(r.parse(three, error, 3)) << error;
    EXPECT_FALSE(r.parse(three + "close\n", error, 3));
    EXPECT_EQ(error, "8: more than 3 passes and events");
    EXPECT_TRUE(r.passes.empty());
    EXPECT_TRUE(r.parse(head + "# a comment\n\npass 3 1010\r\nmouseUp -4 7\n", error)) << error;
    ASSERT_EQ(r.passes.size(), 1u);
    EXPECT_EQ(r.passes[0].events[0].mouse.y, 7);
}

TEST(KvRecording, EveryKindOfEventLineReadsBackAsItsEvent) {
    struct Case {
        const char* line;
        KvEventType type;
        KvPoint mouse;
        int key;
    } cases[] = {
        {"mouseDown 1 -2", KvEventType::mouseDown, {1, -2}, 0},   {"mouseUp 3 4", KvEventType::mouseUp, {3, 4}, 0},
        {"mouseMove 5 6", KvEventType::mouseMove, {5, 6}, 0},     {"mouseDblClick 7 8", KvEventType::mouseDblClick, {7, 8}, 0},
        {"keyDown 65", KvEventType::keyDown, {0, 0}, 65},         {"keyUp 66", KvEventType::keyUp, {0, 0}, 66},
        {"activated", KvEventType::activated, {0, 0}, 0},         {"deactivated", KvEventType::deactivated, {0, 0}, 0},
        {"close", KvEventType::close, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        KvRecording r;
        std::string error;
        ASSERT_TRUE(r.parse(std::string("qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 0\npass 1 10\n\t") + c.line + "\n", error))
            << c.line << ": " << error;
        ASSERT_EQ(r.passes[0].events.size(), 1u) << c.line;
        const KvEventRecord& e = r.passes[0].events[0];
        EXPECT_EQ(e.type, c.type) << c.line;
        EXPECT_EQ(e.mouse, c.mouse) << c.line;
        EXPECT_EQ(e.key, c.key) << c.line;
    }
}
