// "qrn pack": turns a PNG into an AO animation file. The image is a strip of
// equal frames side by side; each frame becomes a cel (encoded by the cel
// renderer's encoder) and the one sequence is: a pause point, every cel in
// order, a loop marker, the end -- so the animation starts paused on its
// first frame, "play" runs it once round, and "forever" keeps it going.
#pragma once

#include <string>
#include <vector>

// At most this many frames in one strip.
inline constexpr long kQrnPackMaxFrames = 1000;

// The pack command with its arguments (after "pack"); returns the exit status.
int qrnPackCommand(const std::vector<std::string>& args);
