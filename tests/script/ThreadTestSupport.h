// Fixtures for the script thread tests: a headless application in a fresh
// temporary working directory (say writes debug.txt there) and helpers to
// write scripts and run threads pass by pass; scripts know the test class
// ScriptableProbe by the name "Gadget", and "Echo", whose property "seen"
// reads as the parameters it was given.
#pragma once

#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/headless/KvHeadlessBackend.h"
#include "script/YEvents.h"
#include "script/YHeap.h"
#include "script/YThread.h"
#include "sob/KvSR.h"
#include "sob/KvScriptableObject.h"
#include "tests/support/ScriptableProbe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The application, the backend and the working directory of one test.
class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void write(const std::string& file, const std::string& text) const;
    std::string read(const std::string& file) const;
    std::string debug() const { return read("debug.txt"); }
    // Passes until the thread has no runnable script, the application stops,
    // or limit passes ran; returns the passes made.
    int runUntilEnd(YThread& thread, int limit = 5000);
    // A fresh application, directory and heap for the next row of a table.
    void fresh() {
        TearDown();
        SetUp();
    }
    void passes(int count) {
        for (int i = 0; i < count; ++i) app->pass();
    }
    // Compiles a script text (written to a file) and starts it.
    std::unique_ptr<YThread> start(const std::string& text, const char* file = "test.mps");
    KvScriptableObject* object(const char* name) { return YHeap::theHeap.getSob(name, 0); }

    KvHeadlessBackend backend;
    std::unique_ptr<KvApp> app;
    std::filesystem::path previous;
    std::filesystem::path directory;
    int savedDynamicLoad = 1;
};

// Host keywords the tests register: "poke NAME EVENT" passes EVENT from the
// object held by the variable NAME; "note TEXTS..." appends its parameters
// to notes; "tick" counts its calls in ticks and returns the count in RESULT.
void registerTestKeywords();
extern std::vector<std::string> notes;
extern int ticks;
