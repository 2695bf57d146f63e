// Scriptable-object scenarios: the registry, plug-ins, property tables and
// their error codes, events, the parameter list, clones and births, driven on
// the probe class of tests/support. Each scenarios/NAME.txt holds commands
// ("> " lines), each followed by what it printed; the driver runs them and
// rebuilds the text, which must come out unchanged. "#" notes and blank lines
// are kept as they are. Both may abbreviate: "<c*N>" stands for N copies of c,
// "\t" for a tab, "\1" for the byte 0x01. Plug-ins are the ".lrn" modules
// built beside the tests (QRN_PLUGIN_DIR), copied into a fresh directory that
// is the current one while a scenario runs; "reset" (and the end) drops every
// object, plug-in and test class, so nothing leaks onward.
#include "SobTestSupport.h"
#include "tests/support/CaseFiles.h"
#include "tests/support/Joined.h"

#include "framework/KvModule.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using Sob = KvScriptableObject;

namespace {

const fs::path kScenarios = fs::path(QRN_TEST_DATA) / "sob" / "scenarios";
// A build without plug-ins (the web build: a page loads no modules) skips the
// scenario that installs them.
#ifndef QRN_PLUGIN_DIR
#define QRN_PLUGIN_DIR ""
#endif

KvScriptableObject* makeProbe7() { return new Probe(7); }
KvScriptableObject* makeProbe8() { return new Probe(8); }
KvScriptableObject* makeNothing() { return nullptr; }
std::string* missLog = nullptr;  // where the miss handler writes, while installed

std::string expand(std::string w) {
    for (size_t at; (at = w.find("<")) != std::string::npos;) {
        const size_t end = w.find('>', at);
        w.replace(at, end - at + 1, std::string(std::stoul(w.substr(at + 3, end - at - 3)), w[at + 1]));
    }
    for (size_t at; (at = w.find("\\t")) != std::string::npos;) w.replace(at, 2, "\t");
    for (size_t at; (at = w.find("\\1")) != std::string::npos;) w.replace(at, 2, "\x01");
    return w;
}
const char* const kErrors[] = {"no error", "no such property", "property failed"};
// "-" alone stands for null.
const char* orNull(const std::string& w) { return w == "-" ? nullptr : w.c_str(); }

class Scenario : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        ASSERT_EQ(registeredByTests(), 0);
        Probe::nextId = 1;  // ids and parameters shown do not depend on the tests before
        KvScriptableObject::resetParameters();
        dir = fs::temp_directory_path() / ("qrn-sob-" + GetParam() + "-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directory(dir));
        home = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        reset();
        fs::current_path(home);
        fs::remove_all(dir);
        EXPECT_EQ(registeredByTests(), 0);
    }
    void reset() {
        objects.clear();  // objects go before their code
        records.clear();
        KvSR::release(nullptr);
        KvSR::setDynamicLoad(1);
        if (missLog) KvSR::setMissHandler(previousMissHandler), missLog = nullptr;
        for (const auto& f : fs::directory_iterator(dir)) fs::remove_all(f.path());
    }
    const char* keep(const std::string& name) { return names.emplace_back(name).c_str(); }
    // A link of the named recorder, whose stored argument is the recorder.
    KvLink* link(const std::string& recorder) { return recorder.empty() || recorder == "-" ? nullptr : new RecordingLink(&recorders[recorder], &recorders[recorder]); }
    Probe& probe(const std::string& slot) { return dynamic_cast<Probe&>(*objects.at(slot)); }
    std::string classes() const {
        std::string list;
        for (int i = kLibraryClasses; const KvSR* r = KvSR::at(i); ++i) list += std::string(list.empty() ? "" : " ") + r->getClassName();
        return list.empty() ? "(none)" : list;
    }
    static std::string made(Sob* o) {
        if (!o) return "none";
        std::string s = o->isA() ? o->isA() : "(no class)";
        if (o->sobGet("id")) s += std::string(" id ") + o->sobGet("id");
        if (auto* p = dynamic_cast<Probe*>(o))
            for (const std::string& t : p->creationParameters) s += " [" + t + "]";
        return s;
    }
    // Runs one command line; returns what it prints.
    std::string run(const std::string& line) {
        std::istringstream in(line);
        std::string op;
        std::vector<std::string> w;
        in >> op;
        for (std::string word; in >> word;) w.push_back(expand(word));
        const size_t given = w.size();
        w.resize(std::max<size_t>(given, 5));
        const std::string &a = w[0], &b = w[1];
        // Word i as a parameter text: past the given words, the end marker.
        const auto text = [&](size_t i) { return i >= given ? Sob::kKvEndOfParameters : w[i] == "\"\"" ? "" : orNull(w[i]); };
        if (op == "reset") reset();
        else if (op == "install") fs::copy_file(fs::path(QRN_PLUGIN_DIR) / a, dir / (b.empty() ? a : b));
        else if (op == "write") std::ofstream(a) << b;
        else if (op == "mkdir") fs::create_directory(dir / a);
        else if (op == "remove") fs::remove(dir / a);
        else if (op == "dynamic") KvSR::setDynamicLoad(std::stoi(a));
        else if (op == "load") KvSR::load(orNull(a));
        else if (op == "release") KvSR::release(orNull(a));
        else if (op == "classes") return classes();
        else if (op == "count") return std::to_string(registeredByTests());
        else if (op == "isXtor") return std::to_string(Sob::isXtor(orNull(a)));
        else if (op == "moduleError") return *KvSysModuleError() ? "set" : "empty";
        else if (op == "class") {
            KvSR::Factory f = b == "7" ? makeProbe7 : b == "8" ? makeProbe8 : b == "null" ? makeNothing : &Probe::make;
            records.emplace_back(a, std::make_unique<KvSR>(keep(a), f));
        } else if (op == "unclass") {
            std::erase_if(records, [&](const auto& r) { return r.first == a; });
        } else if (op == "params") {
            Sob::resetParameters();
            for (size_t i = 0; i < given; ++i) Sob::addParameter(orNull(w[i]));
        } else if (op == "addParam") Sob::addParameter(a.c_str());
        else if (op == "paramList") {
            Sob::prepareParameters();
            std::string list;
            for (const std::string& t : readAllParameters()) list += "[" + t + "]";
            return list;
        } else if (op == "find") {  // find RECORD NAME: whether that record answers to the name
            for (const auto& r : records)
                if (r.first == a) return std::to_string(r.second->find(orNull(b)));
        } else if (op == "at") {
            const KvSR* r = KvSR::at(std::stoi(a));
            return r ? r->getClassName() : "(null)";
        } else if (op == "born") {
            const KvFunctionLink hook([this](const void*) { printed += "born hook\n"; });
            return std::to_string(Sob::setBornHandler(orNull(a), b == "-" ? nullptr : &hook));
        } else if (op == "new") {  // new SLOT CLASS [up to three texts, "" for an empty one]
            objects[a].reset(Sob::create(orNull(b), text(2), text(3), text(4), Sob::kKvEndOfParameters));
            return made(objects[a].get());
        } else if (op == "line") {  // line SLOT CLASS |TEXT|: the text between the outer bars, or null without them
            const size_t open = line.find('|'), close = line.rfind('|');
            const std::string between = open == std::string::npos ? "" : expand(line.substr(open + 1, close - open - 1));
            objects[a].reset(Sob::createFromCommandLine(orNull(b), open == std::string::npos ? nullptr : between.c_str()));
            return made(objects[a].get());
        } else if (op == "get") {
            const char* v = objects.at(a)->sobGet(orNull(b));
            return v ? v : "(null)";
        } else if (op == "set") return std::to_string(objects.at(a)->sobSet(b.c_str(), orNull(w[2])));
        else if (op == "bind") {  // bind SLOT EVENT HANDLER [CLONELINK]: links of recorders, "-" for none
            const std::unique_ptr<KvLink> handler(link(w[2])), cloner(link(w[3]));
            return std::to_string(objects.at(a)->sobSet(b.c_str(), handler.get(), cloner.get()));
        } else if (op == "log") {  // "with own argument": calls that got the argument the link stored
            const CallRecorder& r = recorders[a];
            return joined("calls", r.calls, "with own argument", std::count(r.args.begin(), r.args.end(), &r), "deaths", r.deaths);
        } else if (op == "loose") objects[a] = std::make_unique<Probe>(b.empty() ? 0 : std::stoi(b));  // no class, no properties
        else if (op == "clone") objects.at(a)->sobClone(objects.at(b).get());
        else if (op == "bornAs") objects.at(a)->sobBorn(orNull(b));
        else if (op == "newborn") return Sob::getNewborn() == objects.at(a).get() ? "yes" : "no";
        else if (op == "assigned") return std::to_string(probe(a).assignCount);
        else if (op == "made") return made(objects.at(a).get());
        else if (op == "assign") objects.at(a)->sobAssignProperties();
        else if (op == "table") {
            std::string t;
            for (const std::string& e : probe(a).table()) t += (t.empty() ? "" : " ") + e;
            return t.empty() ? "(empty)" : t;
        } else if (op == "addData") {
            const std::unique_ptr<KvLink> l(link(w[2]));
            objects.at(a)->sobAddDataProperty(keep(b), l.get(), l.get());
        } else if (op == "addMethod") {  // addMethod SLOT NAME|- ACTION: "-" adds the default method
            const std::unique_ptr<KvLink> l(link(w[2]));
            b == "-" ? objects.at(a)->sobAddMethodProperty(l.get()) : objects.at(a)->sobAddMethodProperty(keep(b), l.get());
        } else if (op == "addEvent") objects.at(a)->sobAddEventProperty(keep(b));
        else if (op == "removeProperty") objects.at(a)->sobRemoveProperty(b.c_str());
        else if (op == "sync") {
            const std::unique_ptr<KvLink> l(link(b));
            objects.at(a)->sobSetSyncLink(l.get());
        } else if (op == "skip") Sob::prepareParameters(), Sob::nextParameter();
        else if (op == "collected") {
            std::string list;
            for (const std::string& t : probe(a).collected) list += "[" + t + "]";
            return joined(list, "past end [" + probe(a).collectedPastEnd + "] count", Sob::countParameters());
        } else if (op == "pass") return std::to_string(objects.at(a)->sobPass(b.c_str()));
        else if (op == "error") return kErrors[Sob::lastPropertyError()];
        else if (op == "play") return std::to_string(objects.at(a)->sobPlay(orNull(b), text(2), text(3), text(4), Sob::kKvEndOfParameters));
        else if (op == "copy") objects[a].reset(objects.at(b)->copy());
        else if (op == "drop") objects.erase(a);
        else if (op == "tellMisses") {
            missLog = &printed;
            previousMissHandler = KvSR::setMissHandler([](const char* name) { *missLog += std::string("told ") + name + "\n"; });
        } else return "unknown command " + op;
        return "";
    }

    fs::path dir, home;
    std::deque<std::string> names;  // records and properties keep a pointer to their name
    std::vector<std::pair<std::string, std::unique_ptr<KvSR>>> records;
    std::map<std::string, CallRecorder> recorders;  // declared first: links in objects die into them
    std::map<std::string, std::unique_ptr<Sob>> objects;
    std::string printed;
    KvSR::MissHandler previousMissHandler = nullptr;
};

TEST_P(Scenario, PrintsExactlyWhatTheFileExpects) {
    std::ifstream in(kScenarios / (GetParam() + ".txt"));
    std::string expected, got, line;
    bool output = false;  // inside a command's output, which is rebuilt
    while (std::getline(in, line)) {
        const bool isOutput = output && !line.empty() && line[0] != '#' && line.rfind("> ", 0) != 0;
        expected += (isOutput ? expand(line) : line) + "\n";  // an expected output may abbreviate, as commands do
        if (line.rfind("> ", 0) == 0) {
            printed.clear();
            const std::string out = run(line.substr(2));
            got += line + "\n" + printed + (out.empty() ? "" : out + "\n");
            output = true;
        } else if (!output || line.empty() || line[0] == '#') {
            got += line + "\n";
            output = false;
        }
    }
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, Scenario, ::testing::ValuesIn([] {
    std::vector<std::string> names = caseNames(kScenarios);
    if (!*QRN_PLUGIN_DIR) std::erase(names, "plugins");
    return names;
}()), caseName);

}  // namespace
