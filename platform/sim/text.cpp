// The simulation stands for Linux here: files in UTF-8 (read tolerantly,
// see text.h); the "ANSI" records in Windows-1251 that loses nothing.
#include "platform/text.h"

namespace pd::text {

std::string ToFileText(StringView s) { return ToUtf8(s); }
String FromFileText(std::string_view bytes) { return FromUtf8OrCp1251(bytes); }

std::string ToAnsi(StringView s) { return ToCp1251Lossless(s); }
String FromAnsi(std::string_view bytes) { return FromCp1251Lossless(bytes); }

}  // namespace pd::text
