// A compiled script: a table of command records {code, 16-bit operand},
// count + 1 of them, the last all zero, and an array of 16-bit heap indices
// holding the operand lists, each ended by -1. The first three words are 0,
// 1, 2 (SYSTEM, RECEIVER, RESULT). An operand is a word index, or a command
// index for jumps. The compiler and the compiled-file reader produce one; the
// thread runs it. The tables never hold more than kYMaxCommands commands and
// kYMaxWords words.
//
// Compiled script file (integers little-endian when the version byte is 2;
// version 1 marks a file whose multi-byte fields are in the opposite order):
//   0          1      version byte
//   1          4      N, the number of commands
//   5          3N     per command: code (1 byte), operand (2 bytes)
//   5+3N       4      W, the number of words
//   9+3N       2W     the words (heap indices, -1 ends a list)
//   9+3N+2W    4      V, the number of heap variables
//   ...               variables 3 .. V-1 as variable records (YVariable)
//
// A plain aggregate: copying it copies the pointers, as a thread's plain
// member copy does; the owner frees the tables with release().
#pragma once

#include <cstdint>

class KvIStream;

// Command codes. 1 to 5 and 17 occur only in the keyword table; any code the
// executor does not know stops the thread at that command.
enum YCMND : int32_t {
    ycNone = 0,  // the zero record that ends every table
    ycIfKeyword = 1,
    ycForKeyword = 2,
    ycBreakKeyword = 3,
    ycProcedureKeyword = 4,
    ycContinueKeyword = 5,
    ycCall = 6,
    ycProcedure = 7,
    ycForInit = 8,
    ycForNext = 9,
    ycBranch = 10,
    ycJump = 11,
    ycIf = 12,
    ycEndIf = 13,
    ycSay = 14,
    ycReturn = 15,
    ycElse = 17,
    ycAssign = 18,
    ycDrop = 19,
    ycStatement = 21,
    ycWait = 22,
    ycIdle = 23,
    ycSchedule = 24,
    ycExit = 25,
    ycSuspend = 26,
    ycResume = 27,
    ycPause = 28,
    ycDebug = 29,
    ycSet = 35,
    ycGet = 36,
    ycYield = 37,
    ycPlay = 40,
    ycRelay = 45,
    ycQuit = 46,
};

struct YCommand {
    YCMND code;
    uint16_t operand;
};

inline constexpr int kYMaxCommands = 8000;
inline constexpr int kYMaxWords = 20000;  // the three predefined words included
// The block stack: a program's open keyword blocks while it is compiled, its
// return addresses while it runs.
inline constexpr int kYBlockStackSize = 2048;
// Operand markers of an unpatched break and continue.
inline constexpr uint16_t kYBreakMarker = 0xFFFF;
inline constexpr uint16_t kYContinueMarker = 0xFFFE;
// Version bytes of compiled script files.
inline constexpr unsigned char kYCompiledVersion = 2;
inline constexpr unsigned char kYCompiledSwapped = 1;

struct YProgram {
    YCommand* commands = nullptr;
    int16_t* words = nullptr;
    int commandCount = 0;
    int wordCount = 0;

    // The word at an index; -1 (the end of a list) for any index outside the array.
    int word(int at) const {
        if (!words || at < 0 || at >= wordCount) return -1;
        return words[at];
    }
    void release();
    // Writes a compiled script file (version 2); 0 when the file cannot be made.
    int save(const char* file) const;
    // Read a compiled script file from byte 1, swapping every 2- and 4-byte
    // field when swap is set. A file that fails any check is refused (0) and
    // changes nothing; one that passes replaces the tables and appends its
    // variables to the heap.
    int load(const char* file, int swap);
    int load(KvIStream* stream, int swap);

private:
    int loadBytes(const unsigned char* bytes, long size, int swap);
};
