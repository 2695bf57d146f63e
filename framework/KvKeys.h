// Key codes of key events (KvEventRecord::key, KvEventGetKey). They are the
// classic PC virtual-key numbers that titles and hosts were written against:
// letters are their upper-case ASCII codes whatever the shift state, digits
// their ASCII codes, and the keys below have fixed numbers. Backends map
// their platform's keys onto these; a key with no code here is not delivered.
#pragma once

constexpr int kKvKeyBackspace = 0x08;
constexpr int kKvKeyTab = 0x09;
constexpr int kKvKeyReturn = 0x0D;
constexpr int kKvKeyShift = 0x10;
constexpr int kKvKeyControl = 0x11;
constexpr int kKvKeyAlt = 0x12;
constexpr int kKvKeyPause = 0x13;
constexpr int kKvKeyCapsLock = 0x14;
constexpr int kKvKeyEscape = 0x1B;
constexpr int kKvKeySpace = 0x20;
constexpr int kKvKeyPageUp = 0x21;
constexpr int kKvKeyPageDown = 0x22;
constexpr int kKvKeyEnd = 0x23;
constexpr int kKvKeyHome = 0x24;
constexpr int kKvKeyLeft = 0x25;
constexpr int kKvKeyUp = 0x26;
constexpr int kKvKeyRight = 0x27;
constexpr int kKvKeyDown = 0x28;
constexpr int kKvKeyInsert = 0x2D;
constexpr int kKvKeyDelete = 0x2E;
constexpr int kKvKey0 = 0x30;  // to kKvKey0 + 9
constexpr int kKvKeyA = 0x41;  // to kKvKeyA + 25
constexpr int kKvKeyNumpad0 = 0x60;  // to kKvKeyNumpad0 + 9
constexpr int kKvKeyMultiply = 0x6A;
constexpr int kKvKeyAdd = 0x6B;
constexpr int kKvKeySubtract = 0x6D;
constexpr int kKvKeyDecimal = 0x6E;
constexpr int kKvKeyDivide = 0x6F;
constexpr int kKvKeyF1 = 0x70;  // to kKvKeyF1 + 11 (F12)
constexpr int kKvKeySemicolon = 0xBA;
constexpr int kKvKeyEquals = 0xBB;
constexpr int kKvKeyComma = 0xBC;
constexpr int kKvKeyMinus = 0xBD;
constexpr int kKvKeyPeriod = 0xBE;
constexpr int kKvKeySlash = 0xBF;
constexpr int kKvKeyBackquote = 0xC0;
constexpr int kKvKeyLeftBracket = 0xDB;
constexpr int kKvKeyBackslash = 0xDC;
constexpr int kKvKeyRightBracket = 0xDD;
constexpr int kKvKeyQuote = 0xDE;
