// A resource number: the 16-bit id by which hosts name animations, sounds and
// palettes. It is a value type so that a resource id is never mixed up with a
// coordinate or a count; value() widens it for arithmetic and printing.
#pragma once

struct KvRscID {
    short id = 0;

    constexpr KvRscID() = default;
    constexpr explicit KvRscID(short v) : id(v) {}
    constexpr int value() const { return id; }
    constexpr bool operator==(const KvRscID&) const = default;
};
