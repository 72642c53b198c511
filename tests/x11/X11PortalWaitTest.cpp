// The wait for the desktop portal's Response, against a portal of our own on
// the private session bus of ctest's x11_portal test (dbus-run-session under
// scripts/with-xvfb): the request as the portal gets it, and an answer that
// comes late, cancels, names no local file, or never comes (the program
// quits and the chooser is closed). Elsewhere these are skipped.
#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/x11/dialogs.h"
#include "test_util.h"
#include "x11/FakeBusService.h"

namespace pd::x11 {
namespace {

using namespace std::string_literals;

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kRequest = "org.freedesktop.portal.Request";

// Serves org.freedesktop.portal.Desktop from a thread of its own: the
// FileChooser's version, SaveFile (its options kept as text) answered with
// the request's handle, then Response after delayMs (never where code < 0),
// and the request's Close.
class FakePortal final : public test::FakeBusService {
 public:
  FakePortal(int code, std::string uri, int delayMs)
      : FakeBusService({kPortal}), code_(code), uri_(std::move(uri)), delayMs_(delayMs) {
    Start();
  }
  ~FakePortal() override { Stop(); }

  // The option named key of the latest SaveFile ("" without one).
  std::string Option(const std::string& key) {
    const std::lock_guard lock(mutex_);
    const auto found = options_.find(key);
    return found != options_.end() ? found->second : "";
  }
  // Whether the request was closed within ms.
  bool Closed(int ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return closed_; });
  }

 private:
  void Handle(DBusMessage* m) override {
    if (dbus_message_is_method_call(m, DBUS_INTERFACE_PROPERTIES, "Get") != 0) {
      DBusMessage* reply = dbus_message_new_method_return(m);
      DBusMessageIter it, v;
      dbus_message_iter_init_append(reply, &it);
      dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "u", &v);
      const dbus_uint32_t version = 3;
      dbus_message_iter_append_basic(&v, DBUS_TYPE_UINT32, &version);
      dbus_message_iter_close_container(&it, &v);
      SendAway(reply);
    } else if (dbus_message_is_method_call(m, "org.freedesktop.portal.FileChooser", "SaveFile") != 0) {
      std::string sender = dbus_message_get_sender(m) + 1;
      for (char& c : sender) c = c == '.' ? '_' : c;
      {
        const std::lock_guard lock(mutex_);
        ReadOptions(m);
        handle_ = "/org/freedesktop/portal/desktop/request/" + sender + "/" + options_["handle_token"];
      }
      DBusMessage* reply = dbus_message_new_method_return(m);
      const char* path = handle_.c_str();
      dbus_message_append_args(reply, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID);
      SendAway(reply);
      if (code_ >= 0) due_ = Clock::now() + std::chrono::milliseconds(delayMs_);
    } else if (dbus_message_is_method_call(m, kRequest, "Close") != 0) {
      SendAway(dbus_message_new_method_return(m));
      const std::lock_guard lock(mutex_);
      closed_ = dbus_message_has_path(m, handle_.c_str()) != 0;
      changed_.notify_all();
    }
  }
  // The answer, once due.
  void Tick() override {
    if (due_ && Clock::now() >= *due_) {
      due_.reset();
      SendResponse();
    }
  }

  void SendResponse() {
    DBusMessage* signal = dbus_message_new_signal(handle_.c_str(), kRequest, "Response");
    DBusMessageIter it, dict, entry, v, uris;
    dbus_message_iter_init_append(signal, &it);
    const dbus_uint32_t code = static_cast<dbus_uint32_t>(code_);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &code);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &dict);
    if (code_ == 0) {
      const char* key = "uris";
      const char* uri = uri_.c_str();
      dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
      dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
      dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "as", &v);
      dbus_message_iter_open_container(&v, DBUS_TYPE_ARRAY, "s", &uris);
      dbus_message_iter_append_basic(&uris, DBUS_TYPE_STRING, &uri);
      dbus_message_iter_close_container(&v, &uris);
      dbus_message_iter_close_container(&entry, &v);
      dbus_message_iter_close_container(&dict, &entry);
    }
    dbus_message_iter_close_container(&it, &dict);
    SendAway(signal);
  }

  // The a{sv} after parent and title: strings as they are, a byte array
  // as its bytes, a struct (a filter) as its name, an array of structs as
  // their count; the title as "title".
  void ReadOptions(DBusMessage* m) {
    options_.clear();
    DBusMessageIter it, dict;
    if (dbus_message_iter_init(m, &it) == 0 || dbus_message_iter_next(&it) == 0) return;
    options_["title"] = StringAt(&it);
    if (dbus_message_iter_next(&it) == 0 || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return;
    for (dbus_message_iter_recurse(&it, &dict); dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&dict)) {
      DBusMessageIter entry, v, inner;
      dbus_message_iter_recurse(&dict, &entry);
      const std::string key = StringAt(&entry);
      dbus_message_iter_next(&entry);
      dbus_message_iter_recurse(&entry, &v);
      std::string value;
      switch (dbus_message_iter_get_arg_type(&v)) {
        case DBUS_TYPE_STRING:
          value = StringAt(&v);
          break;
        case DBUS_TYPE_BOOLEAN: {
          dbus_bool_t b = FALSE;
          dbus_message_iter_get_basic(&v, &b);
          value = b != 0 ? "true" : "false";
          break;
        }
        case DBUS_TYPE_STRUCT:
          dbus_message_iter_recurse(&v, &inner);
          value = StringAt(&inner);
          break;
        case DBUS_TYPE_ARRAY:
          dbus_message_iter_recurse(&v, &inner);
          if (dbus_message_iter_get_arg_type(&inner) == DBUS_TYPE_BYTE) {
            const char* bytes = nullptr;
            int n = 0;
            dbus_message_iter_get_fixed_array(&inner, &bytes, &n);
            value.assign(bytes, static_cast<std::size_t>(n));
          } else {
            int n = 0;
            for (; dbus_message_iter_get_arg_type(&inner) != DBUS_TYPE_INVALID; dbus_message_iter_next(&inner)) ++n;
            value = std::to_string(n);
          }
          break;
        default:
          break;
      }
      options_[key] = value;
    }
  }

  static std::string StringAt(DBusMessageIter* it) {
    if (dbus_message_iter_get_arg_type(it) != DBUS_TYPE_STRING) return {};
    const char* s = nullptr;
    dbus_message_iter_get_basic(it, &s);
    return s;
  }

  const int code_;
  const std::string uri_;
  const int delayMs_;
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> due_;  // of the Response
  std::condition_variable changed_;
  std::map<std::string, std::string> options_;
  std::string handle_;
  bool closed_ = false;
};

TEST(X11PortalWait, TheResponseIsAwaitedWhileTheLoopRuns) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (std::getenv("PD_X11_PRIVATE_DISPLAY") == nullptr || bus == nullptr || *bus == '\0') {
    GTEST_SKIP() << "these own the portal's name: they run only on a private session bus (ctest's x11_portal)";
  }
  test::TempFolder folder;
  const std::string dir = text::ToUtf8(folder.Str());
  struct Case {
    const char* what;
    int code;  // the Response's; -1: none
    std::string uri;
    std::int32_t result;
    String file;  // chosen, the default extension added
  };
  const Case cases[] = {
      {"chosen, late", 0, "file://" + dir + "/%D0%BE%D1%82%D1%87%D1%91%D1%82", 1, folder.Str() + u"/отчёт.txt"},
      {"chosen on another host", 0, "file://elsewhere/tmp/x.txt", 0, {}},
      {"cancelled", 1, {}, 0, {}},
      {"never: the program quits", -1, {}, 0, {}},
  };
  constexpr int kDelayMs = 400;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePortal portal(c.code, c.uri, kDelayMs);
    ASSERT_TRUE(portal.Owned()) << "another portal owns the name on this bus";
    String error;
    auto platform = platform::CreatePlatform(error);
    ASSERT_TRUE(platform) << text::ToUtf8(error);
    auto& dialogs = dynamic_cast<X11Dialogs&>(platform->dialogs());
    platform::OpenFileName record;
    record.lpstrFile = u"отчёт";
    record.lpstrFile.resize(record.nMaxFile, u'\0');
    record.lpstrInitialDir = folder.Str();
    record.lpstrFilter = u"Текст (*.txt)\0*.txt;*.log\0Все\0*.*\0\0"s;
    record.nFilterIndex = 2;
    record.lpstrDefExt = u"txt";
    // The loop keeps serving timers while the chooser is up; a program that
    // quits ends the wait.
    int ticks = 0;
    auto tick = platform->loop().CreateTimer([&] {
      if (++ticks * 50 >= 2 * kDelayMs && c.code < 0) platform->loop().Quit();
    });
    tick->SetInterval(50);
    tick->SetEnabled(true);
    const auto result = dialogs.GetSaveFileName(record);
    tick->SetEnabled(false);

    ASSERT_TRUE(result.has_value()) << dialogs.LastError();
    EXPECT_EQ(*result, c.result);
    EXPECT_GE(ticks, kDelayMs / 50 - 2) << "the wait served the timers";
    EXPECT_EQ(platform::CutAtNul(record.lpstrFile), c.result == 1 ? c.file : u"отчёт");
    EXPECT_EQ(portal.Option("title"), "Сохранить как");
    EXPECT_EQ(portal.Option("modal"), "true");
    EXPECT_EQ(portal.Option("current_name"), "отчёт");
    EXPECT_EQ(portal.Option("current_folder"), dir + std::string(1, '\0'));
    EXPECT_EQ(portal.Option("filters"), "2");
    EXPECT_EQ(portal.Option("current_filter"), "Все");
    EXPECT_EQ(portal.Closed(c.code < 0 ? 5000 : 0), c.code < 0) << "the chooser is closed where it never answered";
  }
}

}  // namespace
}  // namespace pd::x11
