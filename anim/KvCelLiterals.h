// Screen-format copies of the literal pixels of one owner's indexed cel
// pictures, so that drawing on 16 and 32-bit canvases copies literal runs
// instead of looking every index up in the colour table.
//
// A copy parallels its picture byte for byte: the screen pixel of the index at
// picture offset k is at copy offset k x (bytes per pixel); bytes of the
// picture that are not literal indices have zero pixels there. A copy holds
// for the table pointer, depth and colour generation it was made with. Every
// change to a colour table's entries or to a picture's indices must be
// announced with colorsChanged(), which makes every copy stale; a stale copy
// is remade on its next use. Only pictures the owner adopted get copies, so a
// copy never outlives the bytes it mirrors while the owner keeps them alive.
// The copies of all owners together never hold more than kBudgetBytes; past
// it, pictures are drawn through the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class KvCelLiterals {
public:
    // The most bytes that the copies of all owners may hold at once.
    static constexpr size_t kBudgetBytes = size_t(8) << 20;

    KvCelLiterals() = default;
    KvCelLiterals(const KvCelLiterals&) = delete;
    KvCelLiterals& operator=(const KvCelLiterals&) = delete;
    ~KvCelLiterals();

    // The pictures that may get copies: validated indexed or direct-colour
    // pictures that stay valid while they are adopted. Drops every copy.
    void adopt(const std::vector<unsigned char*>& pictures);
    // The copy of an adopted indexed picture for a canvas of depth 16 or 32
    // through table, made now if it is missing or stale. Null for any other
    // picture or depth, a null table, or when the budget cannot take it.
    const unsigned char* copyFor(const unsigned char* pic, const uint32_t* table, int depth);

    // Makes every copy of every owner stale.
    static void colorsChanged();
    // Bytes held by the copies of all owners.
    static size_t bytesInUse() { return inUse; }

private:
    struct Entry {
        const unsigned char* pic = nullptr;
        const uint32_t* table = nullptr;
        int bytes = 0;  // per pixel
        uint64_t generation = 0;
        size_t size = 0;  // bytes of copy
        std::unique_ptr<unsigned char[]> copy;
    };
    Entry* find(const unsigned char* pic);
    void release(Entry& e);

    std::vector<Entry> entries;  // sorted by picture address

    static uint64_t generation;
    static size_t inUse;
};
