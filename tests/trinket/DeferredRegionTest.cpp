// The deferred region against a plain region that takes every union at once:
// after any mix of additions, assignments and merges, every answer agrees.
#include <gtest/gtest.h>

#include <vector>

#include <random>

#include "trinket/KvTDeferredRegion.h"

namespace {

KvRect randomRect(std::mt19937& rng) {
    std::uniform_int_distribution<int> pos(-10, 90), size(-2, 25);
    const int l = pos(rng), t = pos(rng);
    return KvRect(l, t, l + size(rng), t + size(rng));
}

}  // namespace

TEST(KvTDeferredRegion, AnswersLikeARegionThatMergesAtOnce) {
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        KvTDeferredRegion deferred;
        KvRegion plain;
        const int steps = std::uniform_int_distribution<int>(0, 60)(rng);
        for (int i = 0; i < steps; ++i) {
            const int what = static_cast<int>(rng() % 10);
            if (what == 0) {
                const KvRegion r(randomRect(rng));
                deferred = r;
                plain = r;
            } else if (what == 1) {
                (void)deferred.region();  // merges now
            } else if (what == 2) {
                KvRegion two(randomRect(rng));
                two += randomRect(rng);
                deferred += two;
                plain += two;
            } else {
                const KvRect r = randomRect(rng);
                deferred += r;
                plain += r;
            }
            const KvRect q = randomRect(rng);
            ASSERT_EQ(deferred.overlaps(q), plain.overlaps(q)) << "round " << round << " step " << i;
            ASSERT_EQ(deferred.contains(q), plain.contains(q)) << "round " << round << " step " << i;
            ASSERT_TRUE(deferred.intersect(q) == plain * KvRegion(q)) << "round " << round;
            ASSERT_EQ(deferred.bounds(), plain.bounds());
            ASSERT_EQ(deferred.isNull(), plain.isNull());
        }
        KvTDeferredRegion copy;
        copy = deferred;
        ASSERT_TRUE(copy.region() == plain);
        ASSERT_TRUE(deferred.region() == plain);
        deferred.set();
        ASSERT_TRUE(deferred.isNull());
    }
}

TEST(KvTDeferredRegion, ManyPendingRectanglesAreMergedOnTheWay) {
    KvTDeferredRegion deferred;
    std::vector<KvRect> rects;
    for (size_t i = 0; i < 3 * kTwMaxPendingRects; ++i) {
        const int x = static_cast<int>(i % 97) * 3, y = static_cast<int>(i / 97) * 2;
        deferred += KvRect(x, y, x + 2, y + 1);
        rects.push_back(KvRect(x, y, x + 2, y + 1));
    }
    // The reference is built in one pass (itself checked against plain unions).
    KvRegion plain;
    plain.set(rects.data(), static_cast<int>(rects.size()));
    EXPECT_TRUE(deferred.region() == plain);
}

TEST(KvTDeferredRegion, RectanglesFarOutsideTheIndexAreFound) {
    KvTDeferredRegion deferred;
    KvRegion plain;
    const KvRect far[] = {KvRect(-100000, -5, -99990, 5), KvRect(5000, 7000, 5010, 7010),
                          KvRect(-2147483000, 0, -2147482990, 10), KvRect(2147482990, 0, 2147483000, 10)};
    for (const KvRect& r : far) {
        deferred += r;
        plain += r;
    }
    for (const KvRect& r : far) {
        EXPECT_TRUE(deferred.overlaps(r));
        EXPECT_TRUE(deferred.contains(r));
        EXPECT_FALSE(deferred.overlaps(KvRect(r.left, r.bottom, r.right, r.bottom + 3)));
    }
    EXPECT_TRUE(deferred.region() == plain);
}

// Rectangles larger than the index grid fill its every cell; past the
// index's limit they are merged on the way and every answer stays right.
TEST(KvTDeferredRegion, LargeRectanglesMergedOnTheWayKeepEveryAnswer) {
    KvTDeferredRegion deferred;
    KvRegion plain;
    for (int i = 0; i < 40; ++i) {
        const KvRect r(-5000 + i, -5000, 5000 + 2 * i, 5000 - i);
        deferred += r;
        plain += r;
        ASSERT_TRUE(deferred.overlaps(KvRect(5000 + 2 * i - 1, 0, 5000 + 2 * i, 1)));
        ASSERT_FALSE(deferred.overlaps(KvRect(5000 + 2 * i, 0, 5001 + 2 * i, 1)));
    }
    EXPECT_TRUE(deferred.region() == plain);
}
