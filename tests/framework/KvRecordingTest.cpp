// Recorded sessions: a recording made over the headless backend, played over
// a fresh one whose own clock runs differently, delivers the same events in
// the same passes at the same clock readings, and a window asked where the
// pointer is answers where the recording put it; and the reader refuses every
// malformed line with its number and what it expected.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "tests/framework/GoldenText.h"
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
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    return text.substr(0, std::fread(text.data(), 1, text.size(), f));
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
    const GoldenSections cases = goldenSections("framework/golden/recordings-refused.txt");
    ASSERT_EQ(cases.size(), 18u);
    for (const auto& [want, lines] : cases) {
        std::string text, error;
        for (const std::string& line : lines) text += line + "\n";
        KvRecording r;
        EXPECT_FALSE(r.parse(text, error)) << text;
        EXPECT_EQ(error.substr(0, want.size()), want) << text;
        EXPECT_TRUE(r.passes.empty());
    }
    const std::string head = "qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 1000\n";
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
    std::string text = "qrn-recording 1\nwindow 64 48 16\nseed 1\nstart 0\npass 1 10\n", error;
    for (const Case& c : cases) text += std::string("\t") + c.line + "\n";
    KvRecording r;
    ASSERT_TRUE(r.parse(text, error)) << error;
    ASSERT_EQ(r.passes.at(0).events.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const KvEventRecord& e = r.passes[0].events[i];
        EXPECT_TRUE(e.type == cases[i].type && e.mouse == cases[i].mouse && e.key == cases[i].key) << cases[i].line;
    }
}
