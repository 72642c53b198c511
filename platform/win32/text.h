// The ANSI code page (CP_ACP) both ways; a character it cannot hold becomes
// '?'. The platform's codec: these for the "ANSI" records and the files.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"
#include "platform/types.h"

namespace pd::win32 {

std::string ToAnsi(StringView s);
String FromAnsi(std::string_view bytes);
const text::Codec& AnsiCodec();

}  // namespace pd::win32
