// A trinket cursor whose picture is an animation (ao), which keeps playing
// while the cursor is in use. The cursor's own trinket is taken out of the
// window's list, so it is never drawn or hit: geometry, visibility and
// invalidation are forwarded to ao, which is in the list, at the top.
//
// Ownership: the host owns the cursor, the cursor owns ao. The window
// deletes ao with its other trinkets when it is destroyed; ao then tells the
// cursor, which lets go of the window and stays inert (it draws and follows
// nothing) until the host deletes it. Deleting the cursor first deletes ao
// and takes the cursor off its canvas.
#pragma once

#include "anim/KvAnimation.h"
#include "cursor/KvTCursor.h"

class KvAnimCursor : public KvTCursor {
public:
    // ao is built from stream (which it owns) on window, hidden, not touchy,
    // not movable, at the top special z, never held back by its corral, and
    // playing.
    KvAnimCursor(KvIStream* stream, KvTrinketWindow* window);
    ~KvAnimCursor() override;

    // Null once the window has deleted it.
    KvAnimation* getAO() const { return ao; }

    // ---- forwarded to ao ----
    const KvRect& box() const override;
    void trSetRect(int l, int t, int r, int b) override;
    void trSetRect(const KvRect& r) override;
    void trOffset(int& dx, int& dy) override;
    void trSetXY(int x, int y) override;
    void trSetVisible(int v) override;
    int trGetVisible() const override;
    void trInvalidate(const KvRegion& region) override;
    void trInvalidate() override;
    void trMakeAllDirty() override;
    // ao draws; the cursor's own trinket is not in the list.
    void trDraw() const override {}

    virtual void trSetCorralNormalization(int n);
    virtual int trGetCorralNormalization() const;

protected:
    void init(KvIStream* stream);

private:
    class Picture;
    // ao is being deleted by someone else (the window).
    void pictureGone();

    KvAnimation* ao;
};
