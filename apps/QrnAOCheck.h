// Why the loader would refuse an AO file, said as the first offset that is
// wrong. The walk takes the same steps as KvAOFile::read, on a copy, in the
// same order (header, cel offset table, position records, sequences, the
// direct-colour chain, the pictures), so the first failing check is the
// first bad byte a reader meets; every offset is from the start of the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class QrnAOCheck {
public:
    // True when the loader takes the file; otherwise offset and why name the
    // first problem.
    static bool check(const std::vector<unsigned char>& file, size_t& offset, std::string& why);
};
