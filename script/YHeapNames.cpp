// The name index of the heap: two hash maps from names to ascending lists of
// table indices (see YHeapNames.h for what each holds).
#include "script/YHeapNames.h"

#include <cstring>

void YHeapNames::add(int index, const char* name) {
    if (!name) return;
    byName[name].push_back(index);
    if (const char* stop = std::strrchr(name, '.')) byStem[std::string(name, stop - name)].push_back(index);
}

void YHeapNames::clear() {
    byName.clear();
    byStem.clear();
}

std::span<const int> YHeapNames::find(const Lists& lists, const char* name, int length) {
    if (!name || length < 0) return {};
    const auto found = lists.find(std::string_view(name, static_cast<size_t>(length)));
    if (found == lists.end()) return {};
    return found->second;
}

std::span<const int> YHeapNames::named(const char* name, int length) const { return find(byName, name, length); }

std::span<const int> YHeapNames::clonesOf(const char* name, int length) const { return find(byStem, name, length); }
