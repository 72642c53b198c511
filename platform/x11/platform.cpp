// The X connection (with the error handler every X request relies on) and
// the Linux platform as a whole.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/text.h"
#include "platform/x11/desktop.h"
#include "platform/x11/platform.h"

namespace pd::x11 {

namespace {

// Errors recorded per connection by the process-wide handler. Xlib's
// default handler ends the program; this one only records, so a request
// on a window that vanished fails without harm.
struct ErrorRecord {
  unsigned long serial = 0;
  unsigned char code = 0;
  unsigned char request = 0;
  unsigned char minor = 0;
  unsigned long count = 0;
};

std::map<Display*, ErrorRecord>& Errors() {
  static std::map<Display*, ErrorRecord> errors;
  return errors;
}

int RecordError(Display* dpy, XErrorEvent* e) {
  ErrorRecord& r = Errors()[dpy];
  r.serial = e->serial;
  r.code = e->error_code;
  r.request = e->request_code;
  r.minor = e->minor_code;
  ++r.count;
  return 0;
}

// The loss of the connection: said once, then left to the exit handler
// (Xlib's default one exits; ours, where Xlib has it, only records).
int RecordLoss(Display* dpy) {
  std::fprintf(stderr, "X11: the connection to the display %s is lost\n", DisplayString(dpy));
  return 0;
}

#ifdef PD_HAVE_IO_ERROR_EXIT_HANDLER
void LiveOnAfterLoss(Display* /*dpy*/, void* connection) { static_cast<XConnection*>(connection)->MarkLost(); }
#endif

}  // namespace

std::int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

std::unique_ptr<XConnection> XConnection::Open(std::string& error) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    error = "X11: no display ($DISPLAY is not set)";
    return nullptr;
  }
  XSetErrorHandler(RecordError);
  XSetIOErrorHandler(RecordLoss);
  Display* dpy = XOpenDisplay(name);
  if (dpy == nullptr) {
    error = std::string("X11: cannot open display ") + name;
    return nullptr;
  }
  return std::unique_ptr<XConnection>(new XConnection(dpy));
}

XConnection::XConnection(Display* dpy) : dpy_(dpy), root_(DefaultRootWindow(dpy)) {
#ifdef PD_HAVE_IO_ERROR_EXIT_HANDLER
  XSetIOErrorExitHandler(dpy_, &LiveOnAfterLoss, this);
#endif
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  hasXRes_ = XResQueryExtension(dpy_, &eventBase, &errorBase) && XResQueryVersion(dpy_, &major, &minor) &&
             (major > 1 || (major == 1 && minor >= 2));
}

XConnection::~XConnection() {
  XCloseDisplay(dpy_);
  Errors().erase(dpy_);
}

int XConnection::Fd() const { return ConnectionNumber(dpy_); }

XAtom XConnection::GetAtom(const char* name) {
  auto it = atoms_.find(name);
  if (it != atoms_.end()) return it->second;
  const Atom a = XInternAtom(dpy_, name, False);
  atoms_.emplace(name, a);
  return a;
}

int XConnection::DispatchPending() {
  int n = 0;
  while (XPending(dpy_) > 0) n += DispatchQueued();
  return n;
}

int XConnection::DispatchQueued() {
  int n = 0;
  // Xlib's own queue, read in place: no call into the library when empty.
  while (QLength(dpy_) > 0) {
    XEvent ev;
    XNextEvent(dpy_, &ev);
    const bool cookie = ev.type == GenericEvent && XGetEventData(dpy_, &ev.xcookie);
    for (auto& listener : listeners_) listener(ev);
    if (cookie) XFreeEventData(dpy_, &ev.xcookie);
    ++n;
  }
  return n;
}

XConnection::ErrorTrap::ErrorTrap(XConnection& x) : x_(x), firstSerial_(NextRequest(x.Dpy())) {}

bool XConnection::ErrorTrap::Failed() {
  XSync(x_.Dpy(), False);
  auto it = Errors().find(x_.Dpy());
  return it != Errors().end() && it->second.count > 0 && it->second.serial >= firstSerial_;
}

std::string XConnection::LastError() const {
  auto it = Errors().find(dpy_);
  if (it == Errors().end() || it->second.count == 0) return {};
  char buf[256] = {};
  XGetErrorText(dpy_, it->second.code, buf, sizeof buf);
  return "X11: " + std::string(buf) + " (request " + std::to_string(it->second.request) + "." +
         std::to_string(it->second.minor) + ")";
}

unsigned long XConnection::ErrorCount() const {
  auto it = Errors().find(dpy_);
  return it == Errors().end() ? 0 : it->second.count;
}

bool XConnection::ReadLongs(XWindow w, XAtom property, XAtom type, std::vector<unsigned long>& out) {
  out.clear();
  if (w == 0) return false;
  Atom actualType = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(dpy_, w, property, 0, 1024, False, type, &actualType, &format, &count,
                                        &after, &data);
  if (status == Success && data != nullptr && format == 32 && actualType == type) {
    // Format 32 comes back as an array of long, whatever the width of long.
    const auto* values = reinterpret_cast<const unsigned long*>(data);  // NOLINT: Xlib's layout
    out.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return status == Success;
}

X11Platform::X11Platform(std::unique_ptr<XConnection> x)
    : x_(std::move(x)), procs_("/proc", x_.get()), input_(*x_), loop_(x_.get()), host_(*x_, graphics_),
      desktop_(std::make_unique<X11Desktop>(loop_, SessionEnv::FromEnvironment())) {}

}  // namespace pd::x11

namespace pd::platform {

std::unique_ptr<Platform> CreatePlatform(String& error) {
  std::string reason;
  auto x = x11::XConnection::Open(reason);
  if (!x) {
    error = text::FromUtf8(reason);
    return nullptr;
  }
  return std::make_unique<x11::X11Platform>(std::move(x));
}

}  // namespace pd::platform
