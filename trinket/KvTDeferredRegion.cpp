// Deferred unions: see the header for the invariant.
#include "trinket/KvTDeferredRegion.h"

#include <climits>

namespace {
// Enough for the rectangles of a busy tick without growing the list.
constexpr size_t kInitialPendingCapacity = 256;
}  // namespace

KvTDeferredRegion::KvTDeferredRegion() {
    pending.reserve(kInitialPendingCapacity);
    pieces.reserve(kInitialPendingCapacity);
}

KvTDeferredRegion& KvTDeferredRegion::operator=(const KvRegion& r) {
    base = r;
    pending.clear();
    return *this;
}

KvTDeferredRegion& KvTDeferredRegion::operator=(const KvTDeferredRegion& other) {
    if (this != &other) {
        base = other.base;
        pending.assign(other.pending.begin(), other.pending.end());
    }
    return *this;
}

KvTDeferredRegion& KvTDeferredRegion::operator+=(const KvRect& r) {
    if (r.isEmpty()) return *this;
    if (pending.size() >= kTwMaxPendingRects) merge();
    pending.push_back(r);
    return *this;
}

KvTDeferredRegion& KvTDeferredRegion::operator+=(const KvRegion& r) {
    const int n = r.rectCount();
    // The pieces of a region (a partial redraw, say) mostly lie in what base
    // already holds: those need not wait. A lone rectangle (a whole box) is
    // mostly new, so it is not worth the look-up.
    for (int i = 0; i < n; ++i) {
        const KvRect piece = r.rect(i);
        if (n == 1 || !base.contains(piece)) *this += piece;
    }
    return *this;
}

void KvTDeferredRegion::set() {
    base.set();
    pending.clear();
}

void KvTDeferredRegion::merge() const {
    if (pending.empty()) return;
    KvRegion added;
    added.set(pending.data(), static_cast<int>(pending.size()));
    base += added;
    pending.clear();
}

const KvRegion& KvTDeferredRegion::region() const {
    merge();
    return base;
}

KvRect KvTDeferredRegion::bounds() const {
    KvRect b = base.bounds();
    for (const KvRect& r : pending) b += r;
    return b;
}

namespace {

// The rectangles of a region as pixman keeps them: y-x banded, so their
// bottoms never decrease along the list.
struct Boxes {
    const pixman_box32_t* box;
    int count;
};

Boxes boxesOf(const KvRegion& r) {
    Boxes b{nullptr, 0};
    b.box = pixman_region32_rectangles(const_cast<pixman_region32_t*>(r.native()), &b.count);
    return b;
}

// Index of the first box whose band reaches below y.
int firstBandBelow(const Boxes& b, int y) {
    int lo = 0, hi = b.count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (b.box[mid].y2 > y)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The common part of (l, t, r, b) and q, appended to out when not empty.
void clipInto(int l, int t, int r, int b, const KvRect& q, std::vector<KvRect>& out) {
    l = l > q.left ? l : q.left;
    t = t > q.top ? t : q.top;
    r = r < q.right ? r : q.right;
    b = b < q.bottom ? b : q.bottom;
    if (l < r && t < b) out.emplace_back(l, t, r, b);
}

}  // namespace

bool KvTDeferredRegion::overlaps(const KvRect& r) const {
    if (r.isEmpty()) return false;
    const Boxes b = boxesOf(base);
    for (int i = firstBandBelow(b, r.top); i < b.count && b.box[i].y1 < r.bottom; ++i)
        if (b.box[i].x1 < r.right && r.left < b.box[i].x2) return true;
    for (const KvRect& p : pending)
        if (p.left < r.right && r.left < p.right && p.top < r.bottom && r.top < p.bottom) return true;
    return false;
}

bool KvTDeferredRegion::contains(const KvRect& r) const { return intersect(r).contains(r); }

int KvTDeferredRegion::baseIn(const KvRect& r) const {
    pieces.clear();
    const Boxes b = boxesOf(base);
    int bandStart = 0;      // first piece of the band being collected
    int previousBand = -1;  // first piece of the band before it, or -1
    auto closeBand = [&]() {
        // Coalesce with the band above when it touches and has the same spans.
        const int count = static_cast<int>(pieces.size()) - bandStart;
        if (count > 0 && previousBand >= 0 && bandStart - previousBand == count &&
            pieces[previousBand].bottom == pieces[bandStart].top) {
            bool same = true;
            for (int k = 0; k < count && same; ++k)
                same = pieces[previousBand + k].left == pieces[bandStart + k].left &&
                       pieces[previousBand + k].right == pieces[bandStart + k].right;
            if (same) {
                for (int k = 0; k < count; ++k) pieces[previousBand + k].bottom = pieces[bandStart + k].bottom;
                pieces.resize(static_cast<size_t>(bandStart));
                return;
            }
        }
        if (count > 0) previousBand = bandStart;
        bandStart = static_cast<int>(pieces.size());
    };
    int bandTop = INT_MIN;
    for (int i = firstBandBelow(b, r.top); i < b.count && b.box[i].y1 < r.bottom; ++i) {
        if (b.box[i].y1 != bandTop) {
            closeBand();
            bandTop = b.box[i].y1;
        }
        clipInto(b.box[i].x1, b.box[i].y1, b.box[i].x2, b.box[i].y2, r, pieces);
    }
    closeBand();
    return static_cast<int>(pieces.size());
}

KvRegion KvTDeferredRegion::intersect(const KvRect& r) const {
    if (r.isEmpty()) return KvRegion();
    // The part of base, found by a binary search over its bands and
    // coalesced as pixman would: often one rectangle, which needs no sorting.
    baseIn(r);
    for (const KvRect& p : pending) clipInto(p.left, p.top, p.right, p.bottom, r, pieces);
    const int n = static_cast<int>(pieces.size());
    if (n == 1) return KvRegion(pieces[0]);
    KvRegion out;
    if (n == 0) return out;
    out.set(pieces.data(), n);
    return out;
}
