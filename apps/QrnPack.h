// "qrn pack": turns a PNG into an AO animation file. The image is a strip of
// equal frames side by side; each frame becomes a cel (encoded by the cel
// renderer's encoder) and the one sequence is: a pause point, every cel in
// order, a loop marker, the end -- so the animation starts paused on its
// first frame, "play" runs it once round, and "forever" keeps it going.
// Given a manifest (FILE.toml, see QrnManifest.h) instead of an image, it
// builds the animation the manifest describes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvColor.h"
#include "framework/KvPng.h"

// At most this many frames in one strip.
inline constexpr long kQrnPackMaxFrames = 1000;

// The pack command with its arguments (after "pack"); returns the exit status.
int qrnPackCommand(const std::vector<std::string>& args);

// A palette file's 256 colours; false when it cannot be read.
bool qrnReadPalette(const std::string& path, KvColor* colors);
// The image (named name in messages) as colour indices: an indexed PNG's own
// indices, else each pixel's nearest palette colour. Pixels less than half
// opaque take the transparent index, which an indexed PNG's first fully
// transparent entry sets when it is -1. False, error saying why, when the
// image cannot be indexed.
bool qrnPackIndices(const KvPngImage& image, const KvColor* palette, const std::string& name, long& transparent,
                    std::vector<uint8_t>& indices, std::string& error);
