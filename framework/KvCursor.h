// Mouse cursors. The base cursor is the system pointer shape; trinket cursors
// (drawn by the compositor) derive from it and override the private virtuals,
// which only the framework calls:
//   set(canvas)   the cursor was given to a window canvas (setCursor)
//   unInstall()   it was replaced there, or the canvas went away
//   vActivate()   the window holding it became active
//   vDeactivate() that window stopped being active
//   vHide()/vShow()  pointers were hidden or shown globally (hide()/show())
// Invariants: a cursor sits on at most one window canvas; current is the
// cursor most recently set or activated, or null.
#pragma once

class KvWndCanvas;

class KvCursor {
public:
    KvCursor() = default;
    // The first virtual: slot order is part of the interface, since derived
    // cursors override the private virtuals below.
    virtual ~KvCursor();
    KvCursor(const KvCursor&) = delete;
    KvCursor& operator=(const KvCursor&) = delete;

    // Global pointer-hidden flag. Change it with hide() and show(), which tell
    // the current cursor; writing it directly tells no one.
    static int hidden;

    static KvCursor* getCurrent() { return current; }
    static void hide();
    static void show();
    // Show or hide the system pointer over the active window.
    static void scSetVisible(int visible);

    // The window canvas this cursor is set on, or null.
    KvWndCanvas* getCanvas() const { return canvas; }

private:
    friend class KvWndCanvas;

    virtual void set(KvWndCanvas* onCanvas);
    virtual void unInstall();
    virtual void vActivate();
    virtual void vDeactivate();
    virtual void vHide();
    virtual void vShow();

    static KvCursor* current;
    KvWndCanvas* canvas = nullptr;
};
