// A fresh headless backend and application for every test, and the framework's
// global switches put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "framework/KvApp.h"
#include "framework/KvBackend.h"
#include "framework/KvCursor.h"
#include "framework/KvEvent.h"
#include "framework/headless/KvHeadlessBackend.h"

// Backend: the headless backend or a test's own subclass of it.
template <class Backend>
class HeadlessTestWith : public ::testing::Test {
protected:
    void SetUp() override {
        KvBackend::install(&backend);
        KvEventSetXFormMouseFct(nullptr);
        KvCursor::hidden = 0;
        app = std::make_unique<KvApp>();
    }
    void TearDown() override {
        app.reset();
        KvEventSetXFormMouseFct(nullptr);
        KvCursor::hidden = 0;
        KvBackend::install(nullptr);
    }

    Backend backend;
    std::unique_ptr<KvApp> app;
};

using HeadlessTest = HeadlessTestWith<KvHeadlessBackend>;
