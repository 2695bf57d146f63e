// Shared test fixtures for scriptable objects: a link that logs its calls,
// targets and destructions, and a small scriptable class "Probe" whose
// properties record what the library hands them.
#pragma once

#include "sob/KvSR.h"
#include "sob/KvScriptableObject.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// The classes the library registers itself while it loads ("KvAnimation"):
// they come first in the registry and keep it, and the shared parameter
// list, alive for the whole process.
inline constexpr int kLibraryClasses = 1;
// Records registered besides the library's own.
inline int registeredByTests() { return KvSR::count() - kLibraryClasses; }

// What every clone of one LoggingLink did.
struct LinkLog {
    int calls = 0;
    int deaths = 0;
    std::vector<const void*> args;   // argument of each call
    std::vector<void*> targets;      // the clone's target at each call
};

class LoggingLink : public KvLink {
public:
    LoggingLink(LinkLog* l, const void* stored = nullptr) : log(l), arg(stored) {}
    LoggingLink(const LoggingLink&) = default;
    ~LoggingLink() override { ++log->deaths; }
    void operator()(const void* a) const override { record(a); }
    void call() const override { record(arg); }
    KvLink* clone() const override { return new LoggingLink(*this); }
    void setTarget(void* object) override { target = object; }
    void* getTarget() const override { return target; }

private:
    void record(const void* a) const {
        ++log->calls;
        log->args.push_back(a);
        log->targets.push_back(target);
    }
    LinkLog* log;
    const void* arg;
    void* target = nullptr;
};

// Reads every parameter of the shared list the way a consumer does, plus
// one read past the end (which must give "").
inline std::vector<std::string> readAllParameters(std::string* pastEnd = nullptr) {
    std::vector<std::string> texts;
    for (int i = KvScriptableObject::countParameters(); i > 0; --i) texts.emplace_back(KvScriptableObject::nextParameter());
    if (pastEnd) *pastEnd = KvScriptableObject::nextParameter();
    return texts;
}

// A scriptable class for tests. Properties (after sobAssignProperties):
// data "value" (settable, readable), data "id" (read-only: "probe-<id>"),
// method "collect" (records its parameters), method "default", event "poked".
class Probe : public KvScriptableObject {
public:
    explicit Probe(int probeId = 0) : id(probeId) {}

    // Factory for KvSR: records the parameters it was created with.
    static KvScriptableObject* make() {
        Probe* p = new Probe();
        p->creationParameters = readAllParameters();
        return p;
    }

    KvScriptableObject* copy() const override {
        Probe* twin = new Probe(id + 1);
        sobClone(twin);
        return twin;
    }

    void sobAssignProperties() override {
        const KvMemberLink<Probe> setValue(this, &Probe::setValue);
        const KvMemberLink<Probe> getValue(this, &Probe::getValue);
        const KvMemberLink<Probe> getId(this, &Probe::getId);
        const KvMemberLink<Probe> collect(this, &Probe::collect);
        const KvMemberLink<Probe> fallback(this, &Probe::fallback);
        sobAddDataProperty("value", &setValue, &getValue);
        sobAddDataProperty("id", nullptr, &getId);
        sobAddMethodProperty("collect", &collect);
        sobAddMethodProperty(&fallback);
        sobAddEventProperty("poked");
        ++assignCount;
    }

    // The property table, in order, as "name:type".
    std::vector<std::string> table() const {
        std::vector<std::string> out;
        KvList<KvScriptableObjectProperty>::Cursor c(*properties);
        for (KvScriptableObjectProperty* p = c.first(); p; p = c.next())
            out.push_back(std::string(p->getName()) + ":" + std::to_string(p->getType()));
        return out;
    }

    int id;
    std::string value;
    std::vector<std::string> creationParameters;
    std::vector<std::string> collected;  // parameters seen by the last "collect"
    std::string collectedPastEnd;
    int collectCalls = 0;
    int fallbackCalls = 0;
    int assignCount = 0;

private:
    void setValue(const void* text) { value = static_cast<const char*>(text); }
    void getValue(const void* buffer) const {
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%s", value.c_str());
    }
    void getId(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "probe-%d", id); }
    void collect() {
        ++collectCalls;
        collected = readAllParameters(&collectedPastEnd);
    }
    void fallback() { ++fallbackCalls; }
};

// Keeps the class "Probe" registered, which also keeps the shared parameter
// list alive, for the length of a test.
class WithProbeClass : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(registeredByTests(), 1); }
    // Log for a born link given to the class: declared first, so it outlives
    // the record that holds the link.
    LinkLog born;
    KvSR probeRecord{"Probe", &Probe::make};
};
