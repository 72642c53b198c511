// Presenting a form's frame: the soft renderer's pixels put on its window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "platform/soft/SoftGraphics.h"
#include "platform/x11/host.h"

namespace pd::x11 {

namespace {

// An 8-bit channel value placed and scaled into a visual's mask.
unsigned long Channel(unsigned long mask, std::uint32_t value) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const unsigned long top = mask >> shift;
  return (((value & 0xFF) * top + 127) / 255) << shift;
}

// Puts part of a frame (0x00RRGGBB, the layout of the 24-bit TrueColor
// visual) on a window at the same place; other visuals get each pixel of
// the part through the visual's masks.
void PutFrame(Display* dpy, Window window, const soft::SoftSurface& frame, const Rect& part) {
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  const int depth = DefaultDepth(dpy, screen);
  const int width = frame.Width();
  const int height = frame.Height();
  const Rect r{std::max(part.left, 0), std::max(part.top, 0), std::min(part.right, width),
               std::min(part.bottom, height)};
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const bool direct = (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
  XImage* image = nullptr;
  std::vector<std::uint32_t> converted;
  int srcX = r.left;
  int srcY = r.top;
  if (direct) {
    // The frame's own rows, lent to the image for the one request; only
    // the part travels to the server.
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                         const_cast<char*>(reinterpret_cast<const char*>(frame.Row(0))),  // NOLINT: read only
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
  } else {
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()), 32, 0);
    if (image != nullptr) {
      converted.resize(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(r.Height()) / 4 +
                       1);
      image->data = reinterpret_cast<char*>(converted.data());
      for (int y = r.top; y < r.bottom; ++y) {
        const std::uint32_t* row = frame.Row(y);
        for (int x = r.left; x < r.right; ++x) {
          const std::uint32_t rgb = row[x];
          XPutPixel(image, x - r.left, y - r.top,
                    Channel(visual->red_mask, rgb >> 16) | Channel(visual->green_mask, rgb >> 8) |
                        Channel(visual->blue_mask, rgb));
        }
      }
      srcX = 0;
      srcY = 0;
    }
  }
  if (image == nullptr) return;
  XPutImage(dpy, window, DefaultGC(dpy, screen), image, srcX, srcY, r.left, r.top, static_cast<unsigned>(r.Width()),
            static_cast<unsigned>(r.Height()));
  image->data = nullptr;  // not Xlib's to free
  XDestroyImage(image);
  XFlush(dpy);
}

}  // namespace

std::unique_ptr<platform::Surface> X11Host::CreateFormSurface(WindowHandle form, int width, int height) {
  if (Find(form) == nullptr || width <= 0 || height <= 0) return nullptr;
  Display* dpy = x_.Dpy();
  const auto window = static_cast<Window>(form);
  return graphics_.CreateWindowSurface(width, height,
                                       [dpy, window](const soft::SoftSurface& frame, const Rect& part) {
    PutFrame(dpy, window, frame, part);
  });
}

}  // namespace pd::x11
