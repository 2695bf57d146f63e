// A set of pixels made of rectangles (pixman 32-bit regions underneath).
// A region is null when it holds no pixel; bounds() of a null region is
// KvRect::zero. Operations never fail visibly: should pixman run out of
// memory, the region becomes null rather than half-updated.
#pragma once

#include <pixman.h>

#include "framework/KvRect.h"

class KvRegion {
public:
    KvRegion();
    explicit KvRegion(const KvRect& r);
    KvRegion(const KvRegion& other);
    KvRegion(KvRegion&& other) noexcept;
    KvRegion& operator=(const KvRegion& other);
    KvRegion& operator=(KvRegion&& other) noexcept;
    ~KvRegion();

    void set();                // empty
    void set(const KvRect& r); // exactly r (empty when r is)
    // The union of count rectangles (empty ones count for nothing), built in
    // one sorting pass: far cheaper than count unions when the rectangles are
    // many and scattered, since each union rewrites the whole region.
    void set(const KvRect* rects, int count);

    bool isNull() const;
    bool operator==(const KvRegion& other) const;

    KvRegion& operator+=(const KvRegion& other);
    KvRegion& operator+=(const KvRect& r);
    KvRegion& operator-=(const KvRegion& other);
    KvRegion operator*(const KvRegion& other) const;
    KvRegion& operator*=(const KvRegion& other);
    KvRegion& operator*=(const KvRect& r);

    void offset(int dx, int dy);
    KvRect bounds() const;
    bool contains(const KvPoint& p) const;
    // Every pixel of r lies in the region (an empty r lies in any region).
    // Decided on the region's bands without building a temporary region.
    bool contains(const KvRect& r) const;
    bool overlaps(const KvRegion& other) const;
    bool overlaps(const KvRect& r) const;

    // The rectangles that make up the region, top to bottom, left to right.
    int rectCount() const;
    KvRect rect(int index) const;

    const pixman_region32_t* native() const { return &reg; }

private:
    pixman_region32_t reg;
};
