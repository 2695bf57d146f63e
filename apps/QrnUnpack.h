// "qrn unpack [--palette FILE.plt] FILE.ao OUTDIR": an animation taken apart
// into what qrn pack builds it from: one PNG per cel picture (indexed
// through the palette, the transparent index fully transparent; RGBA for
// direct colour) and animation.toml, the manifest. qrn pack turns that
// manifest back into the same bytes for every file whose cels are encoded
// and laid out the way pack writes them.
#pragma once

#include <string>
#include <vector>

// The unpack command with its arguments (after "unpack"); returns the exit status.
int qrnUnpackCommand(const std::vector<std::string>& args);
