// Shared fixtures for the compositor tests: a headless application with one
// trinket window over a white background, a test trinket ("Swatch") that
// paints its box one colour into the collector and records every draw, a
// background that records what it restores, a reference renderer that
// paints the scene from scratch, and helpers to compare it with the screen.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/KvWndCanvas.h"
#include "sob/KvSR.h"
#include "tests/support/CallRecorder.h"
#include "tests/support/WindowFixture.h"
#include "trinket/KvTBackground.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

inline constexpr KvColor kWhite(0xFFFF, 0xFFFF, 0xFFFF);
inline constexpr KvColor kRed = KvColor::fromBytes(255, 0, 0);
inline constexpr KvColor kGreen = KvColor::fromBytes(0, 255, 0);
inline constexpr KvColor kBlue = KvColor::fromBytes(0, 0, 255);
inline constexpr KvColor kYellow = KvColor::fromBytes(255, 255, 0);
inline constexpr KvColor kCyan = KvColor::fromBytes(0, 255, 255);
inline constexpr KvColor kMagenta = KvColor::fromBytes(255, 0, 255);

// Paints its box in one colour. Records each draw and the clip it was drawn under.
class Swatch : public KvTrinket {
public:
    Swatch(KvTrinketWindow* w, const KvRect& r, const KvColor& c,
           KvTrinketClippingSupport support = kTrClipRegion)
        : KvTrinket(w, support), color(c) {
        trSetRect(r);
    }
    Swatch(const Swatch& o) : KvTrinket(o), color(o.color) {}

    // Factory for class registration, on the current window: from the
    // parameters left, top, right, bottom and a colour name ("green", "blue",
    // "yellow", else red), or 10 x 10 red at (0, 0) without them.
    static KvScriptableObject* make() {
        std::vector<std::string> words;
        for (int i = KvScriptableObject::countParameters(); i > 0; --i) words.emplace_back(KvScriptableObject::nextParameter());
        if (words.size() < 5) words = {"0", "0", "10", "10", "red"};
        const KvColor c = words[4] == "green" ? kGreen : words[4] == "blue" ? kBlue : words[4] == "yellow" ? kYellow : kRed;
        return new Swatch(KvTrinketWindow::currentWindow,
                          KvRect(std::stoi(words[0]), std::stoi(words[1]), std::stoi(words[2]), std::stoi(words[3])), c);
    }

    KvScriptableObject* copy() const override {
        auto* twin = new Swatch(*this);
        sobClone(twin);
        return twin;
    }
    int trGetUpdateRate() const override { return rate; }
    void trUpdate() override {
        ++updates;
        if (onUpdate) onUpdate(*this);
    }
    void trDraw() const override {
        KvCanvas* c = trGetCollector();
        ++draws;
        lastClip = c->clip ? *c->clip : KvRegion();
        lastClipped = c->clip != nullptr;
        c->fill = true;
        c->outline = false;
        c->fillColor = color;
        c->draw(box());
    }

    // The property table, in order.
    std::string propertyNames() const {
        std::string names;
        KvList<KvScriptableObjectProperty>::Cursor c(*properties);
        for (KvScriptableObjectProperty* p = c.first(); p; p = c.next()) names += std::string(names.empty() ? "" : " ") + p->getName();
        return names;
    }

    // Field access for tests.
    int track() const { return trackState; }

    KvColor color;
    std::function<void(Swatch&)> onUpdate;
    int updates = 0;
    int rate = 1;  // the update rate it asks for (a trinket's default)
    mutable int draws = 0;
    mutable KvRegion lastClip;
    mutable bool lastClipped = false;
};

// The white background, recording every restore.
class RecordingBackground : public KvTBackground {
public:
    int restores = 0;  // calls with something to restore
    KvRegion restored;

private:
    bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect&) override {
        if (region.isNull()) return false;
        ++restores;
        restored += region;
        target->fill = true;
        target->outline = false;
        target->fillColor = kWhite;
        target->draw(region);
        return false;
    }
};

// The window at 16 bits over a recording white background.
class TrinketTest : public WindowTest {
protected:
    // Makes the window; background defaults to a recording white one.
    KvTrinketWindow* open(int collectorW = -1, int collectorH = -1, int flip = 0,
                          KvTBackground* bg = nullptr, int depth = 16) {
        if (!bg) bg = recorder = new RecordingBackground;
        openWindow(bg, depth, collectorW, collectorH, flip);
        // The last mouse point is library-wide: start each test with the
        // pointer at (0, 0), where the headless pointer is.
        window->twDoMouseMove(KvPoint(0, 0));
        return window.get();
    }
    Swatch* add(const KvRect& r, const KvColor& c, KvTrinketClippingSupport s = kTrClipRegion) {
        return new Swatch(window.get(), r, c, s);
    }

    // The scene painted from scratch: white, then every shown trinket bottom to top.
    std::unique_ptr<KvMemCanvas> reference() const {
        KvCanvas* col = window->twGetCollector();
        auto ref = std::make_unique<KvMemCanvas>(col->getWidth(), col->getHeight(),
                                                 col->getFormat() == kKvFormat555 ? 15 : col->getDepth());
        ref->fill = true;
        ref->outline = false;
        ref->fillColor = kWhite;
        ref->draw(ref->getBounds());
        KvList<KvTrinket>::Cursor walk(window->twGetTrinketList());
        for (KvTrinket* t = walk.first(); t; t = walk.next()) {
            if (!t->trGetVisible() || t->trGetZ() < window->twGetZDepth()) continue;
            ref->fillColor = static_cast<Swatch*>(t)->color;
            ref->draw(t->box());
        }
        return ref;
    }

    // The screen shows the reference wherever the window looks at the collector.
    ::testing::AssertionResult screenShowsScene() const {
        const auto ref = reference();
        const KvCanvas& shown = screen()->display();
        if (!shown.isValid()) return ::testing::AssertionFailure() << "nothing presented";
        const int ox = window->twGetBlitOffsetX(), oy = window->twGetBlitOffsetY();
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t want = ref->getPixel(x + ox, y + oy);
                if (shown.getPixel(x, y) != want)
                    return ::testing::AssertionFailure()
                           << "screen (" << x << ", " << y << ") is " << shown.getPixel(x, y)
                           << ", a full redraw gives " << want;
            }
        return ::testing::AssertionSuccess();
    }

    // Input as a user makes it, each followed by one main-loop pass.
    void press(int x, int y) { backend.mouseDown({x, y}); tick(); }
    void release(int x, int y) { backend.mouseUp({x, y}); tick(); }
    void moveTo(int x, int y) { backend.mouseMove({x, y}); tick(); }

    // As a host does: c over the background and over every trinket (null: none).
    static void installCursor(const KvCursor* c) {
        KvTrinket::trSetDefaultSpotCursor(c);
        KvTrinket::trSetDefaultGrabCursor(c);
        KvTrinket::trSetDefaultBkgdCursor(c, c != nullptr);
    }

    // Whether the screen pixel at (x, y) is colour c (as the screen's format stores it).
    bool shows(int x, int y, const KvColor& c) const {
        const KvCanvas& shown = screen()->display();
        return shown.isValid() && shown.getPixel(x, y) == shown.mapColor(c);
    }

    RecordingBackground* recorder = nullptr;  // owned by the window
};
