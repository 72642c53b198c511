// Border: the frame of a text box or a picture box, drawn the same way on
// every backend.
//
// BorderStyle 0 draws nothing, 1 a fixed single frame. The frame's look
// follows Appearance: flat is one pixel in the window-frame colour
// (0x80000006); 3D is the classic sunken edge two pixels wide (outer: button
// shadow at the top and left, highlight at the bottom and right; inner: dark
// shadow and light). BorderWidth tells how far the frame reaches in.
#pragma once

#include "platform/surface.h"

namespace pd::forms {

namespace border {
inline constexpr int kNone = 0;
inline constexpr int kFixedSingle = 1;
}  // namespace border

namespace appearance {
inline constexpr int kFlat = 0;
inline constexpr int k3D = 1;
}  // namespace appearance

// The frame's width in pixels on each side.
[[nodiscard]] int BorderWidth(int borderStyle, int appearance);

// Draws the frame inside r.
void DrawBorder(platform::Surface& surface, const Rect& r, int borderStyle, int appearance);

}  // namespace pd::forms
