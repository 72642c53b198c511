// The caption routines shared by the skinned button and check box: the word
// wrap, the placement of caption and icon inside a button, and the blend of
// an icon over the painted skin. Plain values in, plain values out; the
// surface is touched only to measure text and to read and write pixels.
//
// Rounding: where a formula gives a fraction it is rounded to the nearest
// integer, halves to the even neighbour (RoundHalfEven); halving a whole
// number drops the fraction toward zero (C++ integer division).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/surface.h"
#include "platform/types.h"

namespace pd::controls {

// The width of a text in pixels, in the font the caption is drawn with.
using MeasureWidth = std::function<int(StringView)>;

// Fits text into max pixels, lines separated by CR LF.
//
// Text no wider than max comes back unchanged. Otherwise it is split at
// every space (two spaces make an empty word) and filled line by line: a
// word that fits after the current line and a space joins it, else starts a
// new line. A word wider than max starts a new line and is cut after the
// longest prefix that fits, again and again; its last piece ends its line,
// so the next word starts a new one. A line is therefore never wider than
// max unless it is a single character wider than max on its own, and no
// line is empty. Spaces where a line begins are dropped.
String WrapCaption(StringView text, int max, const MeasureWidth& width);
// The same, measured in the surface's current font.
String WrapCaption(platform::Surface& surface, StringView text, int max);

// Where the icon and the caption of a button go.
struct CaptionPlacement {
  Point icon;     // the icon's top-left corner (when there is one)
  String text;    // the wrapped caption
  Rect textRect;  // drawn into, centred horizontally
};

// alignPicture: 0 the icon left of the caption, 1 right of it, 2 above,
// 3 below; iconWidth and iconHeight 0 when there is no icon. The pair is
// centred as a block with 3 pixels between icon and text; with any other
// alignPicture both are centred and may overlap. The caption wraps to
// width - iconWidth - 10 beside an icon, else to width - 10. The surface
// measures in its current font (styled as drawn); textWidth and textHeight
// measure multi-line text as the surface does (widest line, sum of lines).
CaptionPlacement PlaceCaption(platform::Surface& surface, int width, int height, StringView caption,
                              std::int32_t alignPicture, int iconWidth, int iconHeight);
CaptionPlacement PlaceCaption(const MeasureWidth& textWidth, const MeasureWidth& textHeight, int width, int height,
                              StringView caption, std::int32_t alignPicture, int iconWidth, int iconHeight);

// Flags of BlendPicture.
namespace blend {
inline constexpr unsigned kKeyColour = 1;  // skip pixels of the key colour
inline constexpr unsigned kOpacity = 2;    // scale each pixel's alpha by the opacity
inline constexpr unsigned kGrey = 4;       // grey the picture
}  // namespace blend

// The key colour the skinned controls draw icons with (magenta).
inline constexpr Colour kIconKeyColour = 0xFF00FF;

// Draws the picture's (srcX, srcY, width, height) window onto the surface
// at (x, y), blended over what is there, pixel by pixel:
// - a picture of other than 32 bits per pixel is opaque (alpha 255);
// - with kKeyColour, a pixel of the key colour (0x00BBGGRR) is skipped;
// - with kGrey, red, green and blue become round((r + g + b) / 3 + 30),
//   at most 255 (pure red gives 115);
// - with kOpacity, alpha becomes round(o * alpha / 255), o = opacity when it
//   is above 0, else 255;
// - each channel becomes BlendChannel(background, pixel, alpha).
// Nothing happens for a width or height of 0; the parts of the window
// outside the picture are left as they are.
void BlendPicture(platform::Surface& surface, int x, int y, int width, int height, const platform::Picture& picture,
                  int srcX, int srcY, unsigned flags, Colour key, int opacity);

// b at alpha 0, f at alpha 255, else round((255 - a) * b / 255 + f * a / 255).
std::uint8_t BlendChannel(std::uint8_t b, std::uint8_t f, std::uint8_t a);

// Nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2).
int RoundHalfEven(double v);

}  // namespace pd::controls
