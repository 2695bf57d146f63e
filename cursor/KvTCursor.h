// A mouse pointer drawn by the compositor: both a framework cursor (given to
// a window canvas with setCursor) and a trinket that follows the pointer
// above every other trinket. Abstract: a concrete cursor draws the picture.
//
// Invariants: the trinket is never touchy nor movable, sits at the top
// special z (32767), and is never held back by its corral; the corral (the
// collector's rectangle by default) is where the trinket pointer shows.
// Exactly one of the trinket pointer and the system pointer is visible,
// unless pointers are hidden altogether (KvCursor::hidden): then neither.
// The picture's top-left corner is the pointer position minus the hot spot.
#pragma once

#include "framework/KvCursor.h"
#include "framework/KvRect.h"
#include "trinket/KvTrinket.h"
#include "trinket/KvTrinketWindow.h"

class KvTCursor : public KvTrinket, public KvCursor {
public:
    // On window; the default constructor uses KvTrinketWindow::currentWindow.
    explicit KvTCursor(KvTrinketWindow* window);
    KvTCursor();
    // Takes the cursor off its canvas when it is the current cursor, and
    // forgets the window's cursor-move link when it calls this cursor.
    ~KvTCursor() override;

    // Cursors are not copied.
    KvScriptableObject* copy() const override { return nullptr; }

    // Moves the picture up and left by the whole of p (not by the change from
    // the old hot spot): a second call moves it again.
    void setHotSpot(const KvPoint& p);
    const KvPoint& getHotSpot() const { return hotSpot; }

protected:
    // The window's cursor-move link is the one this cursor installed.
    bool ownsMoveLink() const;

private:
    // Shows the pointer at p (collector coordinates): across the corral's edge,
    // or when forced, the trinket and system pointers trade places; the
    // picture then moves so that its hot spot lies on p.
    virtual void display(const KvPoint& p, int force);
    // The window's cursor-move link: info is its KvTUserEventInfo.
    virtual void mouseMoveHandler(const void* info);

    // ---- the framework's cursor calls ----
    void set(KvWndCanvas* canvas) override;
    void unInstall() override;
    void vActivate() override;
    void vDeactivate() override;
    void vHide() override;
    void vShow() override;

    // The pointer position the cursor shows now.
    int x() const { return trGetX() + hotSpot.x; }
    int y() const { return trGetY() + hotSpot.y; }
    bool in(const KvPoint& p) const;
    bool imCurrent() const { return KvCursor::getCurrent() == this; }
    void setVisible(int v);

    KvPoint hotSpot;
};
