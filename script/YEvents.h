// Event bindings and host keywords.
//
// An eventRecord ties an object's event to a script procedure: the command
// index where the handler starts (just after the procedure's entry), the
// object, the script name the binding was made through (not owned) and a copy
// of the event's name. Every live record is in eventRecordList; it joins when
// made and leaves when destroyed. The links that objects hold for a binding
// refer to their record by address and serial number, so a link whose record
// is gone (a script switch deletes them all) does nothing instead of reaching
// freed memory.
//
// Host keywords: YExtend registers a statement word with a link; a statement
// whose first word is not a built-in keyword calls the link with the resolved
// texts of its other words in the shared parameter list. YSetRESULT hands a
// result back through the predefined variable RESULT.
#pragma once

#include "framework/KvLink.h"
#include "framework/KvList.h"

#include <cstdint>

class KvScriptableObject;
class YThread;

class eventRecord {
public:
    struct Pair {
        const char* event;
        KvScriptableObject* object;
    };
    static KvList<eventRecord>& eventRecordList();
    static Pair pair;

    ~eventRecord();
    eventRecord(const eventRecord&) = delete;
    eventRecord& operator=(const eventRecord&) = delete;

    static void flush();
    // Deletes the object's binding of event, or every binding of the object (null event).
    static void remove(KvScriptableObject* const object, const char* event);

    long getHandler() const { return handler; }
    KvScriptableObject* getObject() const { return object; }
    const char* getName() const { return name; }
    const char* getEventName() const { return eventName; }
    // The record at that address with that serial number, if it still lives.
    static eventRecord* find(const eventRecord* record, uint64_t serial);
    uint64_t getSerial() const { return serial; }

private:
    friend class YThread;

    eventRecord(const char* name, long handler, KvScriptableObject* object, const char* event);
    int find(const void* object) const;
    int findBoth() const;
    void discard(const void* object);
    static const char* getName(KvScriptableObject* const object);
    // Called through the clone link when an object with this binding is copied.
    void clone(const void* info);

    long handler;
    KvScriptableObject* object;
    const char* name;
    char* eventName;
    uint64_t serial;
};

// The link an object holds for a bound event (and a class for its born
// handler): calling it, with or without an argument, hands the record to the
// binding thread's handleEvent, while the record lives.
class YEventLink : public KvLink {
public:
    YEventLink(YThread* thread, const eventRecord* record);
    void operator()(const void*) const override { deliver(); }
    void call() const override { deliver(); }
    KvLink* clone() const override { return new YEventLink(*this); }
    // The record this link delivers (a copied object's binding is rebound to its own).
    void rebind(const eventRecord* record);
    const eventRecord* getRecord() const { return record; }

private:
    void deliver() const;
    YThread* thread;
    const eventRecord* record;
    uint64_t serial;
};

// Registers (or replaces) a host keyword; the link is cloned and may be null.
void YExtend(const char* keyword, const KvLink* link);
const char* YGetFirstCustomKeyword();
const char* YGetNextCustomKeyword();
const KvLink* YGetLastKeywordLink();
// The link of a registered keyword (exact comparison), or null; found is set
// to whether the keyword is registered.
const KvLink* YFindCustomKeyword(const char* keyword, bool& found);
void YSetRESULT(const char* text);
void YSetRESULT(double number);
void YSetRESULT(long number);
