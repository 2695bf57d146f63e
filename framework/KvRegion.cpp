// KvRegion over pixman_region32_t. pixman keeps a region as y-x banded
// rectangles with exclusive right/bottom edges, the same convention as KvRect.
#include "framework/KvRegion.h"

#include <utility>

namespace {

pixman_box32_t box(const KvRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// pixman reports allocation failure by returning false; fall back to empty.
void check(pixman_bool_t ok, pixman_region32_t* reg) {
    if (!ok) {
        pixman_region32_fini(reg);
        pixman_region32_init(reg);
    }
}

}  // namespace

KvRegion::KvRegion() { pixman_region32_init(&reg); }

KvRegion::KvRegion(const KvRect& r) {
    pixman_region32_init(&reg);
    set(r);
}

KvRegion::KvRegion(const KvRegion& other) {
    pixman_region32_init(&reg);
    check(pixman_region32_copy(&reg, const_cast<pixman_region32_t*>(&other.reg)), &reg);
}

KvRegion::KvRegion(KvRegion&& other) noexcept {
    pixman_region32_init(&reg);
    std::swap(reg, other.reg);
}

KvRegion& KvRegion::operator=(const KvRegion& other) {
    if (this != &other)
        check(pixman_region32_copy(&reg, const_cast<pixman_region32_t*>(&other.reg)), &reg);
    return *this;
}

KvRegion& KvRegion::operator=(KvRegion&& other) noexcept {
    std::swap(reg, other.reg);
    return *this;
}

KvRegion::~KvRegion() { pixman_region32_fini(&reg); }

void KvRegion::set() {
    pixman_region32_fini(&reg);
    pixman_region32_init(&reg);
}

void KvRegion::set(const KvRect& r) {
    pixman_region32_fini(&reg);
    if (r.isEmpty()) {
        pixman_region32_init(&reg);
    } else {
        // From the corners: a width computed as right - left would overflow for huge rectangles.
        const pixman_box32_t b = box(r);
        pixman_region32_init_with_extents(&reg, &b);
    }
}

void KvRegion::set(const KvRect* rects, int count) {
    set();
    // Converted in chunks on the stack; each chunk is sorted into a region at once.
    constexpr int kChunk = 512;
    pixman_box32_t boxes[kChunk];
    for (int done = 0; rects && done < count;) {
        int n = 0;
        for (; n < kChunk && done < count; ++done)
            if (!rects[done].isEmpty()) boxes[n++] = box(rects[done]);
        if (n == 0) continue;
        pixman_region32_t part;
        // One box from its corners (pixman's one-box path computes a width that can overflow).
        const pixman_bool_t made = n == 1 ? (pixman_region32_init_with_extents(&part, &boxes[0]), 1)
                                          : pixman_region32_init_rects(&part, boxes, n);
        if (!made) {
            pixman_region32_fini(&part);
            set();
            return;
        }
        check(pixman_region32_union(&reg, &reg, &part), &reg);
        pixman_region32_fini(&part);
    }
}

bool KvRegion::isNull() const {
    return !pixman_region32_not_empty(const_cast<pixman_region32_t*>(&reg));
}

bool KvRegion::operator==(const KvRegion& other) const {
    if (isNull() && other.isNull()) return true;
    return pixman_region32_equal(const_cast<pixman_region32_t*>(&reg),
                                 const_cast<pixman_region32_t*>(&other.reg));
}

KvRegion& KvRegion::operator+=(const KvRegion& other) {
    check(pixman_region32_union(&reg, &reg, const_cast<pixman_region32_t*>(&other.reg)), &reg);
    return *this;
}

KvRegion& KvRegion::operator+=(const KvRect& r) {
    return *this += KvRegion(r);
}

KvRegion& KvRegion::operator-=(const KvRegion& other) {
    check(pixman_region32_subtract(&reg, &reg, const_cast<pixman_region32_t*>(&other.reg)), &reg);
    return *this;
}

KvRegion KvRegion::operator*(const KvRegion& other) const {
    KvRegion out;
    check(pixman_region32_intersect(&out.reg, const_cast<pixman_region32_t*>(&reg),
                                    const_cast<pixman_region32_t*>(&other.reg)),
          &out.reg);
    return out;
}

KvRegion& KvRegion::operator*=(const KvRegion& other) {
    check(pixman_region32_intersect(&reg, &reg, const_cast<pixman_region32_t*>(&other.reg)), &reg);
    return *this;
}

KvRegion& KvRegion::operator*=(const KvRect& r) {
    return *this *= KvRegion(r);
}

void KvRegion::offset(int dx, int dy) { pixman_region32_translate(&reg, dx, dy); }

KvRect KvRegion::bounds() const {
    if (isNull()) return KvRect::zero;
    const pixman_box32_t* e = pixman_region32_extents(const_cast<pixman_region32_t*>(&reg));
    return KvRect(e->x1, e->y1, e->x2, e->y2);
}

bool KvRegion::contains(const KvPoint& p) const {
    return pixman_region32_contains_point(const_cast<pixman_region32_t*>(&reg), p.x, p.y,
                                          nullptr);
}

bool KvRegion::contains(const KvRect& r) const {
    if (r.isEmpty()) return true;
    pixman_box32_t b = box(r);
    return pixman_region32_contains_rectangle(const_cast<pixman_region32_t*>(&reg), &b) ==
           PIXMAN_REGION_IN;
}

bool KvRegion::overlaps(const KvRegion& other) const { return !(*this * other).isNull(); }

bool KvRegion::overlaps(const KvRect& r) const {
    if (r.isEmpty() || isNull()) return false;
    pixman_box32_t b = box(r);
    return pixman_region32_contains_rectangle(const_cast<pixman_region32_t*>(&reg), &b) !=
           PIXMAN_REGION_OUT;
}

int KvRegion::rectCount() const {
    int n = 0;
    pixman_region32_rectangles(const_cast<pixman_region32_t*>(&reg), &n);
    return n;
}

KvRect KvRegion::rect(int index) const {
    int n = 0;
    const pixman_box32_t* b = pixman_region32_rectangles(const_cast<pixman_region32_t*>(&reg), &n);
    if (index < 0 || index >= n) return KvRect::zero;
    return KvRect(b[index].x1, b[index].y1, b[index].x2, b[index].y2);
}
