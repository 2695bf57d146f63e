// The keyword table: the statement words the compiler tries, in table order,
// each with its command code and its length; a null keyword ends it. A token
// matches a keyword when it starts with the keyword's bytes and the byte
// after them is not printable (a signed value of 32 or less), so "ifx" is
// not "if". The timer words handed to event records are the table's own
// pointers: an event record made for a timer is known by its name's address.
#pragma once

#include <cstdint>

struct YKeyword {
    int code;
    const char* keyword;
    uint8_t length;
};

// The table, its lengths measured once when the library starts.
const YKeyword* YKeywordTable();
// The keyword a statement's first token starts with, or null.
const YKeyword* YFindKeyword(const char* token);
const char* YScheduleKeyword();
const char* YIdleKeyword();
