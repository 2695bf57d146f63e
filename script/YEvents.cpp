// Event records and their links, handleEvent, host keywords and RESULT.
// Records live from the set statement that binds them (or a timer firing)
// until the binding is replaced, the object dropped, or every record is
// flushed (script switch, stop, drop trinkets, thread destroyed).
#include "script/YEvents.h"

#include "script/YHeap.h"
#include "script/YThread.h"
#include "script/YVariable.h"
#include "sob/KvScriptableObject.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

eventRecord::Pair eventRecord::pair = {nullptr, nullptr};

namespace {

uint64_t nextSerial = 1;

char* copyText(const char* text) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

// The random generator is seeded when the library starts ("?" constants).
const bool seeded = (std::srand(static_cast<unsigned>(std::time(nullptr))), true);

}  // namespace

KvList<eventRecord>& eventRecord::eventRecordList() {
    static KvList<eventRecord> records;
    return records;
}

eventRecord::eventRecord(const char* bindingName, long start, KvScriptableObject* bound, const char* event)
    : handler(start), object(bound), name(bindingName), eventName(copyText(event)), serial(nextSerial++) {
    eventRecordList().append(this);
}

eventRecord::~eventRecord() {
    std::free(eventName);
    eventRecordList().remove(this);
}

int eventRecord::find(const void* target) const { return object == target ? 1 : 0; }

int eventRecord::findBoth() const {
    if (!eventName || !pair.event) return 0;
    return object == pair.object && std::strcmp(eventName, pair.event) == 0 ? 1 : 0;
}

void eventRecord::discard(const void* target) {
    if (find(target)) delete this;
}

eventRecord* eventRecord::find(const eventRecord* record, uint64_t serial) {
    KvList<eventRecord>::Cursor walk(eventRecordList());
    for (eventRecord* r = walk.first(); r; r = walk.next())
        if (r == record && r->serial == serial) return r;
    return nullptr;
}

void eventRecord::flush() {
    while (eventRecord* r = eventRecordList().first()) delete r;
}

const char* eventRecord::getName(KvScriptableObject* const target) {
    KvList<eventRecord>::Cursor walk(eventRecordList());
    for (eventRecord* r = walk.first(); r; r = walk.next()) {
        if (!r->find(target)) continue;
        return r->name ? r->name : YHeap::theHeap.getName(target, nullptr);
    }
    return nullptr;
}

void eventRecord::remove(KvScriptableObject* const target, const char* event) {
    KvList<eventRecord>::Cursor walk(eventRecordList());
    if (!event) {
        for (eventRecord* r = walk.first(); r; r = walk.next()) r->discard(target);
        return;
    }
    pair = {event, target};
    for (eventRecord* r = walk.first(); r; r = walk.next())
        if (r->findBoth()) {
            delete r;
            return;
        }
}

// A copied object gets its own record for the same handler, named through
// the heap (the record has no name), and the copy's link delivers it.
void eventRecord::clone(const void* info) {
    const auto* cloneInfo = static_cast<const KvSOBCloneInfo*>(info);
    if (!cloneInfo || !cloneInfo->link || !cloneInfo->owner) return;
    auto* link = dynamic_cast<YEventLink*>(cloneInfo->link);
    if (!link) return;
    link->rebind(new eventRecord(nullptr, handler, cloneInfo->owner, eventName));
}

// ---------------------------------------------------------------- the links

YEventLink::YEventLink(YThread* binder, const eventRecord* bound)
    : thread(binder), record(bound), serial(bound ? bound->getSerial() : 0) {}

void YEventLink::rebind(const eventRecord* bound) {
    record = bound;
    serial = bound ? bound->getSerial() : 0;
}

// Records are deleted only with every thread's bindings (or by the thread that
// made them), so a record that still lives has a live thread.
void YEventLink::deliver() const {
    if (thread && eventRecord::find(record, serial)) thread->handleEvent(record);
}

// ------------------------------------------------------------- handleEvent

void YThread::handleEvent(const void* record) {
    if (pendingThread) return;
    const int remembered = turnState;
    if (yieldEventsOff) turnState = kYTurnRunOn;
    step(record);
    for (;;) {
        if (pendingThread && turnState < -1) pendingIndex = -turnState;
        if (pendingThread || turnEnds()) break;
        step(nullptr);
    }
    if (yieldEventsOff) turnState = remembered;
}

// ------------------------------------------------------------ host keywords

namespace {

struct CustomKeyword {
    std::string keyword;
    KvLink* link;
};

class CustomKeywords {
public:
    ~CustomKeywords() {
        while (CustomKeyword* k = list.first()) {
            list.remove(k);
            delete k->link;
            delete k;
        }
    }
    CustomKeyword* find(const char* keyword) {
        KvList<CustomKeyword>::Cursor walk(list);
        for (CustomKeyword* k = walk.first(); k; k = walk.next())
            if (k->keyword == keyword) return k;
        return nullptr;
    }
    KvList<CustomKeyword> list;
    KvList<CustomKeyword>::Cursor cursor{list};
    const KvLink* lastLink = nullptr;
};

CustomKeywords& customKeywords() {
    static CustomKeywords keywords;
    return keywords;
}

}  // namespace

void YExtend(const char* keyword, const KvLink* link) {
    if (!keyword) return;
    CustomKeywords& keywords = customKeywords();
    if (CustomKeyword* old = keywords.find(keyword)) {
        keywords.list.remove(old);
        if (keywords.lastLink == old->link) keywords.lastLink = nullptr;
        delete old->link;
        delete old;
    }
    keywords.list.append(new CustomKeyword{keyword, link ? link->clone() : nullptr});
}

const char* YGetFirstCustomKeyword() {
    customKeywords().cursor.first();
    return YGetNextCustomKeyword();
}

const char* YGetNextCustomKeyword() {
    CustomKeywords& keywords = customKeywords();
    CustomKeyword* k = keywords.cursor.current();
    if (!k) return nullptr;
    keywords.lastLink = k->link;
    keywords.cursor.next();
    return k->keyword.c_str();
}

const KvLink* YGetLastKeywordLink() { return customKeywords().lastLink; }

const KvLink* YFindCustomKeyword(const char* keyword, bool& found) {
    CustomKeyword* k = keyword ? customKeywords().find(keyword) : nullptr;
    found = k != nullptr;
    return k ? k->link : nullptr;
}

void YSetRESULT(const char* text) {
    if (YVariable* result = YHeap::theHeap[kYResult]) result->set(text, -1);
}

void YSetRESULT(double number) {
    if (YVariable* result = YHeap::theHeap[kYResult]) result->set(number);
}

void YSetRESULT(long number) {
    if (YVariable* result = YHeap::theHeap[kYResult]) result->set(number);
}
