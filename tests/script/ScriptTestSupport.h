// Shared fixtures for the script value and heap tests: the door to the heap's
// life cycle (normally driven by script threads) and a fixture that gives every
// test a fresh heap with only the predefined entries.
#pragma once

#include "script/YHeap.h"
#include "script/YVariable.h"
#include "tests/support/ScriptableProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct YHeapAccess {
    static void init() { YHeap::theHeap.init(); }
    static void kill() { YHeap::theHeap.kill(); }
    static void reset() { YHeap::theHeap.reset(); }
    static int pile(const char* name, int length, YVT kind) { return YHeap::theHeap.pile(name, length, kind); }
    static int append(YVariable* entry) { return YHeap::theHeap.append(entry); }
    static void dropTrinkets(int deleteObjects) { YHeap::theHeap.dropTrinkets(deleteObjects); }
    static void save(FILE* file) { YHeap::theHeap.save(file); }
    // A fresh entry, as the loader of compiled scripts makes before reading a record.
    static YVariable* fresh() { return new YVariable(); }
    static YVariable* plain(const char* name) { return new YVariable(name, static_cast<int>(std::strlen(name)), yvtVariable); }
    static void setArithmetic(YVariable* entry, double number) { entry->setArithmetic(number); }
    static int arithmeticText(double number, char* digits) { return YVariable::arithmeticText(number, digits); }
};

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        YHeapAccess::reset();
        YVariable::setError(yerrNone);
    }
    void TearDown() override {
        YHeapAccess::kill();
        // The heap deletes what it owns; tests delete what they took.
        EXPECT_EQ(ScriptableProbe::alive, 0) << "objects leaked or deleted twice";
        ScriptableProbe::alive = 0;
    }

    // The entry of that name, found or made (as the compiler enters words).
    YVariable* var(const char* name) {
        return heap[heap.pile(name, static_cast<int>(std::strlen(name)), static_cast<const char*>(nullptr))];
    }
    YVariable* assign(const char* name, const char* value) {
        YVariable* entry = var(name);
        entry->set(value, -1);
        return entry;
    }
    static std::string text(YVariable* entry) {
        int length = 0;
        const char* value = entry->value(length);
        return std::string(value, length);
    }
    // An entry in one line, "text|form|a<alias>|h<handled>", so that a check
    // of its whole state reads as one expected value.
    static std::string shown(YVariable* entry) {
        static const char* const forms[] = {"none", "object", "text", "long", "double"};
        return text(entry) + "|" + forms[entry->getForm()] + "|a" + std::to_string(entry->getAlias()) + "|h" +
               std::to_string(entry->getHandled());
    }
    static KvScriptableObject* held(YVariable* entry) {
        KvScriptableObject* object = nullptr;
        entry->value(object);
        return object;
    }
    // Analyses a word as the compiler does: an expression entry when the code
    // has an operation, else the single term.
    YVariable* expression(const char* source) {
        const int length = static_cast<int>(std::strlen(source));
        const char* code = heap.polish(source, length);
        if (code[0] == 's') return heap[YHeapAccess::pile(source, length, yvtExpression)];
        int count = 0;
        const uint16_t* terms = YHeap::getTerms(count);
        return count > 0 ? heap[terms[0]] : nullptr;
    }
    std::string evaluate(const char* source) {
        YVariable* entry = expression(source);
        return entry ? text(entry) : std::string("<no entry>");
    }

    YHeap& heap = YHeap::theHeap;
};

// The record an entry writes (as a compiled file holds it).
inline std::vector<unsigned char> recordOf(const YVariable* entry) {
    FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(entry->write(file), 1);
    const long size = std::ftell(file);
    std::rewind(file);
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}
