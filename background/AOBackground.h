// A background whose picture is the first cel of a one-sequence AO file,
// painted once into a memory canvas of the collector's size (restoring
// copies at the same coordinates). A stack of saved areas lets pictures
// stamped into the background be taken out again: each push saves the
// pixels under a rectangle (clipped to the canvas), each pop puts the last
// saved ones back, exactly, and forgets them.
#pragma once

#include "framework/KvCanvas.h"
#include "framework/KvColor.h"
#include "framework/KvIStream.h"
#include "framework/KvList.h"
#include "framework/KvRect.h"
#include "framework/KvRegion.h"
#include "trinket/KvTBackground.h"

// A saved area: its top-left corner in the canvas and a copy of its pixels (owned).
struct AOStampRecord {
    int x = 0;
    int y = 0;
    KvMemCanvas* saved = nullptr;
};

class AOBackground : public KvTBackground {
public:
    static const char* const className;  // "AOBackground"

    // A canvas of rect's size, at the display's depth when the framework can
    // flip (8 bits otherwise), painted from stream, which is consumed.
    AOBackground(const KvRect& rect, KvIStream* stream);
    // Deletes the canvas and every saved area without putting them back.
    ~AOBackground() override;

    // Paints a new picture into the canvas (the stream is consumed); the window
    // is not told (the host calls twRefreshBackground).
    void bkSetRes(KvIStream* stream) override;
    KvMemCanvas* bkGetCanvas() const override { return canvas; }
    // Neither invalidates anything: whoever stamps marks the area dirty.
    void bkPushStampRect(const KvRect& rect) override;
    void bkPopStampRect() override;
    const char* isA() const override { return className; }

    // Saved areas on the stack.
    int stampDepth() const { return stampStack.count(); }

private:
    bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect& changed) override;
    void bkSetPalette(const KvColor* colors) override;

    KvMemCanvas* canvas;
    KvList<AOStampRecord> stampStack;  // the top is first
};
