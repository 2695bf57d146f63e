// Input streams: the source is read whole into one vector, so every access
// below is a bounds check against that vector and nothing else.
#include "framework/KvIStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const char* const KvIStreamFile::className = "KvIStreamFile";
const char* const KvIStreamMemory::className = "KvIStreamMemory";

void KvIStream::adoptSource(std::vector<unsigned char>&& bytes) {
    srcOffset = 0;
    position = 0;
    ok = bytes.size() <= static_cast<size_t>(kMaxSourceSize);
    source = ok ? std::move(bytes) : std::vector<unsigned char>();
}

bool KvIStream::setSrcOffset(long offset) {
    if (offset < 0 || offset > static_cast<long>(source.size())) return false;
    srcOffset = offset;
    position = 0;
    return true;
}

long KvIStream::read(void* buffer, long count) {
    if (!buffer || count < 1) return 0;
    const long n = count < size() - position ? count : size() - position;
    if (n > 0) std::memcpy(buffer, source.data() + srcOffset + position, static_cast<size_t>(n));
    position += n;
    return n;
}

bool KvIStream::seek(long pos) {
    if (pos < 0 || pos > size()) return false;
    position = pos;
    return true;
}

namespace {

// Reads a regular file whole. False for anything else, for read errors and for
// files above the limit (also when one grows past it while being read).
bool readWholeFile(const char* name, std::vector<unsigned char>& out) {
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool good = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= KvIStream::kMaxSourceSize;
    if (good) {
        out.resize(static_cast<size_t>(st.st_size));
        size_t have = 0;
        for (;;) {
            if (have == out.size()) {
                // The file may have grown since fstat: look for more, within the limit.
                if (out.size() > static_cast<size_t>(KvIStream::kMaxSourceSize)) {
                    good = false;
                    break;
                }
                out.resize(out.size() + 4096);
            }
            const ssize_t n = ::read(fd, out.data() + have, out.size() - have);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                good = false;
                break;
            }
            if (n == 0) break;
            have += static_cast<size_t>(n);
        }
        out.resize(have);
        if (have > static_cast<size_t>(KvIStream::kMaxSourceSize)) good = false;
    }
    ::close(fd);
    return good;
}

}  // namespace

KvIStreamFile::KvIStreamFile(const char* name) : fileName(name ? name : "") {
    std::vector<unsigned char> bytes;
    if (name && readWholeFile(name, bytes)) adoptSource(std::move(bytes));
}

KvIStreamMemory::KvIStreamMemory(const void* bytes, long count) {
    if (count < 0 || (!bytes && count > 0) || count > kMaxSourceSize) return;
    const auto* p = static_cast<const unsigned char*>(bytes);
    adoptSource(std::vector<unsigned char>(p, p + count));
}

KvIStreamMemory::KvIStreamMemory(std::vector<unsigned char>&& bytes) { adoptSource(std::move(bytes)); }
