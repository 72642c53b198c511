// The Linux single-byte code page is Windows-1251, so that data files move
// between Windows and Linux unchanged.
#include "platform/text.h"

namespace pd::text {

std::string ToAnsi(StringView s) { return ToCp1251(s); }
String FromAnsi(std::string_view bytes) { return FromCp1251(bytes); }

}  // namespace pd::text
