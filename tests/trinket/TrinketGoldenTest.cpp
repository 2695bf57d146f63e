// Golden trinket scripts: every golden/NAME.mps with a golden/NAME.expected
// runs, in a fresh working directory holding a copy of every golden file (so
// that scripts include shared handlers), against a 160 x 120 window over the
// recording white background until it ends or 3000 passes ran; debug.txt must
// then equal NAME.expected byte for byte. Scripts make "Swatch" trinkets
// (left top right bottom colour) and drive the window through the host words
// registered below; the links a script listens to append "NAME:what" lines to
// debug.txt in the order they run, between the script's own say lines.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "tests/support/CaseFiles.h"
#include "tests/trinket/TrinketTestSupport.h"

namespace {

namespace fs = std::filesystem;
const fs::path kGoldenDir = fs::path(QRN_TEST_DATA) / "trinket" / "golden";

// Appends a line to debug.txt as say does, so that both keep their order.
void note(const std::string& line) {
    if (std::FILE* f = std::fopen("debug.txt", "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

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

    // The trinket a script variable holds, by name or named by the next parameter.
    static KvTrinket* trinketNamed(const std::string& name) {
        return dynamic_cast<KvTrinket*>(YHeap::theHeap.getSob(name.c_str(), 0));
    }
    static KvTrinket* trinketParameter() { return trinketNamed(KvScriptableObject::nextParameter()); }
    // The next n parameters as numbers; a missing one keeps its default (else 0).
    static std::vector<int> ints(size_t n, std::vector<int> v = {}) {
        v.resize(n);
        for (int& x : v)
            if (const char* word = KvScriptableObject::nextParameter(); *word) x = std::atoi(word);
        return v;
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
            extend(word, [this, inject = inject] { const auto v = ints(2); (backend.*inject)(KvPoint(v[0], v[1]), nullptr); });
        extend("key", [this] { backend.keyDown(ints(1)[0]); });
        extend("look", [this] {  // X Y: RESULT is the colour the screen shows there
            const auto v = ints(2);
            const std::pair<const char*, KvColor> names[] = {{"white", kWhite}, {"red", kRed}, {"green", kGreen},
                                                             {"blue", kBlue}, {"yellow", kYellow}};
            const char* seen = "other";
            for (const auto& [name, c] : names)
                if (shows(v[0], v[1], c)) seen = name;
            YSetRESULT(seen);
        });
        extend("scene", [this] { YSetRESULT(screenShowsScene() ? "same" : "differs"); });
        extend("listen", [this] { listen(KvScriptableObject::nextParameter()); });
        extend("links", [this] {  // NAME BITS: suspends exactly these links of a swatch or the background
            const std::string name = KvScriptableObject::nextParameter();
            const long bits = ints(1)[0];
            if (KvTBackground* bg = window->twGetBackground(); name == "background") {
                bg->bkResumeLinks(~0L);
                bg->bkSuspendLinks(bits);
            } else if (KvTrinket* t = trinketNamed(name)) {
                t->trResumeLinks(~0L);
                t->trSuspendLinks(bits);
            }
        });
        extend("nobackground", [this] { window->twSetBackground(nullptr); });
        extend("collector", [this] { const auto v = ints(2); open(v[0], v[1]); });  // W H: a new window; before any swatch
        extend("offsets", [this] { const auto v = ints(2); window->twSetBlitOffsets(v[0], v[1]); });  // X Y: seen from there
        extend("scale", [this] {  // W H: RESULT is on or off and the scaled size the window keeps
            const auto v = ints(2);
            window->twSetScaling(v[0], v[1]);
            int w = 0, h = 0;
            const bool on = window->twGetScaling(w, h);
            YSetRESULT((std::string(on ? "on " : "off ") + std::to_string(w) + " " + std::to_string(h)).c_str());
        });
        extend("track", [] { KvTrinket* t = trinketParameter(); const auto v = ints(2); t->trSetTracking(v[0], v[1]); });
        extend("snap", [] {  // NAME spacing x, y, origin x, y [snap area left, top, right, bottom]
            KvTrinket* t = trinketParameter();
            const auto v = ints(8, {0, 0, 0, 0, 0, 0, -1, -1});
            t->trSetSnapGrid(v[0], v[1], v[2], v[3]);
            t->trSetSnapArea(KvRect(v[4], v[5], v[6], v[7]));
            t->trSnap();
        });
        // NAME LEFT TOP RIGHT BOTTOM: a new box, without redrawing
        extend("rect", [] { KvTrinket* t = trinketParameter(); const auto v = ints(4); t->trSetRect(v[0], v[1], v[2], v[3]); });
        // N: RESULT is the depth the window keeps
        extend("zdepth", [this] { window->twSetZDepth(ints(1)[0]); YSetRESULT(static_cast<long>(window->twGetZDepth())); });
        extend("normalize", [] {  // NAME|all ON
            const std::string name = KvScriptableObject::nextParameter();
            if (name == "all") return KvTrinket::setCorralNormalization(ints(1)[0]);
            trinketNamed(name)->trSetCorralNormalization(ints(1)[0]);
        });
        extend("corral", [] {  // NAME LEFT TOP RIGHT BOTTOM CLIP, then the swatch is redrawn
            KvTrinket* t = trinketParameter();
            const auto v = ints(5);
            t->trSetCorral(KvRect(v[0], v[1], v[2], v[3]));
            t->trSetCorralClip(v[4]);
            t->trInvalidate();
        });
        extend("moveonly", [this] { window->twSetFlyOnMoveOnly(ints(1)[0]); });
        extend("suspendupdates", [this] { window->twSuspendUpdates(); });
        extend("resumeupdates", [this] { window->twResumeUpdates(); });
        extend("sneak", [this] { window->twSneakUpdates(ints(1)[0]); });
        extend("scribble", [this] {  // paints the whole window green behind the collector's back
            KvWndCanvas* wc = window->getCanvas();
            wc->fill = true;
            wc->fillColor = kGreen;
            wc->draw(KvRect(0, 0, kW, kH));
        });
        extend("blit", [this] {  // [LEFT TOP RIGHT BOTTOM]: that part of the window, or all of it
            if (KvScriptableObject::countParameters() == 0) return window->blit(nullptr);
            const auto v = ints(4);
            const KvRect part(v[0], v[1], v[2], v[3]);
            window->blit(&part);
        });
        extend("classlinks", [this] {  // suspend|resume BITS CLASS|all
            const std::string how = KvScriptableObject::nextParameter();
            const long bits = ints(1)[0];
            const std::string name = KvScriptableObject::nextParameter();
            const char* className = name == "all" ? nullptr : name.c_str();
            how == "suspend" ? window->twSuspendTrinketLinks(bits, className) : window->twResumeTrinketLinks(bits, className);
        });
        extend("mask", [this] {  // NAME|window: RESULT is its link mask, or the window's trinket flags
            const std::string name = KvScriptableObject::nextParameter();
            YSetRESULT(name == "window" ? window->twGetTrinketFlags() : trinketNamed(name)->trGetLinkMask());
        });
        extend("rate", [] { auto* t = dynamic_cast<Swatch*>(trinketParameter()); t->rate = ints(1)[0]; });  // NAME N
        extend("maxrate", [this] { YSetRESULT(static_cast<long>(window->getMaxUpdateRate())); });
        extend("updates", [] { YSetRESULT(static_cast<long>(dynamic_cast<Swatch*>(trinketParameter())->updates)); });
        extend("suspendevents", [this] { window->twSuspendEvents(); });
        extend("resumeevents", [this] { window->twResumeEventsAndUpdates(); });
        extend("processcursor", [this] { window->twSetProcessCursor(ints(1)[0]); });
        extend("cursor", [this] {  // NAME KIND: a cursor of its own as its grab (KIND grab) or spot cursor; or background
            const std::string name = KvScriptableObject::nextParameter(), kind = KvScriptableObject::nextParameter();
            KvCursor* c = &cursors[kind.empty() ? name : name + " " + kind];
            if (name == "background") return KvTrinket::trSetDefaultBkgdCursor(c, 1);
            kind == "grab" ? trinketNamed(name)->trAssignGrabCursor(c) : trinketNamed(name)->trAssignSpotCursor(c);
        });
        extend("shown", [this] {  // RESULT: "NAME KIND" of the cursor the window shows
            const char* shown = "none";
            for (const auto& [name, c] : cursors)
                if (window->getCanvas()->getCursor() == &c) shown = name.c_str();
            YSetRESULT(shown);
        });
        // NAME POSITION
        extend("topz", [] { KvTrinket* t = trinketParameter(); t->trSetSpecialZ(static_cast<KvTSpecialZPos>(ints(1)[0])); });
        extend("zop", [] { trinketParameter()->trZop(); });
        extend("zbottom", [] { trinketParameter()->trZBottom(); });
        extend("order", [this] {  // RESULT: the swatches' names from bottom to top
            std::string names;
            KvList<KvTrinket>::Cursor walk(window->twGetTrinketList());
            for (KvTrinket* t = walk.first(); t; t = walk.next()) names += std::string(names.empty() ? "" : " ") + YHeap::theHeap.getName(t, nullptr);
            YSetRESULT(names.c_str());
        });
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

    // Logs the links of the named swatch, of the background (with the point), of
    // the window, or the window's event and cursor-move links ("events").
    void listen(const std::string& name) {
        auto logged = [&name](const char* what) {
            return KvFunctionLink([line = name + ":" + what, point = name == "background"](const void* p) {
                const auto* at = static_cast<const KvPoint*>(p);
                note(point ? line + " " + std::to_string(at->x) + " " + std::to_string(at->y) : line);
            });
        };
        if (name == "events") {  // the host's event link and cursor-move link
            const KvFunctionLink event([](const void* p) {
                note("event " + std::to_string(static_cast<const KvTUserEventInfo*>(p)->eventType));
            });
            const KvFunctionLink cursor([](const void* p) {
                const KvPoint at = static_cast<const KvTUserEventInfo*>(p)->point;
                note("cursor " + std::to_string(at.x) + " " + std::to_string(at.y));
            });
            window->twEventSetLink(&event);
            return window->twCursorMoveSetLink(&cursor);
        }
        auto hook = [&logged](auto* target, const auto& links) {
            for (const auto& [what, set] : links) {
                const KvFunctionLink link = logged(what);
                (target->*set)(&link);
            }
        };
        using W = KvTrinketWindow;
        using B = KvTBackground;
        using T = KvTrinket;
        if (name == "window")
            hook(window.get(), std::to_array<std::pair<const char*, void (W::*)(const KvLink*)>>(
                                   {{"down", &W::mouseDownSetLink}, {"up", &W::mouseUpSetLink}, {"dbl", &W::mouseDblClickSetLink}, {"key", &W::keyDownSetLink}}));
        else if (name == "background")
            hook(window->twGetBackground(), std::to_array<std::pair<const char*, void (B::*)(const KvLink*)>>(
                                                {{"down", &B::bkMouseDownSetLink}, {"up", &B::bkMouseUpSetLink},
                                                 {"move", &B::bkMouseMoveSetLink}, {"dbl", &B::bkMouseDblClickSetLink}}));
        else if (KvTrinket* t = trinketNamed(name))
            hook(t, std::to_array<std::pair<const char*, void (T::*)(const KvLink*)>>(
                        {{"down", &T::trMouseDownSetLink}, {"up", &T::trMouseUpSetLink}, {"dbl", &T::trMouseDblClickSetLink},
                         {"on", &T::trFlyOnSetLink}, {"off", &T::trFlyOffSetLink}, {"key", &T::trKeyDownSetLink},
                         {"lost", &T::trLostFocusSetLink}}));
    }

    std::map<std::string, KvCursor> cursors;  // by "NAME KIND"
    fs::path directory, previous;
    int savedDynamicLoad = 1;
};

TEST_P(Golden, ScriptWritesExactlyTheExpectedDebugFile) {
    KvSR record("Swatch", &Swatch::make), other("Patch", &Swatch::make);  // the same trinket under another class
    for (const auto& file : fs::directory_iterator(kGoldenDir)) fs::copy_file(file.path(), directory / file.path().filename());
    const std::string script = GetParam() + ".mps";
    {
        YThread thread(script.c_str());
        ASSERT_TRUE(thread) << script << " does not compile";
        thread.go();
        for (int pass = 0; pass < 3000 && thread && !app->isStopped(); ++pass) app->pass();
        EXPECT_FALSE(thread) << "the script did not end";  // its swatches go with it, before the window
    }
    EXPECT_EQ(fileText("debug.txt"), fileText(kGoldenDir / (GetParam() + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, Golden, ::testing::ValuesIn(caseNames(kGoldenDir, ".expected")), caseName);

}  // namespace
