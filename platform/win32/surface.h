// Surfaces of GDI memory shown on windows.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <memory>

#include "platform/surface.h"

namespace pd::win32 {

// The GDI graphics (the platform's graphics and CreateGraphics).
std::unique_ptr<platform::Graphics> CreateGdiGraphics();

// A surface of GDI memory whose Present copies the frame to the window
// (BitBlt); nullptr when graphics is not the GDI one of CreateGdiGraphics.
std::unique_ptr<platform::Surface> CreateWindowSurface(platform::Graphics& graphics, WindowHandle window,
                                                       int width, int height);

}  // namespace pd::win32
