// A recorded session: the input a backend delivered and what its clock read,
// pass by pass, so that a session played by a person can be played again
// exactly, with or without a display. The file is text, one item a line:
//
//   qrn-recording 1        the format and its version (always the first line)
//   window W H D           the title window's size and depth
//   seed S                 the random seed the session ran with
//   start MS               the clock before the first pass
//   pass N MS              main-loop pass N began with the clock at MS;
//                          N counts from 1 and rises, MS never goes back
//   mouseDown X Y          an event delivered during the pass above; mouse
//   mouseUp X Y            positions are window (canvas) pixels, key codes
//   mouseMove X Y          those of framework/KvKeys.h
//   mouseDblClick X Y
//   keyDown K
//   keyUp K
//   activated
//   deactivated
//   close
//   # ...                  a comment; blank lines are skipped too
//
// Every header line comes once, before the first pass. Numbers are decimal.
// Passes with nothing in them still have their line: the clock of every pass
// is what makes a replay exact.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "framework/KvEvent.h"

constexpr int kKvRecordingVersion = 1;
// A longer file is refused before it is read.
constexpr long kKvMaxRecordingBytes = 64L * 1024 * 1024;
// Passes and events together, at most: over nine hours at sixty passes a
// second. A recording claiming more is refused at the line that passes it,
// so that what it holds in memory stays a small part of what a title may use.
constexpr long kKvMaxRecordedItems = 2L * 1024 * 1024;

struct KvRecordedPass {
    unsigned long number = 0;
    unsigned long clock = 0;
    std::vector<KvEventRecord> events;
};

struct KvRecording {
    int width = 0;
    int height = 0;
    int depth = 0;
    unsigned seed = 0;
    unsigned long start = 0;
    std::vector<KvRecordedPass> passes;

    // Reads text in the format above, of at most maxItems passes and events.
    // On failure error says "LINE: what was expected" and the recording is
    // left empty.
    bool parse(const std::string& text, std::string& error, long maxItems = kKvMaxRecordedItems);
    // Reads a file; errors say "PATH:LINE: ..." or "PATH: ...".
    bool load(const char* path, std::string& error);

    // The lines of the format, for writers.
    static void writeHeader(std::FILE* out, int width, int height, int depth, unsigned seed,
                            unsigned long start);
    static void writePass(std::FILE* out, unsigned long number, unsigned long clock);
    // Only input events have a line; false (nothing written) for the others.
    static bool writeEvent(std::FILE* out, const KvEventRecord& e);
};
