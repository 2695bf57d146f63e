// Plug-in class libraries: real ".lrn" modules built beside the tests
// (QRN_PLUGIN_DIR), copied into a fresh temporary directory that each test
// makes its current directory.
#include "SobTestSupport.h"

#include "framework/KvModule.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace fs = std::filesystem;
using Sob = KvScriptableObject;

namespace {
std::vector<std::string> registeredClasses() {
    std::vector<std::string> names;
    for (int i = kLibraryClasses; const KvSR* r = KvSR::at(i); ++i) names.emplace_back(r->getClassName());
    return names;
}
}  // namespace

class Plugins : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(registeredByTests(), 0);
        std::random_device seed;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() / ("qrn-sob-" + std::to_string(stamp) + "-" + std::to_string(seed()));
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
    // Copies a built plug-in into the current directory, under another name if given.
    void install(const std::string& file, const std::string& as = "") {
        fs::copy_file(fs::path(QRN_PLUGIN_DIR) / file, dir / (as.empty() ? file : as));
    }

    fs::path dir, home;
};

TEST_F(Plugins, DynamicLookupLoadsTheLibraryNamedAfterTheClass) {
    install("Gizmo.lrn");
    ASSERT_EQ(KvSR::getDynamicLoad(), 1);
    // The parameter list exists only while some class is registered (in a
    // running title the library's own class always is); keep one registered
    // so that the texts below are there before the lookup loads the plug-in.
    KvSR local("Local", &Probe::make);
    std::unique_ptr<Sob> g(Sob::create("Gizmo", "5", Sob::kKvEndOfParameters));
    ASSERT_NE(g, nullptr) << KvSysModuleError();
    EXPECT_STREQ(g->isA(), "Gizmo");
    EXPECT_STREQ(g->sobGet("size"), "5");
    EXPECT_EQ(g->sobPlay("grow", "3", Sob::kKvEndOfParameters), 1);
    EXPECT_STREQ(g->sobGet("size"), "8");
    std::unique_ptr<Sob> twin(g->copy());
    twin->sobSet("size", "1");
    EXPECT_STREQ(g->sobGet("size"), "8");  // the copy's setter calls the copy
    EXPECT_EQ(registeredClasses(), (std::vector<std::string>{"Local", "Gizmo"}));
    twin.reset();
    g.reset();  // objects go before their code
    KvSR::release("gIZMO");
    EXPECT_EQ(registeredClasses(), std::vector<std::string>{"Local"});  // the library's record was destroyed
}

TEST_F(Plugins, DynamicLoadOffLeavesAPresentFileAlone) {
    install("Gizmo.lrn");
    KvSR::setDynamicLoad(0);
    EXPECT_EQ(Sob::isXtor("Gizmo"), 0);
    EXPECT_EQ(Sob::create("Gizmo", Sob::kKvEndOfParameters), nullptr);
    EXPECT_EQ(registeredByTests(), 0);
    KvSR::setDynamicLoad(1);
    EXPECT_EQ(Sob::isXtor("Gizmo"), 1);  // the file was there all along
}

TEST_F(Plugins, FailedDynamicLoadIsRetriedOnTheNextLookup) {
    EXPECT_EQ(Sob::isXtor("Gizmo"), 0);
    EXPECT_NE(std::string(KvSysModuleError()), "");
    install("Gizmo.lrn");
    EXPECT_EQ(Sob::isXtor("Gizmo"), 1);
}

TEST_F(Plugins, NameWithAFullStopIsLoadedUnchangedAndNamesTheClassBeforeIt) {
    install("Widget.pack.lrn");
    KvSR::setDynamicLoad(0);
    KvSR::load("Widget.pack");  // no ".lrn" appended: no such file
    EXPECT_EQ(registeredByTests(), 0);
    KvSR::load("Widget.pack.lrn");
    EXPECT_EQ(registeredClasses(), (std::vector<std::string>{"Widget", "Sprocket"}));
    {
        std::unique_ptr<Sob> s(Sob::createFromCommandLine("sprocket", "12"));
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s->sobGet("teeth"), "12");
    }
    KvSR::release("Sprocket");  // the handle belongs to "Widget": nothing happens
    EXPECT_EQ(registeredByTests(), 2);
    KvSR::release("Widget");  // the whole library goes, both classes with it
    EXPECT_EQ(registeredByTests(), 0);
}

TEST_F(Plugins, LoadingAnAlreadyRegisteredClassLoadsNothing) {
    install("Gizmo.lrn");
    KvSR local("gizmo", &Probe::make);
    KvSR::load("GIZMO");
    KvSR::load("Gizmo.lrn");
    EXPECT_EQ(registeredByTests(), 1);
    std::unique_ptr<Sob> o(Sob::create("Gizmo", Sob::kKvEndOfParameters));
    ASSERT_NE(o, nullptr);
    EXPECT_STREQ(o->isA(), "gizmo");  // the local class, not the plug-in
    KvSR::release("gizmo");                    // no library behind it: nothing happens
    EXPECT_EQ(registeredByTests(), 1);
}

TEST_F(Plugins, LibraryNamingNoneOfItsClassesHandsTheHandleToItsFirstClass) {
    install("Misnamed.lrn");
    KvSR::load("Misnamed");
    EXPECT_EQ(registeredClasses(), std::vector<std::string>{"Cog"});
    KvSR::release("cog");
    EXPECT_EQ(registeredByTests(), 0);
}

TEST_F(Plugins, LoadAllTakesEveryLrnFileFromTheLastNameToTheFirst) {
    install("Gizmo.lrn");
    install("Widget.pack.lrn");
    install("Misnamed.lrn");
    std::ofstream("Broken.lrn") << "not a module";  // skipped silently
    std::ofstream("notes.txt") << "not a plug-in";
    fs::create_directory(dir / "Folder.lrn");       // not an ordinary file
    install("Gizmo.lrn", ".Hidden.lrn");            // hidden files are not listed

    KvSR::load(nullptr);
    // Listed: Broken, Gizmo, Misnamed, Widget.pack; loaded the other way round.
    EXPECT_EQ(registeredClasses(), (std::vector<std::string>{"Widget", "Sprocket", "Cog", "Gizmo"}));
    EXPECT_NE(std::string(KvSysModuleError()), "");  // why Broken.lrn failed

    KvSR::load(nullptr);  // everything is there already: nothing more
    EXPECT_EQ(registeredByTests(), 4);
}

// File names compare without regard to letter case, as class names do.
TEST_F(Plugins, PluginFilesAreFoundWithoutRegardToLetterCase) {
    install("Gizmo.lrn", "gIZMO.lrn");
    KvSR::load("Gizmo");
    EXPECT_EQ(registeredClasses(), std::vector<std::string>{"Gizmo"}) << KvSysModuleError();
    install("Misnamed.lrn", "MISNAMED.LRN");
    KvSR::load(nullptr);
    EXPECT_EQ(registeredClasses(), (std::vector<std::string>{"Gizmo", "Cog"}));
}

TEST_F(Plugins, ReleaseAllSurvivesRecordsVanishingUnderTheWalk) {
    install("Widget.pack.lrn");
    install("Gizmo.lrn");
    KvSR::load(nullptr);
    KvSR local("Local", &Probe::make);
    ASSERT_EQ(registeredClasses(), (std::vector<std::string>{"Widget", "Sprocket", "Gizmo", "Local"}));
    KvSR::release(nullptr);  // Widget's release also removes Sprocket, the next entry
    EXPECT_EQ(registeredClasses(), std::vector<std::string>{"Local"});
}

TEST_F(Plugins, ReleaseAllWalksEveryPluginRecordAndLeavesTheLibrarysOwn) {
    install("Widget.pack.lrn");
    install("Gizmo.lrn");
    KvSR::load(nullptr);
    setParameters({"kept while the library's own class is registered"});
    KvSR::release(nullptr);
    EXPECT_EQ(registeredByTests(), 0);
    EXPECT_EQ(Sob::countParameters(), 1);
    // A later registration finds the list as it was, and the plug-ins load again.
    KvSR::load(nullptr);
    EXPECT_EQ(registeredByTests(), 3);
    Sob::addParameter("x");
    EXPECT_EQ(Sob::countParameters(), 2);
    Sob::resetParameters();
}

TEST_F(Plugins, LoadAllInADirectoryWithoutPluginsDoesNothing) {
    std::ofstream("readme.txt") << "nothing to load";
    KvSR::load(nullptr);
    EXPECT_EQ(registeredByTests(), 0);
}

// Names must fit 128-byte buffers: 123 characters when ".lrn" is appended,
// 127 when the name is used as it is. Longer names load nothing.
TEST_F(Plugins, OverLongNamesAreRefused) {
    KvSR::setDynamicLoad(0);
    struct Case {
        std::string name;  // as given to load
        std::string file;  // the file present in the directory
        bool loads;
    };
    const std::string pad123(123, 'n'), pad124(124, 'n');
    const std::string dotted127 = "Gizmo." + std::string(121, 'x');
    const std::string dotted128 = "Gizmo." + std::string(122, 'x');
    const std::vector<Case> cases = {
        {pad123, pad123 + ".lrn", true},
        {pad124, pad124 + ".lrn", false},
        {dotted127, dotted127, true},
        {dotted128, dotted128, false},
    };
    for (const Case& c : cases) {
        install("Gizmo.lrn", c.file);
        KvSR::load(c.name.c_str());
        EXPECT_EQ(Sob::isXtor("Gizmo"), c.loads ? 1 : 0) << c.name.size();
        KvSR::release(nullptr);
        ASSERT_EQ(registeredByTests(), 0);
        fs::remove(dir / c.file);
    }
}
