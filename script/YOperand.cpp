// Evaluation values. The pool of value buffers only grows, to the largest
// number of texts one evaluation held at once, and its buffers are reused by
// every later evaluation; a text is copied into a pool buffer only when no
// heap entry holds it steadily (quoted constants, substrings, nested
// expressions, results of text operators).
#include "script/YOperand.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<char[]>> freeBuffers;

char* takeBuffer() {
    if (freeBuffers.empty()) return new char[kYValueBufferSize];
    char* buffer = freeBuffers.back().release();
    freeBuffers.pop_back();
    return buffer;
}

}  // namespace

void YOperand::releaseBuffer() {
    if (!pooled) return;
    freeBuffers.emplace_back(pooled);
    pooled = nullptr;
}

void YOperand::setWhole(long number) {
    if (number < INT32_MIN || number > INT32_MAX) return setReal(static_cast<double>(number));
    releaseBuffer();
    valueForm = yvsLong;
    whole = static_cast<int32_t>(number);
    object = nullptr;
    textData = nullptr;
    textLength = -1;
    lazyNumber = true;
    digitsLength = -1;
}

void YOperand::setReal(double number) {
    int32_t reduced = 0;
    if (YNumberText::reduce(number, -1, reduced)) return setWhole(reduced);
    releaseBuffer();
    valueForm = yvsDouble;
    real = number;
    object = nullptr;
    textData = nullptr;
    textLength = -1;
    lazyNumber = true;
    digitsLength = -1;
}

char* YOperand::buffer() {
    if (!pooled) pooled = takeBuffer();
    return pooled;
}

void YOperand::adoptBuffer(int length) {
    if (length < 0) length = 0;
    if (length > kYMaxValueLength) length = kYMaxValueLength;
    pooled[length] = 0;
    textData = pooled;
    textLength = length;
    classify();
}

void YOperand::setText(const char* source, int length) {
    if (!source || length < 0) length = 0;
    if (length > kYMaxValueLength) length = kYMaxValueLength;
    char* target = buffer();
    // The source may lie in this operand's own buffer.
    if (length > 0) std::memmove(target, source, length);
    adoptBuffer(length);
}

void YOperand::borrowText(const char* source, int length) {
    releaseBuffer();
    textData = source;
    textLength = length;
    classify();
}

void YOperand::borrowNumber(const char* source, int length, YVS numberForm, int32_t wholeValue, double realValue) {
    releaseBuffer();
    textData = source;
    textLength = length;
    object = nullptr;
    lazyNumber = false;
    valueForm = numberForm;
    whole = wholeValue;
    real = realValue;
}

void YOperand::setObject(KvScriptableObject* held) {
    releaseBuffer();
    lazyNumber = false;
    object = held;
    valueForm = held ? yvsObject : yvsNone;
    textData = held ? &kYObjectMarker : nullptr;
    textLength = held ? 1 : -1;
}

void YOperand::makeText(const YOperand& source) {
    const std::string_view value = source.text();
    const size_t cut = value.empty() ? 0 : value.find('\0');
    setText(value.data(), static_cast<int>(cut == std::string_view::npos ? value.size() : cut));
    valueForm = yvsText;
}

// As an assignment of the text: a number when it begins like one.
void YOperand::classify() {
    object = nullptr;
    lazyNumber = false;
    valueForm = yvsText;
    if (textLength <= 0 || !YNumberText::startsNumber(textData[0])) return;
    double number = 0.0;
    if (!YNumberText::parse(textData, number)) number = 0.0;
    int32_t reduced = 0;
    if (YNumberText::reduce(number, textLength, reduced)) {
        valueForm = yvsLong;
        whole = reduced;
    } else {
        valueForm = yvsDouble;
        real = number;
    }
}

std::string_view YOperand::text() const {
    if (lazyNumber) {
        if (digitsLength < 0)
            digitsLength = valueForm == yvsLong ? YNumberText::formatWhole(whole, digits)
                                                : YNumberText::formatReal(real, digits);
        return {digits, static_cast<size_t>(digitsLength)};
    }
    if (valueForm == yvsNone || !textData || textLength < 0) return {};
    return {textData, static_cast<size_t>(textLength)};
}

int YOperand::size() const {
    if (lazyNumber) return static_cast<int>(text().size());
    return textLength;
}
