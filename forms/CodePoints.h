// Code points of the text boxes' UTF-16 text: the boundaries a caret may sit
// on (never between the halves of a surrogate pair) and the class of a code
// point for moves and selections by words.
//
// A word is a run of letters and digits of any script (and '_'); spaces
// part words; every other sign (punctuation, symbols, currency, arrows,
// letterlike symbols such as U+2116, emoji) forms runs of its own. A
// combining mark, a variation selector or a joiner takes the class of the
// code point it follows, so "e" + U+0301 is one word and an emoji with its
// selector one sign.
#pragma once

#include <cstddef>

#include "platform/types.h"

namespace pd::forms {

enum class CharClass { kSpace, kWord, kSign };

// The class of one code point, by compact ranges of the letter blocks.
[[nodiscard]] CharClass ClassOfCodePoint(char32_t c);

// The code-point boundary before pos: pos - 1, or pos - 2 over a pair.
[[nodiscard]] std::size_t PrevBoundary(StringView s, std::size_t pos);
// The code-point boundary after pos: pos + 1, or pos + 2 over a pair.
[[nodiscard]] std::size_t NextBoundary(StringView s, std::size_t pos);
// pos itself when it is a boundary, else the boundary before it.
[[nodiscard]] std::size_t FloorBoundary(StringView s, std::size_t pos);
// Whether pos lies between the halves of a pair.
[[nodiscard]] bool InsidePair(StringView s, std::size_t pos);
// The class of the code point starting at pos (a boundary before the end),
// with marks and joiners resolved to the code point they follow.
[[nodiscard]] CharClass ClassAt(StringView s, std::size_t pos);

}  // namespace pd::forms
