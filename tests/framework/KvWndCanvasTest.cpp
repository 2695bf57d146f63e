// Window canvases: what reaches the headless screen, and page flipping.
#include <gtest/gtest.h>

#include "tests/support/WindowFixture.h"
#include "framework/KvWindow.h"
#include "framework/KvWndCanvas.h"

using Screen = HeadlessTest;

TEST_F(Screen, PixelsWrittenIntoTheWindowCanvasArePresented) {
    KvWindow w(KvRect(0, 0, 16, 8));
    KvWndCanvas* c = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    EXPECT_FALSE(hw->display().isValid());  // nothing shown yet
    c->setPixel(3, 2, 0x7C00);
    EXPECT_EQ(hw->getPresentCount(), 1);
    EXPECT_EQ(hw->getLastPresentArea(), KvRect(3, 2, 4, 3));
    EXPECT_EQ(hw->screenPixel(3, 2), 0x7C00u);
    EXPECT_EQ(hw->screenPixel(4, 2), 0u);
    c->setPixel(99, 99, 1);  // outside: no write, no present
    EXPECT_EQ(hw->getPresentCount(), 1);
    c->setPixel(5, 5, 0x03E0);  // a later present leaves the rest of the screen alone
    EXPECT_EQ(hw->screenPixel(3, 2), 0x7C00u);
}

TEST_F(Screen, DirectMemoryWritesShowOnlyWhenPresented) {
    KvWindow w(KvRect(0, 0, 8, 4));
    KvWndCanvas* c = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    unsigned char* bits = nullptr;
    int pitch = 0;
    ASSERT_TRUE(c->getPointerToMemory(&bits, &pitch));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) reinterpret_cast<uint16_t*>(bits + y * pitch)[x] = 0x1234;
    c->releasePointerToMemory();
    EXPECT_EQ(hw->getPresentCount(), 0);
    c->present(KvRect(2, 1, 4, 3));
    EXPECT_EQ(hw->screenPixel(2, 1), 0x1234u);
    EXPECT_EQ(hw->screenPixel(3, 2), 0x1234u);
    EXPECT_EQ(hw->screenPixel(1, 1), 0u);
    EXPECT_EQ(hw->screenPixel(4, 2), 0u);
    c->present(KvRect(-10, -10, -1, -1));  // nothing of the canvas: not presented
    EXPECT_EQ(hw->getPresentCount(), 1);
    c->present(KvRect(-5, -5, 100, 100));  // clipped to the canvas
    EXPECT_EQ(hw->getLastPresentArea(), KvRect(0, 0, 8, 4));
    EXPECT_EQ(hw->screenPixel(0, 0), 0x1234u);
}

TEST_F(Screen, PaletteChangesOfAnIndexedScreenArePresented) {
    backend.setDisplayDepth(8);
    KvWindow w(KvRect(0, 0, 4, 4));
    KvHeadlessWindow* hw = backend.windowOf(&w);
    KvColor pal[256];
    pal[0] = KvColor::fromBytes(10, 20, 30);
    w.getCanvas()->setPalette(pal, true);
    EXPECT_EQ(hw->getPresentCount(), 1);
    EXPECT_EQ(hw->screenColor(2, 2), KvColor::fromBytes(10, 20, 30));
}

TEST_F(Screen, AttachToFlipChainNeedsAMatchingBackBuffer) {
    KvWindow w(KvRect(0, 0, 32, 16));
    KvWndCanvas* c = w.getCanvas();
    KvMemCanvas wrongSize(32, 15, 16, 2), wrongDepth(32, 16, 32, 2), wrongFormat(32, 16, 15, 2),
        bottomUp(32, 16, 16, 2, true), good(32, 16, 16, 2), other(32, 16, 16, 2);
    for (KvCanvas* bad : std::initializer_list<KvCanvas*>{nullptr, c, &wrongSize, &wrongDepth, &wrongFormat, &bottomUp})
        EXPECT_EQ(c->attachToFlipChain(bad), 0);
    EXPECT_EQ(c->flip(), 0);  // no back buffer
    EXPECT_EQ(c->attachToFlipChain(&good), 1);
    EXPECT_EQ(c->attachToFlipChain(&good), 1);
    EXPECT_EQ(c->attachToFlipChain(&other), 0);  // one back buffer at a time
    EXPECT_EQ(c->getBackBuffer(), &good);
    EXPECT_EQ(c->detachFromFlipChain(&other), 0);
    EXPECT_EQ(c->detachFromFlipChain(&good), 1);
    EXPECT_EQ(c->getBackBuffer(), nullptr);
    EXPECT_EQ(c->attachToFlipChain(&other), 1);
    c->detachFromFlipChain(&other);
}

TEST_F(Screen, FlipShowsTheBackAndHandsTheOldFrontToTheBackBuffer) {
    KvWindow w(KvRect(0, 0, 8, 8));
    KvWndCanvas* front = w.getCanvas();
    KvHeadlessWindow* hw = backend.windowOf(&w);
    KvMemCanvas back(8, 8, 16, 2);
    ASSERT_EQ(front->attachToFlipChain(&back), 1);
    front->setPixel(1, 1, 0x1111);  // the picture on screen now
    back.setPixel(6, 6, 0x2222);    // the next picture, drawn off screen
    EXPECT_EQ(hw->screenPixel(6, 6), 0u);
    hw->resetPresentCount();

    EXPECT_EQ(front->flip(), 1);
    EXPECT_EQ(hw->getPresentCount(), 1);
    EXPECT_EQ(hw->getLastPresentArea(), KvRect(0, 0, 8, 8));
    EXPECT_EQ(hw->screenPixel(6, 6), 0x2222u);
    EXPECT_EQ(hw->screenPixel(1, 1), 0u);
    EXPECT_EQ(front->getPixel(6, 6), 0x2222u);
    EXPECT_EQ(back.getPixel(1, 1), 0x1111u);  // the old front
    EXPECT_EQ(back.getPixel(6, 6), 0u);

    back.setPixel(2, 2, 0x3333);  // drawing continues into the back canvas object
    EXPECT_EQ(front->flip(), 1);
    EXPECT_EQ(hw->screenPixel(2, 2), 0x3333u);
    EXPECT_EQ(hw->screenPixel(1, 1), 0x1111u);
    EXPECT_EQ(back.getPixel(6, 6), 0x2222u);
    front->detachFromFlipChain(&back);
}

TEST_F(Screen, CanvasFollowsTheDisplayDepthAtOpening) {
    const std::pair<int, unsigned short> cases[] = {
        {8, kKvFormatIndexed}, {15, kKvFormat555}, {16, kKvFormat565}, {24, kKvFormat888}, {32, kKvFormat8888}};
    for (const auto& [depth, format] : cases) {
        backend.setDisplayDepth(depth);
        KvWindow w(KvRect(0, 0, 3, 3));
        EXPECT_EQ(w.getCanvas()->getFormat(), format) << depth;
        w.getCanvas()->setPixel(2, 2, 0xAB);
        EXPECT_EQ(backend.windowOf(&w)->screenPixel(2, 2), 0xABu) << depth;
    }
}
