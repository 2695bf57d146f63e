// "qrn info FILE": what a title file holds, one "name: value" line each, for
// every format the runtime reads: animations (.ao), compressed backgrounds
// (.b16), palettes (.plt), compiled scripts (.qsc) and WAV sounds (.wav). The kind comes
// from the extension when it names one, else from the content. A file the
// runtime would refuse is named on the error stream with the offset of its
// first wrong byte and what was expected there, and the status is 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The kinds of file info tells apart.
enum class QrnFileKind { animation, background, palette, script, sound };

class QrnInfo {
public:
    // The kind of a file: by extension first, then by content.
    static QrnFileKind kindOf(const std::string& path, const std::vector<unsigned char>& bytes);
    // The lines describing bytes of that kind; false, with offset and why,
    // when the runtime would refuse them.
    static bool describe(QrnFileKind kind, const std::vector<unsigned char>& bytes, std::string& lines,
                         size_t& offset, std::string& why);
};

// The info command with its arguments (after "info"); returns the exit status.
int qrnInfoCommand(const std::vector<std::string>& args);
