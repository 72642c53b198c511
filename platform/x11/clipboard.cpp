// The CLIPBOARD selection: owned through the host's helper window, read
// from another owner with a bounded wait.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <climits>

#include "platform/text.h"
#include "platform/x11/connection.h"
#include "platform/x11/host.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

namespace {

// What WaitForEvent looks for: an event of a type on a window, and for a
// property notification a new value of one property.
struct EventWanted {
  Window window;
  int type;
  Atom property;
};

Bool IsWanted(Display* /*dpy*/, XEvent* ev, XPointer arg) {
  const auto* wanted = reinterpret_cast<const EventWanted*>(arg);
  if (ev->type != wanted->type || ev->xany.window != wanted->window) return False;
  if (ev->type == PropertyNotify) {
    return ev->xproperty.atom == wanted->property && ev->xproperty.state == PropertyNewValue ? True : False;
  }
  return True;
}

}  // namespace

bool X11Host::WaitForEvent(XEvent& out, XWindow window, int type, XAtom property, int ms) {
  Display* dpy = x_.Dpy();
  EventWanted wanted{window, type, property};
  const std::int64_t deadline = MonotonicMs() + ms;
  for (;;) {
    // Takes only the wanted event off the queue; every other one stays
    // there, in order, for the loop.
    XEventsQueued(dpy, QueuedAfterFlush);
    if (XCheckIfEvent(dpy, &out, IsWanted, reinterpret_cast<XPointer>(&wanted)) != 0) return true;
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
    poll(&pfd, 1, static_cast<int>(left));
  }
}

unsigned long X11Host::ServerTime() {
  // A property change tells the server's time.
  const Atom property = x_.GetAtom("_PD_TIMESTAMP");
  XChangeProperty(x_.Dpy(), helper_, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent ev;
  return WaitForEvent(ev, helper_, PropertyNotify, property, kClipboardWaitMs) ? ev.xproperty.time : CurrentTime;
}

void X11Host::SetClipboardText(StringView text) {
  if (helper_ == 0) return;
  clipboardText_ = String(text);
  const Atom clipboard = x_.GetAtom("CLIPBOARD");
  XSetSelectionOwner(x_.Dpy(), clipboard, helper_, ServerTime());
  ownClipboard_ = XGetSelectionOwner(x_.Dpy(), clipboard) == helper_;
  if (!ownClipboard_) clipboardText_.clear();
}

bool X11Host::ReadSelection(XAtom target, String& out) {
  Display* dpy = x_.Dpy();
  const Atom clipboard = x_.GetAtom("CLIPBOARD");
  const Atom property = x_.GetAtom("_PD_SELECTION");
  XDeleteProperty(dpy, helper_, property);
  XConvertSelection(dpy, clipboard, target, property, helper_, CurrentTime);
  XEvent ev;
  if (!WaitForEvent(ev, helper_, SelectionNotify, 0, kClipboardWaitMs)) return false;
  if (ev.xselection.property == 0) return false;  // refused
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, helper_, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success) {
    return false;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data), data != nullptr && format == 8 ? count : 0);
  bool ok = true;
  if (type == x_.GetAtom("UTF8_STRING")) {
    out = text::FromUtf8(bytes);
  } else if (type == XA_STRING) {
    out = text::FromLatin1(bytes);
  } else {
    ok = false;  // INCR (a large transfer in parts) and other types are refused
  }
  if (data != nullptr) XFree(data);
  return ok;
}

String X11Host::ClipboardText() {
  if (helper_ == 0) return {};
  const XWindow owner = XGetSelectionOwner(x_.Dpy(), x_.GetAtom("CLIPBOARD"));
  if (owner == 0) return {};
  if (owner == helper_) return ownClipboard_ ? clipboardText_ : String();
  String text;
  if (ReadSelection(x_.GetAtom("UTF8_STRING"), text) || ReadSelection(XA_STRING, text)) return text;
  return {};
}

void X11Host::OnSelectionRequest(XEvent& ev) {
  const XSelectionRequestEvent& req = ev.xselectionrequest;
  Display* dpy = x_.Dpy();
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = req.requestor;
  reply.xselection.selection = req.selection;
  reply.xselection.target = req.target;
  reply.xselection.time = req.time;
  reply.xselection.property = 0;
  // Old clients name no property: the target's name serves.
  const Atom property = req.property != 0 ? req.property : req.target;
  const Atom utf8 = x_.GetAtom("UTF8_STRING");
  const Atom targets = x_.GetAtom("TARGETS");
  const Atom textAtom = x_.GetAtom("TEXT");
  if (req.selection == x_.GetAtom("CLIPBOARD") && ownClipboard_) {
    // Larger answers would need INCR, which is not offered.
    const long limit = std::max(XExtendedMaxRequestSize(dpy), XMaxRequestSize(dpy)) * 4 - 256;
    if (req.target == targets) {
      const long list[] = {static_cast<long>(targets), static_cast<long>(utf8), static_cast<long>(XA_STRING),
                           static_cast<long>(textAtom)};
      XChangeProperty(dpy, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(list), 4);
      reply.xselection.property = property;
    } else if (req.target == utf8 || req.target == textAtom || req.target == XA_STRING) {
      const bool latin1 = req.target == XA_STRING;
      const std::string bytes = latin1 ? text::ToLatin1(clipboardText_) : text::ToUtf8(clipboardText_);
      if (static_cast<long>(bytes.size()) <= limit) {
        XChangeProperty(dpy, req.requestor, property, latin1 ? XA_STRING : utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        reply.xselection.property = property;
      }
    }
  }
  XSendEvent(dpy, req.requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

}  // namespace pd::x11
