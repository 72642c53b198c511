#include "platform/x11/tray_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace pd::x11 {

namespace {

constexpr Colour kInfoBack = 0xE1FFFF;  // the classic tooltip colour (0x00BBGGRR)
constexpr Colour kInfoFrame = 0x000000;
constexpr Colour kIconBack = 0x404040;

// A ZPixmap image of 32-bit pixels; Xlib frees the data with the image.
XImage* MakeImage(Display* dpy, Visual* visual, int depth, int width, int height) {
  auto* data = static_cast<char*>(std::calloc(static_cast<std::size_t>(width) * height, 4));
  XImage* image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) std::free(data);
  return image;
}

void SetBackground(Display* dpy, XWindow window, XImage* image, int depth) {
  const Pixmap pixmap = XCreatePixmap(dpy, window, image->width, image->height, static_cast<unsigned>(depth));
  GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
  XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(image->width),
            static_cast<unsigned>(image->height));
  XFreeGC(dpy, gc);
  XSetWindowBackgroundPixmap(dpy, window, pixmap);
  XFreePixmap(dpy, pixmap);
  XClearWindow(dpy, window);
}

unsigned long Rgb(Colour bgr) { return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF); }

}  // namespace

TrayWindows::~TrayWindows() {
  if (tooltip_ != 0) XDestroyWindow(x_.Dpy(), tooltip_);
  if (popup_ != 0) XDestroyWindow(x_.Dpy(), popup_);
}

void TrayWindows::PaintIcon(XWindow window, Visual* visual, int depth, Point size, const platform::Picture* picture) {
  if (window == 0 || size.x < 1 || size.y < 1) return;
  Display* dpy = x_.Dpy();
  XImage* image = MakeImage(dpy, visual, depth, size.x, size.y);
  if (image == nullptr) return;
  const bool argb = depth == 32;
  std::vector<Colour> px;
  int pw = 0;
  int ph = 0;
  if (picture != nullptr) {
    px = picture->Pixels();
    pw = picture->Width();
    ph = picture->Height();
  }
  const int side = std::min(size.x, size.y);
  const int ox = (size.x - side) / 2;
  const int oy = (size.y - side) / 2;
  for (int y = 0; y < size.y; ++y) {
    for (int x = 0; x < size.x; ++x) {
      unsigned a = 0, r = 0, g = 0, b = 0;
      const int sx = x - ox;
      const int sy = y - oy;
      if (pw > 0 && sx >= 0 && sy >= 0 && sx < side && sy < side) {
        const Colour p = px[static_cast<std::size_t>(sy * ph / side) * pw + sx * pw / side];
        a = picture->BitsPerPixel() == 32 ? (p >> 24) & 0xFF : 0xFF;
        r = p & 0xFF;
        g = (p >> 8) & 0xFF;
        b = (p >> 16) & 0xFF;
      }
      unsigned long value = 0;
      if (argb) {  // premultiplied
        value = (static_cast<unsigned long>(a) << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
      } else {
        const Colour back = kIconBack;
        const auto mix = [a](unsigned c, unsigned k) { return (c * a + k * (255 - a)) / 255; };
        value = (mix(r, back & 0xFF) << 16) | (mix(g, (back >> 8) & 0xFF) << 8) | mix(b, (back >> 16) & 0xFF);
      }
      XPutPixel(image, x, y, value);
    }
  }
  SetBackground(dpy, window, image, depth);
  XDestroyImage(image);
  XFlush(dpy);
}

XWindow TrayWindows::MakeWindow() {
  Display* dpy = x_.Dpy();
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = Rgb(kInfoBack);
  a.save_under = True;
  const XWindow w = XCreateWindow(dpy, x_.Root(), 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                  CWOverrideRedirect | CWBackPixel | CWSaveUnder, &a);
  const XAtom type = x_.GetAtom("_NET_WM_WINDOW_TYPE_TOOLTIP");
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&type), 1);
  return w;
}

void TrayWindows::Show(XWindow window, const std::vector<Colour>& pixels, int width, int height, Point at) {
  Display* dpy = x_.Dpy();
  const int screen = DefaultScreen(dpy);
  XImage* image = MakeImage(dpy, DefaultVisual(dpy, screen), DefaultDepth(dpy, screen), width, height);
  if (image == nullptr) return;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) XPutPixel(image, x, y, Rgb(pixels[static_cast<std::size_t>(y) * width + x]));
  }
  const int sw = DisplayWidth(dpy, screen);
  const int sh = DisplayHeight(dpy, screen);
  at.x = std::clamp(at.x, 0, std::max(0, sw - width));
  at.y = std::clamp(at.y, 0, std::max(0, sh - height));
  XMoveResizeWindow(dpy, window, at.x, at.y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  SetBackground(dpy, window, image, DefaultDepth(dpy, screen));
  XDestroyImage(image);
  XMapRaised(dpy, window);
  XFlush(dpy);
}

void TrayWindows::ShowTooltip(StringView tip, Point pointer) {
  platform::Font font;
  font.face = u"Verdana";
  auto measure = graphics_.CreateSurface(1, 1);
  measure->SetFont(font);
  const int width = measure->TextWidth(tip) + 8;
  const int height = measure->TextHeight(tip) + 4;
  auto surface = graphics_.CreateSurface(width, height);
  surface->SetFont(font);
  surface->FillRect(Rect{0, 0, width, height}, kInfoFrame);
  surface->FillRect(Rect{1, 1, width - 1, height - 1}, kInfoBack);
  surface->SetTextColor(0);
  surface->TextAt(Point{4, 2}, tip);
  if (tooltip_ == 0) tooltip_ = MakeWindow();
  // Below the pointer, or above it where a tray at the bottom leaves no room.
  Point at{pointer.x, pointer.y + 20};
  if (at.y + height > DisplayHeight(x_.Dpy(), DefaultScreen(x_.Dpy()))) at.y = pointer.y - height - 4;
  Show(tooltip_, surface->ReadPixels(Rect{0, 0, width, height}), width, height, at);
  tooltipShown_ = true;
}

void TrayWindows::HideTooltip() {
  if (!tooltipShown_) return;
  XUnmapWindow(x_.Dpy(), tooltip_);
  XFlush(x_.Dpy());
  tooltipShown_ = false;
}

void TrayWindows::ShowPopup(StringView title, StringView text, std::optional<Point> near) {
  platform::Font font;
  font.face = u"Verdana";
  platform::Font bold = font;
  bold.bold = true;
  constexpr int kPad = 8;
  constexpr int kMaxHeight = 400;
  const int inner = kPopupWidth - 2 * kPad;
  auto surface = graphics_.CreateSurface(kPopupWidth, kMaxHeight);
  surface->FillRect(Rect{0, 0, kPopupWidth, kMaxHeight}, kInfoBack);
  surface->SetTextColor(0);
  surface->SetFont(bold);
  const int titleHeight = title.empty() ? 0 : surface->TextHeight(title) + 4;
  surface->TextIn(Rect{kPad, kPad, kPad + inner, kPad + titleHeight}, title, platform::dt::kSingleLine |
                                                                              platform::dt::kEndEllipsis);
  surface->SetFont(font);
  const int top = kPad + titleHeight;
  surface->TextIn(Rect{kPad, top, kPad + inner, kMaxHeight - kPad}, text, platform::dt::kWordBreak);
  // The height the broken text took: its last row with a stroke.
  const auto px = surface->ReadPixels(Rect{0, 0, kPopupWidth, kMaxHeight});
  int last = top;
  for (int y = kMaxHeight - 1; y >= top && last == top; --y) {
    for (int x = 0; x < kPopupWidth; ++x) {
      if ((px[static_cast<std::size_t>(y) * kPopupWidth + x] & 0xFFFFFF) != kInfoBack) {
        last = y + 1;
        break;
      }
    }
  }
  const int height = std::min(kMaxHeight, last + kPad);
  std::vector<Colour> pixels(px.begin(), px.begin() + static_cast<std::ptrdiff_t>(height) * kPopupWidth);
  for (int x = 0; x < kPopupWidth; ++x) {
    pixels[static_cast<std::size_t>(x)] = kInfoFrame;
    pixels[static_cast<std::size_t>(height - 1) * kPopupWidth + x] = kInfoFrame;
  }
  for (int y = 0; y < height; ++y) {
    pixels[static_cast<std::size_t>(y) * kPopupWidth] = kInfoFrame;
    pixels[static_cast<std::size_t>(y) * kPopupWidth + kPopupWidth - 1] = kInfoFrame;
  }
  Display* dpy = x_.Dpy();
  const int screen = DefaultScreen(dpy);
  Point at{DisplayWidth(dpy, screen) - kPopupWidth - 8, DisplayHeight(dpy, screen) - height - 48};
  if (near) {
    at = Point{near->x - kPopupWidth / 2, near->y - height - 4};
    if (at.y < 0) at.y = near->y + 28;  // a tray at the top of the screen
  }
  if (popup_ == 0) popup_ = MakeWindow();
  Show(popup_, pixels, kPopupWidth, height, at);
  popupShown_ = true;
}

void TrayWindows::HidePopup() {
  if (!popupShown_) return;
  XUnmapWindow(x_.Dpy(), popup_);
  XFlush(x_.Dpy());
  popupShown_ = false;
}

std::optional<Point> TrayWindows::ScreenPosition(XWindow window) {
  int x = 0;
  int y = 0;
  XWindow child = 0;
  XConnection::ErrorTrap trap(x_);
  const Bool ok = XTranslateCoordinates(x_.Dpy(), window, x_.Root(), 0, 0, &x, &y, &child);
  if (trap.Failed() || ok == 0) return std::nullopt;
  return Point{x, y};
}

}  // namespace pd::x11
