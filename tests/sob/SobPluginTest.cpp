// Plug-in class libraries: real ".lrn" modules built beside the tests
// (QRN_PLUGIN_DIR, see tests/plugins), copied into a fresh temporary directory
// that each test makes its current directory. Every test ends with all
// plug-ins released, so none leaks into the next.
#include "SobTestSupport.h"

#include "framework/KvModule.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace fs = std::filesystem;
using Sob = KvScriptableObject;
using Texts = std::vector<std::string>;

namespace {
Texts registeredClasses() {
    Texts names;
    for (int i = kLibraryClasses; const KvSR* r = KvSR::at(i); ++i) names.emplace_back(r->getClassName());
    return names;
}
}  // namespace

class Plugins : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(registeredByTests(), 0);
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() / ("qrn-sob-" + std::to_string(stamp) + "-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directory(dir));
        home = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        KvSR::release(nullptr);
        KvSR::setDynamicLoad(1);
        fs::current_path(home);
        fs::remove_all(dir);
        EXPECT_EQ(registeredByTests(), 0);
    }
    // Copies built plug-ins into the current directory, the first under another name if given.
    void install(std::initializer_list<const char*> files, const std::string& as = "") {
        for (const char* f : files) fs::copy_file(fs::path(QRN_PLUGIN_DIR) / f, dir / (as.empty() ? f : as));
    }

    fs::path dir, home;
};

TEST_F(Plugins, DynamicLookupLoadsTheLibraryNamedAfterTheClass) {
    install({"Gizmo.lrn"});
    ASSERT_EQ(KvSR::getDynamicLoad(), 1);
    // The parameter list lives only while some class is registered (in a
    // running title the library's own class always is): keep one, so that the
    // texts are there before the lookup loads the plug-in.
    KvSR local("Local", &Probe::make);
    std::unique_ptr<Sob> g(Sob::create("Gizmo", "5", Sob::kKvEndOfParameters));
    ASSERT_NE(g, nullptr) << KvSysModuleError();
    EXPECT_STREQ(g->isA(), "Gizmo");
    EXPECT_STREQ(g->sobGet("size"), "5");
    EXPECT_EQ(g->sobPlay("grow", "3", Sob::kKvEndOfParameters), 1);
    std::unique_ptr<Sob> twin(g->copy());
    twin->sobSet("size", "1");
    EXPECT_STREQ(g->sobGet("size"), "8");  // the copy's setter calls the copy
    EXPECT_EQ(registeredClasses(), (Texts{"Local", "Gizmo"}));
    twin.reset();
    g.reset();  // objects go before their code
    KvSR::release("gIZMO");
    EXPECT_EQ(registeredClasses(), Texts{"Local"});
}

// Off, a present file is left alone; a failed load is retried on the next lookup.
TEST_F(Plugins, LookupsLoadOnlyWhenDynamicLoadIsOnAndRetryAfterAFailure) {
    EXPECT_EQ(Sob::isXtor("Gizmo"), 0);
    EXPECT_NE(std::string(KvSysModuleError()), "");
    install({"Gizmo.lrn"});
    KvSR::setDynamicLoad(0);
    EXPECT_EQ(Sob::isXtor("Gizmo"), 0);
    EXPECT_EQ(Sob::create("Gizmo", Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(registeredByTests(), 0);
    KvSR::setDynamicLoad(1);
    EXPECT_EQ(Sob::isXtor("Gizmo"), 1);
}

// A name with a full stop is loaded as it is, and names the class before it,
// which holds the library: releasing another of its classes does nothing.
TEST_F(Plugins, NameWithAFullStopIsLoadedUnchangedAndNamesTheClassBeforeIt) {
    install({"Widget.pack.lrn"});
    KvSR::setDynamicLoad(0);
    KvSR::load("Widget.pack");
    EXPECT_EQ(registeredByTests(), 0);
    KvSR::load("Widget.pack.lrn");
    EXPECT_EQ(registeredClasses(), (Texts{"Widget", "Sprocket"}));
    {
        std::unique_ptr<Sob> s(Sob::createFromCommandLine("sprocket", "12"));
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s->sobGet("teeth"), "12");
    }
    KvSR::release("Sprocket");
    EXPECT_EQ(registeredByTests(), 2);
    KvSR::release("Widget");
    EXPECT_EQ(registeredByTests(), 0);
}

TEST_F(Plugins, LoadingAnAlreadyRegisteredClassLoadsNothing) {
    install({"Gizmo.lrn"});
    KvSR local("gizmo", &Probe::make);
    KvSR::load("GIZMO");
    KvSR::load("Gizmo.lrn");
    std::unique_ptr<Sob> o(Sob::create("Gizmo", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_STREQ(o->isA(), "gizmo");  // the local class, not the plug-in
    KvSR::release("gizmo");           // no library behind it: nothing happens
    EXPECT_EQ(registeredClasses(), Texts{"gizmo"});
}

TEST_F(Plugins, LibraryNamingNoneOfItsClassesHandsTheHandleToItsFirstClass) {
    install({"Misnamed.lrn"});
    KvSR::load("Misnamed");
    EXPECT_EQ(registeredClasses(), Texts{"Cog"});
    KvSR::release("cog");
    EXPECT_EQ(registeredByTests(), 0);
}

// Skipped: a file that is no module (silently), other extensions, a folder,
// hidden files. Loaded from the last name to the first; a second walk finds
// everything there already. File names compare without regard to letter case.
TEST_F(Plugins, LoadAllTakesEveryLrnFileFromTheLastNameToTheFirst) {
    install({"Widget.pack.lrn", "Gizmo.lrn"});
    install({"Misnamed.lrn"}, "MISNAMED.LRN");
    install({"Gizmo.lrn"}, ".Hidden.lrn");
    std::ofstream("Broken.lrn") << "not a module";
    std::ofstream("notes.txt") << "not a plug-in";
    fs::create_directory(dir / "Folder.lrn");
    KvSR::load(nullptr);
    EXPECT_EQ(registeredClasses(), (Texts{"Widget", "Sprocket", "Cog", "Gizmo"}));
    EXPECT_NE(std::string(KvSysModuleError()), "");  // why Broken.lrn failed
    KvSR::load(nullptr);
    EXPECT_EQ(registeredByTests(), 4);
    KvSR local("Local", &Probe::make);
    setParameters({"kept while the library's own class is registered"});
    KvSR::release(nullptr);  // Widget's release also removes Sprocket, the next entry
    EXPECT_EQ(registeredClasses(), Texts{"Local"});
    EXPECT_EQ(Sob::countParameters(), 1);
}

TEST_F(Plugins, LoadByNameFindsTheFileWithoutRegardToLetterCaseAndLoadsAgainAfterARelease) {
    install({"Gizmo.lrn"}, "gIZMO.lrn");
    KvSR::load("Gizmo");
    EXPECT_EQ(registeredClasses(), Texts{"Gizmo"}) << KvSysModuleError();
    KvSR::release(nullptr);
    KvSR::load(nullptr);
    EXPECT_EQ(registeredClasses(), Texts{"Gizmo"});
    KvSR::release(nullptr);
    fs::remove(dir / "gIZMO.lrn");
    std::ofstream("readme.txt") << "nothing to load";
    KvSR::load(nullptr);
    EXPECT_EQ(registeredByTests(), 0);
}

// Names must fit 128-byte buffers: 123 characters when ".lrn" is appended,
// 127 when the name is used as it is. Longer names load nothing.
TEST_F(Plugins, OverLongNamesAreRefused) {
    KvSR::setDynamicLoad(0);
    const std::string pad123(123, 'n'), pad124(124, 'n'), dotted127 = "Gizmo." + std::string(121, 'x'), dotted128 = dotted127 + "x";
    const struct {
        std::string name, file;  // as given to load, as present in the directory
        bool loads;
    } cases[] = {{pad123, pad123 + ".lrn", true}, {pad124, pad124 + ".lrn", false}, {dotted127, dotted127, true}, {dotted128, dotted128, false}};
    for (const auto& c : cases) {
        install({"Gizmo.lrn"}, c.file);
        KvSR::load(c.name.c_str());
        EXPECT_EQ(Sob::isXtor("Gizmo"), c.loads ? 1 : 0) << c.name.size();
        KvSR::release(nullptr);
        fs::remove(dir / c.file);
    }
}
