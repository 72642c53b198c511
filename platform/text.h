// Text conversions at the platform boundary.
//
// Two encodings are the backend's own (its Codec, below):
//
// - File text (ToFileText/FromFileText): the data files, the process report
//   and the registry's stored texts. Windows: the ANSI code page (CP_ACP),
//   byte for byte, as files written by earlier builds rely on it. Linux and
//   the simulation: UTF-8 without a byte-order mark. Reading is tolerant
//   there: a UTF-8 byte-order mark is dropped, and bytes that are not valid
//   UTF-8 (a file written by an earlier build, a list copied from Windows)
//   are read as Windows-1251; the next save writes them back as UTF-8.
//
// - The "ANSI" code page (ToAnsi/FromAnsi), for records shaped like the
//   system's "A" calls (the tray's notification record, the text of binary
//   registry data). Windows: CP_ACP; a character it cannot hold becomes
//   '?'. Linux and the simulation: Windows-1251 that loses nothing (see
//   ToCp1251Lossless), so that Cyrillic keeps one byte per character within
//   the records' fixed fields and no other character becomes '?'.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

namespace pd::text {

// A backend's two encodings (Platform::codec()).
class Codec {
 public:
  virtual ~Codec() = default;

  // The platform's file text.
  [[nodiscard]] virtual std::string ToFileText(StringView s) const = 0;
  [[nodiscard]] virtual String FromFileText(std::string_view bytes) const = 0;

  // The platform's "ANSI" code page.
  [[nodiscard]] virtual std::string ToAnsi(StringView s) const = 0;
  [[nodiscard]] virtual String FromAnsi(std::string_view bytes) const = 0;
};

// The encodings of Linux and the simulation: files in UTF-8 read
// tolerantly (FromUtf8OrCp1251), records in ToCp1251Lossless. The same
// object on every call.
const Codec& Utf8Codec();

// Windows-1251, the same on every platform (used by the Linux and
// simulated backends as their ANSI code page).
std::string ToCp1251(StringView s);
String FromCp1251(std::string_view bytes);

// Latin-1 (X11's STRING, keys typed without an input method); a character
// outside it (a surrogate pair as one) becomes '?'.
std::string ToLatin1(StringView s);
String FromLatin1(std::string_view bytes);

// Windows-1251 extended so that no character is lost: a character the code
// page holds is its one byte; any other is the byte 0x98 (unassigned in the
// code page) followed by the character's UTF-8 bytes. Reading, 0x98 stands
// for U+0098 unless a whole UTF-8 sequence of a character the code page
// lacks follows it. So every byte string reads and writes back unchanged
// (binary data keeps one byte per character), and every text does too,
// except one holding the control character U+0098 followed by characters
// whose bytes happen to form such a sequence.
std::string ToCp1251Lossless(StringView s);
String FromCp1251Lossless(std::string_view bytes);

// UTF-8, for files on Linux, X11, FreeType, D-Bus and /proc. A character
// outside the BMP is a surrogate pair in the String and one 4-byte sequence
// in UTF-8. A lone surrogate encodes as U+FFFD; invalid sequences (a stray
// or missing continuation byte, an overlong form, an encoded surrogate, a
// value past U+10FFFF) decode to one U+FFFD per byte.
std::string ToUtf8(StringView s);
String FromUtf8(std::string_view bytes);
// Whether the bytes are valid UTF-8 (by the rules above).
bool IsUtf8(std::string_view bytes);
// The tolerant reading of a Linux file: a leading UTF-8 byte-order mark is
// dropped; the rest is UTF-8 when it is valid UTF-8, else Windows-1251.
String FromUtf8OrCp1251(std::string_view bytes);

// Surrogate halves: a character outside the BMP takes two code units.
inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// How many code units of s a cut after at most n units keeps: n, or n - 1
// when that cut would part a surrogate pair.
std::size_t CutWhole(StringView s, std::size_t n);

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
