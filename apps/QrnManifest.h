// The animation manifest: a TOML file that names a title animation's parts
// (qrn pack reads it, qrn unpack writes it). Top-level keys, all optional:
//   byte-order = "little" | "big"     frames-per-second = 0..255 (8)
//   flags = 0..65535 (2 for direct colour, else 0)
//   position = [x, y] or [x, y, z]    colour = "indexed" | "direct"
//   transparent = 0..255              palette = "FILE.plt" (to index colour PNGs)
//   reserved = [b, b]                 records = ["8 hex digits", ...] (one per sequence after the first)
// [[cels]]: image = "FILE.png" with frames = N (a strip of N equal frames,
//   one cel each; 1 by default), or same-as = an earlier cel's number.
// [[sequences]]: entries = [ { cel = N, x, y, param } or { command = NAME,
//   x, y, param } ], NAME one of "end", "loop", "pause", "nop", "sound"
//   (param: the sound id), "user" (code = -500 or below; x, y, param its
//   parameters), or a negative number; an end is added when none is given.
// Paths are relative to the manifest. Counts are bounded by the model's
// limits before anything is made for them.
#pragma once

#include <string>
#include <vector>

#include "apps/QrnAOModel.h"

// Largest manifest read.
inline constexpr size_t kQrnMaxManifestSize = size_t{1} << 20;

class QrnManifest {
public:
    // The model of the manifest at path, images loaded; false, error naming
    // the file and line, when it cannot be made.
    static bool read(const std::string& path, QrnAOModel& model, std::string& error);
    // The manifest text of a model whose cels not shared lie in images (one
    // name per cel; unused for shared cels); palette names the palette file
    // to record, or is empty.
    static std::string write(const QrnAOModel& model, const std::vector<std::string>& images, const std::string& palette);
};
