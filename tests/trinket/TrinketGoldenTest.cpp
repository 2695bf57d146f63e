// Golden trinket scripts: every golden/NAME.mps with a golden/NAME.expected
// runs, in a fresh working directory holding a copy of every golden file (so
// that scripts include shared handlers), against a 160 x 120 window over the
// recording white background until it ends or 3000 passes ran; debug.txt must
// then equal NAME.expected byte for byte. Scripts make "Swatch" trinkets
// (left top right bottom colour) and drive the window through the host words
// registered below; the links a script listens to append "NAME:what" lines to
// debug.txt in the order they run, between the script's own say lines.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "tests/trinket/TrinketTestSupport.h"

namespace {

namespace fs = std::filesystem;
const fs::path kGoldenDir = fs::path(QRN_TEST_DATA) / "trinket" / "golden";

std::vector<std::string> goldenNames() {
    std::vector<std::string> names;
    for (const auto& file : fs::directory_iterator(kGoldenDir))
        if (file.path().extension() == ".expected") names.push_back(file.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Appends a line to debug.txt as say does, so that both keep their order.
void note(const std::string& line) {
    if (std::FILE* f = std::fopen("debug.txt", "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

int intParameter() { return std::atoi(KvScriptableObject::nextParameter()); }

class Golden : public TrinketTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        TrinketTest::SetUp();
        std::string name = GetParam();
        directory = fs::temp_directory_path() / ("qrn-trinket-" + name + "-" + std::to_string(std::random_device{}()));
        fs::create_directories(directory);
        previous = fs::current_path();
        fs::current_path(directory);
        savedDynamicLoad = KvSR::getDynamicLoad();
        KvSR::setDynamicLoad(0);
        // Handlers run through inside the event, as a title's do.
        YThread::setYieldEventsOff(1);
        open();
        registerWords();
    }
    void TearDown() override {
        YThread::setYieldEventsOff(0);
        KvSR::setDynamicLoad(savedDynamicLoad);
        fs::current_path(previous);
        fs::remove_all(directory);
        TrinketTest::TearDown();
    }

    // The trinket a script variable holds, named by its first parameter.
    static KvTrinket* trinketParameter() {
        return dynamic_cast<KvTrinket*>(YHeap::theHeap.getSob(KvScriptableObject::nextParameter(), 0));
    }

    // Host words: input as a user makes it (delivered on the next pass), what
    // the screen shows, and the C++ side of trinkets a script cannot reach.
    void registerWords() {
        using Inject = void (KvHeadlessBackend::*)(const KvPoint&, KvWindow*);
        const std::pair<const char*, Inject> pointer[] = {{"press", &KvHeadlessBackend::mouseDown},
                                                          {"release", &KvHeadlessBackend::mouseUp},
                                                          {"move", &KvHeadlessBackend::mouseMove},
                                                          {"dbl", &KvHeadlessBackend::mouseDblClick}};
        for (const auto& [word, inject] : pointer)
            extend(word, [this, inject = inject] {
                const int x = intParameter();
                (backend.*inject)(KvPoint(x, intParameter()), nullptr);
            });
        extend("key", [this] { backend.keyDown(intParameter()); });
        extend("look", [this] {
            const int x = intParameter(), y = intParameter();
            const std::pair<const char*, KvColor> names[] = {{"white", kWhite}, {"red", kRed}, {"green", kGreen},
                                                             {"blue", kBlue}, {"yellow", kYellow}};
            const char* seen = "other";
            for (const auto& [name, c] : names)
                if (shows(x, y, c)) seen = name;
            YSetRESULT(seen);
        });
        extend("scene", [this] { YSetRESULT(screenShowsScene() ? "same" : "differs"); });
        extend("listen", [this] { listen(KvScriptableObject::nextParameter()); });
        extend("links", [this] {  // NAME BITS: suspends exactly these links of a swatch or the background
            const std::string name = KvScriptableObject::nextParameter();
            const long bits = intParameter();
            if (KvTBackground* bg = window->twGetBackground(); name == "background") {
                bg->bkResumeLinks(~0L);
                bg->bkSuspendLinks(bits);
            } else if (auto* t = dynamic_cast<KvTrinket*>(YHeap::theHeap.getSob(name.c_str(), 0))) {
                t->trResumeLinks(~0L);
                t->trSuspendLinks(bits);
            }
        });
        extend("nobackground", [this] { window->twSetBackground(nullptr); });
        extend("offsets", [this] {  // X Y: a 320 x 240 collector seen from (X, Y); before any swatch
            open(320, 240);
            const int x = intParameter();
            window->twSetBlitOffsets(x, intParameter());
        });
        extend("track", [] {
            KvTrinket* t = trinketParameter();
            const int on = intParameter();
            t->trSetTracking(on, intParameter());
        });
        extend("snap", [] {  // NAME spacing x, y, origin x, y [snap area left, top, right, bottom]
            KvTrinket* t = trinketParameter();
            int v[8] = {0, 0, 0, 0, 0, 0, -1, -1};
            for (int& x : v)
                if (const char* word = KvScriptableObject::nextParameter(); *word) x = std::atoi(word);
            t->trSetSnapGrid(v[0], v[1], v[2], v[3]);
            t->trSetSnapArea(KvRect(v[4], v[5], v[6], v[7]));
            t->trSnap();
        });
        extend("rect", [] {  // NAME LEFT TOP RIGHT BOTTOM: a new box, without redrawing
            KvTrinket* t = trinketParameter();
            int v[4];
            for (int& x : v) x = intParameter();
            t->trSetRect(v[0], v[1], v[2], v[3]);
        });
        extend("zdepth", [this] {  // N: RESULT is the depth the window keeps
            window->twSetZDepth(intParameter());
            YSetRESULT(static_cast<long>(window->twGetZDepth()));
        });
        extend("normalize", [] {  // NAME|all ON
            const std::string name = KvScriptableObject::nextParameter();
            if (name == "all") return KvTrinket::setCorralNormalization(intParameter());
            dynamic_cast<KvTrinket*>(YHeap::theHeap.getSob(name.c_str(), 0))->trSetCorralNormalization(intParameter());
        });
        extend("corral", [] {  // NAME LEFT TOP RIGHT BOTTOM CLIP, then the swatch is redrawn
            KvTrinket* t = trinketParameter();
            int v[5];
            for (int& x : v) x = intParameter();
            t->trSetCorral(KvRect(v[0], v[1], v[2], v[3]));
            t->trSetCorralClip(v[4]);
            t->trInvalidate();
        });
        extend("moveonly", [this] { window->twSetFlyOnMoveOnly(intParameter()); });
        extend("focus", [] { trinketParameter()->trFocus(); });
        extend("unfocus", [] { trinketParameter()->trUnfocus(); });
        extend("which", [this] {  // receiver, flyover, focus or top: RESULT is its variable's name
            const std::string what = KvScriptableObject::nextParameter();
            KvTrinket* t = what == "receiver" ? window->twGetEventReceiver()
                           : what == "flyover" ? KvTrinket::trGetFlyOverTrinket()
                           : what == "focus"   ? KvTrinket::trGetFocus()
                                               : window->twGetTrinketList().last();
            const char* name = t ? YHeap::theHeap.getName(t, nullptr) : nullptr;
            YSetRESULT(name ? name : "none");
        });
    }
    template <class F>
    void extend(const char* word, F f) {
        const KvFunctionLink link([f](const void*) { f(); });
        YExtend(word, &link);
    }

    // Logs the links of the named swatch, of the background (with the point) or of the window.
    void listen(const std::string& name) {
        auto logged = [&name](const char* what) {
            return KvFunctionLink([line = name + ":" + what, point = name == "background"](const void* p) {
                const auto* at = static_cast<const KvPoint*>(p);
                note(point ? line + " " + std::to_string(at->x) + " " + std::to_string(at->y) : line);
            });
        };
        const KvFunctionLink down = logged("down"), up = logged("up"), dbl = logged("dbl"), move = logged("move"),
                             key = logged("key"), on = logged("on"), off = logged("off"), lost = logged("lost");
        if (name == "window") {
            window->mouseDownSetLink(&down);
            window->mouseUpSetLink(&up);
            window->mouseDblClickSetLink(&dbl);
            window->keyDownSetLink(&key);
        } else if (name == "background") {
            KvTBackground* bg = window->twGetBackground();
            bg->bkMouseDownSetLink(&down);
            bg->bkMouseUpSetLink(&up);
            bg->bkMouseMoveSetLink(&move);
            bg->bkMouseDblClickSetLink(&dbl);
        } else if (KvTrinket* t = dynamic_cast<KvTrinket*>(YHeap::theHeap.getSob(name.c_str(), 0))) {
            t->trMouseDownSetLink(&down);
            t->trMouseUpSetLink(&up);
            t->trMouseDblClickSetLink(&dbl);
            t->trFlyOnSetLink(&on);
            t->trFlyOffSetLink(&off);
            t->trKeyDownSetLink(&key);
            t->trLostFocusSetLink(&lost);
        }
    }

    fs::path directory, previous;
    int savedDynamicLoad = 1;
};

TEST_P(Golden, ScriptWritesExactlyTheExpectedDebugFile) {
    KvSR record("Swatch", &Swatch::make);
    for (const auto& file : fs::directory_iterator(kGoldenDir)) fs::copy_file(file.path(), directory / file.path().filename());
    const std::string script = GetParam() + ".mps";
    {
        YThread thread(script.c_str());
        ASSERT_TRUE(thread) << script << " does not compile";
        thread.go();
        for (int pass = 0; pass < 3000 && thread && !app->isStopped(); ++pass) app->pass();
        EXPECT_FALSE(thread) << "the script did not end";  // its swatches go with it, before the window
    }
    EXPECT_EQ(readFile("debug.txt"), readFile(kGoldenDir / (GetParam() + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, ::testing::ValuesIn(goldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
