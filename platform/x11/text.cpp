// Text at the Linux boundary: files in UTF-8 (read tolerantly, see text.h);
// the "ANSI" records in Windows-1251 that loses nothing.
#include "platform/x11/platform.h"

namespace pd::x11 {

const text::Codec& X11Platform::codec() { return text::Utf8Codec(); }

}  // namespace pd::x11
