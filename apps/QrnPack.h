// "qrn pack": turns a PNG into an AO animation file. The image is a strip of
// equal frames side by side; each frame becomes a cel (encoded by the cel
// renderer's encoder) and the one sequence is: a pause point, every cel in
// order, a loop marker, the end -- so the animation starts paused on its
// first frame, "play" runs it once round, and "forever" keeps it going.
// Sound entries may come before chosen frames, so that a sound starts with
// the picture it belongs to, and a second pause point may precede the last
// frame (a pause point shows the frame after it), so that "play" runs the
// frames once and stays on the last.
#pragma once

#include <string>
#include <vector>

// At most this many frames in one strip.
inline constexpr long kQrnPackMaxFrames = 1000;
// At most this many --sound entries in one animation.
inline constexpr long kQrnPackMaxSounds = kQrnPackMaxFrames;
// Sound numbers are the 16-bit param of a sound entry, kept positive.
inline constexpr long kQrnPackMaxSoundNumber = 32767;

// The pack command with its arguments (after "pack"); returns the exit status.
int qrnPackCommand(const std::vector<std::string>& args);
