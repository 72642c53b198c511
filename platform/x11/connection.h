// The one connection to the X server the ports share.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Xlib's types, declared here so that includers do not get Xlib's macros
// (None, Bool, Status...).
struct _XDisplay;
union _XEvent;

namespace pd::x11 {

using Display = ::_XDisplay;
using XEvent = ::_XEvent;
using XWindow = unsigned long;  // Xlib's Window (an XID)
using XAtom = unsigned long;    // Xlib's Atom

// One connection to the X server, shared by the ports that need it. X
// errors never end the program: a process-wide handler records them (a
// window that vanished between two requests raises BadWindow), and
// requests that can fail report it through their status or an ErrorTrap.
class XConnection {
 public:
  // Opens the display named by $DISPLAY; nullptr with the reason when none
  // can be opened.
  static std::unique_ptr<XConnection> Open(std::string& error);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  [[nodiscard]] Display* Dpy() const { return dpy_; }
  [[nodiscard]] XWindow Root() const { return root_; }
  [[nodiscard]] int Fd() const;
  // The atom of a name, interned once and cached.
  XAtom GetAtom(const char* name);

  // Listeners see every event the loop takes off the queue, in order of
  // registration. A listener may not add or remove listeners.
  using Listener = std::function<void(XEvent&)>;
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  // Reads what the server has sent and hands every queued event to the
  // listeners. Returns the number of events delivered.
  int DispatchPending();
  // Hands the events Xlib has already read to the listeners, without
  // reading the socket (no system call).
  int DispatchQueued();

  // Whether everything the server sent before the loop's latest wait ended
  // has been taken off the socket: true only while the loop runs the work
  // of a pass that follows such a wait (its timer ticks). State kept from
  // events (keys) needs no read of its own then.
  [[nodiscard]] bool Drained() const { return drained_; }
  void SetDrained(bool drained) { drained_ = drained; }

  // Whether the server has X-Resource 1.2 (client ids).
  [[nodiscard]] bool HasXRes() const { return hasXRes_; }

  // Whether the connection to the server is lost (the server ended or the
  // socket broke). Xlib's I/O error then ends nothing: its handlers only
  // record it, every later request on the connection does nothing, and the
  // loop reports the loss as the end of the session.
  [[nodiscard]] bool Lost() const { return lost_; }
  void MarkLost() { lost_ = true; }

  // Catches the errors of the one-way requests made during its life:
  // Failed() waits for the server and tells whether any of them failed.
  class ErrorTrap {
   public:
    explicit ErrorTrap(XConnection& x);
    bool Failed();

   private:
    XConnection& x_;
    unsigned long firstSerial_;
  };

  // The latest X error on this connection, as text ("X11: BadWindow
  // (request 20)"), or empty.
  [[nodiscard]] std::string LastError() const;
  // Number of X errors recorded on this connection.
  [[nodiscard]] unsigned long ErrorCount() const;

  // A 32-bit-format property of a window as numbers (CARDINAL, WINDOW,
  // ATOM) into out (empty when the property is missing or of another
  // type). False when the window does not exist.
  bool ReadLongs(XWindow w, XAtom property, XAtom type, std::vector<unsigned long>& out);

 private:
  explicit XConnection(Display* dpy);
  Display* dpy_;
  XWindow root_;
  bool hasXRes_ = false;
  bool drained_ = false;
  bool lost_ = false;
  std::map<std::string, XAtom, std::less<>> atoms_;
  std::vector<Listener> listeners_;
};

}  // namespace pd::x11
