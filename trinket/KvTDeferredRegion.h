// A region whose unions are deferred: rectangles added with += wait in a list
// and are merged into the region in one sorting pass when someone needs its
// exact shape. A window's blit and dirty-background regions take one small
// rectangle per moving trinket per tick; merging each at once would rewrite
// the whole region every time (quadratic in the number of trinkets).
// Invariant: the region is base ∪ every pending rectangle; pending holds only
// non-empty rectangles, and every pending rectangle is listed in each cell of
// the index grid that it meets (cells of kTwIndexCell pixels from (0, 0); the
// outermost cells also hold whatever lies beyond the grid). Questions about
// one rectangle (overlap, containment, intersection) are answered from base
// and from the pending rectangles of the cells it meets, so they never merge;
// cells that no rectangle of base meets are marked so, and a rectangle within
// them needs no search of base.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/KvRect.h"
#include "framework/KvRegion.h"

// Pending rectangles are merged once there are this many, to bound memory.
inline constexpr size_t kTwMaxPendingRects = 4096;
// Side of a cell of the index of pending rectangles, in pixels, and the
// number of cells per axis.
inline constexpr int kTwIndexCell = 32;
inline constexpr int kTwIndexCells = 64;
// Pending rectangles are also merged once the index lists this many cells of
// them (a large rectangle takes up to kTwIndexCells squared).
inline constexpr size_t kTwMaxIndexEntries = 65536;

class KvTDeferredRegion {
public:
    KvTDeferredRegion();

    KvTDeferredRegion& operator=(const KvRegion& r);
    KvTDeferredRegion& operator=(const KvTDeferredRegion& other);
    KvTDeferredRegion& operator+=(const KvRegion& r);
    KvTDeferredRegion& operator+=(const KvRect& r);
    void set();  // empty

    // The exact region (pending rectangles merged first).
    const KvRegion& region() const;
    bool isNull() const { return pending.empty() && base.isNull(); }
    KvRect bounds() const;
    bool overlaps(const KvRect& r) const;
    // Every pixel of r lies in the region.
    bool contains(const KvRect& r) const;
    // The part of the region inside r.
    KvRegion intersect(const KvRect& r) const;

private:
    void merge() const;
    void clearIndex() const;
    // Marks the cells that base's rectangles meet (once per change of base).
    void markBase() const;
    bool baseNear(const KvRect& r) const;
    void index(size_t which);
    // Calls f(pending rectangle) once for each pending rectangle listed in a
    // cell that r meets (a rectangle in several cells comes once); stops when
    // f returns true, and returns whether one did.
    template <class F>
    bool forPendingNear(const KvRect& r, F&& f) const;
    // Collects into pieces the part of base inside r, banded and coalesced
    // (as pixman keeps regions); returns their number.
    int baseIn(const KvRect& r) const;

    struct Entry {
        int rect;  // index into pending
        int next;  // next entry of the same cell, or -1
    };

    mutable KvRegion base;
    mutable bool baseMarked = false;        // baseCells is up to date
    mutable std::vector<uint8_t> baseCells; // per cell: some rectangle of base meets it
    mutable std::vector<int> baseCellsUsed;
    mutable std::vector<KvRect> pending;
    mutable KvRect pendingBounds = KvRect::zero;
    mutable std::vector<int> head;          // per cell: first entry, or -1
    mutable std::vector<int> usedCells;     // cells whose head is set
    mutable std::vector<Entry> entries;
    mutable std::vector<uint32_t> seen;     // per pending rectangle: the last query that met it
    mutable uint32_t query = 0;
    mutable std::vector<KvRect> pieces;     // scratch of intersect
};
