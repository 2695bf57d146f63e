// One entry of the shared parameter list: a private heap copy of a parameter
// text, released with the entry. Entries are never copied (two entries
// sharing one text would release it twice).
#pragma once

class KvSParameter {
public:
    explicit KvSParameter(const char* text);  // null is taken as ""
    ~KvSParameter();
    KvSParameter(const KvSParameter&) = delete;
    KvSParameter& operator=(const KvSParameter&) = delete;

    operator char*() const { return text; }

private:
    char* text;
};
