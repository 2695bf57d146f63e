// What a trinket window paints under its trinkets. The window owns one
// background (or none): it asks it to restore regions of the collector,
// hands it the palette, and gives it the mouse events no trinket takes.
// The base paints white. Derived backgrounds keep the virtuals' slot order:
// destructor, bkSetRes, bkGetCanvas, bkPushStampRect, bkPopStampRect, isA,
// bkRestore, bkSetPalette.
#pragma once

#include "framework/KvCanvas.h"
#include "framework/KvColor.h"
#include "framework/KvIStream.h"
#include "framework/KvLink.h"
#include "framework/KvRect.h"
#include "framework/KvRegion.h"

class KvTrinketWindow;

class KvTBackground {
public:
    KvTBackground();
    virtual ~KvTBackground();
    KvTBackground(const KvTBackground&) = delete;
    KvTBackground& operator=(const KvTBackground&) = delete;

    // Loads a new picture from stream; the base ignores it.
    virtual void bkSetRes(KvIStream* stream);
    // The canvas that holds the picture (stamping draws into it); the base has none.
    virtual KvMemCanvas* bkGetCanvas() const;
    // Save the picture under rect before something is stamped there, and put
    // the last saved area back (a stack). The base keeps no picture.
    virtual void bkPushStampRect(const KvRect& rect);
    virtual void bkPopStampRect();
    virtual const char* isA() const;

    // Links called with a const KvPoint* (collector coordinates) when a mouse
    // event reaches the background; each stores a clone, null clears.
    void bkMouseDownSetLink(const KvLink* l) { KvLink::assign(mouseDownLink, l); }
    void bkMouseUpSetLink(const KvLink* l) { KvLink::assign(mouseUpLink, l); }
    void bkMouseMoveSetLink(const KvLink* l) { KvLink::assign(mouseMoveLink, l); }
    void bkMouseDblClickSetLink(const KvLink* l) { KvLink::assign(mouseDblClickLink, l); }
    KvLink* bkMouseDownGetLink() const { return mouseDownLink; }
    KvLink* bkMouseUpGetLink() const { return mouseUpLink; }
    KvLink* bkMouseMoveGetLink() const { return mouseMoveLink; }
    KvLink* bkMouseDblClickGetLink() const { return mouseDblClickLink; }
    // The same bits as a trinket's link mask: 0x1 down, 0x2 up, 0x4 move, 0x8 double click.
    void bkSuspendLinks(long bits) { linkMask |= bits; }
    void bkResumeLinks(long bits) { linkMask &= ~bits; }
    long bkGetLinkMask() const { return linkMask; }

    void setXOffset(int x) { xOffset = x; }
    void setYOffset(int y) { yOffset = y; }
    void setXYOffset(int x, int y) { xOffset = x, yOffset = y; }
    int getXOffset() const { return xOffset; }
    int getYOffset() const { return yOffset; }

private:
    friend class KvTrinketWindow;

    // Redraw the picture into target wherever region says. changed comes in
    // as KvRect::zero; return true when more than region was drawn, with
    // changed holding the rectangle drawn, false otherwise.
    virtual bool bkRestore(KvCanvas* target, const KvRegion& region, KvRect& changed);
    // The window's 256-colour palette changed.
    virtual void bkSetPalette(const KvColor* colors);

protected:
    KvLink* mouseDownLink;
    KvLink* mouseUpLink;
    KvLink* mouseMoveLink;
    KvLink* mouseDblClickLink;
    long linkMask;
    int xOffset, yOffset;
};
