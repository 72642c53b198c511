// The Linux tray: StatusNotifierItem or XEmbed icon, desktop notifications
// for balloons (see X11Tray in tray.h). The windows of our own (the XEmbed
// icon, the tooltip, the balloon popup) keep their picture as the window's
// background pixmap, so the server repaints them without us.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host.h"
#include "platform/text.h"
#include "platform/x11/dbus_session.h"
#include "platform/x11/loop.h"
#include "platform/x11/tray.h"
#include "platform/x11/tray_windows.h"

namespace pd::x11 {

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr long kRequestDock = 0;
constexpr unsigned char kUrgencyNormal = 1;

template <std::size_t N>
std::string FieldUtf8(const char (&field)[N]) {
  return text::ToUtf8(text::Utf8Codec().FromAnsi(std::string_view(field, strnlen(field, N))));
}

constexpr const char* kItemIntrospection =
    "<node><interface name=\"org.kde.StatusNotifierItem\">"
    "<property name=\"Category\" type=\"s\" access=\"read\"/><property name=\"Id\" type=\"s\" access=\"read\"/>"
    "<property name=\"Title\" type=\"s\" access=\"read\"/><property name=\"Status\" type=\"s\" access=\"read\"/>"
    "<property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
    "<property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>"
    "<property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>"
    "<method name=\"Activate\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/></method>"
    "<method name=\"SecondaryActivate\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/>"
    "</method><method name=\"ContextMenu\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/>"
    "</method><method name=\"Scroll\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
    "</method><signal name=\"NewTitle\"/><signal name=\"NewIcon\"/><signal name=\"NewToolTip\"/>"
    "</interface><interface name=\"org.freedesktop.DBus.Properties\"/></node>";

}  // namespace

struct X11Tray::Impl {
  Impl(XConnection& x, X11Loop& loop, soft::SoftGraphics& graphics)
      : x_(x), loop_(loop), windows_(x, graphics), tooltipTimer_(loop.CreateTimer([this] { ShowTooltip(); })),
        popupTimer_(loop.CreateTimer([this] {
          popupTimer_->SetEnabled(false);  // once: an idle program does not wake for it
          windows_.HidePopup();
        })) {
    tooltipTimer_->SetInterval(kTooltipDelayMs);
    popupTimer_->SetInterval(kPopupMs);
  }
  ~Impl() {
    *alive_ = false;
    Remove();
    windows_.HidePopup();
    CloseNotification();
  }

  // ---- Start: X first, the bus when there is one ----
  void Start() {
    if (started_) return;
    started_ = true;
    Display* dpy = x_.Dpy();
    trayAtom_ = x_.GetAtom(("_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(dpy))).c_str());
    XWindowAttributes attrs{};
    XGetWindowAttributes(dpy, x_.Root(), &attrs);
    XSelectInput(dpy, x_.Root(), attrs.your_event_mask | StructureNotifyMask);
    x_.AddListener([this, alive = alive_](XEvent& ev) {
      if (*alive) OnEvent(ev);
    });
    FindManager();
    std::string error;
    bus_ = DBusSession::Open(loop_, error);
    if (!bus_) return;
    bus_->OnSignal(std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                               "member='NameOwnerChanged',arg0='") +
                       kWatcher + "'",
                   "org.freedesktop.DBus", "NameOwnerChanged", [this](DBusMessage* m) { OnWatcherChanged(m); });
    bus_->OnSignal("type='signal',interface='org.freedesktop.Notifications',member='NotificationClosed'",
                   kNotifications, "NotificationClosed", [this](DBusMessage* m) { OnNotificationClosed(m); });
    watcher_ = bus_->NameHasOwner(kWatcher);
  }

  void FindManager() {
    Display* dpy = x_.Dpy();
    const XWindow manager = XGetSelectionOwner(dpy, trayAtom_);
    if (manager == manager_) return;
    manager_ = manager;
    if (manager_ != 0) {
      XConnection::ErrorTrap trap(x_);
      XSelectInput(dpy, manager_, StructureNotifyMask);
      if (trap.Failed()) manager_ = 0;
    }
  }

  // ---- The shell ----
  void OnWatcherChanged(DBusMessage* m) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &oldOwner, DBUS_TYPE_STRING,
                              &newOwner, DBUS_TYPE_INVALID) == 0) {
      return;
    }
    watcher_ = newOwner != nullptr && *newOwner != '\0';
    ++generation_;
    if (!watcher_ && mode_ == Mode::kStatusNotifier) Remove();
    ShellChanged();
  }

  void ShellChanged() {
    const auto watchers = watchers_;  // a watcher may unwatch
    for (const auto& [watch, changed] : watchers) {
      if (watchers_.count(watch) != 0) changed();
    }
  }

  void OnEvent(XEvent& ev) {
    if (ev.type == ClientMessage && ev.xclient.window == x_.Root() &&
        ev.xclient.message_type == x_.GetAtom("MANAGER") &&
        static_cast<XAtom>(ev.xclient.data.l[1]) == trayAtom_) {
      manager_ = 0;
      FindManager();
      ++generation_;
      ShellChanged();
      return;
    }
    if (ev.type == DestroyNotify && manager_ != 0 && ev.xdestroywindow.window == manager_) {
      manager_ = 0;
      ++generation_;
      ShellChanged();
      return;
    }
    if (icon_ == 0 || ev.xany.window != icon_) return;
    switch (ev.type) {
      case ButtonPress:
        OnButton(ev.xbutton, true);
        break;
      case ButtonRelease:
        OnButton(ev.xbutton, false);
        break;
      case MotionNotify:
        Report(platform::traymsg::kMouseMove, HeldButtons(ev.xmotion.state));
        break;
      case EnterNotify:
        if (ev.xcrossing.mode == NotifyNormal) {
          pointer_ = Point{ev.xcrossing.x_root, ev.xcrossing.y_root};
          tooltipTimer_->SetEnabled(true);
        }
        break;
      case LeaveNotify:
        if (ev.xcrossing.mode == NotifyNormal) HideTooltip();
        break;
      case ConfigureNotify:
        if (ev.xconfigure.width != iconSize_.x || ev.xconfigure.height != iconSize_.y) {
          iconSize_ = Point{ev.xconfigure.width, ev.xconfigure.height};
          windows_.PaintIcon(icon_, iconVisual_, iconDepth_, iconSize_, picture_.get());
        }
        break;
      default:
        break;
    }
  }

  static int HeldButtons(unsigned state) {
    int b = 0;
    if ((state & Button1Mask) != 0) b |= platform::button::kLeft;
    if ((state & Button3Mask) != 0) b |= platform::button::kRight;
    if ((state & Button2Mask) != 0) b |= platform::button::kMiddle;
    return b;
  }

  // The tray reports no double click: a second press of the same button
  // within kDoubleClickMs is one, as Windows reports it (down, up, double
  // click, up).
  void OnButton(const XButtonEvent& e, bool down) {
    namespace msg = platform::traymsg;
    std::uint32_t code = 0;
    int bit = 0;
    switch (e.button) {
      case 1:
        code = down ? msg::kLButtonDown : msg::kLButtonUp;
        bit = platform::button::kLeft;
        break;
      case 3:
        code = down ? msg::kRButtonDown : msg::kRButtonUp;
        bit = platform::button::kRight;
        break;
      case 2:
        code = down ? msg::kMButtonDown : msg::kMButtonUp;
        bit = platform::button::kMiddle;
        break;
      default:
        return;  // the wheel
    }
    HideTooltip();
    if (down) {
      if (static_cast<int>(e.button) == lastButton_ && e.time - lastPress_ <= kDoubleClickMs && code != msg::kMButtonDown) {
        code += 2;  // the double click
        lastButton_ = 0;
      } else {
        lastButton_ = static_cast<int>(e.button);
        lastPress_ = e.time;
      }
    }
    const int held = HeldButtons(e.state);
    Report(code, down ? held | bit : held & ~bit);
  }

  void Report(std::uint32_t code, int buttons) {
    const auto found = reports_.find(record_.hWnd);
    if (found == reports_.end()) return;
    const Tray::Report report = found->second;  // the handler may destroy the window
    report(code, buttons);
  }

  // ---- Tooltip ----
  void ShowTooltip() {
    tooltipTimer_->SetEnabled(false);
    const std::string tip = FieldUtf8(record_.szTip);
    if (icon_ == 0 || tip.empty()) return;
    windows_.ShowTooltip(text::FromUtf8(tip), pointer_);
  }
  void HideTooltip() {
    tooltipTimer_->SetEnabled(false);
    windows_.HideTooltip();
  }

  // ---- The icon ----
  bool Add(const platform::NotifyIconRecord& r) {
    if (mode_ != Mode::kNone) return false;
    record_ = r;
    if (bus_ && watcher_ && AddItem()) {
      mode_ = Mode::kStatusNotifier;
    } else if (manager_ != 0 && AddXEmbed()) {
      mode_ = Mode::kXEmbed;
    } else {
      return false;
    }
    // A balloon shown while there was no icon stays.
    if (r.szInfo[0] != '\0') Balloon(r);
    return true;
  }

  void Modify(const platform::NotifyIconRecord& r) {
    const bool iconChanged = r.hIcon != record_.hIcon;
    const bool tipChanged = std::strncmp(r.szTip, record_.szTip, sizeof r.szTip) != 0;
    record_ = r;
    picture_ = Picture(r.hIcon);
    if (mode_ == Mode::kXEmbed) {
      if (iconChanged) windows_.PaintIcon(icon_, iconVisual_, iconDepth_, iconSize_, picture_.get());
      if (tipChanged) SetIconName();
    } else if (mode_ == Mode::kStatusNotifier) {
      if (iconChanged) ItemSignal("NewIcon");
      if (tipChanged) {
        ItemSignal("NewTitle");
        ItemSignal("NewToolTip");
      }
    }
    Balloon(r);
  }

  void Remove() {
    HideTooltip();
    if (mode_ == Mode::kXEmbed) {
      XDestroyWindow(x_.Dpy(), icon_);
      XFreeColormap(x_.Dpy(), colormap_);
      XFlush(x_.Dpy());
      icon_ = 0;
    } else if (mode_ == Mode::kStatusNotifier) {
      bus_->UnexportObject(kItemPath);
      bus_->ReleaseName(itemName_);
      itemName_.clear();
    }
    mode_ = Mode::kNone;
  }

  std::shared_ptr<const platform::Picture> Picture(std::uint32_t handle) const {
    const auto found = pictures_.find(handle);
    return found == pictures_.end() ? nullptr : found->second;
  }

  bool AddXEmbed() {
    Display* dpy = x_.Dpy();
    picture_ = Picture(record_.hIcon);
    iconVisual_ = DefaultVisual(dpy, DefaultScreen(dpy));
    iconDepth_ = DefaultDepth(dpy, DefaultScreen(dpy));
    std::vector<unsigned long> visual;
    if (x_.ReadLongs(manager_, x_.GetAtom("_NET_SYSTEM_TRAY_VISUAL"), XA_VISUALID, visual) && !visual.empty()) {
      XVisualInfo want{};
      want.visualid = visual[0];
      int n = 0;
      if (XVisualInfo* info = XGetVisualInfo(dpy, VisualIDMask, &want, &n); info != nullptr) {
        iconVisual_ = info->visual;
        iconDepth_ = info->depth;
        XFree(info);
      }
    }
    colormap_ = XCreateColormap(dpy, x_.Root(), iconVisual_, AllocNone);
    XSetWindowAttributes a{};
    a.colormap = colormap_;
    a.border_pixel = 0;
    a.background_pixel = 0;
    a.event_mask = ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask |
                   PointerMotionMask;
    iconSize_ = Point{16, 16};
    icon_ = XCreateWindow(dpy, x_.Root(), 0, 0, 16, 16, 0, iconDepth_, InputOutput, iconVisual_,
                          CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &a);
    const long info[2] = {0, 1};  // XEmbed version 0, mapped
    XChangeProperty(dpy, icon_, x_.GetAtom("_XEMBED_INFO"), x_.GetAtom("_XEMBED_INFO"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    SetIconName();
    windows_.PaintIcon(icon_, iconVisual_, iconDepth_, iconSize_, picture_.get());
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = manager_;
    ev.xclient.message_type = x_.GetAtom("_NET_SYSTEM_TRAY_OPCODE");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = CurrentTime;
    ev.xclient.data.l[1] = kRequestDock;
    ev.xclient.data.l[2] = static_cast<long>(icon_);
    XSendEvent(dpy, manager_, False, NoEventMask, &ev);
    XFlush(dpy);
    return true;
  }

  void SetIconName() {
    const std::string tip = FieldUtf8(record_.szTip);
    XChangeProperty(x_.Dpy(), icon_, x_.GetAtom("_NET_WM_NAME"), x_.GetAtom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(tip.data()), static_cast<int>(tip.size()));
  }

  // ---- StatusNotifierItem ----
  bool AddItem() {
    itemName_ = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++itemSerial_);
    if (!bus_->RequestName(itemName_) ||
        !bus_->ExportObject(kItemPath, [this](DBusMessage* m) { OnItemCall(m); })) {
      bus_->ReleaseName(itemName_);
      itemName_.clear();
      return false;
    }
    DBusMessage* m =
        dbus_message_new_method_call(kWatcher, "/StatusNotifierWatcher", kWatcher, "RegisterStatusNotifierItem");
    DBusWriter(m).String(itemName_);
    bus_->Call(m, [](DBusMessage*) {}, kCallTimeoutMs);
    return true;
  }

  void ItemSignal(const char* name) {
    bus_->Send(dbus_message_new_signal(kItemPath, kItemInterface, name));
  }

  void WriteProperty(DBusMessageIter& parent, const std::string& name) {
    DBusMessageIter v;
    auto variant = [&](const char* sig) { dbus_message_iter_open_container(&parent, DBUS_TYPE_VARIANT, sig, &v); };
    if (name == "Category" || name == "Id" || name == "Title" || name == "Status") {
      std::string value = name == "Category" ? "ApplicationStatus"
                          : name == "Id"     ? "ProcessDrovak"
                          : name == "Title"  ? FieldUtf8(record_.szTip)
                                             : "Active";
      variant("s");
      DBusWriter(v).String(value);
    } else if (name == "ItemIsMenu") {
      variant("b");
      DBusWriter(v).Boolean(false);
    } else if (name == "IconPixmap") {
      variant("a(iiay)");
      WritePixmaps(v);
    } else if (name == "ToolTip") {
      variant("(sa(iiay)ss)");
      DBusMessageIter s;
      dbus_message_iter_open_container(&v, DBUS_TYPE_STRUCT, nullptr, &s);
      DBusWriter(s).String("");
      DBusMessageIter none;
      dbus_message_iter_open_container(&s, DBUS_TYPE_ARRAY, "(iiay)", &none);
      dbus_message_iter_close_container(&s, &none);
      DBusWriter(s).String(FieldUtf8(record_.szTip));
      DBusWriter(s).String("");
      dbus_message_iter_close_container(&v, &s);
    } else {
      return;
    }
    dbus_message_iter_close_container(&parent, &v);
  }

  // ARGB32 in network byte order, the picture's own size.
  void WritePixmaps(DBusMessageIter& v) {
    DBusWriter parent(v);
    DBusContainer array(parent, DBUS_TYPE_ARRAY, "(iiay)");
    if (const auto pic = Picture(record_.hIcon)) {
      DBusContainer s(array, DBUS_TYPE_STRUCT, nullptr);
      s.Int32(pic->Width());
      s.Int32(pic->Height());
      std::string bytes;
      for (Colour p : pic->Pixels()) {
        const unsigned a = pic->BitsPerPixel() == 32 ? (p >> 24) & 0xFF : 0xFF;
        bytes.append({static_cast<char>(a), static_cast<char>(p & 0xFF), static_cast<char>((p >> 8) & 0xFF),
                      static_cast<char>((p >> 16) & 0xFF)});
      }
      s.Bytes(bytes);
    }
  }

  void OnItemCall(DBusMessage* m) {
    namespace msg = platform::traymsg;
    DBusMessage* reply = nullptr;
    const char* member = dbus_message_get_member(m);
    const std::string name = member != nullptr ? member : "";
    if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Introspectable", "Introspect") != 0) {
      reply = dbus_message_new_method_return(m);
      DBusWriter(reply).String(kItemIntrospection);
    } else if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get") != 0) {
      const char* iface = nullptr;
      const char* prop = nullptr;
      dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &prop, DBUS_TYPE_INVALID);
      reply = dbus_message_new_method_return(m);
      DBusWriter w(reply);
      WriteProperty(w.Iter(), prop != nullptr ? prop : "");
    } else if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "GetAll") != 0) {
      reply = dbus_message_new_method_return(m);
      DBusWriter w(reply);
      DBusMessageIter dict;
      dbus_message_iter_open_container(&w.Iter(), DBUS_TYPE_ARRAY, "{sv}", &dict);
      for (const char* prop : {"Category", "Id", "Title", "Status", "IconPixmap", "ToolTip", "ItemIsMenu"}) {
        DBusMessageIter entry;
        dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
        DBusWriter(entry).String(prop);
        WriteProperty(entry, prop);
        dbus_message_iter_close_container(&dict, &entry);
      }
      dbus_message_iter_close_container(&w.Iter(), &dict);
    } else if (dbus_message_has_interface(m, kItemInterface) != 0 &&
               (name == "Activate" || name == "ContextMenu" || name == "SecondaryActivate" || name == "Scroll")) {
      reply = dbus_message_new_method_return(m);
      std::uint32_t down = name == "Activate"      ? msg::kLButtonDown
                           : name == "ContextMenu" ? msg::kRButtonDown
                           : name == "SecondaryActivate" ? msg::kMButtonDown
                                                          : 0;
      if (down != 0) {
        const int bit = down == msg::kLButtonDown   ? platform::button::kLeft
                        : down == msg::kRButtonDown ? platform::button::kRight
                                                    : platform::button::kMiddle;
        bus_->Defer([this, down, bit] {
          Report(down, bit);
          Report(down + 1, 0);
        });
      }
    } else {
      reply = dbus_message_new_error(m, DBUS_ERROR_UNKNOWN_METHOD, "no such method");
    }
    if (reply != nullptr) bus_->Send(reply);
  }

  // ---- Balloons ----
  void Balloon(const platform::NotifyIconRecord& r) {
    if ((r.uFlags & platform::nif::kInfo) == 0) return;
    if (r.szInfo[0] != '\0') {
      wantBalloon_ = true;
      title_ = FieldUtf8(r.szInfoTitle);
      body_ = FieldUtf8(r.szInfo);
      flags_ = r.dwInfoFlags;
    } else {
      if (!wantBalloon_ && notificationId_ == 0 && !windows_.PopupShown()) return;
      wantBalloon_ = false;
    }
    ++serial_;
    ApplyBalloon();
  }

  void ApplyBalloon() {
    if (!wantBalloon_) {
      popupTimer_->SetEnabled(false);
      windows_.HidePopup();
    }
    if (!bus_) {
      if (wantBalloon_) ShowPopup();
      return;
    }
    if (inFlight_) return;  // done when the answer comes
    if (!wantBalloon_) {
      CloseNotification();
      return;
    }
    DBusMessage* m = dbus_message_new_method_call(kNotifications, kNotificationsPath, kNotifications, "Notify");
    DBusWriter w(m);
    w.String("ProcessDrovak");
    w.Uint32(notificationId_);
    w.String(flags_ == platform::niif::kWarning ? "dialog-warning"
             : flags_ == platform::niif::kError ? "dialog-error"
             : flags_ == platform::niif::kInfo  ? "dialog-information"
                                                : "");
    w.String(title_);
    w.String(body_);
    { DBusContainer actions(w, DBUS_TYPE_ARRAY, "s"); }
    {
      DBusContainer hints(w, DBUS_TYPE_ARRAY, "{sv}");
      // Normal urgency for every icon: servers keep a critical notification
      // until it is dismissed, and a balloon goes by itself.
      DBusDictEntry(hints, "urgency", "y").Value().Byte(kUrgencyNormal);
    }
    w.Int32(kBalloonMs);
    inFlight_ = true;
    const std::uint64_t serial = serial_;
    bus_->Call(
        m, [this, serial](DBusMessage* reply) { OnNotified(reply, serial); }, kCallTimeoutMs);
  }

  void OnNotified(DBusMessage* reply, std::uint64_t serial) {
    inFlight_ = false;
    dbus_uint32_t id = 0;
    if (reply != nullptr && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID) != 0) {
      notificationId_ = id;
    } else if (serial == serial_ && wantBalloon_) {
      ShowPopup();  // no notification server answers
      return;
    }
    if (serial != serial_) ApplyBalloon();
  }

  void CloseNotification() {
    if (!bus_ || notificationId_ == 0) return;
    DBusMessage* m =
        dbus_message_new_method_call(kNotifications, kNotificationsPath, kNotifications, "CloseNotification");
    DBusWriter(m).Uint32(notificationId_);
    bus_->Send(m);
    notificationId_ = 0;
  }

  void OnNotificationClosed(DBusMessage* m) {
    dbus_uint32_t id = 0;
    dbus_uint32_t reason = 0;
    if (dbus_message_get_args(m, nullptr, DBUS_TYPE_UINT32, &id, DBUS_TYPE_UINT32, &reason, DBUS_TYPE_INVALID) != 0 &&
        id == notificationId_) {
      notificationId_ = 0;
    }
  }

  void ShowPopup() {
    // Near the icon when it is ours, else above the bottom-right corner.
    std::optional<Point> near;
    if (icon_ != 0) near = windows_.ScreenPosition(icon_);
    windows_.ShowPopup(text::FromUtf8(title_), text::FromUtf8(body_), near);
    popupTimer_->SetEnabled(false);
    popupTimer_->SetEnabled(true);
  }

  XConnection& x_;
  X11Loop& loop_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // the X listener outlives us
  TrayWindows windows_;
  std::unique_ptr<DBusSession> bus_;
  bool started_ = false;
  XAtom trayAtom_ = 0;
  XWindow manager_ = 0;
  bool watcher_ = false;
  std::uint64_t generation_ = 1;
  std::map<int, std::function<void()>> watchers_;
  int nextWatch_ = 1;

  std::map<std::uint32_t, Tray::Report> reports_;
  std::uint32_t nextWindow_ = 1;
  std::map<std::uint32_t, std::shared_ptr<const platform::Picture>> pictures_;
  std::uint32_t nextPicture_ = 1;

  Mode mode_ = Mode::kNone;
  platform::NotifyIconRecord record_{};
  std::shared_ptr<const platform::Picture> picture_;
  XWindow icon_ = 0;
  Visual* iconVisual_ = nullptr;
  int iconDepth_ = 0;
  unsigned long colormap_ = 0;
  Point iconSize_{16, 16};
  int lastButton_ = 0;
  unsigned long lastPress_ = 0;
  Point pointer_;
  std::unique_ptr<platform::Timer> tooltipTimer_;
  std::string itemName_;
  int itemSerial_ = 0;

  bool wantBalloon_ = false;
  std::string title_;
  std::string body_;
  std::uint32_t flags_ = 0;
  std::uint32_t notificationId_ = 0;
  bool inFlight_ = false;
  std::uint64_t serial_ = 0;
  std::unique_ptr<platform::Timer> popupTimer_;
};

X11Tray::X11Tray(XConnection& x, X11Loop& loop, soft::SoftGraphics& graphics)
    : impl_(std::make_unique<Impl>(x, loop, graphics)) {}

X11Tray::~X11Tray() = default;

std::uint32_t X11Tray::CreateReportWindow(Report report) {
  impl_->Start();
  const std::uint32_t window = impl_->nextWindow_++;
  impl_->reports_[window] = std::move(report);
  return window;
}

void X11Tray::DestroyReportWindow(std::uint32_t window) {
  if (impl_->mode_ != Mode::kNone && impl_->record_.hWnd == window) impl_->Remove();
  impl_->reports_.erase(window);
}

std::uint32_t X11Tray::IconHandle(const std::shared_ptr<const platform::Picture>& picture) {
  if (!picture) return 0;
  for (auto it = impl_->pictures_.begin(); it != impl_->pictures_.end();) {
    if (it->second == picture) return it->first;
    // Pictures nobody else holds and the icon does not show are let go.
    const bool unused = it->second.use_count() == 1 && it->first != impl_->record_.hIcon;
    it = unused ? impl_->pictures_.erase(it) : std::next(it);
  }
  const std::uint32_t handle = impl_->nextPicture_++;
  impl_->pictures_[handle] = picture;
  return handle;
}

bool X11Tray::Notify(std::uint32_t message, const platform::NotifyIconRecord& record) {
  Impl& t = *impl_;
  t.Start();
  const bool ours = t.mode_ != Mode::kNone && record.hWnd == t.record_.hWnd && record.uID == t.record_.uID;
  switch (message) {
    case platform::nim::kAdd:
      return t.Add(record);
    case platform::nim::kModify:
      if (!ours) return false;
      t.Modify(record);
      return true;
    case platform::nim::kDelete:
      // The icon goes with its balloon. A balloon shown without the icon
      // stays: the restore timer deletes an icon the tray lost, and a
      // balloon already shown then is still worth reading (the program's
      // end withdraws it).
      if (!ours) return false;
      t.Remove();
      t.wantBalloon_ = false;
      ++t.serial_;
      t.ApplyBalloon();
      return true;
    case platform::nim::kSetVersion:
      return ours;
    default:
      return false;
  }
}

bool X11Tray::IconShown(std::uint32_t window, std::uint32_t id) {
  return impl_->mode_ != Mode::kNone && impl_->record_.hWnd == window && impl_->record_.uID == id;
}

bool X11Tray::BalloonWithoutIcon(const platform::NotifyIconRecord& record) {
  impl_->Start();
  impl_->Balloon(record);
  return true;
}

bool X11Tray::ShellPresent() {
  impl_->Start();
  return impl_->manager_ != 0 || impl_->watcher_;
}

std::uint64_t X11Tray::ShellGeneration() {
  impl_->Start();
  return impl_->generation_;
}

int X11Tray::WatchShell(std::function<void()> changed) {
  impl_->Start();
  impl_->watchers_.emplace(impl_->nextWatch_, std::move(changed));
  return impl_->nextWatch_++;
}

void X11Tray::UnwatchShell(int watch) { impl_->watchers_.erase(watch); }

X11Tray::Mode X11Tray::IconMode() const { return impl_->mode_; }
XWindow X11Tray::IconWindow() const { return impl_->icon_; }
std::string X11Tray::ItemName() const { return impl_->itemName_; }
std::uint32_t X11Tray::NotificationId() const { return impl_->notificationId_; }
bool X11Tray::NotifyInFlight() const { return impl_->inFlight_; }
bool X11Tray::PopupShown() const { return impl_->windows_.PopupShown(); }
XWindow X11Tray::TooltipWindow() const { return impl_->windows_.Tooltip(); }
bool X11Tray::HasBus() {
  impl_->Start();
  return impl_->bus_ != nullptr;
}

}  // namespace pd::x11
