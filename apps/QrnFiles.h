// Whole files for the tools. A file is read whole, and only when it is no
// larger than the caller's limit, so a hostile size is refused before
// anything is allocated for it. A file is written under a temporary name in
// its own folder and renamed over the target once complete: a failed or
// interrupted tool never leaves a partial output behind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Largest input any tool reads.
inline constexpr size_t kQrnMaxInputSize = size_t{64} << 20;

class QrnFiles {
public:
    // False, with error naming the file and why, when it cannot be read or
    // holds more than limit bytes.
    static bool read(const std::string& path, std::vector<unsigned char>& bytes, std::string& error,
                     size_t limit = kQrnMaxInputSize);
    static bool write(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);
    static bool write(const std::string& path, const std::string& text, std::string& error);
    // Runs save(temporary) and renames the temporary to path when it
    // succeeds; removes the temporary when it does not.
    template <typename Save>
    static bool writeWith(const std::string& path, Save save, std::string& error) {
        const std::string temporary = temporaryName(path);
        if (!save(temporary)) return discard(temporary, path, error);
        return commit(temporary, path, error);
    }

private:
    static std::string temporaryName(const std::string& path);
    static bool discard(const std::string& temporary, const std::string& path, std::string& error);
    static bool commit(const std::string& temporary, const std::string& path, std::string& error);
};
