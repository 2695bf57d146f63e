// Rectangle and region algebra, checked pixel by pixel against a boolean mask
// over a small grid for many random rectangle sets.
#include "framework/KvRegion.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

constexpr int kLo = -12, kHi = 48;  // the mask covers [kLo, kHi) on both axes
constexpr int kSide = kHi - kLo;

// A set of pixels of the grid.
struct Mask {
    std::vector<bool> bits = std::vector<bool>(kSide * kSide);

    bool at(int x, int y) const {
        return x >= kLo && x < kHi && y >= kLo && y < kHi && bits[(y - kLo) * kSide + (x - kLo)];
    }
    void put(int x, int y, bool v) { bits[(y - kLo) * kSide + (x - kLo)] = v; }

    template <class F>
    static Mask where(F&& inside) {
        Mask m;
        for (int y = kLo; y < kHi; ++y)
            for (int x = kLo; x < kHi; ++x) m.put(x, y, inside(x, y));
        return m;
    }
    static Mask of(const KvRect& r) { return where([&](int x, int y) { return r.contains({x, y}); }); }
    static Mask of(const KvRegion& r) { return where([&](int x, int y) { return r.contains({x, y}); }); }

    Mask operator|(const Mask& o) const { return where([&](int x, int y) { return at(x, y) || o.at(x, y); }); }
    Mask operator&(const Mask& o) const { return where([&](int x, int y) { return at(x, y) && o.at(x, y); }); }
    Mask operator-(const Mask& o) const { return where([&](int x, int y) { return at(x, y) && !o.at(x, y); }); }
    Mask shifted(int dx, int dy) const { return where([&](int x, int y) { return at(x - dx, y - dy); }); }

    bool empty() const { return bits == Mask().bits; }
    // The smallest rectangle around the set; KvRect::zero when it is empty.
    KvRect bounds() const {
        KvRect r = KvRect::zero;
        for (int y = kLo; y < kHi; ++y)
            for (int x = kLo; x < kHi; ++x)
                if (at(x, y)) r = r + KvRect(x, y, x + 1, y + 1);
        return r;
    }
    bool operator==(const Mask&) const = default;
};

// Random rectangles well inside the grid (so small offsets stay inside), a few empty or inverted.
KvRect randomRect(std::mt19937& rng) {
    std::uniform_int_distribution<int> pos(-6, 28), size(-3, 14);
    const int l = pos(rng), t = pos(rng);
    return KvRect(l, t, l + size(rng), t + size(rng));
}

struct Shape {
    KvRegion region;
    Mask mask;
};

Shape randomShape(std::mt19937& rng) {
    Shape s;
    const int n = std::uniform_int_distribution<int>(0, 5)(rng);
    for (int i = 0; i < n; ++i) {
        const KvRect r = randomRect(rng);
        s.region += r;
        s.mask = s.mask | Mask::of(r);
    }
    return s;
}

// Everything a region reports must agree with the mask.
::testing::AssertionResult matches(const KvRegion& r, const Mask& want) {
    if (!(Mask::of(r) == want)) return ::testing::AssertionFailure() << "contains() differs";
    if (r.isNull() != want.empty()) return ::testing::AssertionFailure() << "isNull() differs";
    if (!(r.bounds() == want.bounds()))
        return ::testing::AssertionFailure() << "bounds() differs";
    // The rectangles tile the set exactly (their areas add up to its pixels,
    // so none overlaps or leaves the grid), banded top to bottom, left to right.
    Mask tiles;
    long area = 0, pixels = 0;
    const int n = r.rectCount();
    for (int i = 0; i < n; ++i) {
        const KvRect b = r.rect(i), p = r.rect(i - 1);
        if (b.isEmpty()) return ::testing::AssertionFailure() << "empty rectangle " << i;
        if (i > 0 && !(p.top == b.top && p.bottom == b.bottom && p.right < b.left) && b.top < p.bottom)
            return ::testing::AssertionFailure() << "rectangle " << i << " out of band order";
        tiles = tiles | Mask::of(b);
        area += long{b.width()} * b.height();
    }
    for (bool bit : want.bits) pixels += bit;
    if (!(tiles == want) || area != pixels)
        return ::testing::AssertionFailure() << "the rectangles do not tile the set";
    if (!(r.rect(-1) == KvRect::zero) || !(r.rect(n) == KvRect::zero))
        return ::testing::AssertionFailure() << "out-of-range rect() is not KvRect::zero";
    return ::testing::AssertionSuccess();
}

constexpr int kRounds = 300;

}  // namespace

TEST(KvRegion, SetFromManyRectanglesIsTheirUnion) {
    std::mt19937 rng(11);
    for (int n : {0, 1, 2, 300, 511, 512, 513, 1100}) {
        std::vector<KvRect> rects;
        Mask want;
        for (int i = 0; i < n; ++i) {
            rects.push_back(randomRect(rng));  // some are empty or inverted
            want = want | Mask::of(rects.back());
        }
        KvRegion r(KvRect(0, 0, 5, 5));  // whatever it held is replaced
        r.set(rects.data(), n);
        ASSERT_TRUE(matches(r, want)) << n << " rectangles";
    }
    KvRegion huge;
    const KvRect corners(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    huge.set(&corners, 1);
    EXPECT_EQ(huge.bounds(), corners);
}

TEST(KvRegion, EveryOperationMatchesThePixelMask) {
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> shift(-5, 5);
    for (int i = 0; i < kRounds; ++i) {
        SCOPED_TRACE(::testing::Message() << "round " << i);
        const Shape a = randomShape(rng), b = randomShape(rng);
        ASSERT_TRUE(matches(a.region, a.mask)) << "built from rectangles";
        KvRegion u = a.region;
        u += b.region;
        EXPECT_TRUE(matches(u, a.mask | b.mask)) << "union";
        EXPECT_TRUE(matches(a.region * b.region, a.mask & b.mask)) << "product";
        KvRegion p = a.region;
        p *= b.region;
        EXPECT_TRUE(matches(p, a.mask & b.mask)) << "*=";
        KvRegion d = a.region;
        d -= b.region;
        EXPECT_TRUE(matches(d, a.mask - b.mask)) << "subtraction";
        // Equality compares pixels, not the order the rectangles came in.
        KvRegion bu = b.region;
        bu += a.region;
        EXPECT_TRUE(u == bu);
        EXPECT_EQ(u == a.region, (a.mask | b.mask) == a.mask);
        EXPECT_EQ(a.region.overlaps(b.region), !(a.mask & b.mask).empty());

        const KvRect r = randomRect(rng);
        KvRegion ur = a.region;
        ur += r;
        EXPECT_TRUE(matches(ur, a.mask | Mask::of(r))) << "+= rect";
        KvRegion pr = a.region;
        pr *= r;
        EXPECT_TRUE(matches(pr, a.mask & Mask::of(r))) << "*= rect";
        EXPECT_EQ(a.region.overlaps(r), !(a.mask & Mask::of(r)).empty());
        EXPECT_EQ(a.region.contains(r), (Mask::of(r) - a.mask).empty());

        const int dx = shift(rng), dy = shift(rng);
        KvRegion moved = a.region;
        moved.offset(dx, dy);
        EXPECT_TRUE(matches(moved, a.mask.shifted(dx, dy))) << "offset " << dx << ", " << dy;
    }
}

TEST(KvRegion, EveryEmptyRegionIsNullWithZeroBounds) {
    const KvRegion square(KvRect(0, 0, 8, 8));
    KvRegion minusItself = square, cleared = square, cutByEmpty = square, grown = square;
    minusItself -= square;
    cleared.set();
    cutByEmpty *= KvRect(5, 5, 2, 2);
    const KvRegion cases[] = {KvRegion(), KvRegion(KvRect::zero), KvRegion(KvRect(5, 5, 5, 9)),
                              KvRegion(KvRect(3, 3, 1, 1)), minusItself, square * KvRegion(KvRect(20, 20, 30, 30)),
                              cleared, cutByEmpty};
    for (const KvRegion& r : cases) {
        EXPECT_TRUE(r.isNull() && r.rectCount() == 0 && !r.overlaps(square) && r == KvRegion());
        EXPECT_EQ(r.bounds(), KvRect::zero);
    }
    grown += KvRect(40, 40, 30, 30);  // adding an empty rectangle changes nothing
    EXPECT_TRUE(grown == square);
}

TEST(KvRegion, CopiesAndMovesAreIndependent) {
    KvRegion a(KvRect(0, 0, 4, 4));
    KvRegion copy(a);
    a += KvRect(10, 10, 12, 12);
    EXPECT_EQ(copy.bounds(), KvRect(0, 0, 4, 4));
    KvRegion moved(std::move(a));
    copy = moved;
    moved.set();
    copy = copy;
    EXPECT_EQ(copy.rectCount(), 2);
    EXPECT_EQ(copy.bounds(), KvRect(0, 0, 12, 12));
}

TEST(KvRegion, HugeRectanglesKeepTheirCorners) {
    const KvRect huge(INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1);
    KvRegion r(huge);
    EXPECT_EQ(r.bounds(), huge);
    EXPECT_TRUE(r.contains({INT_MIN, INT_MAX - 2}));
    r *= KvRect(-3, -3, 3, 3);
    EXPECT_EQ(r.bounds(), KvRect(-3, -3, 3, 3));
    r += huge;
    EXPECT_EQ(r.bounds(), huge);
    KvRegion small(KvRect(1, 2, 3, 4));
    small *= huge;
    EXPECT_EQ(small.bounds(), KvRect(1, 2, 3, 4));
}

TEST(KvRect, IntersectionUnionAndInsideMatchThePixelMask) {
    std::mt19937 rng(5);
    int insideSeen = 0;
    for (int i = 0; i < kRounds * 4; ++i) {
        SCOPED_TRACE(::testing::Message() << "round " << i);
        const KvRect a = randomRect(rng), b = randomRect(rng);
        const Mask common = Mask::of(a) & Mask::of(b);
        const KvRect got = a * b;
        EXPECT_EQ(got, common.bounds());  // zero when nothing is common
        EXPECT_TRUE(Mask::of(got) == common);
        KvRect inPlace = a;
        inPlace *= b;
        EXPECT_EQ(inPlace, got);
        EXPECT_EQ(a.overlaps(b), !common.empty());

        const KvRect both = a + b;
        EXPECT_EQ(both, (Mask::of(a) | Mask::of(b)).bounds());  // empty ones add nothing
        inPlace = a;
        inPlace += b;
        EXPECT_EQ(inPlace, both);

        const bool inside = (Mask::of(a) - Mask::of(b)).empty();
        EXPECT_EQ(a <= b, inside);
        insideSeen += inside && !a.isEmpty();
    }
    EXPECT_GT(insideSeen, 0);  // the property was exercised on non-empty rectangles
}

// The masks above are built with contains(): it is checked here on its own.
TEST(KvRect, ContainsAndSizeFollowTheExclusiveEdges) {
    const KvRect r(2, 3, 5, 7);
    EXPECT_EQ(KvPoint(r.width(), r.height()), KvPoint(3, 4));
    const std::pair<KvPoint, bool> cases[] = {{{2, 3}, true},   {{4, 6}, true},   {{5, 6}, false},
                                              {{4, 7}, false},  {{1, 3}, false},  {{2, 2}, false}};
    for (const auto& [p, inside] : cases) EXPECT_EQ(r.contains(p), inside) << p.x << "," << p.y;
    EXPECT_TRUE(KvRect().isEmpty() && KvRect() == KvRect::zero);
    KvRect moved = r;
    moved.offset(-2, 1);
    EXPECT_EQ(moved, KvRect(0, 4, 3, 8));
}
