// Reading and writing recorded sessions. The reader trusts nothing: every
// number is range-checked, every line must be one of the format's, and the
// file's size is checked before it is read.
#include "framework/KvRecording.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kMagic = "qrn-recording";

struct EventName {
    const char* name;
    KvEventType type;
    int numbers;  // 2: x y, 1: key, 0: nothing
};
constexpr EventName kEvents[] = {
    {"mouseDown", KvEventType::mouseDown, 2},   {"mouseUp", KvEventType::mouseUp, 2},
    {"mouseMove", KvEventType::mouseMove, 2},   {"mouseDblClick", KvEventType::mouseDblClick, 2},
    {"keyDown", KvEventType::keyDown, 1},       {"keyUp", KvEventType::keyUp, 1},
    {"activated", KvEventType::activated, 0},   {"deactivated", KvEventType::deactivated, 0},
    {"close", KvEventType::close, 0},
};

const EventName* eventByType(KvEventType t) {
    for (const EventName& e : kEvents)
        if (e.type == t) return &e;
    return nullptr;
}

// Whole decimal numbers within [min, max]; an optional leading minus.
bool number(std::string_view word, long long min, long long max, long long& out) {
    if (word.empty() || word.size() > 19) return false;
    size_t i = word[0] == '-' ? 1 : 0;
    if (i == word.size()) return false;
    for (size_t j = i; j < word.size(); ++j)
        if (word[j] < '0' || word[j] > '9') return false;
    long long v = 0;
    const auto [end, failure] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (failure != std::errc() || end != word.data() + word.size() || v < min || v > max) return false;
    out = v;
    return true;
}

// The words of a line, split at blanks as stream extraction splits them.
void split(std::string_view line, std::vector<std::string_view>& words) {
    words.clear();
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && blank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !blank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
}

constexpr long long kMaxCoordinate = 1L << 20;
constexpr unsigned long kMaxClock = 0xFFFFFFFFUL;

}  // namespace

bool KvRecording::parse(const std::string& text, std::string& error, long maxItems) {
    *this = KvRecording();
    std::vector<std::string_view> words;
    long lineNumber = 0;
    bool sawMagic = false, sawWindow = false, sawSeed = false, sawStart = false;
    long items = 0;
    auto fail = [&](const std::string& what) {
        error = std::to_string(lineNumber > 0 ? lineNumber : 1) + ": " + what;
        *this = KvRecording();
        return false;
    };
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        ++lineNumber;
        split(line, words);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string head(words[0]);
        long long v[3] = {0, 0, 0};
        if (!sawMagic) {
            if (head != kMagic || words.size() != 2) return fail(std::string("expected \"") + kMagic + " 1\"");
            if (!number(words[1], 0, 1000000, v[0]) || v[0] != kKvRecordingVersion)
                return fail("version " + std::string(words[1]) + " is not one this program reads (it reads " +
                            std::to_string(kKvRecordingVersion) + ")");
            sawMagic = true;
            continue;
        }
        const bool header = head == "window" || head == "seed" || head == "start";
        if (!header && ++items > maxItems) return fail("more than " + std::to_string(maxItems) + " passes and events");
        if (header && !passes.empty()) return fail(head + " after the first pass");
        if (head == "window") {
            if (sawWindow) return fail("a second window line");
            if (words.size() != 4 || !number(words[1], 1, 16384, v[0]) || !number(words[2], 1, 16384, v[1]) ||
                !number(words[3], 8, 32, v[2]) || (v[2] != 8 && v[2] != 15 && v[2] != 16 && v[2] != 24 && v[2] != 32))
                return fail("expected \"window WIDTH HEIGHT DEPTH\" (sides 1 to 16384, depth 8, 15, 16, 24 or 32)");
            width = static_cast<int>(v[0]), height = static_cast<int>(v[1]), depth = static_cast<int>(v[2]);
            sawWindow = true;
        } else if (head == "seed") {
            if (sawSeed) return fail("a second seed line");
            if (words.size() != 2 || !number(words[1], 0, 0xFFFFFFFFLL, v[0])) return fail("expected \"seed S\"");
            seed = static_cast<unsigned>(v[0]);
            sawSeed = true;
        } else if (head == "start") {
            if (sawStart) return fail("a second start line");
            if (words.size() != 2 || !number(words[1], 0, static_cast<long long>(kMaxClock), v[0])) return fail("expected \"start MS\"");
            start = static_cast<unsigned long>(v[0]);
            sawStart = true;
        } else if (head == "pass") {
            if (!sawWindow || !sawSeed || !sawStart) return fail("a pass before the window, seed and start lines");
            if (words.size() != 3 || !number(words[1], 1, static_cast<long long>(kMaxClock), v[0]) || !number(words[2], 0, static_cast<long long>(kMaxClock), v[1]))
                return fail("expected \"pass N MS\"");
            const unsigned long lastNumber = passes.empty() ? 0 : passes.back().number;
            const unsigned long lastClock = passes.empty() ? start : passes.back().clock;
            if (static_cast<unsigned long>(v[0]) <= lastNumber) return fail("pass numbers must rise");
            if (static_cast<unsigned long>(v[1]) < lastClock) return fail("the clock goes back");
            passes.push_back({static_cast<unsigned long>(v[0]), static_cast<unsigned long>(v[1]), {}});
        } else {
            const EventName* kind = nullptr;
            for (const EventName& e : kEvents)
                if (head == e.name) kind = &e;
            if (!kind) return fail("unknown line \"" + head + "\"");
            if (passes.empty()) return fail(head + " before the first pass");
            KvEventRecord e;
            e.type = kind->type;
            bool ok = static_cast<int>(words.size()) == 1 + kind->numbers;
            if (ok && kind->numbers == 2)
                ok = number(words[1], -kMaxCoordinate, kMaxCoordinate, v[0]) &&
                     number(words[2], -kMaxCoordinate, kMaxCoordinate, v[1]);
            if (ok && kind->numbers == 1) ok = number(words[1], 0, 0xFFFF, v[0]);
            if (!ok)
                return fail(std::string("expected \"") + kind->name +
                            (kind->numbers == 2 ? " X Y\"" : kind->numbers == 1 ? " KEY\"" : "\" alone"));
            if (kind->numbers == 2) e.mouse = KvPoint{static_cast<int>(v[0]), static_cast<int>(v[1])};
            if (kind->numbers == 1) e.key = static_cast<int>(v[0]);
            passes.back().events.push_back(e);
        }
    }
    if (!sawMagic) return fail(std::string("empty: expected \"") + kMagic + " 1\"");
    if (!sawWindow || !sawSeed || !sawStart) return fail("the window, seed or start line is missing");
    return true;
}

bool KvRecording::load(const char* path, std::string& error) {
    *this = KvRecording();
    const std::string name = path ? path : "";
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        error = name + ": cannot be read";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kKvMaxRecordingBytes) {
        error = name + ": not a recording (larger than " + std::to_string(kKvMaxRecordingBytes) + " bytes)";
        return false;
    }
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    if (size > 0 && !in.read(text.data(), size)) {
        error = name + ": cannot be read";
        return false;
    }
    if (!parse(text, error)) {
        error = name + ":" + error;
        return false;
    }
    return true;
}

void KvRecording::writeHeader(std::FILE* out, int w, int h, int d, unsigned s, unsigned long startMs) {
    std::fprintf(out, "%s %d\nwindow %d %d %d\nseed %u\nstart %lu\n", kMagic, kKvRecordingVersion, w, h, d, s,
                 startMs & kMaxClock);
}

void KvRecording::writePass(std::FILE* out, unsigned long n, unsigned long clock) {
    std::fprintf(out, "pass %lu %lu\n", n, clock & kMaxClock);
}

bool KvRecording::writeEvent(std::FILE* out, const KvEventRecord& e) {
    const EventName* kind = eventByType(e.type);
    if (!kind) return false;
    if (kind->numbers == 2)
        std::fprintf(out, "%s %d %d\n", kind->name, e.mouse.x, e.mouse.y);
    else if (kind->numbers == 1)
        std::fprintf(out, "%s %d\n", kind->name, e.key);
    else
        std::fprintf(out, "%s\n", kind->name);
    return true;
}
