// Basic types shared by every port and every component.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pd {

// Text inside the program: UTF-16, indexed by code unit. Positions counted
// from 1 and cuts such as "the first 63 characters" work on this string
// directly; a character outside the Basic Multilingual Plane (an emoji in a
// process name) is a surrogate pair, two units, which every conversion
// keeps together and where a cut would part it, the whole pair goes
// (text::CutWhole). Conversions to files, the registry, the "ANSI" records
// and UTF-8 happen only at the platform boundary (see text.h).
using String = std::u16string;
using StringView = std::u16string_view;

// Opaque handle of a top-level or child window; 0 is "no window".
using WindowHandle = std::uintptr_t;

// Operating-system process id; 0 is "no process".
using ProcessId = std::uint32_t;

// Colour in the layout 0x00BBGGRR; a value with the top bit set names a
// system colour (0x8000000F is the button face).
using Colour = std::uint32_t;

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  [[nodiscard]] int Width() const { return right - left; }
  [[nodiscard]] int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Positions of windows and components at the host boundary are in twips.
inline constexpr int kTwipsPerPixel = 15;

}  // namespace pd
