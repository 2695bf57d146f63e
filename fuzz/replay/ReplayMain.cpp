// Replays fuzz inputs without libFuzzer: every file named on the command line,
// or found directly inside a folder named there, is fed to the target once.
// Exits 1 when a path cannot be read or nothing was replayed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static bool replayFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i], error)) {
            for (const fs::directory_entry& e : fs::directory_iterator(argv[i], error))
                if (e.path().filename().string()[0] != '.') files.push_back(e.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argv[i]);
        }
        if (error) {
            std::fprintf(stderr, "%s: cannot list\n", argv[i]);
            return 1;
        }
        for (const fs::path& f : files) {
            if (!replayFile(f)) {
                std::fprintf(stderr, "%s: cannot read\n", f.c_str());
                return 1;
            }
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
