// Drawing port: off-screen surfaces, pictures, fonts and text.
//
// Coordinates are pixels of the surface, origin top-left; a Rect excludes
// its right and bottom edges. Colours are 0x00BBGGRR; a value with the top
// bit set names a system colour and is resolved by the backend. Text is
// measured and drawn in the surface's current font; line breaks are CR LF
// only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/types.h"

namespace pd::platform {

struct Font {
  String face = u"MS Sans Serif";
  double size = 8.25;  // points
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int charset = 204;  // Cyrillic
  friend bool operator==(const Font&, const Font&) = default;
};

// Format flags of text drawn into a rectangle (the Windows DT_ values).
namespace dt {
inline constexpr unsigned kLeft = 0x00;
inline constexpr unsigned kCenter = 0x01;
inline constexpr unsigned kRight = 0x02;
inline constexpr unsigned kVCenter = 0x04;
inline constexpr unsigned kSingleLine = 0x20;
}  // namespace dt

// A bitmap with a size and a colour depth.
class Picture {
 public:
  virtual ~Picture() = default;
  [[nodiscard]] virtual int Width() const = 0;
  [[nodiscard]] virtual int Height() const = 0;
  [[nodiscard]] virtual int BitsPerPixel() const = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;

  [[nodiscard]] virtual int Width() const = 0;
  [[nodiscard]] virtual int Height() const = 0;

  virtual void SetBackColor(Colour colour) = 0;
  [[nodiscard]] virtual Colour BackColor() const = 0;
  // Fills the whole surface with the back colour.
  virtual void Clear() = 0;

  virtual void FillRect(const Rect& r, Colour colour) = 0;
  // A one-pixel line from `from` up to, not including, `to`.
  virtual void Line(Point from, Point to, Colour colour) = 0;

  // Copies the src rectangle of a picture to dst unscaled.
  virtual void CopyPicture(const Picture& pic, Point dst, const Rect& src) = 0;
  // Copies the src rectangle of a picture stretched to the dst rectangle.
  virtual void StretchPicture(const Picture& pic, const Rect& dst, const Rect& src) = 0;
  // As StretchPicture, leaving the pixels of the key colour untouched.
  virtual void CopyPictureTransparent(const Picture& pic, const Rect& dst, const Rect& src, Colour key) = 0;

  // Pixels of a rectangle, row by row, as 0x00BBGGRR; the parts of r outside
  // the surface read as 0.
  [[nodiscard]] virtual std::vector<Colour> ReadPixels(const Rect& r) const = 0;
  // Writes r.Width() x r.Height() pixels, clipped to the surface.
  virtual void WritePixels(const Rect& r, std::span<const Colour> pixels) = 0;

  virtual void SetTextColor(Colour colour) = 0;
  [[nodiscard]] virtual Colour TextColor() const = 0;
  virtual void SetFont(const Font& font) = 0;
  [[nodiscard]] virtual const Font& CurrentFont() const = 0;

  // Multi-line: the widest line, the sum of the lines' heights. The height
  // of "" is one line.
  virtual int TextWidth(StringView text) = 0;
  virtual int TextHeight(StringView text) = 0;
  // Draws text with its top-left corner at p, on a transparent background.
  virtual void TextAt(Point p, StringView text) = 0;
  // Draws text into a rectangle with dt:: format flags, clipped to it.
  virtual void TextIn(const Rect& r, StringView text, unsigned format) = 0;

  // Puts what was drawn on the screen at once (surfaces of windows; a
  // memory surface has nothing to do).
  virtual void Present() = 0;
};

class Graphics {
 public:
  virtual ~Graphics() = default;

  // An off-screen surface filled with white.
  virtual std::unique_ptr<Surface> CreateSurface(int width, int height) = 0;
  // A 32-bit picture from pixels given row by row as 0x00BBGGRR.
  virtual std::unique_ptr<Picture> CreatePicture(int width, int height, std::span<const Colour> pixels) = 0;
  // The value of a system colour (0x800000nn); other values unchanged.
  virtual Colour ResolveColour(Colour colour) = 0;
};

}  // namespace pd::platform
