// The program icon of a window. The pictures themselves are the embedded
// ones every backend without a resource section reads
// (platform/soft/EmbeddedResources.h).
#pragma once

#include "platform/x11/connection.h"

namespace pd::x11 {

// Gives a window the program icon (_NET_WM_ICON: the 16 and the 32 pixel
// pictures, ARGB).
void SetProgramIcon(XConnection& x, XWindow window);

}  // namespace pd::x11
