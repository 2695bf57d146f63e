// The one call recorder of the tests: links that write what they were called
// with into a CallRecorder, in call order. A RecordingLink also counts its
// own destructions (each clone the library stores is one more), so a test
// can tell a link that was deleted from one that leaked or died twice.
#pragma once

#include "framework/KvLink.h"

#include <string>
#include <vector>

struct CallRecorder {
    std::vector<std::string> entries;  // the names of named links, as they were called
    int calls = 0;
    int deaths = 0;
    std::vector<const void*> args;     // the argument of each call of a RecordingLink
    std::vector<void*> targets;        // the link's target at each call

    // A link that appends its name to entries when called.
    KvFunctionLink link(const std::string& name) {
        return KvFunctionLink([this, name](const void*) { entries.push_back(name); });
    }
    std::string joined() const {
        std::string out;
        for (const std::string& e : entries) out += (out.empty() ? "" : " ") + e;
        return out;
    }
};

class RecordingLink : public KvLink {
public:
    explicit RecordingLink(CallRecorder* r, const void* stored = nullptr) : recorder(r), arg(stored) {}
    RecordingLink(const RecordingLink&) = default;
    ~RecordingLink() override { ++recorder->deaths; }
    void operator()(const void* a) const override { record(a); }
    void call() const override { record(arg); }
    KvLink* clone() const override { return new RecordingLink(*this); }
    void setTarget(void* object) override { target = object; }
    void* getTarget() const override { return target; }

private:
    void record(const void* a) const {
        ++recorder->calls;
        recorder->args.push_back(a);
        recorder->targets.push_back(target);
    }
    CallRecorder* recorder;
    const void* arg;
    void* target = nullptr;
};
