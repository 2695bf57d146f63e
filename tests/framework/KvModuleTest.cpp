// Module loading failures and the directory listing used to find plug-ins.
#include "framework/KvModule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(ModuleLoading, MissingModuleGivesNullAndAReason) {
    EXPECT_EQ(KvSysLoadModule("no-such-module.lrn"), nullptr);
    EXPECT_NE(std::string(KvSysModuleError()), "");
    EXPECT_EQ(KvSysLoadModule(nullptr), nullptr);
    KvSysFreeModule(nullptr);  // ignored
}

TEST(ModuleListing, SortsOrdinaryMatchingFilesByName) {
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() /
                         ("qrn-list-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    ASSERT_TRUE(fs::create_directory(dir));
    fs::current_path(dir);
    for (const char* f : {"b.lrn", "a.lrn", "B.lrn", "c.lrnx", "a.txt"}) std::ofstream(f) << "x";
    fs::create_directory("d.lrn");
    std::vector<std::string> names{"stale"};
    const int n = KvSysListFiles("*.lrn", &names);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"B.lrn", "a.lrn", "b.lrn"}));
    EXPECT_EQ(KvSysListFiles(nullptr, &names), -1);
    EXPECT_EQ(KvSysListFiles("*.lrn", nullptr), -1);
    fs::current_path(home);
    fs::remove_all(dir);
}
