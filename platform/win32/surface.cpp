// Drawing on Windows: GDI on memory device contexts.
//
// A surface is a memory DC with a 32-bit top-down DIB section selected; a
// picture is a DIB section of its own depth, selected into a short-lived
// memory DC for each copy (BitBlt, StretchBlt, TransparentBlt). Pixels are
// read with GetDIBits and written with SetDIBitsToDevice. Text goes through
// TextOutA and DrawTextA, converted with the code page of the font's charset;
// fonts are created once per attribute set and kept for the life of the
// Graphics. Needs gdi32, user32 and msimg32.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include "platform/surface.h"
#include "platform/win32/backend.h"

namespace pd::platform {
namespace {

COLORREF Resolve(Colour colour) {
  if ((colour & 0x80000000u) == 0) return colour & 0x00FFFFFFu;
  const Colour index = colour & 0x7FFFFFFFu;
  return index <= COLOR_MENUBAR ? GetSysColor(static_cast<int>(index)) : 0;
}

// 0x00BBGGRR <-> the B, G, R, A byte order of a DIB.
constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
}

BITMAPINFO DibInfo(int width, int height, int bits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = static_cast<WORD>(bits);
  bmi.bmiHeader.biCompression = BI_RGB;
  return bmi;
}

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

int PixelSize(double points) {
  if (!std::isfinite(points) || points <= 0) return 1;
  const double px = std::nearbyint(points * 96.0 / 72.0);
  return px < 1 ? 1 : (px > 1000 ? 1000 : static_cast<int>(px));
}

// ---- Pictures -------------------------------------------------------------------

class GdiPicture final : public Picture {
 public:
  GdiPicture(int width, int height, std::span<const Colour> pixels, int bits)
      : width_(std::max(1, width)), height_(std::max(1, height)), bits_(bits == 24 ? 24 : 32) {
    BITMAPINFO bmi = DibInfo(width_, height_, bits_);
    void* data = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &data, nullptr, 0);
    if (bitmap_ == nullptr || data == nullptr) return;
    const bool valid = width == width_ && height == height_;
    const std::size_t stride = bits_ == 32 ? static_cast<std::size_t>(width_) * 4
                                           : (static_cast<std::size_t>(width_) * 3 + 3) & ~std::size_t{3};
    auto* bytes = static_cast<unsigned char*>(data);
    for (int y = 0; y < height_; ++y) {
      unsigned char* row = bytes + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < width_; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
        const Colour c = valid && i < pixels.size() ? pixels[i] : 0;
        unsigned char* p = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(bits_ / 8);
        p[0] = static_cast<unsigned char>(c >> 16);  // blue
        p[1] = static_cast<unsigned char>(c >> 8);   // green
        p[2] = static_cast<unsigned char>(c);        // red
        if (bits_ == 32) p[3] = static_cast<unsigned char>(c >> 24);
      }
    }
    GdiFlush();
  }
  ~GdiPicture() override {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  GdiPicture(const GdiPicture&) = delete;
  GdiPicture& operator=(const GdiPicture&) = delete;

  [[nodiscard]] int Width() const override { return width_; }
  [[nodiscard]] int Height() const override { return height_; }
  [[nodiscard]] int BitsPerPixel() const override { return bits_; }

  [[nodiscard]] std::vector<std::uint32_t> Pixels() const override {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
    if (bitmap_ == nullptr) return out;
    BITMAPINFO bmi = DibInfo(width_, height_, 32);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap_, 0, static_cast<UINT>(height_), out.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (auto& v : out) v = SwapRedBlue(v) & (bits_ == 32 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    return out;
  }

  [[nodiscard]] HBITMAP Bitmap() const { return bitmap_; }

 private:
  int width_;
  int height_;
  int bits_;
  HBITMAP bitmap_ = nullptr;
};

// A picture selected into a memory DC compatible with a surface, for one copy.
class PictureDc {
 public:
  PictureDc(HDC compatible, const GdiPicture& pic) : dc_(CreateCompatibleDC(compatible)) {
    if (dc_ != nullptr) old_ = SelectObject(dc_, pic.Bitmap());
  }
  ~PictureDc() {
    if (dc_ == nullptr) return;
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  PictureDc(const PictureDc&) = delete;
  PictureDc& operator=(const PictureDc&) = delete;
  [[nodiscard]] HDC Get() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

// ---- Fonts ------------------------------------------------------------------------

class FontCache {
 public:
  FontCache() = default;
  ~FontCache() {
    for (auto& [key, font] : fonts_) DeleteObject(font);
  }
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  HFONT Get(const Font& f) {
    Key key{f.face, PixelSize(f.size), f.bold, f.italic, f.underline, f.charset};
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -PixelSize(f.size);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic ? TRUE : FALSE;
    lf.lfUnderline = f.underline ? TRUE : FALSE;
    lf.lfCharSet = static_cast<BYTE>(f.charset);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::size_t n = std::min<std::size_t>(f.face.size(), LF_FACESIZE - 1);
    for (std::size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<wchar_t>(f.face[i]);
    HFONT font = CreateFontIndirectW(&lf);
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace(std::move(key), font);
    return font;
  }

 private:
  using Key = std::tuple<String, int, bool, bool, bool, int>;
  std::map<Key, HFONT> fonts_;
};

// The code page of a charset: 204 is Windows-1251, DEFAULT_CHARSET the
// system's ANSI code page.
UINT CodePageOf(int charset) {
  CHARSETINFO info{};
  if (charset != DEFAULT_CHARSET &&
      TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<std::uintptr_t>(charset)), &info, TCI_SRCCHARSET)) {
    return info.ciACP;
  }
  return CP_ACP;
}

// Text for the "A" calls: the code page's bytes, without control characters
// (they take no room and draw nothing on every surface).
std::string ToBytes(StringView text, UINT codePage) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char16_t c : text) {
    if (c >= 0x20) wide.push_back(static_cast<wchar_t>(c));
  }
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(0, n)), '\0');
  if (n > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, "?", nullptr);
  }
  return bytes;
}

// ---- Surfaces -------------------------------------------------------------------

class GdiSurface final : public Surface {
 public:
  // window: where Present puts the frame (its client area's top-left
  // corner); nullptr for a memory surface.
  GdiSurface(int width, int height, std::shared_ptr<FontCache> fonts, HWND window = nullptr)
      : width_(std::max(1, width)), height_(std::max(1, height)), fonts_(std::move(fonts)), window_(window) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO bmi = DibInfo(width_, height_, 32);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    oldFont_ = SelectObject(dc_, fonts_->Get(font_));
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    ::SetTextColor(dc_, Resolve(textColour_));
    SetStretchBltMode(dc_, COLORONCOLOR);
    FillRect(Rect{0, 0, width_, height_}, 0xFFFFFF);
    clip_ = Rect{0, 0, width_, height_};
  }
  ~GdiSurface() override {
    SelectObject(dc_, oldFont_);
    SelectObject(dc_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  [[nodiscard]] int Width() const override { return width_; }
  [[nodiscard]] int Height() const override { return height_; }

  void SetBackColor(Colour colour) override { back_ = colour; }
  [[nodiscard]] Colour BackColor() const override { return back_; }
  void Clear() override { FillRect(Rect{0, 0, width_, height_}, back_); }

  void FillRect(const Rect& r, Colour colour) override {
    if (IsEmpty(r)) return;
    HBRUSH brush = CreateSolidBrush(Resolve(colour));
    const RECT rc{r.left, r.top, r.right, r.bottom};
    ::FillRect(dc_, &rc, brush);
    DeleteObject(brush);
  }

  void Line(Point from, Point to, Colour colour) override {
    HPEN pen = CreatePen(PS_SOLID, 1, Resolve(colour));
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, from.x, from.y, nullptr);
    LineTo(dc_, to.x, to.y);
    SelectObject(dc_, old);
    DeleteObject(pen);
  }

  void CopyPicture(const Picture& pic, Point dst, const Rect& src) override {
    const auto* p = dynamic_cast<const GdiPicture*>(&pic);
    if (p == nullptr) return;
    const Rect s = Intersect(src, Rect{0, 0, p->Width(), p->Height()});
    if (IsEmpty(s)) return;
    PictureDc mem(dc_, *p);
    BitBlt(dc_, dst.x + (s.left - src.left), dst.y + (s.top - src.top), s.Width(), s.Height(), mem.Get(), s.left,
           s.top, SRCCOPY);
  }

  void StretchPicture(const Picture& pic, const Rect& dst, const Rect& src) override {
    const GdiPicture* p = Checked(pic, dst, src);
    if (p == nullptr) return;
    PictureDc mem(dc_, *p);
    StretchBlt(dc_, dst.left, dst.top, dst.Width(), dst.Height(), mem.Get(), src.left, src.top, src.Width(),
               src.Height(), SRCCOPY);
  }

  void CopyPictureTransparent(const Picture& pic, const Rect& dst, const Rect& src, Colour key) override {
    const GdiPicture* p = Checked(pic, dst, src);
    if (p == nullptr) return;
    PictureDc mem(dc_, *p);
    TransparentBlt(dc_, dst.left, dst.top, dst.Width(), dst.Height(), mem.Get(), src.left, src.top, src.Width(),
                   src.Height(), Resolve(key));
  }

  [[nodiscard]] std::vector<Colour> ReadPixels(const Rect& r) const override {
    if (r.Width() <= 0 || r.Height() <= 0) return {};
    std::vector<Colour> out(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()), 0);
    const Rect c = Intersect(r, Rect{0, 0, width_, height_});
    if (IsEmpty(c)) return out;
    // Copy the area into a bitmap of its own, then read that with GetDIBits
    // (a bitmap must not be selected into a DC while it is read).
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(c.Width()) * static_cast<std::size_t>(c.Height()));
    HDC mem = CreateCompatibleDC(dc_);
    HBITMAP area = CreateCompatibleBitmap(dc_, c.Width(), c.Height());
    HGDIOBJ old = SelectObject(mem, area);
    BitBlt(mem, 0, 0, c.Width(), c.Height(), dc_, c.left, c.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bmi = DibInfo(c.Width(), c.Height(), 32);
    GetDIBits(dc_, area, 0, static_cast<UINT>(c.Height()), rows.data(), &bmi, DIB_RGB_COLORS);
    DeleteObject(area);
    DeleteDC(mem);
    for (int y = 0; y < c.Height(); ++y) {
      for (int x = 0; x < c.Width(); ++x) {
        out[static_cast<std::size_t>(y + c.top - r.top) * static_cast<std::size_t>(r.Width()) +
            static_cast<std::size_t>(x + c.left - r.left)] =
            SwapRedBlue(rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(c.Width()) +
                             static_cast<std::size_t>(x)]) &
            0x00FFFFFFu;
      }
    }
    return out;
  }

  void WritePixels(const Rect& r, std::span<const Colour> pixels) override {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    const std::size_t count = static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height());
    if (pixels.size() < count) return;
    std::vector<std::uint32_t> bits(count);
    for (std::size_t i = 0; i < count; ++i) bits[i] = SwapRedBlue(pixels[i]) & 0x00FFFFFFu;
    BITMAPINFO bmi = DibInfo(r.Width(), r.Height(), 32);
    SetDIBitsToDevice(dc_, r.left, r.top, static_cast<DWORD>(r.Width()), static_cast<DWORD>(r.Height()), 0, 0, 0,
                      static_cast<UINT>(r.Height()), bits.data(), &bmi, DIB_RGB_COLORS);
  }

  void SetTextColor(Colour colour) override {
    textColour_ = colour;
    ::SetTextColor(dc_, Resolve(colour));
  }
  [[nodiscard]] Colour TextColor() const override { return textColour_; }

  void SetFont(const Font& font) override {
    if (font == font_) return;
    font_ = font;
    SelectObject(dc_, fonts_->Get(font_));
    codePage_ = CodePageOf(font_.charset);
    lineHeight_ = -1;
  }
  [[nodiscard]] const Font& CurrentFont() const override { return font_; }

  int TextWidth(StringView text) override {
    int widest = 0;
    for (StringView line : SplitTextLines(text)) widest = std::max(widest, LineWidth(ToBytes(line, codePage_)));
    return widest;
  }

  int TextHeight(StringView text) override {
    return static_cast<int>(SplitTextLines(text).size()) * LineHeight();
  }

  void TextAt(Point p, StringView text) override {
    const std::string bytes = ToBytes(text, codePage_);
    if (!bytes.empty()) TextOutA(dc_, p.x, p.y, bytes.data(), static_cast<int>(bytes.size()));
  }

  void TextIn(const Rect& r, StringView text, unsigned format) override {
    if (IsEmpty(r)) return;
    // Lines are broken here, at CR LF only, and each drawn as a single line:
    // DrawTextA itself would also break at a lone CR or LF.
    const UINT horizontal = format & (DT_CENTER | DT_RIGHT);
    const UINT flags = DT_SINGLELINE | DT_NOPREFIX | horizontal;
    if ((format & dt::kSingleLine) != 0) {
      std::string bytes = ToBytes(text, codePage_);
      RECT rc{r.left, r.top, r.right, r.bottom};
      DrawTextA(dc_, bytes.data(), static_cast<int>(bytes.size()), &rc, flags | (format & DT_VCENTER));
      return;
    }
    int y = r.top;
    const int lineHeight = LineHeight();
    for (StringView line : SplitTextLines(text)) {
      if (y >= r.bottom) break;
      std::string bytes = ToBytes(line, codePage_);
      RECT rc{r.left, y, r.right, r.bottom};
      if (!bytes.empty()) DrawTextA(dc_, bytes.data(), static_cast<int>(bytes.size()), &rc, flags);
      y += lineHeight;
    }
  }

  void Present() override { PresentRect(Rect{0, 0, width_, height_}); }

  void PresentRect(const Rect& r) override {
    GdiFlush();
    if (window_ == nullptr) return;
    const int left = std::max(r.left, 0);
    const int top = std::max(r.top, 0);
    const int right = std::min(r.right, width_);
    const int bottom = std::min(r.bottom, height_);
    if (right <= left || bottom <= top) return;
    HDC target = GetDC(window_);
    if (target == nullptr) return;
    BitBlt(target, left, top, right - left, bottom - top, dc_, left, top, SRCCOPY);
    ReleaseDC(window_, target);
  }

  // The view; applied to the drawing calls with the coming control host.
  void SetView(Point origin, const Rect& clip) override {
    origin_ = origin;
    clip_ = Rect{std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, width_),
                 std::min(clip.bottom, height_)};
  }
  [[nodiscard]] Point Origin() const override { return origin_; }
  [[nodiscard]] Rect Clip() const override { return clip_; }

 private:
  const GdiPicture* Checked(const Picture& pic, const Rect& dst, const Rect& src) const {
    const auto* p = dynamic_cast<const GdiPicture*>(&pic);
    if (p == nullptr || dst.Width() <= 0 || dst.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return nullptr;
    if (src.left < 0 || src.top < 0 || src.right > p->Width() || src.bottom > p->Height()) return nullptr;
    return p;
  }

  int LineWidth(const std::string& bytes) {
    if (bytes.empty()) return 0;
    SIZE size{};
    GetTextExtentPoint32A(dc_, bytes.data(), static_cast<int>(bytes.size()), &size);
    return size.cx;
  }

  int LineHeight() {
    if (lineHeight_ < 0) {
      TEXTMETRICA tm{};
      GetTextMetricsA(dc_, &tm);
      lineHeight_ = tm.tmHeight;
    }
    return lineHeight_;
  }

  int width_;
  int height_;
  std::shared_ptr<FontCache> fonts_;
  HWND window_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  Colour back_ = 0xFFFFFF;
  Colour textColour_ = 0;
  Font font_;
  Point origin_;
  Rect clip_;
  UINT codePage_ = CodePageOf(Font{}.charset);
  int lineHeight_ = -1;
};

class GdiGraphics final : public Graphics {
 public:
  std::unique_ptr<Surface> CreateWindowSurface(HWND window, int width, int height) {
    return std::make_unique<GdiSurface>(width, height, fonts_, window);
  }
  std::unique_ptr<Surface> CreateSurface(int width, int height) override {
    return std::make_unique<GdiSurface>(width, height, fonts_);
  }
  std::unique_ptr<Picture> CreatePicture(int width, int height, std::span<const Colour> pixels,
                                         int bitsPerPixel = 32) override {
    return std::make_unique<GdiPicture>(width, height, pixels, bitsPerPixel);
  }
  Colour ResolveColour(Colour colour) override {
    return (colour & 0x80000000u) != 0 ? Resolve(colour) : colour;
  }

 private:
  std::shared_ptr<FontCache> fonts_ = std::make_shared<FontCache>();
};

}  // namespace

std::unique_ptr<Graphics> CreateGraphics() { return std::make_unique<GdiGraphics>(); }

}  // namespace pd::platform

namespace pd::win32 {

std::unique_ptr<platform::Surface> CreateWindowSurface(platform::Graphics& graphics, WindowHandle window,
                                                       int width, int height) {
  auto* gdi = dynamic_cast<platform::GdiGraphics*>(&graphics);
  return gdi != nullptr ? gdi->CreateWindowSurface(reinterpret_cast<HWND>(window), width, height) : nullptr;
}

}  // namespace pd::win32
