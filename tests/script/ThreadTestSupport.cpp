// The Gadget class, its registration record and the thread test fixture.
#include "tests/script/ThreadTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <random>

namespace {
KvSR gadgetRecord("Gadget", &Gadget::make);
}

std::vector<std::string> notes;
int ticks = 0;

KvScriptableObject* Gadget::make() {
    auto* gadget = new Gadget(nextId++);
    gadget->label = KvScriptableObject::nextParameter();
    return gadget;
}

KvScriptableObject* Gadget::copy() const {
    auto* twin = new Gadget(id + 100);
    twin->label = label;
    sobClone(twin);
    return twin;
}

void Gadget::sobAssignProperties() {
    const KvMemberLink<Gadget> setter(this, &Gadget::setLabel);
    const KvMemberLink<Gadget> getter(this, &Gadget::getLabel);
    const KvMemberLink<Gadget> idGetter(this, &Gadget::getId);
    sobAddDataProperty("label", &setter, &getter);
    sobAddDataProperty("id", nullptr, &idGetter);
    const KvMemberLink<Gadget> fireLink(this, &Gadget::fire);
    const KvMemberLink<Gadget> holdLink(this, &Gadget::hold);
    const KvMemberLink<Gadget> collectLink(this, &Gadget::collect);
    sobAddMethodProperty("fire", &fireLink);
    sobAddMethodProperty("hold", &holdLink);
    sobAddMethodProperty("fail", nullptr);
    sobAddMethodProperty("collect", &collectLink);
    sobAddEventProperty("ping");
    sobAddEventProperty("pong");
}

void Gadget::setLabel(const void* text) { label = static_cast<const char*>(text); }
void Gadget::getLabel(const void* buffer) const {
    std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%s", label.c_str());
}
void Gadget::getId(const void* buffer) const { std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", id); }
void Gadget::fire() { sobPass("ping"); }
void Gadget::hold() {}
void Gadget::collect() {
    lastParameters.clear();
    for (int i = KvScriptableObject::countParameters(); i > 0; --i) lastParameters.emplace_back(nextParameter());
}

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
    Gadget::nextId = 1;
    Gadget::lastParameters.clear();
}

void ThreadTest::TearDown() {
    EXPECT_EQ(YThread::getThreadCount(), 0) << "a thread outlived its test";
    EXPECT_EQ(YThread::getTask(), nullptr);
    EXPECT_EQ(Gadget::alive, 0) << "gadgets leaked or deleted twice";
    Gadget::alive = 0;
    YThread::setYieldEventsOff(0);
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

std::string ThreadTest::read(const std::string& file) const {
    std::ifstream in(directory / file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
