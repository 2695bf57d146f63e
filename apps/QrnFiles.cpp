// Reading bounded files and replacing files whole (write, then rename).
#include "apps/QrnFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

bool QrnFiles::read(const std::string& path, std::vector<unsigned char>& bytes, std::string& error, size_t limit) {
    std::error_code code;
    const auto size = fs::file_size(path, code);
    if (code) {
        error = path + ": cannot read: " + code.message();
        return false;
    }
    if (size > limit) {
        error = path + ": " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) + " a tool reads";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        error = path + ": cannot read";
        return false;
    }
    return true;
}

bool QrnFiles::write(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    return writeWith(
        path,
        [&bytes](const std::string& to) {
            std::ofstream out(to, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            out.close();
            return static_cast<bool>(out);
        },
        error);
}

bool QrnFiles::write(const std::string& path, const std::string& text, std::string& error) {
    return write(path, std::vector<unsigned char>(text.begin(), text.end()), error);
}

std::string QrnFiles::temporaryName(const std::string& path) {
    // The same folder, so that the rename never crosses file systems.
    const fs::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".part" + std::to_string(std::random_device{}()))).string();
}

bool QrnFiles::discard(const std::string& temporary, const std::string& path, std::string& error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    error = "cannot write " + path;
    return false;
}

bool QrnFiles::commit(const std::string& temporary, const std::string& path, std::string& error) {
    std::error_code code;
    fs::rename(temporary, path, code);
    if (!code) return true;
    fs::remove(temporary, code);
    error = "cannot write " + path;
    return false;
}
