// Dialogs on Linux: the control host's own menu and message box, and the
// desktop's file chooser through the XDG desktop portal for saving.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/x11/dbus_session.h"
#include "platform/x11/dialogs.h"
#include "platform/x11/files.h"
#include "platform/x11/host.h"

namespace pd::x11 {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kChooser = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
// The chooser's title where the program gives none.
constexpr char16_t kDefaultTitle[] = u"\u0421\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C \u043A\u0430\u043A";

// One filter: (sa(us)), its masks as glob patterns (type 0).
void WriteFilter(DBusWriter& out, const std::pair<pd::String, pd::String>& filter) {
  DBusContainer entry(out, DBUS_TYPE_STRUCT, nullptr);
  entry.String(text::ToUtf8(filter.first));
  DBusContainer masks(entry, DBUS_TYPE_ARRAY, "(us)");
  std::size_t at = 0;
  const pd::String& pattern = filter.second;
  while (at <= pattern.size()) {
    const std::size_t end = std::min(pattern.find(u';', at), pattern.size());
    const pd::String mask = pattern.substr(at, end - at);
    if (!mask.empty()) {
      DBusContainer one(masks, DBUS_TYPE_STRUCT, nullptr);
      one.Uint32(0);
      one.String(text::ToUtf8(mask));
    }
    at = end + 1;
  }
}

// ---- Reading the answer ------------------------------------------------------------

// The first of the "uris" in the a{sv} results at it.
std::string FirstUri(DBusMessageIter* results) {
  if (dbus_message_iter_get_arg_type(results) != DBUS_TYPE_ARRAY) return {};
  DBusMessageIter dict;
  dbus_message_iter_recurse(results, &dict);
  for (; dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&dict)) {
    DBusMessageIter entry, variant, uris;
    dbus_message_iter_recurse(&dict, &entry);
    const char* key = nullptr;
    dbus_message_iter_get_basic(&entry, &key);
    if (key == nullptr || std::strcmp(key, "uris") != 0) continue;
    dbus_message_iter_next(&entry);
    dbus_message_iter_recurse(&entry, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_ARRAY) return {};
    dbus_message_iter_recurse(&variant, &uris);
    if (dbus_message_iter_get_arg_type(&uris) != DBUS_TYPE_STRING) return {};
    const char* uri = nullptr;
    dbus_message_iter_get_basic(&uris, &uri);
    return uri != nullptr ? uri : "";
  }
  return {};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "file:///home/u/%D0%BE%D1%82%D1%87%D0%B5%D1%82.txt" -> the path's UTF-8
// bytes; "" for another scheme or a host other than the local one.
std::string PathOfUri(const std::string& uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.compare(0, kScheme.size(), kScheme) != 0) return {};
  std::string rest = uri.substr(kScheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return {};
  const std::string host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") return {};
  std::string path;
  for (std::size_t i = slash; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() + 0 && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

// The unique name as a request path segment: ":1.42" -> "1_42".
std::string SenderSegment(std::string s) {
  if (!s.empty() && s[0] == ':') s.erase(0, 1);
  for (char& c : s) {
    if (c == '.') c = '_';
  }
  return s;
}

// What the portal answered to one request, shared with the handlers that
// may outlive the wait.
struct PortalRequest {
  std::string handle;
  bool answered = false;
  std::uint32_t code = 2;  // 0 chosen, 1 cancelled, 2 failed or gone
  std::string uri;
  int response = 0;  // the subscriptions
  int disconnected = 0;
};

// SaveFile with the title, the folder and name (a FileName with a folder
// opens in that folder), the filters and the current one.
DBusMessage* SaveFileCall(platform::Dialogs& dialogs, const platform::OpenFileName& record, const std::string& token) {
  const String file = platform::CutAtNul(record.lpstrFile);
  const std::size_t slash = file.rfind(u'/');
  const String folder = slash != String::npos ? file.substr(0, slash == 0 ? 1 : slash)
                                              : platform::SaveStartFolder(
                                                    platform::CutAtNul(record.lpstrInitialDir),
                                                    [&](StringView f) { return dialogs.MaySaveIn(f); },
                                                    [&] { return dialogs.DocumentsFolder(); });
  const String name = slash != String::npos ? file.substr(slash + 1) : file;
  const auto filters = platform::FilterPairs(record.lpstrFilter);
  const std::size_t current =
      record.nFilterIndex >= 1 && record.nFilterIndex <= filters.size() ? record.nFilterIndex - 1 : 0;

  DBusMessage* call = dbus_message_new_method_call(kPortal, kPortalPath, kChooser, "SaveFile");
  DBusWriter args(call);
  char parent[32] = "";
  if (record.hwndOwner != 0) std::snprintf(parent, sizeof parent, "x11:%lx", static_cast<unsigned long>(record.hwndOwner));
  args.String(parent);
  args.String(text::ToUtf8(record.lpstrTitle.empty() ? StringView(kDefaultTitle) : StringView(record.lpstrTitle)));
  DBusContainer options(args, DBUS_TYPE_ARRAY, "{sv}");
  DBusDictEntry(options, "handle_token", "s").Value().String(token);
  DBusDictEntry(options, "modal", "b").Value().Boolean(true);
  if (!name.empty()) DBusDictEntry(options, "current_name", "s").Value().String(text::ToUtf8(name));
  // A path as bytes ended by NUL.
  if (!folder.empty()) DBusDictEntry(options, "current_folder", "ay").Value().Bytes(text::ToUtf8(folder) + '\0');
  if (!filters.empty()) {
    {
      DBusDictEntry entry(options, "filters", "a(sa(us))");
      DBusContainer list(entry.Value(), DBUS_TYPE_ARRAY, "(sa(us))");
      for (const auto& f : filters) WriteFilter(list, f);
    }
    DBusDictEntry entry(options, "current_filter", "(sa(us))");
    WriteFilter(entry.Value(), filters[current]);
  }
  return call;
}

// The request's Response (and the bus going away) reach request.
void Listen(DBusSession& bus, const std::shared_ptr<PortalRequest>& request) {
  const std::string rule =
      "type='signal',interface='" + std::string(kRequest) + "',member='Response',path='" + request->handle + "'";
  request->response = bus.OnSignal(rule, kRequest, "Response", [request](DBusMessage* m) {
    if (request->answered || dbus_message_has_path(m, request->handle.c_str()) == 0) return;
    DBusMessageIter it;
    if (dbus_message_iter_init(m, &it) != 0 && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_UINT32) {
      dbus_message_iter_get_basic(&it, &request->code);
      dbus_message_iter_next(&it);
      if (request->code == 0) request->uri = FirstUri(&it);
    }
    request->answered = true;
  });
  if (request->disconnected == 0) {
    request->disconnected = bus.OnSignal("", DBUS_INTERFACE_LOCAL, "Disconnected", [request](DBusMessage*) {
      request->answered = true;  // nothing chosen
    });
  }
}

void StopListening(DBusSession& bus, PortalRequest& request) {
  bus.DropSignal(request.response);
  bus.DropSignal(request.disconnected);
  request.response = request.disconnected = 0;
}

// The chooser is modal to the program, as the control host's own dialog
// is: no window of ours takes input until it answers. The loop serves the
// bus meanwhile. False when the program quits first: the chooser is closed.
bool AwaitResponse(X11Loop& loop, X11Host& host, DBusSession& bus, PortalRequest& request) {
  const std::vector<WindowHandle> held = host.HoldInput();
  const bool ran = loop.RunModal([&] { return request.answered; });
  host.ReleaseInput(held);
  StopListening(bus, request);
  if (ran || request.answered) return true;
  bus.Send(dbus_message_new_method_call(kPortal, request.handle.c_str(), kRequest, "Close"));
  return false;
}

// The chosen path with the default extension where the name has none.
std::int32_t StoreChosen(platform::OpenFileName& record, String path) {
  if (path.empty()) return 0;
  const String defExt = platform::CutAtNul(record.lpstrDefExt);
  const std::size_t nameAt = path.rfind(u'/') + 1;
  if (!defExt.empty() && path.find(u'.', nameAt) == String::npos) path += u'.' + defExt;
  return platform::StoreChosenFile(record, path, u"/") ? 1 : 0;
}

}  // namespace

X11Dialogs::X11Dialogs(X11Loop& loop, X11Host& host) : loop_(loop), host_(host) {}

X11Dialogs::~X11Dialogs() = default;

std::optional<int> X11Dialogs::PopupMenu(WindowHandle /*owner*/, std::span<const platform::MenuItem> /*items*/,
                                         Point /*screen*/) {
  return std::nullopt;
}

std::optional<int> X11Dialogs::MessageBox(WindowHandle /*owner*/, StringView /*text*/, StringView /*title*/,
                                          unsigned /*flags*/) {
  return std::nullopt;
}

DBusSession* X11Dialogs::SessionBus() {
  if (bus_ && bus_->Connected()) return bus_.get();
  bus_.reset();
  bus_ = DBusSession::Open(loop_, lastError_);
  return bus_.get();
}

// Is a portal there, or can the bus start one? Then does its chooser
// answer (a portal installed without a working backend fails here)?
bool X11Dialogs::PortalAnswers(DBusSession& bus) {
  if (!bus.NameHasOwner(kPortal) && !bus.NameActivatable(kPortal)) {
    lastError_ = "X11: no portal on the session bus";
    return false;
  }
  DBusMessage* call = dbus_message_new_method_call(kPortal, kPortalPath, DBUS_INTERFACE_PROPERTIES, "Get");
  DBusWriter args(call);
  args.String(kChooser);
  args.String("version");
  std::string why;
  if (!bus.CallAndWait(call, kCallTimeoutMs, why)) {
    lastError_ = "X11: the portal's file chooser does not answer: " + why;
    return false;
  }
  return true;
}

std::optional<std::int32_t> X11Dialogs::GetSaveFileName(platform::OpenFileName& record) {
  lastError_.clear();
  DBusSession* bus = SessionBus();
  if (bus == nullptr || !PortalAnswers(*bus)) return std::nullopt;

  // The request's handle, and its Response subscribed before the call.
  const std::string token = "pd" + std::to_string(getpid()) + "_" + std::to_string(++requests_);
  auto request = std::make_shared<PortalRequest>();
  request->handle = std::string(kPortalPath) + "/request/" + SenderSegment(bus->UniqueName()) + "/" + token;
  Listen(*bus, request);
  std::string why;
  const DBusMessagePtr reply = bus->CallAndWait(SaveFileCall(*this, record, token), kCallTimeoutMs, why);
  if (!reply) {
    StopListening(*bus, *request);
    lastError_ = "X11: SaveFile: " + why;
    return std::nullopt;
  }
  // A portal older than handle_token answers another handle.
  const char* given = nullptr;
  if (dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &given, DBUS_TYPE_INVALID) != 0 &&
      given != nullptr && request->handle != given) {
    bus->DropSignal(request->response);
    request->handle = given;
    Listen(*bus, request);
  }
  if (!AwaitResponse(loop_, host_, *bus, *request) || request->code != 0) return 0;
  return StoreChosen(record, text::FromUtf8(PathOfUri(request->uri)));
}

std::optional<std::vector<platform::FolderEntry>> X11Dialogs::ListFolder(StringView folder) {
  const std::string path = text::ToUtf8(folder);
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<platform::FolderEntry> entries;
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    bool isFolder = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      DIR* inner = opendir((path + "/" + e->d_name).c_str());
      isFolder = inner != nullptr;
      if (inner != nullptr) closedir(inner);
    }
    entries.push_back({.name = text::FromUtf8(e->d_name), .folder = isFolder});
  }
  closedir(dir);
  return entries;
}

String X11Dialogs::DocumentsFolder() {
  const std::string home = text::ToUtf8(HomeFolder());
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    config = xdg;
  } else if (!home.empty()) {
    config = home + "/.config";
  }
  std::string bytes;
  if (!config.empty() && ReadWholeFile(config + "/user-dirs.dirs", bytes).step == nullptr) {
    // Lines of the shell form XDG_DOCUMENTS_DIR="$HOME/Documents"; the last
    // one counts.
    std::string found;
    std::size_t at = 0;
    while (at < bytes.size()) {
      std::size_t end = bytes.find('\n', at);
      if (end == std::string::npos) end = bytes.size();
      std::string_view line(bytes.data() + at, end - at);
      at = end + 1;
      constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
      if (!line.starts_with(kKey)) continue;
      line.remove_prefix(kKey.size());
      const std::size_t quote = line.find('"');
      if (quote == std::string_view::npos) continue;
      line = line.substr(0, quote);
      if (line.starts_with("$HOME")) {
        if (home.empty() || (line.size() > 5 && line[5] != '/')) continue;
        found = home + std::string(line.substr(5));
      } else if (line.starts_with("/")) {
        found = std::string(line);
      }
    }
    struct stat st {};
    if (!found.empty() && stat(found.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return text::FromUtf8(found);
  }
  return text::FromUtf8(home);
}

bool X11Dialogs::MaySaveIn(StringView folder) {
  std::string path = text::ToUtf8(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat st {};
  return !SystemProgramFolder(path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(path.c_str(), W_OK | X_OK) == 0;
}

String X11Dialogs::HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return text::FromUtf8(home);
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return text::FromUtf8(pw->pw_dir);
  return {};
}

}  // namespace pd::x11
