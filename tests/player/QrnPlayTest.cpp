// qrn play in a real window on a virtual display: what the window shows,
// real X input reaching scripts, fullscreen, screenshots, the sound that
// reaches the audio device, sessions recorded by a person and played again
// headless, the demo played with no TITLE, and a close that stops a script
// that never yields.
#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/support/ByteWriter.h"
#include "tests/player/DisplayFixture.h"

// Titles made of the examples' pictures: the backdrop's compressed room and
// the carousel's animations with their palette.
class Play : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        sh("mkdir title && cd '" QRN_TEST_DATA "/..' && cp -r examples/backdrop/room.b16 examples/carousel/ao examples/carousel/palette.plt '" +
           (dir / "title").string() + "'");
    }
    // Starts "qrn play ARGS title" with script as its main.mps; the id of its
    // window once shown and settled.
    std::string play(const std::string& script, const std::string& args) {
        write("title/main.mps", script);
        start("play " + args + " title");
        const std::string id = window("title");
        EXPECT_FALSE(id.empty()) << read("err.txt");
        settle(300);
        return id;
    }
    // As closing the window: the run ends normally. Its status.
    int close() {
        sh("kill -TERM $(cat pid)");
        return finish();
    }
};

TEST_F(Play, TheWindowShowsTheCanvasPixelForPixelAtScaleOneAndTwo) {
    for (const int s : {1, 2}) {
        SCOPED_TRACE(s);
        fs::remove(dir / "status.txt");
        fs::remove(dir / "debug.txt");
        const std::string id = play("background \"room.b16\"\nwheel=KvAnimation 24 44 1\nflag=KvAnimation 140 48 3\n"
                                    "pause 1\nsay ready\nwait\n",
                                    "--mute --script-positions --size 320x200 --screenshot canvas.png --scale " +
                                        std::to_string(s));
        // Everything is drawn a second before the script says so.
        ASSERT_EQ(until([this] { return read("debug.txt"); }, "ready\n"), "ready\n");
        settle(300);
        const XwdImage shown = capture(id);
        ASSERT_EQ(close(), 0) << read("err.txt");
        const KvPngImage canvas = png("canvas.png");
        ASSERT_EQ(shown.width, canvas.width * s);
        ASSERT_EQ(shown.height, canvas.height * s);
        int wrong = 0;
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < shown.width; ++x)
                if (shown.at(x, y) != rgbAt(canvas, x / s, y / s) && wrong++ < 5)
                    ADD_FAILURE() << "window pixel " << x << "," << y << " is " << std::hex << shown.at(x, y)
                                  << ", the canvas has " << rgbAt(canvas, x / s, y / s);
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(Play, AClickReachesTheScriptHandlerOfTheTrinketUnderIt) {
    const std::string id = play("wheel=KvAnimation 24 44 1\nset wheel mouseDown clicked\nwait\nprocedure clicked\n[\n"
                                "  get wheel x x\n  say \"the wheel at\" x \"was clicked\"\n  quit\n]\n",
                                "--mute --script-positions --size 320x200 --scale 2");
    sh("xdotool mousemove --window " + id + " 4 4 click 1");  // on no trinket: nothing
    settle(300);
    EXPECT_TRUE(running());
    sh("xdotool mousemove --window " + id + " 60 100 click 1");  // canvas 30,50: the wheel
    EXPECT_EQ(finish(), 0) << read("err.txt");
    EXPECT_EQ(read("debug.txt"), "the wheel at 24 was clicked\n");
}

// Fullscreen shows three times the canvas (960 x 600) in the middle, black
// bars around it.
TEST_F(Play, AltEnterFillsTheScreenAndComesBack) {
    const std::string id = play("background \"room.b16\"\nwait\n", "--mute --size 320x200 --scale 1");
    auto geometry = [&] { return output("xdotool getwindowgeometry --shell " + id + " | grep -E 'WIDTH|HEIGHT'"); };
    EXPECT_EQ(geometry(), "WIDTH=320\nHEIGHT=200\n");
    sh("xdotool mousemove --window " + id + " 10 10 key alt+Return");
    EXPECT_EQ(until(geometry, "WIDTH=1024\nHEIGHT=768\n"), "WIDTH=1024\nHEIGHT=768\n");
    settle(300);  // the window manager has resized it; the next pass paints it
    const XwdImage full = capture(id);
    EXPECT_EQ(full.at(5, 5), 0u);
    EXPECT_EQ(full.at(1020, 400), 0u);
    EXPECT_NE(full.at(512, 384), 0u);
    sh("xdotool key alt+Return");
    EXPECT_EQ(until(geometry, "WIDTH=320\nHEIGHT=200\n"), "WIDTH=320\nHEIGHT=200\n");
    EXPECT_EQ(close(), 0);
}

TEST_F(Play, F12SavesTheCanvasAsAPngAndSaysWhere) {
    const std::string id = play("background \"room.b16\"\nwait\n", "--mute --size 320x200 --scale 1 --screenshot canvas.png");
    sh("xdotool mousemove --window " + id + " 10 10 key F12");
    std::string said = until([this] { return read("out.txt"); });
    ASSERT_EQ(close(), 0);
    ASSERT_FALSE(said.empty());
    said.pop_back();
    EXPECT_EQ(said.rfind("screenshots/title-", 0), 0u) << said;
    EXPECT_EQ(png(said).width, 320);
    EXPECT_EQ(png(said).rgba, png("canvas.png").rgba);
}

// 0.2 s of a pattern no silence or mixing error could make, with silence
// before it (as long as the title ran before playing it) and after.
TEST_F(Play, ATitlesSoundReachesTheAudioDeviceWithItsSamplesInOrder) {
    constexpr size_t kSamples = 2 * 8820;
    std::vector<int16_t> pcm;
    for (int i = 0; pcm.size() < kSamples; ++i)
        pcm.insert(pcm.end(), {static_cast<int16_t>((i * 37) % 20000 - 10000 + 1), static_cast<int16_t>(-((i * 53) % 20000 - 10000) + 1)});
    const Bytes wav = wave::riff({wave::fmt(2, 44100, 16), wave::data16(pcm)});
    write("title/snd/1.wav", std::string(wav.begin(), wav.end()));
    sh("cp '" QRN_TEST_DATA "/apps/data/sounding.ao' title/ao/9.ao");  // sound 1, then a cel
    write("title/main.mps", "s=KvAnimation 0 0 9\nplay s\npause 1\nquit\n");
    start("play --size 80x60 title", "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=audio.raw");
    ASSERT_EQ(finish(), 0) << read("err.txt");

    const std::string raw = read("audio.raw");
    std::vector<int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    const auto at = std::search(out.begin(), out.end(), pcm.begin(), pcm.begin() + 64);
    ASSERT_NE(at, out.end()) << "the sound is not in the " << out.size() / 2 << " frames played";
    const auto from = at - out.begin(), end = from + static_cast<long>(kSamples);
    ASSERT_EQ(from % 2, 0);
    ASSERT_GE(static_cast<long>(out.size()), end);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), at));
    EXPECT_LT(from / 2, 44100 / 2);
    EXPECT_EQ(std::count(out.begin(), at, 0) + std::count(out.begin() + end, out.end(), 0),
              static_cast<long>(out.size() - kSamples));
}

// A click moves the flag where it was clicked; the second ends the title,
// while the wheel turns all along: its frame shows the replayed clock.
TEST_F(Play, ASessionRecordedInTheWindowEndsTheSameWhenReplayedHeadless) {
    const std::string id = play("wheel=KvAnimation 24 44 1\nplay wheel forever\nflag=KvAnimation 140 48 3\n"
                                "set flag mouseDown moved\nclicks=0\nwait\nprocedure moved\n[\n  clicks=clicks+1\n"
                                "  say click clicks\n  if clicks=2\n    quit\n  set flag x 200\n]\n",
                                "--mute --script-positions --size 320x200 --scale 1 --record session.txt "
                                "--screenshot played.png");
    sh("xdotool mousemove --window " + id + " 150 60 click 1");
    settle(400);
    sh("xdotool mousemove --window " + id + " 100 100 mousemove --window " + id + " 210 60 click 1");
    ASSERT_EQ(finish(), 0) << read("err.txt");
    EXPECT_EQ(read("debug.txt"), "click 1\nclick 2\n");
    fs::remove(dir / "debug.txt");
    EXPECT_EQ(sh("'" QRN_APP "' run --script-positions --size 320x200 --replay session.txt --screenshot replayed.png title"
                 " 2>err.txt"),
              0)
        << read("err.txt");
    EXPECT_EQ(read("debug.txt"), "click 1\nclick 2\n");
    EXPECT_EQ(png("replayed.png").rgba, png("played.png").rgba);
}

// With no TITLE the demo opens, from the source tree in a build tree.
TEST_F(Play, WithNoTitleItPlaysTheDemo) {
    sh("'" QRN_APP "' play --mute --max-passes 20 --screenshot demo.png >out.txt 2>err.txt; echo $? >status.txt");
    ASSERT_EQ(read("status.txt"), "3\n") << read("err.txt");  // the pass limit
    EXPECT_EQ(read("debug.txt"), "three gems wait on the tray\n");
    EXPECT_EQ(png("demo.png").width, 640);
}

TEST_F(Play, WithoutADisplayItSaysSoInOneLine) {
    write("title/main.mps", "wait\n");
    EXPECT_NE(sh("env -u DISPLAY -u WAYLAND_DISPLAY '" QRN_APP "' play title >out.txt 2>err.txt"), 0);
    EXPECT_EQ(read("err.txt"), "qrn play: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
}

// The box is a window of its own named "qrn", in front of the title's, and
// stays until the person has read it.
TEST_F(Play, AScriptThatDoesNotCompileIsShownInAMessageBoxThenTheRunEnds) {
    write("title/main.mps", "say a\nsay (b\n");
    start("play --mute title");
    const std::string box = until([this] { return output("xwininfo -root -tree | grep '\"qrn\": ()' | awk '{print $1}' | head -1 | tr -d '\\n'"); });
    ASSERT_FALSE(box.empty()) << read("err.txt");
    settle(300);
    EXPECT_TRUE(running());
    sh("xdotool windowfocus --sync " + box + " key Return");
    EXPECT_EQ(finish(), 1);
    EXPECT_EQ(read("err.txt"), "title/main.mps:2:  say a\nsay (b\n\n");
}

TEST_F(Play, ClosingTheWindowStopsAScriptThatNeverYields) {
    const std::string id = play("yield off\nfor i 1 30000\n  for j 1 30000\n    x=j\n", "--mute --size 320x200");
    EXPECT_TRUE(running());
    sh("xdotool windowactivate --sync " + id + " key alt+F4");  // the window manager's close
    EXPECT_EQ(finish(), 0) << read("err.txt");
}
