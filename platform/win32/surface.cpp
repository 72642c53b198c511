// Drawing on Windows: GDI on memory device contexts.
//
// A surface is a memory DC with a 32-bit top-down DIB section selected; a
// picture is a DIB section of its own depth, selected into a short-lived
// memory DC for each copy (BitBlt, StretchBlt, TransparentBlt). Pixels are
// read and written in the surface's DIB memory after GdiFlush. The view is
// the DC's viewport origin (SetViewportOrgEx) and its clip region (device
// coordinates), so every GDI call draws in view coordinates inside the clip.
// Text goes through TextOutA and DrawTextA, converted with the code page of
// the font's charset; fonts are created once per attribute set and kept for
// the life of the Graphics. Needs gdi32, user32 and msimg32.
#include "platform/surface.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/text.h"
#include "platform/win32/platform.h"
#include "platform/win32/surface.h"

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
        const std::size_t i =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
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

// The face GDI really gives for a font ("" when it cannot be told).
String ActualFace(HFONT font) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return {};
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t name[LF_FACESIZE] = {};
  const int n = GetTextFaceW(dc, LF_FACESIZE, name);
  SelectObject(dc, old);
  DeleteDC(dc);
  return n > 0 ? String(name, name + std::wcslen(name)) : String();
}

// The window's captions were laid out for the narrow bitmap face "MS Sans
// Serif". Where the system lacks it (Wine draws it in Liberation Sans, of
// Arial's widths), a one-line caption overruns its button by a pixel or two
// and wraps; the narrow cut of Liberation Sans stands in when the system has
// it. Any other face is used as the system resolves it.
bool IsSansSerif(StringView face) {
  return text::EqualsIgnoreCase(face, u"MS Sans Serif") || text::EqualsIgnoreCase(face, u"Microsoft Sans Serif");
}
constexpr char16_t kNarrowStandIn[] = u"Liberation Sans Narrow";

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
    HFONT font = Create(f, f.face);
    if (font != nullptr && IsSansSerif(f.face) && !IsSansSerif(ActualFace(font))) {
      HFONT narrow = Create(f, kNarrowStandIn);
      if (narrow != nullptr && text::EqualsIgnoreCase(ActualFace(narrow), kNarrowStandIn)) {
        DeleteObject(font);
        font = narrow;
      } else if (narrow != nullptr) {
        DeleteObject(narrow);
      }
    }
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace(std::move(key), font);
    return font;
  }

 private:
  // Text is drawn without smoothing, as the bitmap faces draw: with the
  // default quality GDI smooths some faces at some sizes by the face's own
  // table, and Wine's bold Liberation Sans then comes out in thin grey
  // strokes that read as regular weight next to the plain black text.
  static HFONT Create(const Font& f, StringView face) {
    LOGFONTW lf{};
    lf.lfHeight = -PixelSize(f.size);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic ? TRUE : FALSE;
    lf.lfUnderline = f.underline ? TRUE : FALSE;
    lf.lfCharSet = static_cast<BYTE>(f.charset);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    for (std::size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<wchar_t>(face[i]);
    return CreateFontIndirectW(&lf);
  }

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
    pixels_ = static_cast<std::uint32_t*>(bits);
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
  void Clear() override {
    FillRect(Rect{clip_.left - origin_.x, clip_.top - origin_.y, clip_.right - origin_.x, clip_.bottom - origin_.y},
             back_);
  }

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
    BitBlt(dc_, dst.x + (s.left - src.left), dst.y + (s.top - src.top), s.Width(), s.Height(), mem.Get(), s.left, s.top,
           SRCCOPY);
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
    const Rect at = ToDevice(r);
    const Rect c = Intersect(at, clip_);
    if (IsEmpty(c) || pixels_ == nullptr) return out;
    GdiFlush();
    for (int y = c.top; y < c.bottom; ++y) {
      const std::uint32_t* in = DeviceRow(y) + c.left;
      Colour* o = out.data() + static_cast<std::size_t>(y - at.top) * static_cast<std::size_t>(r.Width()) +
                  static_cast<std::size_t>(c.left - at.left);
      for (int x = 0; x < c.Width(); ++x) o[x] = SwapRedBlue(in[x]) & 0x00FFFFFFu;
    }
    return out;
  }

  void WritePixels(const Rect& r, std::span<const Colour> pixels) override {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    if (pixels.size() < static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height())) return;
    const Rect at = ToDevice(r);
    const Rect c = Intersect(at, clip_);
    if (IsEmpty(c) || pixels_ == nullptr) return;
    GdiFlush();
    for (int y = c.top; y < c.bottom; ++y) {
      const Colour* in = pixels.data() + static_cast<std::size_t>(y - at.top) * static_cast<std::size_t>(r.Width()) +
                         static_cast<std::size_t>(c.left - at.left);
      std::uint32_t* o = DeviceRow(y) + c.left;
      for (int x = 0; x < c.Width(); ++x) o[x] = SwapRedBlue(in[x]) & 0x00FFFFFFu;
    }
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

  int TextHeight(StringView text) override { return static_cast<int>(SplitTextLines(text).size()) * LineHeight(); }

  void TextAt(Point p, StringView text) override {
    const std::string bytes = ToBytes(text, codePage_);
    if (!bytes.empty()) TextOutA(dc_, p.x, p.y, bytes.data(), static_cast<int>(bytes.size()));
  }

  void TextIn(const Rect& r, StringView text, unsigned format) override {
    if (IsEmpty(r)) return;
    const UINT base = DT_NOPREFIX | (format & (DT_CENTER | DT_RIGHT | DT_NOCLIP | DT_END_ELLIPSIS));
    if ((format & dt::kSingleLine) != 0) {
      std::string bytes = ToBytes(text, codePage_);
      RECT rc{r.left, r.top, r.right, r.bottom};
      DrawTextA(dc_, bytes.data(), static_cast<int>(bytes.size()), &rc,
                base | DT_SINGLELINE | (format & (DT_VCENTER | DT_BOTTOM)));
      return;
    }
    // Lines are broken here, at CR LF only (DrawTextA itself would also
    // break at a lone CR or LF) and with kWordBreak as the software surface
    // breaks them; each is drawn as a single line. Lines start while they
    // can show: above the rectangle's bottom, or with kNoClip the clip's.
    const bool noClip = (format & dt::kNoClip) != 0;
    const int limit = noClip ? clip_.bottom - origin_.y : r.bottom;
    const int lineHeight = LineHeight();
    int y = r.top;
    for (StringView line : SplitTextLines(text)) {
      if (y >= limit) break;
      const std::string bytes = ToBytes(line, codePage_);
      std::string_view rest = bytes;
      do {
        const std::string_view piece = (format & dt::kWordBreak) != 0 ? NextPiece(rest, r.Width()) : rest;
        if ((format & dt::kWordBreak) == 0) rest = {};
        RECT rc{r.left, y, r.right, noClip ? std::max(r.bottom, y + lineHeight) : r.bottom};
        if (!piece.empty()) {
          DrawTextA(dc_, piece.data(), static_cast<int>(piece.size()), &rc, base | DT_SINGLELINE);
        }
        y += lineHeight;
      } while (!rest.empty() && y < limit);
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
    // The frame's own pixels, whatever the view: the source is given in the
    // view's coordinates.
    BitBlt(target, left, top, right - left, bottom - top, dc_, left - origin_.x, top - origin_.y, SRCCOPY);
    ReleaseDC(window_, target);
  }

  void SetView(Point origin, const Rect& clip) override {
    origin_ = origin;
    clip_ = Intersect(clip, Rect{0, 0, width_, height_});
    SetViewportOrgEx(dc_, origin.x, origin.y, nullptr);
    // The region is in device coordinates; an empty clip draws nothing.
    HRGN region =
        IsEmpty(clip_) ? CreateRectRgn(0, 0, 0, 0) : CreateRectRgn(clip_.left, clip_.top, clip_.right, clip_.bottom);
    SelectClipRgn(dc_, region);
    DeleteObject(region);
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

  [[nodiscard]] Rect ToDevice(const Rect& r) const {
    auto shift = [](int v, int by) {
      return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{v} + by, -(1 << 30), 1 << 30));
    };
    return Rect{shift(r.left, origin_.x), shift(r.top, origin_.y), shift(r.right, origin_.x),
                shift(r.bottom, origin_.y)};
  }
  [[nodiscard]] std::uint32_t* DeviceRow(int y) const {
    return pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  }

  // Takes from rest the first piece of a word-broken line no wider than
  // width: up to the last space that lets it fit, else inside a word too
  // long for the width (one character at least). The spaces at the break
  // belong to neither piece.
  std::string_view NextPiece(std::string_view& rest, int width) {
    int fit = 0;
    SIZE size{};
    GetTextExtentExPointA(dc_, rest.data(), static_cast<int>(rest.size()), std::max(width, 0), &fit, nullptr, &size);
    const std::size_t fits = static_cast<std::size_t>(std::max(fit, 0));
    if (fits >= rest.size()) {
      const std::string_view all = rest;
      rest = {};
      return all;
    }
    std::size_t end = std::string_view::npos;  // the last space after some ink
    bool ink = false;
    for (std::size_t i = 0; i <= fits; ++i) {
      if (rest[i] == ' ' && ink) end = i;
      ink = ink || rest[i] != ' ';
    }
    if (end == std::string_view::npos) end = std::max<std::size_t>(fits, 1);
    std::size_t stop = end;
    while (stop > 0 && rest[stop - 1] == ' ') --stop;
    const std::string_view piece = rest.substr(0, stop);
    while (end < rest.size() && rest[end] == ' ') ++end;
    rest.remove_prefix(end);
    return piece;
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
  std::uint32_t* pixels_ = nullptr;  // the DIB's memory, rows top-down, 0x00RRGGBB
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
  Colour ResolveColour(Colour colour) override { return (colour & 0x80000000u) != 0 ? Resolve(colour) : colour; }

 private:
  std::shared_ptr<FontCache> fonts_ = std::make_shared<FontCache>();
};

}  // namespace

}  // namespace pd::platform

namespace pd::win32 {

std::unique_ptr<platform::Graphics> CreateGdiGraphics() { return std::make_unique<platform::GdiGraphics>(); }

std::unique_ptr<platform::Graphics> Win32Platform::CreateGraphics() { return CreateGdiGraphics(); }

std::unique_ptr<platform::Surface> CreateWindowSurface(platform::Graphics& graphics, WindowHandle window, int width,
                                                       int height) {
  auto* gdi = dynamic_cast<platform::GdiGraphics*>(&graphics);
  return gdi != nullptr ? gdi->CreateWindowSurface(reinterpret_cast<HWND>(window), width, height) : nullptr;
}

}  // namespace pd::win32
