// The library's version string and in-place byte-order reversal.
// The swaps work byte by byte, so no alignment is needed; a count of zero
// or less leaves the buffer untouched.
#pragma once

// "1.1b - Sep 15 2002 08:38:32": the release tag, " - ", and the date and time
// of that release as the compiler's __DATE__ and __TIME__ spell them.
// A constant string: never free or change it.
const char* QrnSysGetVersion();

// Exchange the two bytes of the 16-bit word at p.
void SwapWord(void* p);
// Exchange the two bytes of each of n consecutive 16-bit words.
void SwapNWords(void* p, int n);
// Reverse the four bytes of each of n consecutive 32-bit words.
void SwapN32s(void* p, int n);
