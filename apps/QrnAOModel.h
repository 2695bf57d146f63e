// An AO animation as the tools see it: every field of the file that the
// tools keep, and each cel's pixels rather than its runs. take() reads a
// file the loader accepts; build() writes the file back with the runs the
// cel encoders make, pictures in cel order right after the sequences, so
// that build(take(f)) == f for every file laid out and encoded that way.
//
// Indexed cels hold one colour index a pixel and the model's transparent
// index for skipped pixels; direct-colour cels hold 8-bit RGBA taken from
// 5-5-5 pixels, alpha 0 for transparent runs, 255 for opaque runs and the
// stored alpha for translucent ones (which encode back only when neither).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "anim/KvAOFile.h"

// Limits the tools hold to before allocating for a file or a manifest: cel
// and entry counts are 16-bit in the file, and a cel's pixels are bounded.
inline constexpr int kQrnMaxCels = 32767;
inline constexpr int kQrnMaxSequences = 32767;
inline constexpr int kQrnMaxEntries = 32767;
inline constexpr size_t kQrnMaxCelPixels = size_t{4096} * 4096;
// Pixels of all cels together, and of one image a manifest names.
inline constexpr size_t kQrnMaxTotalPixels = size_t{4} * kQrnMaxCelPixels;
inline constexpr size_t kQrnMaxImagePixels = kQrnMaxCelPixels;

struct QrnCel {
    int width = 0, height = 0;
    int sameAs = -1;              // shows this earlier cel's picture instead
    std::vector<uint8_t> pixels;  // indices, or RGBA for direct colour
};

struct QrnAOModel {
    bool bigEndian = false;
    int framesPerSecond = 8;
    unsigned flags = 0;
    uint8_t reserved[2] = {};
    unsigned char position[kAOXYZRecordSize] = {};            // the embedded XYZ record
    std::vector<std::vector<unsigned char>> extraRecords;     // the records of sequences 1 on
    bool direct = false;
    int transparent = 0;  // indexed: the index of skipped pixels
    std::vector<QrnCel> cels;
    std::vector<std::vector<KvAOSequence>> sequences;
};

class QrnAOModelIO {
public:
    // The model of a file the loader accepts; false, error saying why, for a
    // file the model cannot hold (a cel without a picture, an indexed file
    // that uses all 256 indices, a cel above kQrnMaxCelPixels, cels above
    // kQrnMaxTotalPixels together).
    static bool take(const std::vector<unsigned char>& file, QrnAOModel& model, std::string& error);
    // The file of a model; false, error saying why, when a field does not fit.
    static bool build(const QrnAOModel& model, std::vector<unsigned char>& file, std::string& error);
};
