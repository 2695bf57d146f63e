// Event delivery. A backend turns platform input into KvEventRecords and hands
// each to KvEventDispatch, which keeps the framework's own state (the active
// window, the current cursor, the event being delivered) and then calls the
// window's event virtual. While a virtual runs, KvEventGetMouse and
// KvEventGetKey describe the event being delivered; outside of one, they
// describe the last mouse and key event delivered.
//
// Every mouse position the framework reports (KvEventGetMouse and
// KvWindow::getMouse) passes through the transform installed with
// KvEventSetXFormMouseFct; backends always supply window coordinates.
#pragma once

#include "framework/KvRect.h"

class KvWindow;

// In the order of KvWindow's event virtuals.
enum class KvEventType {
    activated,
    close,
    deactivated,
    draw,
    keyDown,
    keyUp,
    maximized,
    minimized,
    mouseDblClick,
    mouseDown,
    mouseMove,
    mouseUp,
    moved,
    restored,
    sized,
};
constexpr int kKvEventTypeCount = static_cast<int>(KvEventType::sized) + 1;

struct KvEventRecord {
    KvEventType type = KvEventType::draw;
    KvPoint mouse;                // mouse events: pointer position, window coordinates
    int key = 0;                  // key events: the key code
    KvRect area = KvRect::zero;   // draw: the area to repaint (zero: all);
                                  // moved, sized: the window's new rectangle
};

using KvXFormMouseFct = void (*)(KvPoint&);

// Pointer position of the mouse event being delivered, transformed.
KvPoint KvEventGetMouse();
// Key code of the key event being delivered.
int KvEventGetKey();
// Install the mouse transform; null removes it.
void KvEventSetXFormMouseFct(KvXFormMouseFct fct);
KvXFormMouseFct KvEventGetXFormMouseFct();
// p passed through the installed transform.
KvPoint KvEventTransformMouse(KvPoint p);

// Watches, and may filter, the input that backends deliver: called by
// KvEventDispatch for every record a backend hands it (not for the
// deactivation an activation makes itself), before anything else happens.
// Returning false drops the record. A recorder writes records down here; a
// replayer drops live input while it delivers what was recorded.
using KvEventTap = bool (*)(void* user, KvWindow* target, const KvEventRecord& e);
// Install tap (null removes it); there is one tap at a time.
void KvEventSetTap(KvEventTap tap, void* user);

// For backends: deliver e to target.
//  activated    the previous active window (if another) is deactivated first;
//               target becomes KvWindow::activeWindow; a repeated activation is dropped.
//  deactivated  only the active window can be deactivated; activeWindow becomes null.
//  moved, sized the window's rectangle becomes e.area first (its canvas keeps its size).
// The target may be deleted by its own handler; nothing touches it afterwards.
void KvEventDispatch(KvWindow* target, const KvEventRecord& e);
