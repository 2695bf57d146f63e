// A framework window: a rectangle on the display, its screen canvas
// (KvWndCanvas) and a backend window that shows it and supplies input.
// Input arrives through the event virtuals, called by KvEventDispatch. Each
// event has one link (a clone, owned by the window); the base virtual calls
// it with its stored argument, so a subclass that overrides a virtual can
// still reach the host's link by calling the base.
//
// activeWindow is the window that is active now: the first window opened,
// then whichever was activated last; null after it was deactivated or closed.
#pragma once

#include "framework/KvEvent.h"
#include "framework/KvLink.h"
#include "framework/KvList.h"
#include "framework/KvRect.h"

class KvBackendWindow;
class KvWndCanvas;

// Passed on to the backend; the headless backend ignores it.
using KvWindowStyle = int;

// rectType of the constructor: what the rectangle describes. Without window
// frames (headless) both mean the drawable area.
constexpr int kKvRectIsFrame = 0;
constexpr int kKvRectIsClient = 1;

class KvWindow {
public:
    static KvWindow* activeWindow;

    // The canvas is rect's size at the display depth.
    KvWindow(const KvRect& rect, KvWindowStyle style = 0, int rectType = kKvRectIsClient);
    virtual ~KvWindow();
    KvWindow(const KvWindow&) = delete;
    KvWindow& operator=(const KvWindow&) = delete;

    // Event virtuals, in the framework's slot order. draw's argument is a
    // const KvRect* (window coordinates) or null for the whole window.
    virtual void activated();
    virtual void close();
    virtual void deactivated();
    virtual void draw(const void* area);
    virtual void keyDown();
    virtual void keyUp();
    virtual void maximized();
    virtual void minimized();
    virtual void mouseDblClick();
    virtual void mouseDown();
    virtual void mouseMove();
    virtual void mouseUp();
    virtual void moved();
    virtual void restored();
    virtual void sized();

    // Event links: a clone of link is stored (null clears), the old one deleted.
    void setLink(KvEventType event, const KvLink* link);
    KvLink* getLink(KvEventType event) const;
    void activatedSetLink(const KvLink* l) { setLink(KvEventType::activated, l); }
    void closeSetLink(const KvLink* l) { setLink(KvEventType::close, l); }
    void deactivatedSetLink(const KvLink* l) { setLink(KvEventType::deactivated, l); }
    void drawSetLink(const KvLink* l) { setLink(KvEventType::draw, l); }
    void keyDownSetLink(const KvLink* l) { setLink(KvEventType::keyDown, l); }
    void keyUpSetLink(const KvLink* l) { setLink(KvEventType::keyUp, l); }
    void maximizedSetLink(const KvLink* l) { setLink(KvEventType::maximized, l); }
    void minimizedSetLink(const KvLink* l) { setLink(KvEventType::minimized, l); }
    void mouseDblClickSetLink(const KvLink* l) { setLink(KvEventType::mouseDblClick, l); }
    void mouseDownSetLink(const KvLink* l) { setLink(KvEventType::mouseDown, l); }
    void mouseMoveSetLink(const KvLink* l) { setLink(KvEventType::mouseMove, l); }
    void mouseUpSetLink(const KvLink* l) { setLink(KvEventType::mouseUp, l); }
    void movedSetLink(const KvLink* l) { setLink(KvEventType::moved, l); }
    void restoredSetLink(const KvLink* l) { setLink(KvEventType::restored, l); }
    void sizedSetLink(const KvLink* l) { setLink(KvEventType::sized, l); }

    // The window rectangle as given (or as last moved or sized by the platform).
    KvRect getRect() const { return rect; }
    int getRectType() const { return rectType; }
    KvWindowStyle getStyle() const { return style; }
    // Pointer position in window coordinates, through the installed mouse
    // transform; also stored in *out when out is non-null.
    KvPoint getMouse(KvPoint* out = nullptr) const;
    KvWndCanvas* getCanvas() const { return canvas; }
    // The backend's half; null when the backend could not open a window.
    KvBackendWindow* getBackendWindow() const { return backendWindow; }
    void setTitle(const char* title);

    // Whether w is a window that has been constructed and not yet destroyed.
    static bool isOpen(const KvWindow* w);

private:
    friend void KvEventDispatch(KvWindow* target, const KvEventRecord& e);
    void callLink(KvEventType event) const;

    static KvList<KvWindow> openWindows;

    KvRect rect;
    KvWindowStyle style;
    int rectType;
    KvBackendWindow* backendWindow = nullptr;
    KvWndCanvas* canvas = nullptr;
    KvLink* links[kKvEventTypeCount] = {};
};
