// Replays fuzz inputs without libFuzzer: every file named on the command line,
// or found directly inside a folder named there, is fed to the target once.
// Exits 1 when a path cannot be read or nothing was replayed.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool replayFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) {
            std::fprintf(stderr, "%s: cannot read\n", argv[i]);
            return 1;
        }
        std::vector<std::string> files;
        if (S_ISDIR(st.st_mode)) {
            DIR* dir = opendir(argv[i]);
            if (!dir) {
                std::fprintf(stderr, "%s: cannot list\n", argv[i]);
                return 1;
            }
            while (dirent* e = readdir(dir))
                if (e->d_name[0] != '.') files.push_back(std::string(argv[i]) + "/" + e->d_name);
            closedir(dir);
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argv[i]);
        }
        for (const std::string& f : files) {
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
