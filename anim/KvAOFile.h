// The AO animation file, as it lies in memory, and its reader.
//
// Layout (offsets from the file start; 16/32-bit fields in the writer's byte
// order, byte 5 nonzero when that is the opposite of ours):
//   0 int16 sequence count S   2 int16 cel count C   4 uint8 frames per second
//   5 uint8 swap flag          6 2 reserved          8 uint16 flags (0x0002: no colour table)
//   10 uint32 x C cel offsets (from the cel data area)
//   10 + 4C: S records of 4 bytes; only the first is read: the embedded XYZ
//   then S sequences: int16 entry count, count x KvAOSequence (ends with kAOEnd)
//   then the cel data area: indexed pictures at the cel offsets, or the
//   direct-colour form, a chain of "AO2C" chunks (magic, uint32 size, picture)
//   that may end early with "AO2E": cels located past the chain have no
//   picture (they draw nothing), and no frame may show one.
//
// The reader fixes the byte order in place (and clears byte 5, so the same
// memory never swaps twice; the direct-colour chunks only for a flag of
// exactly 1, everything else for any nonzero flag), rewrites direct-colour pixels from 5-5-5 to
// 5-6-5 for such displays, and checks every count, offset, cel header and run
// against the file's size before it trusts it. Distinct cel pictures must
// not overlap (cels may share one picture), so that recolouring one cel in
// place can never change another's runs. A file that does not fit is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One entry of a sequence: a frame (cel >= 0) or a command (cel < 0).
struct KvAOSequence {
    int16_t x;
    int16_t y;
    int16_t cel;
    uint16_t param;
};
static_assert(sizeof(KvAOSequence) == 8, "sequence entries are 8 bytes in the file");

// Sequence commands: negative cel values.
enum KvAOCommand : int {
    kAOEnd = -1,
    kAOLoop = -2,
    kAOPause = -4,
    kAONop = -5,
    kAOSound = -101,
    kAOUserCommand = -500,  // this and every lower value
};

inline constexpr size_t kAOHeaderSize = 10;
inline constexpr size_t kAOXYZRecordSize = 4;
inline constexpr unsigned kAONoColorTable = 0x0002;
// Embedded X and Y are 12-bit; values above this stand for kAOXYZNegativeBase - v.
inline constexpr int kAOXYZNegativeBase = 2048;
// So an embedded X or Y lies from kAOXYZMin to kAOXYZMax, and Z from 0 to kAOZMax.
inline constexpr int kAOXYZMin = kAOXYZNegativeBase - 4095;
inline constexpr int kAOXYZMax = kAOXYZNegativeBase;
inline constexpr int kAOZMax = 255;

// What the reader found: pointers into the file, which stays where it is.
struct KvAOLayout {
    int seqCount = 0;
    int celCount = 0;
    int framesPerSecond = 0;
    unsigned flags = 0;
    int embeddedX = 0, embeddedY = 0, embeddedZ = 0;
    std::vector<KvAOSequence*> sequences;  // first entry of each
    std::vector<int> sequenceLengths;      // entries each holds, its kAOEnd included
    std::vector<unsigned char*> cels;      // each cel's picture, validated
    bool directColor = false;
};

class KvAOFile {
public:
    // Reads the size bytes at data (changed in place, see above) into layout.
    // displayFormat is the window's pixel format code: 0x565 rewrites
    // direct-colour pixels. False when the file does not fit.
    static bool read(unsigned char* data, size_t size, unsigned short displayFormat, KvAOLayout& layout);

    // The picture of cel 0 of a one-sequence file, which lies right after the
    // sequence (files written by pack); only the header, the sequence count
    // and that picture's header are put in our byte order. Null when it does
    // not fit.
    static unsigned char* firstPicture(unsigned char* data, size_t size);

    // The 12-bit position and Z of an embedded XYZ record.
    static void decodeXYZ(const unsigned char* record, int& x, int& y, int& z);
    // The record of x, y and z (kAOXYZRecordSize bytes); false, and the record
    // untouched, when one of them lies outside what the record holds.
    static bool encodeXYZ(int x, int y, int z, unsigned char* record);

    // The bytes a validated picture spans.
    static size_t pictureSize(const unsigned char* pic);

    // A 5-5-5 pixel as 5-6-5 (green's new low bit set).
    static uint16_t to565(uint16_t p) {
        return static_cast<uint16_t>((((p & 0xFFF0u) | 0x0010u) << 1) | (p & 0x001Fu));
    }
};
