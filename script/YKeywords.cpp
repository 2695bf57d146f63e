// The keyword table in the order the compiler tries it. The lengths written
// here are recomputed from the keywords when the library starts, so a
// keyword changed here cannot disagree with its length.
#include "script/YKeywords.h"

#include "script/YProgram.h"

#include <cstring>

namespace {

YKeyword keywordTable[] = {
    {ycIfKeyword, "if", 2},          {ycElse, "else", 4},           {ycCall, "call", 4},
    {ycForKeyword, "for", 3},        {ycProcedureKeyword, "procedure", 9},
    {ycBreakKeyword, "break", 5},    {ycContinueKeyword, "continue", 8},
    {ycYield, "yield", 5},           {ycPlay, "play", 4},           {ycSet, "set", 3},
    {ycGet, "get", 3},               {ycSuspend, "suspend", 7},     {ycResume, "resume", 6},
    {ycDrop, "drop", 4},             {ycSchedule, "schedule", 8},   {ycIdle, "idle", 4},
    {ycWait, "wait", 4},             {ycPause, "pause", 5},         {ycRelay, "relay", 5},
    {ycSay, "say", 3},               {ycExit, "exit", 4},           {ycDebug, "debug", 5},
    {ycQuit, "quit", 4},             {0, nullptr, 0},
};

const bool lengthsMeasured = [] {
    for (YKeyword* k = keywordTable; k->keyword; ++k) k->length = static_cast<uint8_t>(std::strlen(k->keyword));
    return true;
}();

const char* keywordText(int code) {
    for (const YKeyword* k = keywordTable; k->keyword; ++k)
        if (k->code == code) return k->keyword;
    return nullptr;
}

}  // namespace

const YKeyword* YKeywordTable() {
    (void)lengthsMeasured;
    return keywordTable;
}

const YKeyword* YFindKeyword(const char* token) {
    for (const YKeyword* k = YKeywordTable(); k->keyword; ++k) {
        if (std::strncmp(token, k->keyword, k->length) == 0 && static_cast<signed char>(token[k->length]) <= 32)
            return k;
    }
    return nullptr;
}

const char* YScheduleKeyword() { return keywordText(ycSchedule); }
const char* YIdleKeyword() { return keywordText(ycIdle); }
