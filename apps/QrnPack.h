// "qrn pack": turns a PNG into an AO animation file. The image is a strip of
// equal frames side by side; each frame becomes a cel (encoded by the cel
// renderer's encoder) and the one sequence is: a pause point, every cel in
// order, a loop marker, the end -- so the animation starts paused on its
// first frame, "play" runs it once round, and "forever" keeps it going.
// Sound entries may come before chosen frames, so that a sound starts with
// the picture it belongs to, and a second pause point may precede the last
// frame (a pause point shows the frame after it), so that "play" runs the
// frames once and stays on the last. Given a manifest (FILE.toml, see
// QrnManifest.h) instead of an image, it builds the animation the manifest
// describes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KvColor.h"
#include "framework/KvPng.h"

// At most this many frames in one strip.
inline constexpr long kQrnPackMaxFrames = 1000;
// At most this many --sound entries in one animation.
inline constexpr long kQrnPackMaxSounds = kQrnPackMaxFrames;
// Sound numbers are the 16-bit param of a sound entry, kept positive.
inline constexpr long kQrnPackMaxSoundNumber = 32767;

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
