#include "platform/x11/kwin_desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <utility>

#include "platform/text.h"
#include "platform/x11/files.h"

namespace pd::x11 {

namespace {

constexpr const char* kScripting = "org.kde.kwin.Scripting";

DBusMessage* ScriptingCall(const char* method) {
  return dbus_message_new_method_call(KWinDesktop::kService, "/Scripting", kScripting, method);
}

// A unique bus name (":1.42"): nothing else is ever put into the script.
bool IsUniqueName(std::string_view name) {
  if (name.size() < 2 || name.front() != ':') return false;
  for (const char c : name.substr(1)) {
    if (!(c == '.' || c == '_' || c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
          (c >= 'A' && c <= 'Z'))) {
      return false;
    }
  }
  return true;
}

// A process id as the script sends it: decimal digits, 0 for none.
ProcessId ParsePid(const char* text) {
  if (text == nullptr) return 0;
  const std::string_view s(text);
  ProcessId id = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), id);
  return error == std::errc() && end == s.data() + s.size() ? id : 0;
}

// Qt's key codes of the keys a shortcut ends in, other than letters,
// digits and F-keys.
struct NamedKey {
  std::int32_t code;
  const char16_t* name;
};
constexpr NamedKey kNamedKeys[] = {
    {0x01000000, u"Esc"},      {0x01000001, u"Tab"},    {0x01000003, u"Backspace"}, {0x01000004, u"Enter"},
    {0x01000005, u"Enter"},    {0x01000006, u"Ins"},    {0x01000007, u"Del"},       {0x01000008, u"Pause"},
    {0x01000009, u"Print"},    {0x01000010, u"Home"},   {0x01000011, u"End"},       {0x01000012, u"Left"},
    {0x01000013, u"Up"},       {0x01000014, u"Right"},  {0x01000015, u"Down"},      {0x01000016, u"PgUp"},
    {0x01000017, u"PgDown"},   {0x01000026, u"ScrollLock"}, {0x20, u"Space"},
};

}  // namespace

String KWinDesktop::KeyName(std::int32_t combination) {
  const auto bits = static_cast<std::uint32_t>(combination);
  String name;
  for (const auto& [bit, modifier] : {std::pair{0x04000000u, u"Ctrl+"}, std::pair{0x08000000u, u"Alt+"},
                                      std::pair{0x02000000u, u"Shift+"}, std::pair{0x10000000u, u"WIN+"}}) {
    if ((bits & bit) != 0) name += modifier;
  }
  const std::int32_t key = combination & 0x01FFFFFF;
  for (const NamedKey& k : kNamedKeys) {
    if (k.code == key) return name + k.name;
  }
  if (key >= 0x01000030 && key <= 0x01000052) return name + u"F" + text::FromUtf8(std::to_string(key - 0x0100002F));
  if (key > 0x20 && key < 0x7F) return name + static_cast<char16_t>(key);
  return name + u"#" + text::FromUtf8(std::to_string(key));
}

std::string KWinDesktop::Script(std::string_view service) {
  if (!IsUniqueName(service)) return {};
  // KWin 6 names the active window activeWindow and its change
  // windowActivated; KWin 5 activeClient and clientActivated.
  std::string script = R"js(// ProcessDrovak: loaded at its start, unloaded at its end. Reports the chord
// and the process of the active window.
(function () {
  var service = "@SERVICE@", path = "@PATH@", iface = "@INTERFACE@";
  function activeProcess() {
    var w = workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
    if (!w || w.desktopWindow || w.dock || w.localhost === false) return 0;
    if (!(w.normalWindow || w.dialog || w.utility)) return 0;
    if (String(w.resourceClass).toLowerCase() === "plasmashell") return 0;
    var pid = Number(w.pid);
    return pid > 0 && Math.floor(pid) === pid ? pid : 0;
  }
  function report(method) {
    callDBus(service, path, iface, method, String(activeProcess()));
  }
  var activated = workspace.windowActivated !== undefined ? workspace.windowActivated : workspace.clientActivated;
  activated.connect(function () { report("Active"); });
  registerShortcut("@PLUGIN@", "ProcessDrovak: завершить активное приложение", "@KEYS@",
                   function () { report("Chord"); });
  report("Active");
})();
)js";
  const std::pair<std::string_view, std::string_view> fields[] = {
      {"@SERVICE@", service}, {"@PATH@", kPath}, {"@INTERFACE@", kInterface}, {"@PLUGIN@", kPlugin}, {"@KEYS@", kChordKeys}};
  for (const auto& [mark, value] : fields) script.replace(script.find(mark), mark.size(), value);
  return script;
}

std::unique_ptr<KWinDesktop> KWinDesktop::Connect(X11Loop& loop) {
  std::string error;
  auto bus = DBusSession::Open(loop, error);
  if (!bus) return nullptr;
  std::string owner = bus->NameOwner(kService);
  if (owner.empty()) return nullptr;
  const ProcessId shell = bus->ConnectionProcess(owner);
  return std::unique_ptr<KWinDesktop>(new KWinDesktop(std::move(bus), std::move(owner), shell));
}

KWinDesktop::KWinDesktop(std::unique_ptr<DBusSession> bus, std::string owner, ProcessId shell)
    : bus_(std::move(bus)), owner_(std::move(owner)), shell_(shell) {
  // KWin gone (or replaced): its script went with it.
  const std::string rule = "type='signal',sender='" DBUS_SERVICE_DBUS "',interface='" DBUS_INTERFACE_DBUS
                           "',member='NameOwnerChanged',arg0='" +
                           std::string(kService) + "'";
  ownerWatch_ = bus_->OnSignal(rule, DBUS_INTERFACE_DBUS, "NameOwnerChanged", [this](DBusMessage* m) {
    const char* name = nullptr;
    const char* before = nullptr;
    const char* after = nullptr;
    if (dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &before, DBUS_TYPE_STRING,
                              &after, DBUS_TYPE_INVALID) == 0 ||
        std::string_view(name) != kService || owner_ == after) {
      return;
    }
    owner_ = after;
    bound_ = false;
    Forget();
  });
}

KWinDesktop::~KWinDesktop() {
  *alive_ = false;
  UnwatchChord();
  bus_->DropSignal(ownerWatch_);
}

std::string KWinDesktop::WriteScript(const std::string& text) {
  // In the user's own runtime folder under one name, so that a copy of the
  // program that did not end cleanly leaves no second file; elsewhere
  // (/tmp) under a name no one else can have made first.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string path;
  int fd = -1;
  if (runtime != nullptr && *runtime == '/') {
    path = std::string(runtime) + "/ProcessDrovak-kwin.js";
    unlink(path.c_str());
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  } else {
    path = "/tmp/ProcessDrovak-kwin-XXXXXX.js";
    fd = mkstemps(path.data(), 3);  // O_EXCL, mode 0600
  }
  if (fd < 0) return {};
  int err = 0;
  const bool written = WriteToFile(fd, text, err);
  if (close(fd) != 0 || !written) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

bool KWinDesktop::LoadScript() {
  const std::string text = Script(bus_->UniqueName());
  if (text.empty()) return false;
  scriptFile_ = WriteScript(text);
  if (scriptFile_.empty()) return false;
  // A copy of the program that did not end cleanly may have left its
  // script loaded: unloaded first. KWin lets it go a moment later, so the
  // load is tried again for a while.
  UnloadScript();
  std::string why;
  dbus_int32_t id = -1;
  for (int attempt = 0; attempt < 10 && id < 0; ++attempt) {
    if (attempt > 0) usleep(20 * 1000);
    DBusMessage* load = ScriptingCall("loadScript");
    DBusWriter args(load);
    args.String(scriptFile_);
    args.String(kPlugin);
    const DBusMessagePtr reply = bus_->CallAndWait(load, kTimeoutMs, why);
    if (!reply) return false;
    if (dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_INT32, &id, DBUS_TYPE_INVALID) == 0) return false;
  }
  if (id < 0) return false;
  // KWin 6 serves a script at /Scripting/ScriptN, KWin 5 at /N.
  const std::string number = std::to_string(id);
  for (const std::string& path : {std::string("/Scripting/Script").append(number), std::string("/").append(number)}) {
    DBusMessage* run = dbus_message_new_method_call(kService, path.c_str(), "org.kde.kwin.Script", "run");
    if (bus_->CallAndWait(run, kTimeoutMs, why)) return true;
  }
  UnloadScript();
  return false;
}

void KWinDesktop::UnloadScript() {
  DBusMessage* unload = ScriptingCall("unloadScript");
  DBusWriter(unload).String(kPlugin);
  std::string why;
  bus_->CallAndWait(unload, kTimeoutMs, why);
}

bool KWinDesktop::WatchChord(std::function<void()> pressed) {
  UnwatchChord();
  if (!bus_->ExportObject(kPath, [this](DBusMessage* m) { OnCall(m); })) return false;
  if (!LoadScript()) {
    Forget();
    return false;
  }
  // The keys are taken by another action: nothing would ever be pressed.
  const auto keys = BoundKeys();
  keys_ = keys ? *keys : String(kChordKeys.begin(), kChordKeys.end());
  if (keys_.empty()) {
    UnloadScript();
    Forget();
    return false;
  }
  bound_ = true;
  pressed_ = std::move(pressed);
  return true;
}

void KWinDesktop::UnwatchChord() {
  if (bound_) {
    UnloadScript();
    bound_ = false;
  }
  Forget();
}

void KWinDesktop::Forget() {
  bus_->UnexportObject(kPath);
  if (!scriptFile_.empty()) {
    unlink(scriptFile_.c_str());
    scriptFile_.clear();
  }
  pressed_ = nullptr;
}

String KWinDesktop::ChordName() { return bound_ ? keys_ : String(); }

std::optional<String> KWinDesktop::BoundKeys() {
  DBusMessage* ask =
      dbus_message_new_method_call("org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel", "shortcut");
  {
    // The action: component, action, and their names (not looked at).
    DBusWriter args(ask);
    DBusContainer id(args, DBUS_TYPE_ARRAY, "s");
    for (const char* part : {"kwin", kPlugin, "KWin", kPlugin}) id.String(part);
  }
  std::string why;
  const DBusMessagePtr reply = bus_->CallAndWait(ask, kTimeoutMs, why);
  DBusMessageIter it;
  DBusMessageIter keys;
  if (!reply || dbus_message_iter_init(reply.get(), &it) == 0 || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY ||
      dbus_message_iter_get_element_type(&it) != DBUS_TYPE_INT32) {
    return std::nullopt;
  }
  dbus_message_iter_recurse(&it, &keys);
  if (dbus_message_iter_get_arg_type(&keys) != DBUS_TYPE_INT32) return String();
  dbus_int32_t first = 0;
  dbus_message_iter_get_basic(&keys, &first);
  return first != 0 ? KeyName(first) : String();
}

// Chord(s pid) and Active(s pid), from KWin's connection only: anyone else
// could otherwise name a process for the program to end.
void KWinDesktop::OnCall(DBusMessage* m) {
  const char* sender = dbus_message_get_sender(m);
  const bool chord = dbus_message_is_method_call(m, kInterface, "Chord") != 0;
  const bool active = dbus_message_is_method_call(m, kInterface, "Active") != 0;
  const char* pidText = nullptr;
  const bool fromKWin = sender != nullptr && owner_ == sender;
  const bool taken = fromKWin && (chord || active) &&
                     dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &pidText, DBUS_TYPE_INVALID) != 0;
  if (dbus_message_get_no_reply(m) == 0) {
    bus_->Send(taken       ? dbus_message_new_method_return(m)
               : fromKWin ? dbus_message_new_error(m, DBUS_ERROR_UNKNOWN_METHOD, "Chord(s) or Active(s)")
                          : dbus_message_new_error(m, DBUS_ERROR_ACCESS_DENIED, "only KWin reports here"));
  }
  if (!taken) return;
  const ProcessId id = ParsePid(pidText);
  // Applied in the loop, in the order the calls came: a press sees the
  // window of its own moment.
  const std::weak_ptr<bool> alive = alive_;
  bus_->Defer([this, alive, id, chord] {
    if (alive.expired()) return;
    foreground_ = id;
    if (chord && pressed_) {
      auto pressed = pressed_;
      pressed();
    }
  });
}

}  // namespace pd::x11
