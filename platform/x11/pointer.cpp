// The X11 host's pointer: the top-level window under a point of the screen
// and the cursor of each of our windows.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>

#include <array>
#include <vector>

#include "platform/x11/host.h"

namespace pd::x11 {

namespace {

using platform::PointerShape;

struct FontCursor {
  unsigned glyph;
  const char* name;  // as cursor themes name the shape
};

// By PointerShape, kDefault to kSizeAll.
constexpr std::array<FontCursor, 16> kFontCursors{{
    {XC_left_ptr, "left_ptr"},
    {XC_left_ptr, "left_ptr"},
    {XC_crosshair, "crosshair"},
    {XC_xterm, "xterm"},
    {XC_icon, "icon"},
    {XC_fleur, "fleur"},
    {XC_top_right_corner, "top_right_corner"},
    {XC_sb_v_double_arrow, "sb_v_double_arrow"},
    {XC_bottom_right_corner, "bottom_right_corner"},
    {XC_sb_h_double_arrow, "sb_h_double_arrow"},
    {XC_center_ptr, "center_ptr"},
    {XC_watch, "watch"},
    {XC_X_cursor, "X_cursor"},
    {XC_watch, "watch"},
    {XC_question_arrow, "question_arrow"},
    {XC_fleur, "fleur"},
}};

// The children of a window, bottom to top; empty when it has gone.
std::vector<Window> Children(Display* dpy, Window w, Window* parent = nullptr) {
  Window root = 0;
  Window up = 0;
  Window* kids = nullptr;
  unsigned count = 0;
  std::vector<Window> out;
  if (XQueryTree(dpy, w, &root, &up, &kids, &count) != 0) {
    out.assign(kids, kids + count);
    if (parent != nullptr) *parent = up;
  }
  if (kids != nullptr) XFree(kids);
  return out;
}

// A cursor from a picture (0xAABBGGRR rows; a 24-bit one is opaque), its hot
// spot at the centre; 0 when the server cannot make one.
Cursor PictureCursor(Display* dpy, Window root, const platform::Picture& picture) {
  const int w = picture.Width();
  const int h = picture.Height();
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return 0;
  XRenderPictFormat* format = XRenderFindStandardFormat(dpy, PictStandardARGB32);
  if (format == nullptr) return 0;
  const bool alpha = picture.BitsPerPixel() == 32;
  std::vector<std::uint32_t> argb = picture.Pixels();
  for (std::uint32_t& p : argb) {
    const std::uint32_t a = alpha ? p >> 24 : 0xFFu;
    const std::uint32_t r = (p & 0xFFu) * a / 255;
    const std::uint32_t g = ((p >> 8) & 0xFFu) * a / 255;
    const std::uint32_t b = ((p >> 16) & 0xFFu) * a / 255;
    p = a << 24 | r << 16 | g << 8 | b;  // premultiplied, as XRender takes it
  }
  const Pixmap pixmap = XCreatePixmap(dpy, root, static_cast<unsigned>(w), static_cast<unsigned>(h), 32);
  XImage* image = XCreateImage(dpy, nullptr, 32, ZPixmap, 0, reinterpret_cast<char*>(argb.data()),
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, w * 4);
  if (image == nullptr) {
    XFreePixmap(dpy, pixmap);
    return 0;
  }
  image->byte_order = LSBFirst;
  image->bitmap_bit_order = LSBFirst;
  GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
  XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(dpy, gc);
  image->data = nullptr;  // the vector owns the pixels
  XDestroyImage(image);
  const ::Picture source = XRenderCreatePicture(dpy, pixmap, format, 0, nullptr);
  const Cursor cursor = XRenderCreateCursor(dpy, source, static_cast<unsigned>(w / 2), static_cast<unsigned>(h / 2));
  XRenderFreePicture(dpy, source);
  XFreePixmap(dpy, pixmap);
  return cursor;
}

}  // namespace

WindowHandle X11Host::TopWindowAt(Point screen) {
  Display* dpy = x_.Dpy();
  const Window root = x_.Root();
  XConnection::ErrorTrap trap(x_);  // windows of others come and go meanwhile
  // The root's child in front at the point: the server knows it for where
  // the pointer is (the hover watches ask about nothing else); elsewhere the
  // stacking order is walked from the top.
  Window top = 0;
  Window rootReturn = 0;
  Window child = 0;
  int rootX = 0;
  int rootY = 0;
  int winX = 0;
  int winY = 0;
  unsigned mask = 0;
  if (XQueryPointer(dpy, root, &rootReturn, &child, &rootX, &rootY, &winX, &winY, &mask) != 0 && rootX == screen.x &&
      rootY == screen.y) {
    top = child;
  } else {
    const std::vector<Window> stack = Children(dpy, root);
    for (auto it = stack.rbegin(); it != stack.rend() && top == 0; ++it) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(dpy, *it, &a) == 0 || a.map_state != IsViewable || a.c_class != InputOutput) continue;
      const int right = a.x + a.width + 2 * a.border_width;
      const int bottom = a.y + a.height + 2 * a.border_width;
      if (screen.x >= a.x && screen.x < right && screen.y >= a.y && screen.y < bottom) top = *it;
    }
  }
  // Down from there to one of ours: a window manager's frame holds the
  // window it decorates.
  Window w = top;
  for (int depth = 0; depth < 8 && w != 0; ++depth) {
    if (forms_.count(static_cast<WindowHandle>(w)) != 0) return trap.Failed() ? 0 : static_cast<WindowHandle>(w);
    int x = 0;
    int y = 0;
    Window inner = 0;
    if (XTranslateCoordinates(dpy, root, w, screen.x, screen.y, &x, &y, &inner) == 0) break;
    w = inner;
  }
  return trap.Failed() ? 0 : static_cast<WindowHandle>(top);
}

void X11Host::SetCursor(WindowHandle form, PointerShape shape, std::shared_ptr<const platform::Picture> picture) {
  Form* f = Find(form);
  if (f == nullptr) return;
  if (shape == PointerShape::kCustom && picture == nullptr) shape = PointerShape::kDefault;
  const int index = static_cast<int>(shape);
  if (f->cursor == index && (shape != PointerShape::kCustom || f->customPicture == picture)) return;
  Display* dpy = x_.Dpy();
  Cursor cursor = 0;
  if (shape == PointerShape::kCustom) {
    cursor = PictureCursor(dpy, x_.Root(), *picture);
    if (cursor == 0) return;  // the server has no XRender: the shape stays
  } else {
    unsigned long& made = fontCursors_[index];
    if (made == 0) {
      const FontCursor& fc = kFontCursors[static_cast<std::size_t>(index)];
      made = XCreateFontCursor(dpy, fc.glyph);
      XFixesSetCursorName(dpy, made, fc.name);
    }
    cursor = made;
  }
  XDefineCursor(dpy, static_cast<Window>(form), cursor);
  if (f->customCursor != 0) XFreeCursor(dpy, f->customCursor);
  f->customCursor = shape == PointerShape::kCustom ? cursor : 0;
  f->customPicture = shape == PointerShape::kCustom ? std::move(picture) : nullptr;
  f->cursor = index;
  XFlush(dpy);
}

}  // namespace pd::x11
