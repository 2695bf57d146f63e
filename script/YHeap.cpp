// The variable heap: entering and finding entries, clones, objects held by
// entries, the walks and saving. Names are found through the name index
// (YHeapNames), which follows the table: every entry the table takes is
// indexed as it is taken. The table grows in steps of kYHeapGrowth slots and
// always keeps a free slot at count.
#include "script/YHeap.h"

#include "sob/KvScriptableObject.h"

#include <cstdlib>
#include <cstring>

YHeap YHeap::theHeap;
int YHeap::nameCursor = 0;
YVS YHeap::nameFilter = yvsNone;
int YHeap::cloneCursor = -1;
KvScriptableObject* YHeap::theTrinket = nullptr;

namespace {

int lengthOf(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

}  // namespace

// ------------------------------------------------------------------ life cycle

void YHeap::init() {
    if (alive) return;
    count = 0;
    capacity = 3;
    table = static_cast<YVariable**>(std::calloc(capacity, sizeof(YVariable*)));
    if (!table) {
        capacity = 0;
        return;
    }
    alive = 1;
    pile("SYSTEM", 6, static_cast<const char*>(nullptr));
    pile("RECEIVER", 8, static_cast<const char*>(nullptr));
    pile("RESULT", 6, static_cast<const char*>(nullptr));
    table[kYSystem]->set("WIN", -1);
    table[kYSystem]->alias = 1;
    table[kYReceiver]->alias = -1;
}

void YHeap::kill() {
    if (!alive) return;
    alive = 0;  // an object's destructor that calls back finds the heap closed
    for (int i = 0; i < count; ++i) delete table[i];
    std::free(table);
    table = nullptr;
    names.clear();
    capacity = 0;
    count = 0;
}

bool YHeap::extend() {
    if (count < capacity) return true;
    auto* grown = static_cast<YVariable**>(std::realloc(table, (capacity + kYHeapGrowth) * sizeof(YVariable*)));
    if (!grown) return false;
    table = grown;
    capacity += kYHeapGrowth;
    return true;
}

int YHeap::take(YVariable* entry) {
    if (count >= kYMaxEntries || count >= capacity) {
        delete entry;
        return -1;
    }
    table[count] = entry;
    ++count;
    indexLast();
    extend();
    return count - 1;
}

void YHeap::indexLast() {
    if (namesRenames == YVariable::renames)
        names.add(count - 1, table[count - 1]->getName());
    else
        freshen();  // the rebuild takes the new entry too
}

void YHeap::freshen() const {
    if (namesRenames == YVariable::renames) return;
    names.clear();
    for (int i = 0; i < count; ++i) names.add(i, table[i]->getName());
    namesRenames = YVariable::renames;
}

// Past the checks take cannot fail (extend left a free slot), so a refused
// entry is never deleted here.
int YHeap::append(YVariable* const entry) {
    if (!alive || !entry || count >= kYMaxEntries || !extend()) return -1;
    return take(entry);
}

// ----------------------------------------------------------- entering entries

int YHeap::fixName(const char* name, int length, int& found) {
    found = index(name, length);
    if (found >= 0) return 0;
    found = count;
    extend();
    return 1;
}

int YHeap::pile(const char* name, int length, const char* value) {
    if (!alive) return 0;
    if (!name) return -1;
    if (length < 0) length = lengthOf(name);
    int found = 0;
    if (!fixName(name, length, found)) return found;
    if (count >= kYMaxEntries) return -1;
    auto* entry = new YVariable(name, length, value);
    // A base name entered after its clones (name.N) learns of them.
    for (const int i : names.clonesOf(name, length)) {
        const YVariable* clone = table[i];
        if (clone->getKind() != yvtVariable) continue;
        const char* own = clone->getName();
        if (entry->other == 0) entry->other = i;
        const int number = std::atoi(own + length + 1);
        if (number > entry->cloneCount) entry->cloneCount = number;
    }
    return take(entry);
}

// Names are compared over exactly length bytes, so callers may pass texts
// that go on past length (a token inside a script line).
int YHeap::pile(const char* name, int length, YVT kind) {
    if (!alive) return 0;
    if (!name) return -1;
    freshen();
    for (const int i : names.named(name, length))
        if (table[i]->getKind() == kind) return i;
    if (count >= kYMaxEntries || !extend()) return -1;
    return take(new YVariable(name, length, kind));
}

int YHeap::pile(const char* name, KvScriptableObject* object) {
    if (!alive) return 0;
    const int found = pile(name, lengthOf(name), static_cast<const char*>(nullptr));
    if (found < 0) return -1;
    table[found]->set(object);
    return found;
}

const char* YHeap::pileClone(const char* name, KvScriptableObject* object) {
    if (!alive) return "";
    const int base = pile(name, lengthOf(name), static_cast<const char*>(nullptr));
    const int made = base < 0 ? -1 : clone(base);
    if (made < 0) return "";
    table[made]->set(object);
    return table[made]->getName();
}

int YHeap::clone(int base) {
    if (!alive) return 0;
    YVariable* entry = (*this)[base];
    if (!entry || !entry->getName()) return -1;
    const int baseLength = lengthOf(entry->getName());
    if (baseLength > kYMaxValueLength || count >= kYMaxEntries) return -1;
    if (entry->clones() == 0) entry->other = count;
    ++entry->cloneCount;
    char cloneName[kYValueBufferSize + 16];
    const int length = std::snprintf(cloneName, sizeof cloneName, "%s.%d", entry->getName(), entry->cloneCount);
    const int found = index(cloneName, length);
    if (found >= 0) return found;
    return take(new YVariable(cloneName, length, static_cast<const char*>(nullptr)));
}

// ------------------------------------------------------------ finding entries

int YHeap::index(const char* name, int length) const {
    if (!alive || !name) return -1;
    freshen();
    const std::span<const int> found = names.named(name, length);
    return found.empty() ? -1 : found.front();
}

int YHeap::index(YVariable* const entry) const {
    if (!alive || !entry || !entry->getName()) return -1;
    freshen();
    for (const int i : names.named(entry->getName(), lengthOf(entry->getName())))
        if (table[i]->getKind() == entry->getKind()) return i;
    return -1;
}

const char* YHeap::operator[](const char* name) {
    if (!alive || !name) return nullptr;
    const int length = lengthOf(name);
    int found = index(name, length);
    if (found < 0) {
        if (count >= kYMaxEntries) return nullptr;
        found = take(new YVariable(name, length, static_cast<const char*>(nullptr)));
        if (found < 0) return nullptr;
    }
    int valueLength = 0;
    return table[found]->value(valueLength);
}

// ------------------------------------------------------------------- objects

KvSobHandle YHeap::getSobHandle(const char* name) {
    if (!alive || !name) return KvSobHandle(-1);
    int found = index(name, lengthOf(name));
    if (found < 0) return KvSobHandle(-1);
    if (table[found]->getKind() == yvtPath) {
        int length = 0;
        const char* resolved = table[found]->resolveName(length);
        found = resolved ? index(resolved, length) : -1;
        if (found < 0) return KvSobHandle(-1);
    }
    table[found]->handled = 1;
    return KvSobHandle(found);
}

bool YHeap::holds(const YVariable* entry, const KvScriptableObject* object) {
    return entry->form == yvsObject && entry->payload.object == object;
}

// The heap stops owning a taken object: its owner entry becomes an alias.
void YHeap::giveUp(YVariable* entry) {
    YVariable* owner = entry->holder();
    if (owner->alias == 0) owner->alias = 1;
}

KvScriptableObject* YHeap::getSob(KvSobHandle handle, int* handled, int take) const {
    YVariable* entry = (*this)[handle.getIndex()];
    KvScriptableObject* object = nullptr;
    if (entry) entry->value(object);
    if (object && take) giveUp(entry);
    if (handled) *handled = entry ? entry->handled : 0;
    return object;
}

KvScriptableObject* YHeap::getSob(const char* name, int take) const {
    YVariable* entry = (*this)[index(name, lengthOf(name))];
    if (!entry) return nullptr;
    KvScriptableObject* object = nullptr;
    entry->resolve(object);
    if (object && take) giveUp(entry);
    return object;
}

const char* YHeap::getName(KvScriptableObject* object, int* at) const {
    if (!alive || !object) return nullptr;
    for (int i = 0; i < count; ++i) {
        if (!holds(table[i], object) || table[i]->alias != 0) continue;
        if (at) *at = i;
        return table[i]->getName();
    }
    return nullptr;
}

// Entries are cleared directly (not through a reference's forwarding): each
// of them is itself the holder found.
int YHeap::drop(KvScriptableObject* object, int deleteObject) {
    if (!alive || !object) return 0;
    int result = 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        YVariable* entry = table[i];
        if (!holds(entry, object)) continue;
        if (first) {
            first = false;
            result = entry->alias != -1 ? 1 : 0;
            entry->assign(nullptr, deleteObject ? -2 : -3);
        } else {
            entry->assign(nullptr, -3);
        }
    }
    return result;
}

void YHeap::dropTrinkets(int deleteObjects) {
    if (!alive) return;
    for (int i = 0; i < count; ++i) {
        YVariable* entry = table[i];
        if (entry->getForm() == yvsObject && entry->alias == 0) entry->assign(nullptr, deleteObjects ? -2 : -3);
    }
}

// --------------------------------------------------------------------- walks

const char* YHeap::getFirstProcName() {
    nameCursor = 0;
    return getNextProcName();
}

const char* YHeap::getNextProcName() {
    while (alive && nameCursor < count) {
        const YVariable* entry = table[nameCursor++];
        if (entry->text && entry->text[0] == '+') return entry->getName();
    }
    return nullptr;
}

const char* YHeap::getFirstVarName(YVS form) {
    nameCursor = kYResult;  // SYSTEM and RECEIVER never appear
    nameFilter = form;
    return getNextVarName();
}

const char* YHeap::getNextVarName() {
    while (alive && nameCursor < count) {
        const YVariable* entry = table[nameCursor++];
        if (entry->getKind() != yvtVariable || !entry->text || entry->alias != 0 || entry->text[0] == '+') continue;
        if (nameFilter != yvsNone && entry->getForm() != nameFilter) continue;
        theTrinket = entry->getForm() == yvsObject ? entry->payload.object : nullptr;
        return entry->getName();
    }
    return nullptr;
}

YVariable* YHeap::getFirstClone(int base) {
    const YVariable* entry = (*this)[base];
    cloneCursor = entry && entry->other != 0 ? entry->other : -1;
    return getNextClone();
}

YVariable* YHeap::getNextClone() {
    if (!alive || cloneCursor <= 0 || cloneCursor >= count) return nullptr;
    return table[cloneCursor++];
}

// -------------------------------------------------------------------- saving

void YHeap::save(FILE* file) const {
    if (!alive || count <= 3) return;
    for (int i = 3; i < count; ++i) table[i]->write(file);
}
