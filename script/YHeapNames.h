// The heap's index of its entries' names, so that finding an entry by name
// costs one hash lookup instead of a walk of the table (a compile makes and
// finds an entry for every name and part it meets: walking made compiling a
// text quadratic in the number of its entries).
// - For each name, the entries bearing it; for each name with a full stop, the
//   entries under the part before its last full stop (the clone names x.1,
//   x.2 of x). Both lists are in table order, so their first entry is the one
//   a walk of the table finds first.
// - It keeps copies of the names. An entry never changes its name except when
//   a record is read over it; that counts in YVariable::renames, and the heap
//   rebuilds its index before the next lookup after such a count.
// - Kinds are not indexed: an entry's kind may change, so lookups by kind
//   check it on each entry of the name's list.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class YHeapNames {
public:
    // Records that the entry at index (the heap's last so far) bears name.
    void add(int index, const char* name);
    void clear();
    // Entries named exactly the length bytes of name, in table order.
    std::span<const int> named(const char* name, int length) const;
    // Entries named name (length bytes), a full stop and a last part without
    // full stops, in table order.
    std::span<const int> clonesOf(const char* name, int length) const;

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Lists = std::unordered_map<std::string, std::vector<int>, Hash, std::equal_to<>>;

    static std::span<const int> find(const Lists& lists, const char* name, int length);

    Lists byName;
    Lists byStem;
};
