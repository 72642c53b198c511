// The markup of list item texts, parsed into runs.
//
// Tags (letter case ignored; the index is the tag's identity):
//   0 <b>   1 </b>   2 <i>   3 </i>   4 <u>   5 </u>
//   6 <color=VALUE>  7 </color>  8 <img=VALUE>  9 <br>
//   10 <space=N>  11 <left=N>  12 <td ATTRS>cell text</td>  13 </td>
// Open-ended tags (6, 8, 10, 11, 12) take the text up to the next ">" as
// their value. A tag without ">" runs to the end of the text, and its value
// then loses the text's last character. "<td" needs the blank: "<td>" is
// text. Anything else, "<" included, is text.
//
// Values:
//   numbers   blanks trimmed, a decimal number (sign, fraction, exponent
//             allowed) rounded to the nearest integer, halves to even.
//             Anything else, and anything outside the 32-bit range, is 0.
//   colours   "#RRGGBB" (pairs may be missing from the right: "#FFF" is
//             red; a non-hex digit among the first six makes black), or one
//             number 1..16777215 used as 0x00BBGGRR, or "R G B" split at
//             single blanks, each part limited to 0..255 (" 255" is green:
//             its first part is empty). An empty value is black.
//   <img=     "number,width,height[,x,y]": the number of a picture the host
//             registered with the list. x and y are relative to the text
//             origin; absent or empty, the picture sits at the pen and the
//             pen advances by width. Fewer than three parts: an empty run.
//   <space=N  as <img=0,N,0>: the pen advances by N, nothing is drawn.
//   <td       blank-separated name=number pairs: width, height, align (the
//             dt:: flags: 0 left, 1 centre, 2 right, + 4 vcentre, 32 single
//             line). The cell text ends at the next "</td>" or at the end.
//
// Styles nest by depth (surplus closing tags are ignored); colours nest on
// a stack of 256 entries whose bottom entry, the row's default colour, is
// never popped; pushes beyond the top replace the top entry.
//
// A parse stops after kMaxParseSteps steps (a step is one tag or one piece
// of text between tags); the rest of the text is dropped. Parsing is linear
// in the length of the text.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "controls/TextRun.h"
#include "platform/types.h"

namespace pd::controls {

inline constexpr int kTagCount = 14;
inline constexpr int kMaxParseSteps = 1000;
inline constexpr int kColourStackSize = 256;

// The recognised tags in identity order, split from one comma-separated
// text.
const std::array<StringView, kTagCount>& TagTable();

// The runs of a text, in order.
std::vector<TextRun> ParseItemText(StringView text);

// Markup that shows text as it is: every "<" is followed by "<space=0>", so
// that no tag can begin there (the pen does not move). The plain text of its
// runs is the text itself.
String PlainMarkup(StringView text);

// The texts of all runs concatenated: tags gone, each <br> a CR LF, each cell
// its text.
String PlainTextOf(const std::vector<TextRun>& runs);

}  // namespace pd::controls
