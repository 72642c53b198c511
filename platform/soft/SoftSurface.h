// The software surface: a 32-bit pixel buffer with text from FontCache.
// Used by the simulation and by the Linux backend, whose windows hand their
// frame to the screen through the presenter.
//
// Every operation moves its coordinates by the view's origin and cuts what
// it touches to the view's clip (kept inside the surface) before the pixel
// loops, which then run without further checks. The drawing operations live
// in SoftSurface.cpp, text in SoftSurfaceText.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/soft/FontCache.h"
#include "platform/surface.h"

namespace pd::soft {

class SoftSurface final : public platform::Surface {
 public:
  // Puts the rectangle (surface coordinates, inside the surface) of the
  // frame on the screen.
  using Presenter = std::function<void(const SoftSurface&, const Rect&)>;

  // A white surface; sizes below 1 become 1. present runs on Present (none
  // for a memory surface).
  SoftSurface(int width, int height, std::shared_ptr<FontCache> fonts, Presenter present = {});

  [[nodiscard]] int Width() const override { return width_; }
  [[nodiscard]] int Height() const override { return height_; }
  void SetView(Point origin, const Rect& clip) override;
  [[nodiscard]] Point Origin() const override { return origin_; }
  [[nodiscard]] Rect Clip() const override { return clip_; }

  void SetBackColor(Colour colour) override { back_ = colour; }
  [[nodiscard]] Colour BackColor() const override { return back_; }
  void Clear() override;

  void FillRect(const Rect& r, Colour colour) override;
  void Line(Point from, Point to, Colour colour) override;

  void CopyPicture(const platform::Picture& pic, Point dst, const Rect& src) override;
  void StretchPicture(const platform::Picture& pic, const Rect& dst, const Rect& src) override;
  void CopyPictureTransparent(const platform::Picture& pic, const Rect& dst, const Rect& src, Colour key) override;

  [[nodiscard]] std::vector<Colour> ReadPixels(const Rect& r) const override;
  void WritePixels(const Rect& r, std::span<const Colour> pixels) override;

  void SetTextColor(Colour colour) override { textColour_ = colour; }
  [[nodiscard]] Colour TextColor() const override { return textColour_; }
  void SetFont(const platform::Font& font) override;
  [[nodiscard]] const platform::Font& CurrentFont() const override { return font_; }

  int TextWidth(StringView text) override;
  int TextHeight(StringView text) override;
  void TextAt(Point p, StringView text) override;
  void TextIn(const Rect& r, StringView text, unsigned format) override;

  void Present() override;
  void PresentRect(const Rect& r) override;

  // The frame for the screen: row y as 0x00RRGGBB words.
  [[nodiscard]] const std::uint32_t* Row(int y) const { return data_.data() + static_cast<std::size_t>(y) * width_; }
  [[nodiscard]] int PresentCount() const { return presents_; }

 private:
  [[nodiscard]] Rect Bounds() const { return Rect{0, 0, width_, height_}; }
  // View coordinates to surface coordinates.
  [[nodiscard]] Point ToSurface(Point p) const;
  [[nodiscard]] Rect ToSurface(const Rect& r) const;
  std::uint32_t* MutableRow(int y) { return data_.data() + static_cast<std::size_t>(y) * width_; }
  // A colour of the port as a pixel (system colours resolved).
  [[nodiscard]] static std::uint32_t ToPixel(Colour colour);
  // Fills c, surface coordinates already cut to the clip.
  void Fill(const Rect& c, std::uint32_t px);
  GlyphFace& Face();
  int LineWidth(StringView line);
  // Draws one line with its top-left corner at (x, y), surface coordinates,
  // cut to clip.
  void DrawLine(int x, int y, StringView line, const Rect& clip);
  // Draws one line of TextIn at y, aligned in box and shortened with "..."
  // when format asks for it.
  void PlaceLine(const Rect& box, int y, StringView line, unsigned format, const Rect& clip);
  void Stretch(const platform::Picture& pic, const Rect& dst, const Rect& src, bool keyed, std::uint32_t key);

  int width_;
  int height_;
  std::vector<std::uint32_t> data_;
  std::shared_ptr<FontCache> fonts_;
  Presenter present_;
  Colour back_ = 0xFFFFFF;
  Colour textColour_ = 0;
  platform::Font font_;
  GlyphFace* face_ = nullptr;  // of font_, looked up when first needed
  int presents_ = 0;
  Point origin_;
  Rect clip_;                 // surface coordinates, inside the surface
  std::vector<int> columns_;  // source columns of a stretched copy, reused
};

}  // namespace pd::soft
