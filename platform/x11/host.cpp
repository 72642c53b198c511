// Forms as top-level X windows.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include "platform/text.h"
#include "platform/x11/backend.h"

namespace pd::x11 {

X11Host::X11Host(XConnection& x) : x_(x) {
  x_.AddListener([this](XEvent& ev) { OnEvent(ev); });
}

WindowHandle X11Host::CreateForm(StringView caption) {
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
  XFlush(dpy);
  forms_.insert(static_cast<WindowHandle>(w));
  return static_cast<WindowHandle>(w);
}

void X11Host::DestroyForm(WindowHandle form) {
  if (forms_.erase(form) == 0) return;
  XDestroyWindow(x_.Dpy(), static_cast<Window>(form));
  XFlush(x_.Dpy());
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

std::unique_ptr<platform::ComponentSite> X11Host::CreateSite(WindowHandle form) {
  return std::make_unique<X11Site>(form);
}

void X11Host::OnEvent(XEvent& ev) {
  // Closing a form only hides it.
  if (ev.type != ClientMessage || ev.xclient.format != 32) return;
  if (ev.xclient.message_type != x_.GetAtom("WM_PROTOCOLS")) return;
  if (static_cast<Atom>(ev.xclient.data.l[0]) != x_.GetAtom("WM_DELETE_WINDOW")) return;
  const auto form = static_cast<WindowHandle>(ev.xclient.window);
  if (forms_.count(form) != 0) ShowForm(form, false);
}

}  // namespace pd::x11
