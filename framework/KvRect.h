// Integer geometry in device pixels.
// A rectangle is (left, top, right, bottom) with right and bottom exclusive.
// Every empty result (a disjoint intersection, the bounds of an empty region)
// is exactly KvRect::zero = (0, 0, -1, -1), so "no rectangle" has one spelling.
#pragma once

struct KvPoint {
    int x = 0;
    int y = 0;

    constexpr KvPoint() = default;
    constexpr KvPoint(int px, int py) : x(px), y(py) {}
    constexpr bool operator==(const KvPoint&) const = default;
};

struct KvRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    static const KvRect zero;

    constexpr KvRect() = default;
    constexpr KvRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    // True when the rectangle covers no pixel (zero or any inverted box).
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }

    void set(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
    void offset(int dx, int dy) { left += dx, right += dx, top += dy, bottom += dy; }

    constexpr bool operator==(const KvRect&) const = default;
    // Inside: every pixel of this rectangle lies in other. An empty rectangle is inside anything.
    bool operator<=(const KvRect& other) const;
    // Intersection; KvRect::zero when the two do not overlap.
    KvRect operator*(const KvRect& other) const;
    KvRect& operator*=(const KvRect& other) { return *this = *this * other; }
    // Smallest rectangle holding both; an empty operand is ignored.
    KvRect operator+(const KvRect& other) const;
    KvRect& operator+=(const KvRect& other) { return *this = *this + other; }
    bool overlaps(const KvRect& other) const { return !(*this * other).isEmpty(); }
    bool contains(const KvPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
};

inline constexpr KvRect KvRect::zero{0, 0, -1, -1};
