// "qrn palette IN OUT": palettes between the runtime's .plt files (256
// entries of three big-endian 16-bit components, the high byte the colour),
// indexed PNGs (their PLTE; written as a 16 x 16 swatch, pixel i of index i)
// and GIMP .gpl text palettes ("GIMP Palette", optional Name: and Columns:
// lines, # comments, then "R G B [name]" lines). The extensions say which.
// Colours are 8-bit: a .plt is written with each component byte twice.
// A palette of fewer than 256 colours is completed with black.
#pragma once

#include <string>
#include <vector>

// Colours of a palette; a longer text palette is refused.
inline constexpr int kQrnPaletteEntries = 256;

// The palette command with its arguments (after "palette"); returns the exit status.
int qrnPaletteCommand(const std::vector<std::string>& args);
