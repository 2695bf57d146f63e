// Deferred unions: see the header for the invariant.
#include "trinket/KvTDeferredRegion.h"

#include <algorithm>
#include <climits>

namespace {

// Enough for the rectangles of a busy tick without growing the list.
constexpr size_t kInitialPendingCapacity = 256;

// The cells of the index that a non-empty rectangle meets: columns [c0, c1], rows [r0, r1].
struct Cells {
    int c0, r0, c1, r1;
};

Cells cellsOf(const KvRect& r) {
    // Floor division, then clamped: the outer cells take what lies beyond.
    auto cell = [](int v) {
        const int c = v >= 0 ? v / kTwIndexCell : -1;
        return c < 0 ? 0 : c >= kTwIndexCells ? kTwIndexCells - 1 : c;
    };
    return {cell(r.left), cell(r.top), cell(r.right - 1), cell(r.bottom - 1)};
}

}  // namespace

KvTDeferredRegion::KvTDeferredRegion()
    : baseCells(static_cast<size_t>(kTwIndexCells) * kTwIndexCells, 0),
      head(static_cast<size_t>(kTwIndexCells) * kTwIndexCells, -1) {
    pending.reserve(kInitialPendingCapacity);
    pieces.reserve(kInitialPendingCapacity);
    entries.reserve(4 * kInitialPendingCapacity);
    seen.reserve(kInitialPendingCapacity);
    usedCells.reserve(kInitialPendingCapacity);
}

KvTDeferredRegion& KvTDeferredRegion::operator=(const KvRegion& r) {
    base = r;
    baseMarked = false;
    clearIndex();
    return *this;
}

KvTDeferredRegion& KvTDeferredRegion::operator=(const KvTDeferredRegion& other) {
    if (this != &other) {
        base = other.base;
        baseMarked = false;
        clearIndex();
        for (const KvRect& r : other.pending) *this += r;
    }
    return *this;
}

KvTDeferredRegion& KvTDeferredRegion::operator+=(const KvRect& r) {
    if (r.isEmpty()) return *this;
    if (pending.size() >= kTwMaxPendingRects || entries.size() >= kTwMaxIndexEntries) merge();
    pending.push_back(r);
    seen.push_back(0);
    pendingBounds += r;
    index(pending.size() - 1);
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
    baseMarked = false;
    clearIndex();
}

void KvTDeferredRegion::clearIndex() const {
    for (int c : usedCells) head[static_cast<size_t>(c)] = -1;
    usedCells.clear();
    entries.clear();
    pending.clear();
    seen.clear();
    pendingBounds = KvRect::zero;
}

void KvTDeferredRegion::index(size_t which) {
    const Cells c = cellsOf(pending[which]);
    for (int row = c.r0; row <= c.r1; ++row)
        for (int col = c.c0; col <= c.c1; ++col) {
            int& first = head[static_cast<size_t>(row) * kTwIndexCells + col];
            if (first < 0) usedCells.push_back(row * kTwIndexCells + col);
            entries.push_back({static_cast<int>(which), first});
            first = static_cast<int>(entries.size()) - 1;
        }
}

template <class F>
bool KvTDeferredRegion::forPendingNear(const KvRect& r, F&& f) const {
    if (pending.empty() || !(pendingBounds.left < r.right && r.left < pendingBounds.right &&
                             pendingBounds.top < r.bottom && r.top < pendingBounds.bottom))
        return false;
    if (++query == 0) {  // the stamps wrapped: forget them all
        std::fill(seen.begin(), seen.end(), 0u);
        query = 1;
    }
    const Cells c = cellsOf(r);
    for (int row = c.r0; row <= c.r1; ++row)
        for (int col = c.c0; col <= c.c1; ++col)
            for (int e = head[static_cast<size_t>(row) * kTwIndexCells + col]; e >= 0;) {
                const Entry& entry = entries[static_cast<size_t>(e)];
                e = entry.next;
                const size_t which = static_cast<size_t>(entry.rect);
                if (seen[which] == query) continue;
                seen[which] = query;
                if (f(pending[which])) return true;
            }
    return false;
}

void KvTDeferredRegion::merge() const {
    if (pending.empty()) return;
    KvRegion added;
    added.set(pending.data(), static_cast<int>(pending.size()));
    base += added;
    baseMarked = false;
    clearIndex();
}

const KvRegion& KvTDeferredRegion::region() const {
    merge();
    return base;
}

KvRect KvTDeferredRegion::bounds() const { return base.bounds() + pendingBounds; }

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

void KvTDeferredRegion::markBase() const {
    for (int c : baseCellsUsed) baseCells[static_cast<size_t>(c)] = 0;
    baseCellsUsed.clear();
    const Boxes b = boxesOf(base);
    for (int i = 0; i < b.count; ++i) {
        const Cells c = cellsOf(KvRect(b.box[i].x1, b.box[i].y1, b.box[i].x2, b.box[i].y2));
        for (int row = c.r0; row <= c.r1; ++row)
            for (int col = c.c0; col <= c.c1; ++col) {
                uint8_t& mark = baseCells[static_cast<size_t>(row) * kTwIndexCells + col];
                if (!mark) baseCellsUsed.push_back(row * kTwIndexCells + col);
                mark = 1;
            }
    }
    baseMarked = true;
}

inline bool KvTDeferredRegion::baseNear(const KvRect& r) const {
    if (!baseMarked) markBase();
    const Cells c = cellsOf(r);
    for (int row = c.r0; row <= c.r1; ++row)
        for (int col = c.c0; col <= c.c1; ++col)
            if (baseCells[static_cast<size_t>(row) * kTwIndexCells + col]) return true;
    return false;
}

bool KvTDeferredRegion::overlaps(const KvRect& r) const {
    if (r.isEmpty()) return false;
    if (baseNear(r)) {
        const Boxes b = boxesOf(base);
        for (int i = firstBandBelow(b, r.top); i < b.count && b.box[i].y1 < r.bottom; ++i)
            if (b.box[i].x1 < r.right && r.left < b.box[i].x2) return true;
    }

    return forPendingNear(r, [&r](const KvRect& p) {
        return p.left < r.right && r.left < p.right && p.top < r.bottom && r.top < p.bottom;
    });
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
    if (baseNear(r))
        baseIn(r);
    else
        pieces.clear();
    forPendingNear(r, [&r, this](const KvRect& p) {
        clipInto(p.left, p.top, p.right, p.bottom, r, pieces);
        return false;
    });
    const int n = static_cast<int>(pieces.size());
    if (n == 1) return KvRegion(pieces[0]);
    KvRegion out;
    if (n == 0) return out;
    out.set(pieces.data(), n);
    return out;
}
