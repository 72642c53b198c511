// Text conversions at the platform boundary.
//
// The single-byte ("ANSI") code page is the platform's: CP_ACP on Windows,
// Windows-1251 on Linux and in the simulation, so that data files move
// between the two. One byte is one character; a character the code page
// cannot hold becomes '?'.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace pd::text {

// Backend-provided: the platform's single-byte code page.
std::string ToAnsi(StringView s);
String FromAnsi(std::string_view bytes);

// Windows-1251, the same on every platform (used by the Linux and
// simulated backends as their ANSI code page).
std::string ToCp1251(StringView s);
String FromCp1251(std::string_view bytes);

// UTF-8, for X11, FreeType, D-Bus and /proc. Invalid sequences decode to
// U+FFFD; characters outside the BMP become U+FFFD as well.
std::string ToUtf8(StringView s);
String FromUtf8(std::string_view bytes);

// ASCII literal helper for tests and tables: every byte must be < 0x80.
String FromAscii(std::string_view ascii);

// Lower-casing for name comparison: Latin and Cyrillic letters (including
// Ё/ё and the Ukrainian and Belarusian letters) the same way on every
// platform; other characters are left as they are.
char16_t LowerChar(char16_t c);
String LowerCase(StringView s);
// Whether LowerCase(s) == lower, without making the copy.
bool SameLowered(StringView s, StringView lower);
bool EqualsIgnoreCase(StringView a, StringView b);

}  // namespace pd::text
