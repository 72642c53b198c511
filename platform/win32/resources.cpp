// The executable's ICON and BITMAP resources (resources/ProcessDrovak.rc),
// read into pictures of the GDI graphics.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/win32/resources.h"

namespace pd::win32 {
namespace {

// The pixels of a bitmap as 0xAABBGGRR, row by row from the top; empty when
// they cannot be read.
std::vector<Colour> ReadBitmap(HBITMAP bitmap, int& width, int& height) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0) return {};
  width = info.bmWidth;
  height = info.bmHeight;
  if (width <= 0 || height <= 0) return {};
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  std::vector<Colour> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), px.data(), &bmi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return {};
  for (Colour& c : px) c = (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);  // BGRA -> RGBA order
  return px;
}

std::unique_ptr<platform::Picture> LoadIconPicture(platform::Graphics& graphics, int id, int size) {
  HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
  if (icon == nullptr) return nullptr;
  ICONINFO info{};
  std::unique_ptr<platform::Picture> picture;
  if (GetIconInfo(static_cast<HICON>(icon), &info)) {
    int width = 0;
    int height = 0;
    std::vector<Colour> px = ReadBitmap(info.hbmColor, width, height);
    bool anyAlpha = false;
    for (Colour c : px) anyAlpha = anyAlpha || (c >> 24) != 0;
    if (!px.empty() && !anyAlpha) {
      // An icon without alpha: opaque where its mask is black.
      int mw = 0;
      int mh = 0;
      const std::vector<Colour> mask = ReadBitmap(info.hbmMask, mw, mh);
      for (std::size_t i = 0; i < px.size(); ++i) {
        const bool clear = mw == width && i < mask.size() && (mask[i] & 0xFFFFFFu) != 0;
        px[i] |= clear ? 0u : 0xFF000000u;
      }
    }
    if (!px.empty()) picture = graphics.CreatePicture(width, height, px, 32);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  }
  DestroyIcon(static_cast<HICON>(icon));
  return picture;
}

std::unique_ptr<platform::Picture> LoadBitmapPicture(platform::Graphics& graphics, int id) {
  HANDLE bitmap = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (bitmap == nullptr) return nullptr;
  int width = 0;
  int height = 0;
  std::vector<Colour> px = ReadBitmap(static_cast<HBITMAP>(bitmap), width, height);
  DeleteObject(bitmap);
  if (px.empty()) return nullptr;
  for (Colour& c : px) c &= 0x00FFFFFFu;
  return graphics.CreatePicture(width, height, px, 24);
}

}  // namespace

std::shared_ptr<const platform::Picture> Win32Resources::LoadPicture(int id, int size) {
  const int iconSize = platform::res::IconSize(id, size);
  const std::pair key{id, iconSize};
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  std::shared_ptr<const platform::Picture> picture =
      platform::res::IsIcon(id) ? LoadIconPicture(graphics_, id, iconSize) : LoadBitmapPicture(graphics_, id);
  if (picture != nullptr) cache_.emplace(key, picture);
  return picture;
}

}  // namespace pd::win32
