// The one table of script heap entries, shared by every script thread and the
// host. Compiled scripts refer to entries by index, so:
// - an entry's index never changes while the heap is alive, and entries are
//   never removed one by one (dropping clears a value, not the entry);
// - the table always has a free slot at index count (it grows by 128 slots);
// - indices travel as signed 16-bit numbers (-1 ends an operand list), so the
//   heap refuses to hold more than kYMaxEntries entries: a refused entry
//   gives the index -1 and, in an analysis, the error yerrHeapFull.
// The heap also holds the expression analyser (polish), which writes Polish
// code backwards into one static 128-byte buffer and the terms into one
// static array of 128 indices.
#pragma once

#include "script/KvSobHandle.h"
#include "script/YHeapNames.h"
#include "script/YVariable.h"

#include <cstdint>
#include <cstdio>

class KvScriptableObject;

// Slots added each time the table is full.
inline constexpr int kYHeapGrowth = 128;
// At most this many entries: every index fits a signed 16-bit word.
inline constexpr int kYMaxEntries = 32767;
// The analyser's code buffer: at most 127 code bytes and the terminator.
inline constexpr int kYCodeBufferSize = 128;
// At most this many terms in one analysed expression.
inline constexpr int kYMaxTerms = 128;

// The predefined entries made by init.
inline constexpr int kYSystem = 0;    // "SYSTEM", text "WIN", alias
inline constexpr int kYReceiver = 1;  // "RECEIVER", a reference
inline constexpr int kYResult = 2;    // "RESULT"

class YHeap {
public:
    YHeap() = default;
    ~YHeap() { kill(); }
    YHeap(const YHeap&) = delete;
    YHeap& operator=(const YHeap&) = delete;

    static YHeap theHeap;
    static YHeap& get() { return theHeap; }

    int size() const { return count; }
    operator int() const { return count; }
    bool operator!() const { return count == 0; }
    int isAlive() const { return alive; }
    int getCapacity() const { return capacity; }

    // ---- entering entries (0 when the heap is not alive, -1 when full) ----
    // Finds the entry named by exactly length bytes (any kind), or makes one
    // from the name and gives it value; value is not applied to an existing entry.
    int pile(const char* name, int length, const char* value);
    // Names an object: the entry takes (and owns) it.
    int pile(const char* name, KvScriptableObject* object);
    // Names an object under the next clone name of name; returns that name
    // ("" when the heap is not alive or full, the object then not taken).
    const char* pileClone(const char* name, KvScriptableObject* object);
    // The entry for the next clone name (name.1, name.2, ...) of entry index.
    int clone(int index);

    // ---- finding entries ----
    // The first entry whose name is exactly those length bytes, or -1.
    int index(const char* name, int length) const;
    YVariable* operator[](int at) const { return alive && at >= 0 && at < count ? table[at] : nullptr; }
    // The value text of the entry of that name, made when missing.
    const char* operator[](const char* name);

    // ---- objects ----
    KvSobHandle getSobHandle(const char* name);
    // take: the heap stops owning the object and the caller takes it over.
    KvScriptableObject* getSob(KvSobHandle handle, int* handled, int take) const;
    KvScriptableObject* getSob(const char* name, int take) const;
    const char* getName(KvScriptableObject* object, int* index) const;
    // Clears every entry holding object; 1 when the first holder was cleared
    // as asked and is not a reference.
    int drop(KvScriptableObject* object, int deleteObject);

    // ---- walks (each restarts when its first call is made again) ----
    const char* getFirstProcName();
    const char* getNextProcName();
    const char* getFirstVarName(YVS form);
    const char* getNextVarName();
    static KvScriptableObject* getTheTrinket() { return theTrinket; }
    YVariable* getFirstClone(int index);
    YVariable* getNextClone();

    // ---- the expression analyser ----
    // Returns the code (from the code cursor to the terminator); the terms are
    // in getTerms. On an error the code is empty and getError() tells why.
    const char* polish(const char* text, int length);
    const char* polish(const char* text);
    const char* polish(const char* first, const char* last);
    static const uint16_t* getTerms(int& termCount);

private:
    friend class YVariable;
    friend class YThread;
    friend class YCompiler;
    friend struct YProgram;
    // Tests and tools that drive the heap without a script thread define it.
    friend struct YHeapAccess;

    void init();
    void kill();
    void reset() {
        kill();
        init();
    }
    int pile(const char* name, int length, YVT kind);
    // Takes an entry made elsewhere (the loader of compiled scripts); -1 when
    // the heap is full or not alive (the caller keeps the entry).
    int append(YVariable* const entry);
    int fixName(const char* name, int length, int& index);
    int index(YVariable* const entry) const;
    void dropTrinkets(int deleteObjects);
    void save(FILE* file) const;
    bool extend();
    // Appends a freshly made entry, or deletes it and gives -1 when full.
    int take(YVariable* entry);
    // Adds the entry just placed at count - 1 to the name index.
    void indexLast();
    // Rebuilds the name index when a record has renamed an entry since it was built.
    void freshen() const;
    static bool holds(const YVariable* entry, const KvScriptableObject* object);
    static void giveUp(YVariable* entry);

    // Analysis by operator level (YPolish.cpp).
    void analyse(const char* text, int length, int level);
    void analyseTerm(const char* text, int length);
    void emit(char byte);

    int alive = 0;
    int capacity = 0;
    int count = 0;
    YVariable** table = nullptr;
    // A cache of the table's names (rebuilt by the const lookups when stale).
    mutable YHeapNames names;
    mutable unsigned namesRenames = 0;

    static int nameCursor;
    static YVS nameFilter;
    static int cloneCursor;
    static KvScriptableObject* theTrinket;
    static char codeBuffer[kYCodeBufferSize];
    static char* codeCursor;
    static uint16_t terms[kYMaxTerms];
    static int termCount;
};
