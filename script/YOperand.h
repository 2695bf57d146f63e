// One value inside an expression evaluation: what a temporary heap entry
// would hold, without the heap entry. A number keeps its binary value and
// makes its "%ld"/"%.15g" text only when the text is read, into a small
// buffer of its own. A text either borrows the stable text of a heap entry
// (no plain variable is assigned while an expression evaluates) or lies in a
// value buffer taken from a pool that the evaluator reuses, so evaluating
// allocates nothing once the pool holds as many buffers as the deepest
// evaluation needed. A fresh operand is a text with no text at all (size -1),
// which is what an operator that fails leaves behind.
#pragma once

#include "script/YNumberText.h"
#include "script/YVariable.h"

#include <cstdint>
#include <string_view>

class KvScriptableObject;

class YOperand {
public:
    YOperand() = default;
    ~YOperand() {
        if (pooled) releaseBuffer();
    }
    YOperand(const YOperand&) = delete;
    YOperand& operator=(const YOperand&) = delete;

    // As YVariable::set(long): beyond the 32-bit payload the number is a double.
    void setWhole(long number);
    // A number made by arithmetic: reduced to a long when whole, whatever its length.
    void setReal(double number);
    // A copy of length bytes (cut at kYMaxValueLength); its form follows from
    // its first character, as an assignment of the text would give.
    void setText(const char* text, int length);
    // As setText, without the copy: text must stay unchanged, and have a NUL
    // at length, while this operand lives.
    void borrowText(const char* text, int length);
    // As borrowText when the number that reading text gives is known already
    // (form yvsLong with whole, or yvsDouble with real).
    void borrowNumber(const char* text, int length, YVS numberForm, int32_t whole, double real);
    // Null leaves no value (form yvsNone).
    void setObject(KvScriptableObject* object);
    // A value buffer of kYValueBufferSize bytes for a reader to fill; the
    // filled text then becomes the value with adoptBuffer.
    char* buffer();
    void adoptBuffer(int length);
    // The grave accent: the value's text (up to a NUL) as a text that is not a number.
    void makeText(const YOperand& source);

    YVS form() const { return valueForm; }
    bool isNumber() const { return valueForm == yvsLong || valueForm == yvsDouble; }
    double asDouble() const { return valueForm == yvsLong ? whole : real; }
    // The value text; empty (and null) without a value or with none yet.
    std::string_view text() const;
    // The size field a temporary entry would have: the text length, -1 for a fresh operand.
    int size() const;

private:
    void classify();
    void releaseBuffer();

    YVS valueForm = yvsText;
    int32_t whole = 0;
    double real = 0.0;
    KvScriptableObject* object = nullptr;
    // The text when it is known; textLength -1: none (or a number's text not made yet).
    const char* textData = nullptr;
    int textLength = -1;
    char* pooled = nullptr;  // the pool buffer this operand holds, if any
    // A number made by arithmetic: its text is made in digits when first read.
    bool lazyNumber = false;
    mutable int digitsLength = -1;
    mutable char digits[kYNumberTextSize];
};
