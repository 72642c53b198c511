// Forms as top-level X windows.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include "platform/text.h"
#include "platform/x11/backend.h"

namespace pd::x11 {

X11Host::X11Host(XConnection& x, soft::SoftGraphics& graphics) : x_(x), graphics_(graphics) {
  x_.AddListener([this](XEvent& ev) { OnEvent(ev); });
}

WindowHandle X11Host::CreateForm(StringView caption, platform::WindowKind /*kind*/, WindowHandle /*owner*/) {
  Display* dpy = x_.Dpy();
  const int screen = DefaultScreen(dpy);
  XConnection::ErrorTrap trap(x_);
  const Window w = XCreateSimpleWindow(dpy, x_.Root(), 0, 0, 100, 100, 0, BlackPixel(dpy, screen),
                                       WhitePixel(dpy, screen));
  if (w == 0 || trap.Failed()) return 0;

  const std::string title = text::ToUtf8(caption);
  const Atom utf8 = x_.GetAtom("UTF8_STRING");
  const auto* titleBytes = reinterpret_cast<const unsigned char*>(title.data());
  const int titleLen = static_cast<int>(title.size());
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_NAME"), utf8, 8, PropModeReplace, titleBytes, titleLen);
  XChangeProperty(dpy, w, XA_WM_NAME, utf8, 8, PropModeReplace, titleBytes, titleLen);

  XClassHint hint{};
  std::string name = "ProcessDrovak";
  hint.res_name = name.data();
  hint.res_class = name.data();
  XSetClassHint(dpy, w, &hint);

  // Out of the task list; set before the window is first mapped.
  const long skip[] = {static_cast<long>(x_.GetAtom("_NET_WM_STATE_SKIP_TASKBAR"))};
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(skip), 1);
  const long pid[] = {static_cast<long>(getpid())};
  XChangeProperty(dpy, w, x_.GetAtom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(pid), 1);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    const auto length = static_cast<int>(std::char_traits<char>::length(host));
    XChangeProperty(dpy, w, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host), length);
  }
  // The close button asks rather than cutting the connection.
  Atom protocols[] = {x_.GetAtom("WM_DELETE_WINDOW")};
  XSetWMProtocols(dpy, w, protocols, 1);
  SetProgramIcon(x_, w);
  XFlush(dpy);
  forms_.insert(static_cast<WindowHandle>(w));
  return static_cast<WindowHandle>(w);
}

void X11Host::DestroyForm(WindowHandle form) {
  if (forms_.erase(form) == 0) return;
  XDestroyWindow(x_.Dpy(), static_cast<Window>(form));
  XFlush(x_.Dpy());
}

void X11Host::SetCaption(WindowHandle form, StringView caption) {
  if (forms_.count(form) == 0) return;
  const std::string title = text::ToUtf8(caption);
  const Atom utf8 = x_.GetAtom("UTF8_STRING");
  const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
  const int length = static_cast<int>(title.size());
  XChangeProperty(x_.Dpy(), static_cast<Window>(form), x_.GetAtom("_NET_WM_NAME"), utf8, 8, PropModeReplace, bytes,
                  length);
  XChangeProperty(x_.Dpy(), static_cast<Window>(form), XA_WM_NAME, utf8, 8, PropModeReplace, bytes, length);
  XFlush(x_.Dpy());
}

void X11Host::SetBounds(WindowHandle form, const Rect& r) {
  if (forms_.count(form) == 0 || r.Width() <= 0 || r.Height() <= 0) return;
  XMoveResizeWindow(x_.Dpy(), static_cast<Window>(form), r.left, r.top, static_cast<unsigned>(r.Width()),
                    static_cast<unsigned>(r.Height()));
  XFlush(x_.Dpy());
}

Rect X11Host::Bounds(WindowHandle form) {
  if (forms_.count(form) == 0) return Rect{};
  XWindowAttributes attrs{};
  if (XGetWindowAttributes(x_.Dpy(), static_cast<Window>(form), &attrs) == 0) return Rect{};
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(x_.Dpy(), static_cast<Window>(form), x_.Root(), 0, 0, &x, &y, &child);
  return Rect{x, y, x + attrs.width, y + attrs.height};
}

bool X11Host::IsVisible(WindowHandle form) {
  if (forms_.count(form) == 0) return false;
  XWindowAttributes attrs{};
  return XGetWindowAttributes(x_.Dpy(), static_cast<Window>(form), &attrs) != 0 && attrs.map_state != IsUnmapped;
}

void X11Host::SetCapture(WindowHandle form) {
  if (forms_.count(form) != 0) capture_ = form;
}

void X11Host::ReleaseCapture() { capture_ = 0; }

Rect X11Host::ScreenRect() {
  const int screen = DefaultScreen(x_.Dpy());
  return Rect{0, 0, DisplayWidth(x_.Dpy(), screen), DisplayHeight(x_.Dpy(), screen)};
}

Rect X11Host::WorkArea() { return ScreenRect(); }

String X11Host::ClipboardText() { return clipboard_; }

void X11Host::SetClipboardText(StringView text) { clipboard_ = String(text); }

void X11Host::Report(const platform::HostEvent& event) {
  if (sink_ != nullptr) sink_->OnHostEvent(event);
}

void X11Host::ShowForm(WindowHandle form, bool visible) {
  if (forms_.count(form) == 0) return;
  if (visible) {
    XMapRaised(x_.Dpy(), static_cast<Window>(form));
  } else {
    XWithdrawWindow(x_.Dpy(), static_cast<Window>(form), DefaultScreen(x_.Dpy()));
  }
  XFlush(x_.Dpy());
}

namespace {

// An 8-bit channel value placed and scaled into a visual's mask.
unsigned long Channel(unsigned long mask, std::uint32_t value) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const unsigned long top = mask >> shift;
  return (((value & 0xFF) * top + 127) / 255) << shift;
}

// Puts a frame (0x00RRGGBB, the layout of the 24-bit TrueColor visual) on a
// window; other visuals get each pixel through the visual's masks.
void PutFrame(Display* dpy, Window window, const soft::SoftSurface& frame, const Rect& /*part*/) {
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  const int depth = DefaultDepth(dpy, screen);
  const int width = frame.Width();
  const int height = frame.Height();
  const bool direct = (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
  XImage* image = nullptr;
  std::vector<std::uint32_t> converted;
  if (direct) {
    // The frame's own rows, lent to the image for the one request.
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                         const_cast<char*>(reinterpret_cast<const char*>(frame.Row(0))),  // NOLINT: read only
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
  } else {
    image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 32, 0);
    if (image != nullptr) {
      converted.resize(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height) / 4 + 1);
      image->data = reinterpret_cast<char*>(converted.data());
      for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = frame.Row(y);
        for (int x = 0; x < width; ++x) {
          const std::uint32_t rgb = row[x];
          XPutPixel(image, x, y,
                    Channel(visual->red_mask, rgb >> 16) | Channel(visual->green_mask, rgb >> 8) |
                        Channel(visual->blue_mask, rgb));
        }
      }
    }
  }
  if (image == nullptr) return;
  XPutImage(dpy, window, DefaultGC(dpy, screen), image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  image->data = nullptr;  // not Xlib's to free
  XDestroyImage(image);
  XFlush(dpy);
}

}  // namespace

std::unique_ptr<platform::Surface> X11Host::CreateFormSurface(WindowHandle form, int width, int height) {
  if (forms_.count(form) == 0 || width <= 0 || height <= 0) return nullptr;
  Display* dpy = x_.Dpy();
  const auto window = static_cast<Window>(form);
  return graphics_.CreateWindowSurface(width, height,
                                       [dpy, window](const soft::SoftSurface& frame, const Rect& part) {
    PutFrame(dpy, window, frame, part);
  });
}

void X11Host::OnEvent(XEvent& ev) {
  // The close button asks; the control host decides.
  if (ev.type != ClientMessage || ev.xclient.format != 32) return;
  if (ev.xclient.message_type != x_.GetAtom("WM_PROTOCOLS")) return;
  if (static_cast<Atom>(ev.xclient.data.l[0]) != x_.GetAtom("WM_DELETE_WINDOW")) return;
  const auto form = static_cast<WindowHandle>(ev.xclient.window);
  if (forms_.count(form) != 0) {
    Report(platform::HostEvent{.kind = platform::HostEventKind::kCloseRequest, .window = form,
                               .unloadMode = platform::unload::kUser});
  }
}

}  // namespace pd::x11
