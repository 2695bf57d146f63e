// The heap and what its entries hold: entering and finding entries, clones,
// references, aliases and owned objects, handles, drops, walks and capacity.
// Entries 0 to 2 are SYSTEM, RECEIVER and RESULT; the table grows by 128
// slots and always keeps a free slot at its count. An owner deletes its
// object when it lets go of it; an alias or a reference never does. Most
// cases are runs of heap steps in tables/lifetimes.txt (the notation is
// described at the top of that file).
#include "ScriptTestSupport.h"
#include "TableFile.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <sstream>

namespace {

using Heap = ScriptTest;

class Lifetimes : public ScriptTest, public ::testing::WithParamInterface<std::string> {
protected:
    // The object of that id, made (unowned) on first mention; id 0 is none.
    ScriptableProbe* probe(int id) {
        if (id && !probes.count(id)) probes[id] = new ScriptableProbe(id);
        return id ? probes[id] : nullptr;
    }
    std::string state(const char* name) {
        YVariable* entry = var(name);
        std::string out = shown(entry);
        std::replace(out.begin(), out.end(), kYObjectMarker, '*');
        if (auto* object = static_cast<ScriptableProbe*>(held(entry))) out += "|#" + std::to_string(object->id);
        if (entry->getKind() != yvtVariable) out += "|k" + std::to_string(entry->getKind());
        if (entry->getOther() > 0) out += std::string("|>") + heap[entry->getOther()]->getName();
        if (entry->clones()) out += "|c" + std::to_string(entry->clones());
        return out;
    }
    std::string step(const std::string& verb, const std::string& name, const std::string& rest);
    std::map<int, ScriptableProbe*> probes;
};

std::string Lifetimes::step(const std::string& verb, const std::string& name, const std::string& rest) {
    const char* n = name.c_str();
    const int length = static_cast<int>(name.size());
    const int number = std::atoi(rest.c_str());
    std::ostringstream out;
    if (verb == "set") assign(n, rest.c_str());
    else if (verb == "enter") out << heap.pile(n, number, rest.substr(rest.find(' ') + 1).c_str());
    else if (verb == "plain") out << YHeapAccess::pile(n, number, yvtVariable);
    else if (verb == "index") out << heap.index(n, number);
    else if (verb == "read") out << heap[n];
    else if (verb == "make") var(n);
    else if (verb == "init") YHeapAccess::init();
    else if (verb == "pile") out << heap.pile(n, probe(number));
    else if (verb == "hold") var(n)->set(probe(number));
    else if (verb == "give") var(n)->set(var(rest.c_str()));
    else if (verb == "number") YHeapAccess::setArithmetic(var(n), std::stod(rest));
    else if (verb == "real") var(n)->set(std::stod(rest));
    else if (verb == "whole") var(n)->set(std::stol(rest));
    else if (verb == "let") var(n)->set(expression(rest.c_str()));
    else if (verb == "eval") out << evaluate(n);
    else if (verb == "reset") YHeapAccess::reset();
    else if (verb == "parts") {
        int count = 0;
        const uint16_t* parts = var(n)->getParts(count);
        out << var(n)->size() << ":";
        for (int i = 0; i < count; ++i) out << (i ? "," : "") << (parts[i] == kYNoPart ? "-" : heap[parts[i]]->getName());
    } else if (verb == "numbers") {
        long whole = -99;
        double real = -99;
        var(n)->value(&whole);
        var(n)->value(&real);
        out << whole << " " << real << " " << (!*var(n) ? "false" : "true");
    }
    else if (verb == "alias") var(n)->makeAlias();
    else if (verb == "clear") var(n)->set(nullptr, number), out << var(n)->size();
    else if (verb == "forget") var(n)->drop(0);
    else if (verb == "drop") out << heap.drop(probe(std::stoi(name)), number);
    else if (verb == "dropAll") YHeapAccess::dropTrinkets(1);
    else if (verb == "delete") delete probe(std::stoi(name));
    else if (verb == "clone") {
        const int at = heap.clone(heap.index(var(n)->getName(), length));
        out << (at < 0 ? "refused" : heap[at]->getName());
    }
    else if (verb == "pileClone") out << heap.pileClone(n, probe(number));
    else if (verb == "nameOf") {
        int at = -1;
        const char* owner = heap.getName(name == "stranger" ? reinterpret_cast<KvScriptableObject*>(&at) : probe(std::stoi(name)), &at);
        out << (owner ? owner : "null") << "@" << at;
    } else if (verb == "sob") {
        const KvSobHandle handle = heap.getSobHandle(n);
        int handled = -1;
        const auto* object = static_cast<ScriptableProbe*>(heap.getSob(handle, &handled, number));
        out << "i" << handle.getIndex() << (object ? " #" + std::to_string(object->id) : "") << " h" << handled;
    } else if (verb == "clones") {
        YVariable* clone = heap.getFirstClone(heap.index(n, length));
        for (int i = 0; i < var(n)->clones() && clone; ++i, clone = heap.getNextClone()) out << clone->getName() << ",";
        out << (heap.getNextClone() ? "more" : "end");
    } else if (verb == "vars" || verb == "procs") {
        for (const char* v = verb == "procs" ? heap.getFirstProcName() : heap.getFirstVarName(static_cast<YVS>(std::atoi(n))); v;
             v = verb == "procs" ? heap.getNextProcName() : heap.getNextVarName()) {
            const auto* trinket = static_cast<ScriptableProbe*>(YHeap::getTheTrinket());
            out << v << (trinket ? ":#" + std::to_string(trinket->id) : "") << ",";
        }
    } else ADD_FAILURE() << "no step " << verb;
    std::string given = out.str();
    std::replace(given.begin(), given.end(), kYObjectMarker, '*');
    return given;
}

TEST_P(Lifetimes, EachStepLeavesWhatItsRowExpects) {
    const auto cases = tableCases("lifetimes.txt");
    for (const auto& row : cases.at(GetParam())) {
        SCOPED_TRACE(row[0]);
        std::istringstream words(row[0]);
        std::string verb, name;
        words >> verb >> name;
        const size_t restAt = verb.size() + name.size() + 2;
        const std::string returned = step(verb, name, restAt < row[0].size() ? row[0].substr(restAt) : "");
        for (size_t k = 1; k < row.size(); ++k) {
            const auto [key, expected] = keyAndValue(row[k]);
            if (key == "#returned") EXPECT_EQ(returned, expected);
            else if (key == "#error") EXPECT_EQ(std::to_string(YVariable::getError()), expected);
            else if (key == "#alive") EXPECT_EQ(std::to_string(ScriptableProbe::alive), expected);
            else if (key == "#size") EXPECT_EQ(std::to_string(heap.size()) + "/" + std::to_string(heap.getCapacity()), expected);
            else EXPECT_EQ(state(key.c_str()), expected) << key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, Lifetimes, ::testing::ValuesIn(caseNames("lifetimes.txt")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_F(Heap, AClosedHeapDoesNothing) {
    YHeapAccess::kill();
    EXPECT_TRUE(!heap && !heap.isAlive());
    auto* object = new ScriptableProbe(1);
    EXPECT_EQ((std::vector<int>{heap.pile("x", 1, "1"), heap.pile("x", object), heap.clone(0)}), (std::vector<int>{0, 0, 0}));
    EXPECT_STREQ(heap.pileClone("x", object), "");
    delete object;
    EXPECT_TRUE(!heap[kYSystem] && !heap["x"] && !heap.getSob("x", 0) && !heap.getFirstProcName() &&
                !heap.getFirstVarName(yvsNone) && !heap.getFirstClone(0));
    EXPECT_EQ(heap.index("SYSTEM", 6), -1);
    EXPECT_FALSE(heap.getSobHandle("x").isValid());
}

TEST_F(Heap, TheTableGrowsBy128Slots) {
    for (int i = 0; heap.size() < 131; ++i) {
        const std::string name = "v" + std::to_string(i);
        heap.pile(name.c_str(), static_cast<int>(name.size()), "x");
    }
    EXPECT_EQ(heap.getCapacity(), 259);
    for (int i = 0; i < heap.size(); ++i) ASSERT_NE(heap[i], nullptr);
    EXPECT_EQ(heap[heap.size()], nullptr);
}

TEST_F(Heap, TheHeapHoldsAtMost32767Entries) {
    while (heap.size() < kYMaxEntries) ASSERT_GE(YHeapAccess::append(YHeapAccess::plain("filler")), 0);
    EXPECT_EQ(heap.size(), kYMaxEntries);
    YVariable* extra = YHeapAccess::plain("extra");
    EXPECT_EQ(YHeapAccess::append(extra), -1);
    delete extra;
    EXPECT_EQ(heap.pile("new", 3, "1"), -1);
    auto* object = new ScriptableProbe(1);
    EXPECT_EQ(heap.pile("other", object), -1);
    EXPECT_STREQ(heap.pileClone("filler", object), "");
    delete object;
    EXPECT_EQ(heap["missing"], nullptr);
    EXPECT_EQ(heap.clone(3), -1);
    EXPECT_STREQ(heap.polish("unknown+1"), "");
    EXPECT_EQ(YVariable::getError(), yerrHeapFull);
    YVariable::setError(yerrNone);  // existing names are still found
    EXPECT_EQ(heap.pile("filler", 6, "x"), 3);
    EXPECT_EQ(heap.size(), kYMaxEntries);
}

// Names are found through an index; what it finds must be what a walk of the
// table finds: the first entry of that name, and for a base name entered after
// its clones (name.N, with no full stop in N), the first of them and the
// highest N. A record read over an entry renames it.
TEST_F(Heap, NamesAreFoundAsAWalkOfTheTableFindsThem) {
    const auto walk = [this](const std::string& name) {
        for (int i = 0; i < heap.size(); ++i)
            if (heap[i]->getName() && name == heap[i]->getName()) return i;
        return -1;
    };
    std::mt19937 random(17);
    const char* parts[] = {"a", "b", "ab", "1", "2", "10"};
    int linked = 0;
    for (int step = 0; step < 3000; ++step) {
        std::string name = "n" + std::to_string(random() % 300);
        for (int dots = random() % 3; dots > 0; --dots) name += std::string(".") + parts[random() % 6];
        const int length = static_cast<int>(name.size());
        ASSERT_EQ(heap.index(name.c_str(), length), walk(name)) << name;
        if (random() % 2) {
            YHeapAccess::pile(name.c_str(), length, random() % 2 ? yvtVariable : yvtConstant);
            continue;
        }
        int other = 0, highest = 0;
        for (int i = 0; i < heap.size(); ++i) {
            const char* own = heap[i]->getName();
            if (heap[i]->getKind() != yvtVariable || std::strncmp(own, name.c_str(), length) != 0 ||
                std::strrchr(own, '.') != own + length)
                continue;
            if (other == 0) other = i;
            highest = std::max(highest, std::atoi(own + length + 1));
        }
        const bool isNew = walk(name) < 0;
        const YVariable* entry = heap[heap.pile(name.c_str(), length, "v")];
        ASSERT_TRUE(entry);
        if (!isNew) continue;
        EXPECT_EQ(entry->getOther(), other) << name;
        if (other) EXPECT_EQ(entry->clones(), highest) << name;
        linked += other != 0;
    }
    EXPECT_GT(linked, 50);
    const std::vector<unsigned char> record = recordOf(var("zz"));
    YVariable* renamed = var("yy");
    const unsigned char* cursor = record.data();
    ASSERT_EQ(renamed->read(cursor, cursor + record.size(), 0), 1);
    EXPECT_EQ(heap.index("yy", 2), -1);
    EXPECT_EQ(heap.index("zz", 2), walk("zz"));
    const int again = heap.pile("yy", 2, "again");
    EXPECT_EQ(again, heap.size() - 1);
}

// A path resolved beyond 127 characters is refused.
TEST_F(Heap, AnObjectIsReadThroughItsPath) {
    auto* object = new ScriptableProbe(1);
    heap.pile("sprite.2", object);
    assign("k", "2");
    YVariable* path = var("sprite.k");
    KvScriptableObject* seen = nullptr;
    path->resolve(seen);
    EXPECT_EQ(seen, object);
    EXPECT_EQ(held(path), object);
    EXPECT_EQ(heap.getSob("sprite.k", 0), object);
    char buffer[kYValueBufferSize];
    EXPECT_EQ(path->value(buffer), heap.index("sprite.2", 8));  // the value of another entry
    assign("long", std::string(130, 'x').c_str());
    YVariable* tooLong = var("sprite.long");
    int length = 1;
    EXPECT_EQ(tooLong->resolveName(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(tooLong->getAssociate(), -1);
}

}  // namespace
