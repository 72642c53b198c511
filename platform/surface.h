// Drawing port: off-screen surfaces, pictures, fonts and text.
//
// Coordinates are pixels of the surface, origin top-left; a Rect excludes
// its right and bottom edges. Every operation is clipped to the surface; a
// rectangle with no width or height draws nothing.
//
// The view: a surface draws relative to an origin and inside a clip
// rectangle, so that each control of a form paints in its own coordinates
// into its part of the form's one frame. SetView(origin, clip) takes both
// in surface coordinates; afterwards every coordinate given to or read from
// the surface (FillRect, Line, copies, text, ReadPixels, WritePixels) is
// relative to the origin, and nothing is drawn outside the clip (copies,
// stretched copies and glyphs included). Clear fills the clip. ReadPixels
// reads outside the clip as it reads outside the surface (0); WritePixels
// writes only inside it. A new surface's view is the whole surface.
//
// Colours are 0x00BBGGRR. A value with the top bit set names a system colour
// (0x8000000F button face, 0x80000005 window, 0x80000008 window text, ...);
// every operation that takes a colour resolves it as ResolveColour does.
//
// Text is measured and drawn in the surface's current font, on a transparent
// background (the pixels between the strokes stay as they are). Multi-line
// text breaks only at CR LF; a lone CR or LF is not a break. Characters below
// U+0020 take no room and draw nothing. GDI draws with the "A" calls, the
// text converted with the code page of the font's charset (204: Windows-1251),
// so a character that code page lacks shows as '?'.
//
// Backends: Windows draws with GDI on memory device contexts; Linux and the
// simulation draw on a software surface (a 32-bit pixel buffer) with text by
// FreeType. Both offer the same results for the same calls, apart from the
// glyph shapes of the real fonts.
//
// The built-in test font (software surface only): face kFixedFace, any size.
// Every character is a cell kFixedAdvance wide (kFixedBoldAdvance when bold)
// and kFixedLineHeight high. A space (U+0020) and characters below U+0020
// draw nothing; a space advances by a cell, characters below U+0020 by 0.
// Any other character fills, in the text colour, the block of columns
// 1..4 (1..5 when bold) and rows 3..10 of its cell, relative to the cell's
// top-left corner; when italic, rows 3..6 of the block lie one column further
// right. An underline fills row 11 across the whole advance of every
// character, spaces included. Layout tests compute expected pixels from this.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/types.h"

namespace pd::platform {

struct Font {
  String face = u"MS Sans Serif";
  double size = 8.25;  // points; the pixel height is round(size * 96 / 72)
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int charset = 204;  // Cyrillic; GDI converts text with this charset's code page
  friend bool operator==(const Font&, const Font&) = default;
};

// The built-in fixed-width test font (see the top of this file).
inline constexpr char16_t kFixedFace[] = u"PD Fixed";
inline constexpr int kFixedAdvance = 6;
inline constexpr int kFixedBoldAdvance = 7;
inline constexpr int kFixedLineHeight = 13;

// Format flags of text drawn into a rectangle (the Windows DT_ values).
// kVCenter takes effect only together with kSingleLine (as with DrawText);
// with kSingleLine CR LF does not break the line.
// kBottom, like kVCenter, takes effect only with kSingleLine. kWordBreak
// breaks lines at spaces (and inside a word longer than the rectangle) to
// fit the rectangle's width, besides the CR LF breaks. kNoClip draws beyond
// the rectangle (still inside the view's clip). kEndEllipsis shortens a line
// too wide for the rectangle and ends it with "..." (U+2026 is not used, so
// every code page shows it). Other bits are ignored; "&" is never a prefix.
namespace dt {
inline constexpr unsigned kLeft = 0x00;
inline constexpr unsigned kTop = 0x00;
inline constexpr unsigned kCenter = 0x01;
inline constexpr unsigned kRight = 0x02;
inline constexpr unsigned kVCenter = 0x04;
inline constexpr unsigned kBottom = 0x08;
inline constexpr unsigned kWordBreak = 0x10;
inline constexpr unsigned kSingleLine = 0x20;
inline constexpr unsigned kNoClip = 0x100;
inline constexpr unsigned kEndEllipsis = 0x8000;
// The flags text drawing takes; a cell's align value is masked with this.
inline constexpr unsigned kLayoutMask = kCenter | kRight | kVCenter | kBottom | kWordBreak | kSingleLine | kNoClip |
                                        kEndEllipsis;
}  // namespace dt

// A bitmap with a size and a colour depth (24 or 32 bits per pixel).
class Picture {
 public:
  virtual ~Picture() = default;
  [[nodiscard]] virtual int Width() const = 0;
  [[nodiscard]] virtual int Height() const = 0;
  [[nodiscard]] virtual int BitsPerPixel() const = 0;
  // The pixels row by row as 0xAABBGGRR: the top byte is the alpha byte a
  // 32-bit picture was created with, 0 for a 24-bit picture.
  [[nodiscard]] virtual std::vector<std::uint32_t> Pixels() const = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;

  // The size of the whole surface, whatever the view.
  [[nodiscard]] virtual int Width() const = 0;
  [[nodiscard]] virtual int Height() const = 0;

  // The view (see the top of this file). The clip is cut to the surface.
  virtual void SetView(Point origin, const Rect& clip) = 0;
  [[nodiscard]] virtual Point Origin() const = 0;
  [[nodiscard]] virtual Rect Clip() const = 0;
  void ResetView() { SetView(Point{}, Rect{0, 0, Width(), Height()}); }

  // The back colour as set (a system colour stays a system colour here).
  virtual void SetBackColor(Colour colour) = 0;
  [[nodiscard]] virtual Colour BackColor() const = 0;
  // Fills the view's clip (the whole surface when no view is set) with the
  // back colour.
  virtual void Clear() = 0;

  virtual void FillRect(const Rect& r, Colour colour) = 0;
  // A one-pixel line from `from` up to, not including, `to`.
  virtual void Line(Point from, Point to, Colour colour) = 0;

  // Copies the src rectangle of a picture to dst unscaled. The part of src
  // outside the picture is not copied.
  virtual void CopyPicture(const Picture& pic, Point dst, const Rect& src) = 0;
  // Copies the src rectangle of a picture stretched to the dst rectangle,
  // each destination pixel taking the nearest source pixel. src must lie
  // inside the picture and both rectangles must have a positive size, else
  // nothing is drawn.
  virtual void StretchPicture(const Picture& pic, const Rect& dst, const Rect& src) = 0;
  // As StretchPicture, leaving the pixels of the key colour untouched.
  virtual void CopyPictureTransparent(const Picture& pic, const Rect& dst, const Rect& src, Colour key) = 0;

  // Pixels of a rectangle, row by row, as 0x00BBGGRR; the parts of r outside
  // the surface read as 0.
  [[nodiscard]] virtual std::vector<Colour> ReadPixels(const Rect& r) const = 0;
  // Writes r.Width() x r.Height() pixels given row by row, clipped to the
  // surface; the top byte of each value is ignored. Writes nothing when
  // pixels holds fewer values than that.
  virtual void WritePixels(const Rect& r, std::span<const Colour> pixels) = 0;

  virtual void SetTextColor(Colour colour) = 0;
  [[nodiscard]] virtual Colour TextColor() const = 0;
  virtual void SetFont(const Font& font) = 0;
  [[nodiscard]] virtual const Font& CurrentFont() const = 0;

  // Multi-line: the widest line, the sum of the lines' heights. The height
  // of "" is one line.
  virtual int TextWidth(StringView text) = 0;
  virtual int TextHeight(StringView text) = 0;
  // Draws text as one line with its top-left corner at p (CR and LF are not
  // breaks here and draw nothing).
  virtual void TextAt(Point p, StringView text) = 0;
  // Draws text into a rectangle with dt:: format flags, clipped to it. Lines
  // are laid out from the top, each aligned on its own.
  virtual void TextIn(const Rect& r, StringView text, unsigned format) = 0;

  // Puts what was drawn on the screen at once (surfaces of windows; a
  // memory surface has nothing to do).
  virtual void Present() = 0;
  // Puts only the rectangle r (surface coordinates, not the view's) of the
  // frame on the screen.
  virtual void PresentRect(const Rect& r) = 0;
};

class Graphics {
 public:
  virtual ~Graphics() = default;

  // An off-screen surface filled with white; sizes below 1 become 1.
  virtual std::unique_ptr<Surface> CreateSurface(int width, int height) = 0;
  // A picture from pixels given row by row as 0xAABBGGRR (the alpha byte is
  // kept only in a 32-bit picture; bitsPerPixel is 24 or 32). Missing pixels
  // are black; sizes below 1 become 1.
  virtual std::unique_ptr<Picture> CreatePicture(int width, int height, std::span<const Colour> pixels,
                                                 int bitsPerPixel = 32) = 0;
  // The value of a system colour (0x800000nn): GetSysColor on Windows, the
  // classic Windows colours elsewhere; 0 for an unknown index. Other values
  // unchanged.
  virtual Colour ResolveColour(Colour colour) = 0;
};

// The lines of a text: split at every CR LF pair (a lone CR or LF stays in
// its line). "" and "a" are one line; "a\r\n" is two, the second empty.
inline std::vector<StringView> SplitTextLines(StringView text) {
  std::vector<StringView> lines;
  std::size_t start = 0;
  for (std::size_t at = text.find(u"\r\n"); at != StringView::npos; at = text.find(u"\r\n", start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace pd::platform
