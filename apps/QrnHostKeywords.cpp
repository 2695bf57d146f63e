// The background, cursor, corral and thread keywords of the title host.
#include "apps/QrnHostKeywords.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "anim/KvAnimation.h"
#include "background/AOBackground.h"
#include "background/Background16.h"
#include "cursor/KvAnimCursor.h"
#include "framework/KvIStream.h"
#include "framework/KvLink.h"
#include "framework/KvWndCanvas.h"
#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "sob/KvScriptableObject.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

namespace {

// A whole number in [min, max], or false.
bool wholeNumber(const char* text, long min, long max, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text && end && !*end && value >= min && value <= max;
}

// Resource numbers of AO files are 16-bit; hot spots lie within a canvas.
constexpr long kMaxResource = 32767;

}  // namespace

QrnHostKeywords::QrnHostKeywords(const std::string& scriptPath, const char* command, Opener openFile,
                                 Opener openAnimation)
    : folder(std::filesystem::path(scriptPath).parent_path().string()),
      command(command),
      openFile(openFile),
      openAnimation(openAnimation) {
    const KvFunctionLink backgroundLink([this](const void*) { background(); });
    const KvFunctionLink cursorLink([this](const void*) { cursor(); });
    YExtend("background", &backgroundLink);
    YExtend("cursor", &cursorLink);
    const KvFunctionLink corralLink([this](const void*) { corral(); });
    YExtend("corral", &corralLink);
    const KvFunctionLink threadLink([this](const void*) { thread(); });
    YExtend("thread", &threadLink);
}

QrnHostKeywords::~QrnHostKeywords() {
    YExtend("background", nullptr);
    YExtend("cursor", nullptr);
    YExtend("corral", nullptr);
    YExtend("thread", nullptr);
    // Their objects may show the cursor: they go before it.
    threads.clear();
    if (KvWindow::isOpen(window)) install(nullptr);
    // The defaults must not name a deleted cursor, whatever became of the window.
    KvTrinket::trSetDefaultSpotCursor(nullptr);
    KvTrinket::trSetDefaultGrabCursor(nullptr);
    KvTrinket::trSetDefaultBkgdCursor(nullptr, 0);
    delete animCursor;
}

void QrnHostKeywords::background() {
    const std::string name = KvScriptableObject::nextParameter();
    KvTrinketWindow* w = KvTrinketWindow::currentWindow;
    KvIStream* stream = w ? openFile(std::filesystem::path(folder) / name) : nullptr;
    if (!stream) {
        std::fprintf(stderr, "%s: background %s: %s\n", command, name.c_str(),
                     w ? "cannot read the file" : "no window");
        delete stream;
        YSetRESULT("");
        return;
    }
    const KvRect area = w->twGetCollector()->getBounds();
    KvTBackground* b = nullptr;
    if (Background16::holdsImage(stream)) {
        b = new Background16(area, stream);
    } else {
        // The picture is painted by an animation of the file, so that its
        // colours come through the animation's own colour table.
        auto* aob = new AOBackground(area, nullptr);
        const int createVisible = KvTrinket::getCreateVisible();
        KvTrinket::setCreateVisible(0);
        KvAnimation* picture = new KvAnimation(stream, 0, 0, w);
        KvTrinket::setCreateVisible(createVisible);
        picture->paint(0, 0, aob->bkGetCanvas());
        delete picture;
        b = aob;
    }
    w->twSetBackground(b);
    YSetRESULT(b->isA());
}

void QrnHostKeywords::cursor() {
    const std::string number = KvScriptableObject::nextParameter();
    const std::string hotX = KvScriptableObject::nextParameter();
    const std::string hotY = KvScriptableObject::nextParameter();
    KvTrinketWindow* w = KvTrinketWindow::currentWindow;
    long n = 0, x = 0, y = 0;
    const bool numbers = wholeNumber(number.c_str(), 0, kMaxResource, n) &&
                         (hotX.empty() || wholeNumber(hotX.c_str(), -kKvMaxCanvasSide, kKvMaxCanvasSide, x)) &&
                         (hotY.empty() || wholeNumber(hotY.c_str(), -kKvMaxCanvasSide, kKvMaxCanvasSide, y));
    KvIStream* stream = numbers && w ? openAnimation(std::filesystem::path(folder) / "ao" / (number + ".ao")) : nullptr;
    if (!stream) {
        std::fprintf(stderr, "%s: cursor %s: %s\n", command, number.c_str(),
                     !w ? "no window" : !numbers ? "not a number" : "cannot read the file");
        delete stream;
        YSetRESULT(0L);
        return;
    }
    if (KvWindow::isOpen(window) && window != w) install(nullptr);  // the old one belongs elsewhere
    KvAnimCursor* old = animCursor;
    window = w;
    animCursor = new KvAnimCursor(stream, w);
    animCursor->setHotSpot(KvPoint(static_cast<int>(x), static_cast<int>(y)));
    install(animCursor);
    delete old;
    YSetRESULT(1L);
}

void QrnHostKeywords::corral() {
    const std::string name = KvScriptableObject::nextParameter();
    long v[6] = {};
    int given = 0;
    bool whole = true;
    for (long& value : v) {
        const std::string text = KvScriptableObject::nextParameter();
        if (text.empty()) break;
        whole = whole && wholeNumber(text.c_str(), -kKvMaxCanvasSide, kKvMaxCanvasSide, value);
        ++given;
    }
    YHeap& heap = YHeap::get();
    const int index = heap.index(name.c_str(), static_cast<int>(name.size()));
    KvScriptableObject* object = nullptr;
    if (index >= 0) heap[index]->value(object);
    auto* trinket = dynamic_cast<KvTrinket*>(object);
    const bool counted = (given == 4 || given == 6) && KvScriptableObject::nextParameter()[0] == '\0';
    if (!trinket || !whole || !counted || (given == 6 && (v[4] < 0 || v[5] < 0))) {
        std::fprintf(stderr, "%s: corral %s: %s\n", command, name.c_str(),
                     !trinket ? "no trinket of that name" : "give L T R B and perhaps DX DY, whole numbers");
        YSetRESULT(0L);
        return;
    }
    const int left = static_cast<int>(v[0]), top = static_cast<int>(v[1]);
    trinket->trSetCorral(KvRect(left, top, static_cast<int>(v[2]), static_cast<int>(v[3])));
    trinket->trSetSnapGrid(static_cast<int>(v[4]), static_cast<int>(v[5]), left, top);
    YSetRESULT(1L);
}

void QrnHostKeywords::thread() {
    const std::string name = KvScriptableObject::nextParameter();
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    // A thread given a file it cannot read, or may not, would end the process.
    const std::unique_ptr<KvIStream> readable(threads.size() < kQrnMaxThreads ? openFile(path) : nullptr);
    const char* why = threads.size() >= kQrnMaxThreads ? "too many threads"
                      : !readable                      ? "cannot read the file"
                                                       : nullptr;
    std::unique_ptr<YThread> t;
    if (!why) {
        t = std::make_unique<YThread>(path.string().c_str());
        if (!*t) why = "does not compile";
    }
    if (why) {
        std::fprintf(stderr, "%s: thread %s: %s\n", command, name.c_str(), why);
        YSetRESULT(0L);
        return;
    }
    t->go();
    threads.push_back(std::move(t));
    YSetRESULT(1L);
}

void QrnHostKeywords::install(KvAnimCursor* c) {
    const KvCursor* previous = KvTrinket::trGetDefaultBkgdCursor();
    KvList<KvTrinket>::Cursor walk(window->twGetTrinketList());
    for (KvTrinket* t = walk.first(); t; t = walk.next()) {
        if (!t->trGetSpotCursor() || t->trGetSpotCursor() == previous) t->trAssignSpotCursor(c);
        if (!t->trGetGrabCursor() || t->trGetGrabCursor() == previous) t->trAssignGrabCursor(c);
    }
    KvTrinket::trSetDefaultSpotCursor(c);
    KvTrinket::trSetDefaultGrabCursor(c);
    KvTrinket::trSetDefaultBkgdCursor(c, 1);
}
