// Dialogs on Linux: the control host's own menu and message box, and the
// desktop's file chooser through the XDG desktop portal for saving.
#include <dbus/dbus.h>
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

struct MessageDeleter {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

// A DBusError freed when it goes.
struct Error {
  DBusError e{};
  Error() { dbus_error_init(&e); }
  ~Error() { dbus_error_free(&e); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  [[nodiscard]] bool Set() const { return dbus_error_is_set(&e) != 0; }
  [[nodiscard]] std::string What() const { return Set() ? std::string(e.name) + ": " + e.message : "no reply"; }
};

// A method call answered within the time limit; nullptr (and why) otherwise.
Message Call(DBusConnection* c, DBusMessage* call, std::string& why) {
  Error error;
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(c, call, X11Dialogs::kCallTimeoutMs, &error.e);
  if (reply == nullptr) why = error.What();
  return Message(reply);
}

// ---- Writing the options of SaveFile ---------------------------------------------

class Writer {
 public:
  explicit Writer(DBusMessageIter* it) : it_(it) {}
  void String(const std::string& s) {
    const char* p = s.c_str();
    dbus_message_iter_append_basic(it_, DBUS_TYPE_STRING, &p);
  }
  void Uint(std::uint32_t v) { dbus_message_iter_append_basic(it_, DBUS_TYPE_UINT32, &v); }
  void Bool(bool v) {
    dbus_bool_t b = v ? TRUE : FALSE;
    dbus_message_iter_append_basic(it_, DBUS_TYPE_BOOLEAN, &b);
  }
  // A byte string ended by NUL (paths in the portal's options).
  void Bytes(const std::string& s) {
    DBusMessageIter array;
    dbus_message_iter_open_container(it_, DBUS_TYPE_ARRAY, "y", &array);
    const std::string z = s + '\0';
    const char* p = z.data();
    dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_BYTE, &p, static_cast<int>(z.size()));
    dbus_message_iter_close_container(it_, &array);
  }
  // One filter: (sa(us)), its masks as glob patterns (type 0).
  void Filter(const std::pair<pd::String, pd::String>& filter) {
    DBusMessageIter entry, masks;
    dbus_message_iter_open_container(it_, DBUS_TYPE_STRUCT, nullptr, &entry);
    Writer(&entry).String(text::ToUtf8(filter.first));
    dbus_message_iter_open_container(&entry, DBUS_TYPE_ARRAY, "(us)", &masks);
    std::size_t at = 0;
    const pd::String& pattern = filter.second;
    while (at <= pattern.size()) {
      const std::size_t end = std::min(pattern.find(u';', at), pattern.size());
      const pd::String mask = pattern.substr(at, end - at);
      if (!mask.empty()) {
        DBusMessageIter one;
        dbus_message_iter_open_container(&masks, DBUS_TYPE_STRUCT, nullptr, &one);
        Writer w(&one);
        w.Uint(0);
        w.String(text::ToUtf8(mask));
        dbus_message_iter_close_container(&masks, &one);
      }
      at = end + 1;
    }
    dbus_message_iter_close_container(&entry, &masks);
    dbus_message_iter_close_container(it_, &entry);
  }

 private:
  DBusMessageIter* it_;
};

// An entry {name: variant} of an a{sv} being written; write the value
// through the returned writer, then close.
class DictEntry {
 public:
  DictEntry(DBusMessageIter* dict, const char* name, const char* signature) : dict_(dict) {
    dbus_message_iter_open_container(dict_, DBUS_TYPE_DICT_ENTRY, nullptr, &entry_);
    Writer(&entry_).String(name);
    dbus_message_iter_open_container(&entry_, DBUS_TYPE_VARIANT, signature, &value_);
  }
  ~DictEntry() {
    dbus_message_iter_close_container(&entry_, &value_);
    dbus_message_iter_close_container(dict_, &entry_);
  }
  DictEntry(const DictEntry&) = delete;
  DictEntry& operator=(const DictEntry&) = delete;
  DBusMessageIter* Value() { return &value_; }

 private:
  DBusMessageIter* dict_;
  DBusMessageIter entry_{};
  DBusMessageIter value_{};
};

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
std::string SenderSegment(const char* unique) {
  std::string s = unique != nullptr ? unique : "";
  if (!s.empty() && s[0] == ':') s.erase(0, 1);
  for (char& c : s) {
    if (c == '.') c = '_';
  }
  return s;
}

}  // namespace

struct X11Dialogs::Bus {
  DBusConnection* c = nullptr;
  ~Bus() {
    if (c != nullptr) {
      dbus_connection_close(c);
      dbus_connection_unref(c);
    }
  }
};

X11Dialogs::X11Dialogs(platform::EventLoop& loop, X11Host& host) : loop_(loop), host_(host) {}

X11Dialogs::~X11Dialogs() = default;

std::optional<int> X11Dialogs::PopupMenu(WindowHandle /*owner*/, std::span<const platform::MenuItem> /*items*/,
                                         Point /*screen*/) {
  return std::nullopt;
}

std::optional<int> X11Dialogs::MessageBox(WindowHandle /*owner*/, StringView /*text*/, StringView /*title*/,
                                          unsigned /*flags*/) {
  return std::nullopt;
}

X11Dialogs::Bus* X11Dialogs::SessionBus() {
  if (bus_ && bus_->c != nullptr && dbus_connection_get_is_connected(bus_->c) != 0) return bus_.get();
  bus_.reset();
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') {
    lastError_ = "X11: no session bus ($DBUS_SESSION_BUS_ADDRESS is not set)";
    return nullptr;
  }
  Error error;
  DBusConnection* c = dbus_bus_get_private(DBUS_BUS_SESSION, &error.e);
  if (c == nullptr) {
    lastError_ = "X11: session bus: " + error.What();
    return nullptr;
  }
  dbus_connection_set_exit_on_disconnect(c, FALSE);
  bus_ = std::make_unique<Bus>();
  bus_->c = c;
  return bus_.get();
}

std::optional<std::int32_t> X11Dialogs::GetSaveFileName(platform::OpenFileName& record) {
  lastError_.clear();
  Bus* bus = SessionBus();
  if (bus == nullptr) return std::nullopt;
  DBusConnection* c = bus->c;
  std::string why;

  // Is a portal there, or can the bus start one? Then does its chooser
  // answer (a portal installed without a working backend fails here)?
  {
    Error error;
    const bool owned = dbus_bus_name_has_owner(c, kPortal, &error.e) != 0;
    bool activatable = false;
    if (!owned) {
      Message call(dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "ListActivatableNames"));
      if (Message reply = Call(c, call.get(), why)) {
        DBusMessageIter it, names;
        dbus_message_iter_init(reply.get(), &it);
        if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
          dbus_message_iter_recurse(&it, &names);
          for (; dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING; dbus_message_iter_next(&names)) {
            const char* name = nullptr;
            dbus_message_iter_get_basic(&names, &name);
            if (name != nullptr && std::strcmp(name, kPortal) == 0) activatable = true;
          }
        }
      }
    }
    if (!owned && !activatable) {
      lastError_ = "X11: no portal on the session bus";
      return std::nullopt;
    }
    Message call(dbus_message_new_method_call(kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get"));
    const char* iface = kChooser;
    const char* property = "version";
    dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID);
    if (!Call(c, call.get(), why)) {
      lastError_ = "X11: the portal's file chooser does not answer: " + why;
      return std::nullopt;
    }
  }

  // The request's handle, and its Response subscribed before the call.
  const std::string token = "pd" + std::to_string(getpid()) + "_" + std::to_string(++requests_);
  std::string handle =
      std::string(kPortalPath) + "/request/" + SenderSegment(dbus_bus_get_unique_name(c)) + "/" + token;
  auto matchRule = [](const std::string& path) {
    return "type='signal',interface='" + std::string(kRequest) + "',member='Response',path='" + path + "'";
  };
  {
    Error error;
    dbus_bus_add_match(c, matchRule(handle).c_str(), &error.e);
    if (error.Set()) {
      lastError_ = "X11: AddMatch: " + error.What();
      return std::nullopt;
    }
  }

  // The folder and name: a FileName with a folder opens in that folder.
  const String file = platform::CutAtNul(record.lpstrFile);
  const std::size_t slash = file.rfind(u'/');
  const String folder = slash != String::npos ? file.substr(0, slash == 0 ? 1 : slash)
                                              : platform::SaveStartFolder(
                                                    platform::CutAtNul(record.lpstrInitialDir),
                                                    [this](StringView f) { return MaySaveIn(f); },
                                                    [this] { return DocumentsFolder(); });
  const String name = slash != String::npos ? file.substr(slash + 1) : file;
  const auto filters = platform::FilterPairs(record.lpstrFilter);
  const std::size_t current =
      record.nFilterIndex >= 1 && record.nFilterIndex <= filters.size() ? record.nFilterIndex - 1 : 0;

  Message call(dbus_message_new_method_call(kPortal, kPortalPath, kChooser, "SaveFile"));
  {
    DBusMessageIter args, dict;
    dbus_message_iter_init_append(call.get(), &args);
    Writer w(&args);
    char parent[32] = "";
    if (record.hwndOwner != 0) std::snprintf(parent, sizeof parent, "x11:%lx", static_cast<unsigned long>(record.hwndOwner));
    w.String(parent);
    w.String(text::ToUtf8(record.lpstrTitle.empty() ? StringView(kDefaultTitle) : StringView(record.lpstrTitle)));
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &dict);
    { DictEntry e(&dict, "handle_token", "s"); Writer(e.Value()).String(token); }
    { DictEntry e(&dict, "modal", "b"); Writer(e.Value()).Bool(true); }
    if (!name.empty()) { DictEntry e(&dict, "current_name", "s"); Writer(e.Value()).String(text::ToUtf8(name)); }
    if (!folder.empty()) { DictEntry e(&dict, "current_folder", "ay"); Writer(e.Value()).Bytes(text::ToUtf8(folder)); }
    if (!filters.empty()) {
      {
        DictEntry e(&dict, "filters", "a(sa(us))");
        DBusMessageIter list;
        dbus_message_iter_open_container(e.Value(), DBUS_TYPE_ARRAY, "(sa(us))", &list);
        for (const auto& f : filters) Writer(&list).Filter(f);
        dbus_message_iter_close_container(e.Value(), &list);
      }
      DictEntry e(&dict, "current_filter", "(sa(us))");
      Writer(e.Value()).Filter(filters[current]);
    }
    dbus_message_iter_close_container(&args, &dict);
  }
  Message reply = Call(c, call.get(), why);
  if (!reply) {
    Error ignored;
    dbus_bus_remove_match(c, matchRule(handle).c_str(), &ignored.e);
    lastError_ = "X11: SaveFile: " + why;
    return std::nullopt;
  }
  // A portal older than handle_token answers another handle.
  const char* given = nullptr;
  if (dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &given, DBUS_TYPE_INVALID) != 0 &&
      given != nullptr && handle != given) {
    Error ignored;
    dbus_bus_remove_match(c, matchRule(handle).c_str(), &ignored.e);
    handle = given;
    dbus_bus_add_match(c, matchRule(handle).c_str(), &ignored.e);
  }

  // The answer, read from the bus while the loop runs.
  bool answered = false;
  std::uint32_t code = 2;
  std::string uri;
  auto poll = loop_.CreateTimer([&] {
    if (answered) return;
    if (dbus_connection_read_write(c, 0) == 0) {
      answered = true;  // the bus went away: nothing chosen
      return;
    }
    while (Message m{dbus_connection_pop_message(c)}) {
      if (dbus_message_is_signal(m.get(), kRequest, "Response") == 0 || dbus_message_has_path(m.get(), handle.c_str()) == 0) {
        continue;
      }
      DBusMessageIter it;
      if (dbus_message_iter_init(m.get(), &it) != 0 && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_UINT32) {
        dbus_message_iter_get_basic(&it, &code);
        dbus_message_iter_next(&it);
        if (code == 0) uri = FirstUri(&it);
      }
      answered = true;
      return;
    }
  });
  poll->SetInterval(kPollMs);
  poll->SetEnabled(true);
  // The chooser is modal to the program, as the control host's own dialog
  // is: no window of ours takes input until it answers.
  const std::vector<WindowHandle> held = host_.HoldInput();
  const bool ran = loop_.RunModal([&] { return answered; });
  host_.ReleaseInput(held);
  poll->SetEnabled(false);
  {
    Error ignored;
    dbus_bus_remove_match(c, matchRule(handle).c_str(), &ignored.e);
  }
  if (!ran && !answered) {
    // The program quits: the chooser goes with it.
    Message close(dbus_message_new_method_call(kPortal, handle.c_str(), kRequest, "Close"));
    dbus_connection_send(c, close.get(), nullptr);
    dbus_connection_flush(c);
    return 0;
  }
  if (code != 0) return 0;
  String path = text::FromUtf8(PathOfUri(uri));
  if (path.empty()) return 0;
  // The default extension, where the name has none.
  const String defExt = platform::CutAtNul(record.lpstrDefExt);
  const std::size_t nameAt = path.rfind(u'/') + 1;
  if (!defExt.empty() && path.find(u'.', nameAt) == String::npos) path += u'.' + defExt;
  return platform::StoreChosenFile(record, path, u"/") ? 1 : 0;
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
