// Rectangle algebra. Empty results are normalised to KvRect::zero.
#include "framework/KvRect.h"

#include <algorithm>

bool KvRect::operator<=(const KvRect& o) const {
    if (isEmpty()) return true;
    return left >= o.left && top >= o.top && right <= o.right && bottom <= o.bottom;
}

KvRect KvRect::operator*(const KvRect& o) const {
    KvRect r(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
             std::min(bottom, o.bottom));
    return r.isEmpty() ? zero : r;
}

KvRect KvRect::operator+(const KvRect& o) const {
    if (isEmpty()) return o.isEmpty() ? zero : o;
    if (o.isEmpty()) return *this;
    return KvRect(std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                  std::max(bottom, o.bottom));
}
