// The one scriptable class of the tests. It counts its living instances, so a
// test can tell an object that was deleted from one that leaked or died
// twice; a copy has the id plus 100. Its properties, once assigned, in order:
// data "label" (settable, keeping the parameters it was set with; readable;
// a made object starts with its first creation parameter), data "id" (read-only: the id in decimal), methods
// "collect" (keeps its parameters), "default", "fire" (passes "ping" from
// inside the call, where it is dropped), "hold" (succeeds, leaving the sync
// to the test), "fail" (no action); events "ping", "pong".
#pragma once

#include "sob/KvScriptableObject.h"

#include <cstdio>
#include <string>
#include <vector>

// Reads every parameter of the shared list the way a consumer does, plus
// one read past the end (which must give "").
inline std::vector<std::string> readAllParameters(std::string* pastEnd = nullptr) {
    std::vector<std::string> texts;
    for (int i = KvScriptableObject::countParameters(); i > 0; --i) texts.emplace_back(KvScriptableObject::nextParameter());
    if (pastEnd) *pastEnd = KvScriptableObject::nextParameter();
    return texts;
}

class ScriptableProbe : public KvScriptableObject {
public:
    explicit ScriptableProbe(int probeId = 0) : id(probeId) { ++alive; }
    ~ScriptableProbe() override { --alive; }

    // Factory for KvSR: numbers the objects it makes and keeps their parameters.
    static KvScriptableObject* make() {
        auto* p = new ScriptableProbe(nextId++);
        p->creationParameters = readAllParameters();
        if (!p->creationParameters.empty()) p->label = p->creationParameters[0];
        return p;
    }

    KvScriptableObject* copy() const override {
        auto* twin = new ScriptableProbe(id + 100);
        twin->label = label;
        sobClone(twin);
        return twin;
    }

    void sobAssignProperties() override {
        const KvMemberLink<ScriptableProbe> setLabel(this, &ScriptableProbe::setLabel);
        const KvMemberLink<ScriptableProbe> getLabel(this, &ScriptableProbe::getLabel);
        const KvMemberLink<ScriptableProbe> getId(this, &ScriptableProbe::getId);
        const KvMemberLink<ScriptableProbe> collect(this, &ScriptableProbe::collect);
        const KvMemberLink<ScriptableProbe> fallback(this, &ScriptableProbe::fallback);
        const KvMemberLink<ScriptableProbe> fire(this, &ScriptableProbe::fire);
        const KvMemberLink<ScriptableProbe> hold(this, &ScriptableProbe::hold);
        sobAddDataProperty("label", &setLabel, &getLabel);
        sobAddDataProperty("id", nullptr, &getId);
        sobAddMethodProperty("collect", &collect);
        sobAddMethodProperty(&fallback);
        sobAddMethodProperty("fire", &fire);
        sobAddMethodProperty("hold", &hold);
        sobAddMethodProperty("fail", nullptr);
        sobAddEventProperty("ping");
        sobAddEventProperty("pong");
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
    std::string label;
    std::vector<std::string> creationParameters;
    std::vector<std::string> collected;  // parameters seen by the last "collect"
    std::string collectedPastEnd;
    int collectCalls = 0;
    int fallbackCalls = 0;
    int assignCount = 0;
    static inline int alive = 0;
    static inline int nextId = 1;
    static inline std::vector<std::string> lastCollected;      // of any probe
    static inline std::vector<std::string> lastSetParameters;  // of any probe's label setter

private:
    void setLabel(const void* text) {
        label = static_cast<const char*>(text);
        lastSetParameters = readAllParameters();
    }
    void getLabel(const void* buffer) const {
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%s", label.c_str());
    }
    void getId(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", id); }
    void collect() {
        ++collectCalls;
        collected = readAllParameters(&collectedPastEnd);
        lastCollected = collected;
    }
    void fallback() { ++fallbackCalls; }
    void fire() { sobPass("ping"); }
    void hold() {}
};
