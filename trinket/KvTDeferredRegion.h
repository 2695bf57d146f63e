// A region whose unions are deferred: rectangles added with += wait in a list
// and are merged into the region in one sorting pass when someone needs its
// exact shape. A window's blit and dirty-background regions take one small
// rectangle per moving trinket per tick; merging each at once would rewrite
// the whole region every time (quadratic in the number of trinkets).
// Invariant: the region is base ∪ every pending rectangle; pending holds only
// non-empty rectangles. Questions about one rectangle (overlap, containment,
// intersection) are answered from base and from the pending rectangles that
// meet it, so they never merge.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/KvRect.h"
#include "framework/KvRegion.h"

// Pending rectangles are merged once there are this many, to bound memory.
inline constexpr size_t kTwMaxPendingRects = 4096;

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
    // Collects into pieces the part of base inside r, banded and coalesced
    // (as pixman keeps regions); returns their number.
    int baseIn(const KvRect& r) const;

    mutable KvRegion base;
    mutable std::vector<KvRect> pending;
    mutable std::vector<KvRect> pieces;  // scratch of intersect
};
