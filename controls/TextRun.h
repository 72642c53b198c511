// TextRun: one piece of a list item's text after its markup was parsed.
//
// A run is a plain record; the fields a kind does not use stay zero, empty
// or false. Numbers are 32-bit as parsed; the renderer does its pen
// arithmetic wider, so no value of a run can overflow it.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace pd::controls {

enum RunKind : std::int32_t {
  RunText = 0,   // Text at the pen (or exactly CR LF: a line break)
  RunLeft = 1,   // moves the pen to origin x + OffsetX
  RunCell = 2,   // Text in a RunWidth-wide cell aligned by Align
  RunImage = 3,  // a registered picture, or a blank when it has none
};

// OffsetX / OffsetY of an image that is placed at the pen.
inline constexpr std::int32_t kAtPen = -10000;
// ColorOrBitmap of a run drawn in the row's default colour.
inline constexpr std::int32_t kDefaultColour = -1;

struct TextRun {
  std::int32_t Kind = RunText;
  String Text;  // RunText, RunCell; u"\r\n" for a line break
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  // Text colour 0x00BBGGRR or kDefaultColour; for RunImage the number of a
  // picture registered with the list (0: none, a blank).
  std::int32_t ColorOrBitmap = 0;
  std::int32_t Align = 0;     // RunCell: dt:: format flags
  std::int32_t OffsetX = 0;   // RunLeft: pen x; RunImage: x, or kAtPen
  std::int32_t OffsetY = 0;   // RunImage: y, or kAtPen
  std::int32_t RunWidth = 0;  // RunCell: cell width; RunImage: width drawn and pen advance
  std::int32_t RunHeight = 0; // RunCell: height (<= 0: one line); RunImage: height drawn

  friend bool operator==(const TextRun&, const TextRun&) = default;
};

}  // namespace pd::controls
