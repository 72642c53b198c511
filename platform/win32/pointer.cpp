// The Windows host's pointer: the top-level window under a point of the
// screen and the cursor of each of our windows.
#include <windows.h>

#include <array>
#include <vector>

#include "platform/win32/host.h"

namespace pd::win32 {

namespace {

using platform::PointerShape;

HWND Hwnd(WindowHandle form) { return reinterpret_cast<HWND>(form); }

// The system cursors by PointerShape, kDefault to kSizeAll (IDC_ values).
constexpr std::array<WORD, 16> kSystemCursors{32512, 32512, 32515, 32513, 32641, 32640, 32643, 32645,
                                              32642, 32644, 32516, 32514, 32648, 32650, 32651, 32646};

// A cursor from a picture (0xAABBGGRR rows; a 24-bit one is opaque), its hot
// spot at the centre; nullptr when the system cannot make one.
HCURSOR PictureCursor(const platform::Picture& picture) {
  const int w = picture.Width();
  const int h = picture.Height();
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return nullptr;
  BITMAPV5HEADER bi{};
  bi.bV5Size = sizeof(bi);
  bi.bV5Width = w;
  bi.bV5Height = -h;  // top-down
  bi.bV5Planes = 1;
  bi.bV5BitCount = 32;
  bi.bV5Compression = BI_BITFIELDS;
  bi.bV5RedMask = 0x00FF0000;
  bi.bV5GreenMask = 0x0000FF00;
  bi.bV5BlueMask = 0x000000FF;
  bi.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr || bits == nullptr) return nullptr;
  const bool alpha = picture.BitsPerPixel() == 32;
  const std::vector<std::uint32_t> pixels = picture.Pixels();
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::uint32_t p = pixels[i];
    const std::uint32_t a = alpha ? p >> 24 : 0xFFu;
    out[i] = a << 24 | (p & 0xFFu) << 16 | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  const std::vector<BYTE> maskBits(static_cast<std::size_t>((w + 15) / 16 * 2 * h), 0);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, maskBits.data());
  ICONINFO info{};
  info.fIcon = FALSE;
  info.xHotspot = static_cast<DWORD>(w / 2);
  info.yHotspot = static_cast<DWORD>(h / 2);
  info.hbmMask = mask;
  info.hbmColor = colour;
  HICON cursor = mask != nullptr ? CreateIconIndirect(&info) : nullptr;
  DeleteObject(colour);
  if (mask != nullptr) DeleteObject(mask);
  return static_cast<HCURSOR>(cursor);
}

bool PointerOver(HWND hwnd) {
  POINT p{};
  return GetCursorPos(&p) != 0 && WindowFromPoint(p) == hwnd;
}

}  // namespace

WindowHandle Win32Host::TopWindowAt(Point screen) {
  HWND under = WindowFromPoint(POINT{screen.x, screen.y});
  if (under == nullptr) return 0;
  HWND root = GetAncestor(under, GA_ROOT);
  return reinterpret_cast<WindowHandle>(root != nullptr ? root : under);
}

void Win32Host::SetCursor(WindowHandle form, PointerShape shape, std::shared_ptr<const platform::Picture> picture) {
  auto it = forms_.find(form);
  if (it == forms_.end()) return;
  Form& f = it->second;
  if (shape == PointerShape::kCustom && picture == nullptr) shape = PointerShape::kDefault;
  if (f.cursor == shape && (shape != PointerShape::kCustom || f.customPicture == picture)) return;
  if (shape == PointerShape::kCustom) {
    HCURSOR made = PictureCursor(*picture);
    if (made == nullptr) return;  // the shape stays
    f.customCursor = std::shared_ptr<void>(made, [](void* c) { DestroyCursor(static_cast<HCURSOR>(c)); });
    f.customPicture = std::move(picture);
  } else {
    f.customCursor = nullptr;
    f.customPicture = nullptr;
  }
  f.cursor = shape;
  if (PointerOver(Hwnd(form))) PutCursor(form);
}

void Win32Host::PutCursor(WindowHandle form) {
  auto it = forms_.find(form);
  if (it == forms_.end()) return;
  const Form& f = it->second;
  HCURSOR cursor = nullptr;
  if (f.cursor == PointerShape::kCustom && f.customCursor != nullptr) {
    cursor = static_cast<HCURSOR>(f.customCursor.get());
  } else {
    const WORD id = kSystemCursors[static_cast<std::size_t>(f.cursor) % kSystemCursors.size()];
    cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
  }
  ::SetCursor(cursor);
}

}  // namespace pd::win32
