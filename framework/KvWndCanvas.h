// The screen canvas of a window: the window's size at the display depth,
// top-down. Whatever is written into it through the canvas's own operations
// (setPixel, blt, bltScale, draw, a palette change) is presented on the
// screen at once, through the changed() hook; code that writes the memory
// directly calls present() itself.
//
// Flip chain: one back buffer of the same size and format may be attached.
// flip() exchanges the two canvases' stores, so the back canvas object keeps
// being the one drawn into while the finished picture becomes the front, and
// presents the whole window. The back buffer must be detached before it is
// destroyed.
//
// The window canvas holds at most one cursor (setCursor); see KvCursor for
// the calls a cursor receives.
#pragma once

#include "framework/KvCanvas.h"
#include "framework/KvEvent.h"

class KvCursor;
class KvWindow;

class KvWndCanvas : public KvCanvas {
public:
    explicit KvWndCanvas(KvWindow* window);
    ~KvWndCanvas() override;

    KvWindow* getWindow() const { return window; }

    // Install c (null removes the cursor): unInstall() on the previous cursor,
    // then c becomes current and gets set(this). Setting the cursor already
    // installed only makes it current again.
    void setCursor(const KvCursor* c);
    KvCursor* getCursor() const { return cursor; }

    // 1 when back (same size, format and row order) became the back buffer,
    // or already was; 0 when it cannot be, another one is attached, or the
    // backend cannot flip.
    int attachToFlipChain(KvCanvas* back);
    // 1 when back was the back buffer and is now detached.
    int detachFromFlipChain(KvCanvas* back);
    KvCanvas* getBackBuffer() const { return backBuffer; }
    // Exchange front and back and present the window. 0 without a back buffer.
    int flip();

    // Show area (canvas coordinates, clipped to the canvas) on the screen now.
    void present(const KvRect& area);
    void present() { present(getBounds()); }

protected:
    void changed(const KvRect& area) override { present(area); }
    void paletteChanged() override { present(); }

private:
    friend class KvCursor;
    friend void KvEventDispatch(KvWindow* target, const KvEventRecord& e);

    void forgetCursor(const KvCursor* c);
    void windowActivated();
    void windowDeactivated();

    KvWindow* window;
    KvCursor* cursor = nullptr;
    KvCanvas* backBuffer = nullptr;
};
