// The registration of the test class as "Gadget", the host keywords and the
// thread test fixture.
#include "tests/script/ThreadTestSupport.h"
#include "tests/support/CaseFiles.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

namespace {

KvSR gadgetRecord("Gadget", &ScriptableProbe::make);

// "Echo": its one property, "seen", reads as the parameters its getter was
// given, so that a script shows which words a get passes.
class Echo : public KvScriptableObject {
public:
    KvScriptableObject* copy() const override { return new Echo; }
    void sobAssignProperties() override {
        const KvMemberLink<Echo> seen(this, &Echo::seen);
        sobAddDataProperty("seen", nullptr, &seen);
    }

private:
    void seen(const void* buffer) const {
        std::string line;
        for (const std::string& parameter : readAllParameters()) line += "[" + parameter + "]";
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%s", line.c_str());
    }
};
KvSR echoRecord("Echo", [] { return static_cast<KvScriptableObject*>(new Echo); });

}  // namespace

std::vector<std::string> notes;
int ticks = 0;

void registerTestKeywords() {
    const KvFunctionLink poke([](const void*) {
        const std::string holder = KvScriptableObject::nextParameter();
        const std::string event = KvScriptableObject::nextParameter();
        if (KvScriptableObject* target = YHeap::theHeap.getSob(holder.c_str(), 0)) target->sobPass(event.c_str());
    });
    const KvFunctionLink note([](const void*) {
        std::string line;
        for (int i = KvScriptableObject::countParameters(); i > 0; --i) {
            if (!line.empty()) line += '|';
            line += KvScriptableObject::nextParameter();
        }
        notes.push_back(line);
    });
    const KvFunctionLink tick([](const void*) { YSetRESULT(static_cast<long>(++ticks)); });
    YExtend("poke", &poke);
    YExtend("tick", &tick);
    YExtend("note", &note);
}

void ThreadTest::SetUp() {
    previous = std::filesystem::current_path();
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
    // Unique per process: the same test may run in two builds at once.
    directory = std::filesystem::temp_directory_path() /
                ("qrn-thread-" + name + "-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
    KvBackend::install(&backend);
    app = std::make_unique<KvApp>();
    savedDynamicLoad = KvSR::getDynamicLoad();
    KvSR::setDynamicLoad(0);
    YThread::setYieldEventsOff(0);
    registerTestKeywords();
    notes.clear();
    ticks = 0;
    ScriptableProbe::nextId = 1;
    ScriptableProbe::lastCollected.clear();
    ScriptableProbe::lastSetParameters.clear();
}

void ThreadTest::TearDown() {
    EXPECT_EQ(YThread::getThreadCount(), 0) << "a thread outlived its test";
    EXPECT_EQ(YThread::getTask(), nullptr);
    EXPECT_EQ(ScriptableProbe::alive, 0) << "gadgets leaked or deleted twice";
    ScriptableProbe::alive = 0;
    YThread::setYieldEventsOff(0);
    KvScriptableObject::setBornHandler("Gadget", nullptr);
    KvSR::setDynamicLoad(savedDynamicLoad);
    app.reset();
    KvBackend::install(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(directory);
}

void ThreadTest::write(const std::string& file, const std::string& text) const {
    std::ofstream out(directory / file, std::ios::binary);
    out << text;
}

std::string ThreadTest::read(const std::string& file) const { return fileText(directory / file); }

int ThreadTest::runUntilEnd(YThread& thread, int limit) {
    int made = 0;
    while (made < limit && thread && !app->isStopped()) {
        app->pass();
        ++made;
    }
    return made;
}

std::unique_ptr<YThread> ThreadTest::start(const std::string& text, const char* file) {
    write(file, text);
    auto thread = std::make_unique<YThread>(file);
    thread->go();
    return thread;
}
