#include "platform/x11/dbus_session.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>

namespace pd::x11 {

namespace {

constexpr int kBlockingMs = 2000;

// A DBusError freed when it goes.
struct Error {
  DBusError e{};
  Error() { dbus_error_init(&e); }
  ~Error() { dbus_error_free(&e); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  [[nodiscard]] std::string What(const char* none) const {
    return dbus_error_is_set(&e) != 0 ? std::string(e.name) + ": " + e.message : none;
  }
};

DBusMessage* BusCall(const char* method) {
  return dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, method);
}

}  // namespace

std::unique_ptr<DBusSession> DBusSession::Open(X11Loop& loop, std::string& error) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') {
    error = "X11: no session bus ($DBUS_SESSION_BUS_ADDRESS is not set)";
    return nullptr;
  }
  Error err;
  DBusConnection* conn = dbus_bus_get_private(DBUS_BUS_SESSION, &err.e);
  if (conn == nullptr) {
    error = "X11: session bus: " + err.What("no connection");
    return nullptr;
  }
  // The bus going away must not end the program.
  dbus_connection_set_exit_on_disconnect(conn, FALSE);
  return std::unique_ptr<DBusSession>(new DBusSession(loop, conn));
}

DBusSession::DBusSession(X11Loop& loop, DBusConnection* conn) : loop_(loop), conn_(conn) {
  dbus_connection_set_watch_functions(
      conn_,
      [](DBusWatch* w, void* data) -> dbus_bool_t {
        auto* self = static_cast<DBusSession*>(data);
        self->watches_.push_back(w);
        self->WatchesChanged();
        return TRUE;
      },
      [](DBusWatch* w, void* data) {
        auto* self = static_cast<DBusSession*>(data);
        std::erase(self->watches_, w);
        self->WatchesChanged();
      },
      [](DBusWatch* /*w*/, void* data) { static_cast<DBusSession*>(data)->WatchesChanged(); }, this, nullptr);
  dbus_connection_set_dispatch_status_function(
      conn_,
      [](DBusConnection* /*conn*/, DBusDispatchStatus status, void* data) {
        static_cast<DBusSession*>(data)->dataRemains_ = status == DBUS_DISPATCH_DATA_REMAINS;
      },
      this, nullptr);
  dataRemains_ = dbus_connection_get_dispatch_status(conn_) == DBUS_DISPATCH_DATA_REMAINS;
  dbus_connection_set_timeout_functions(
      conn_,
      [](DBusTimeout* t, void* data) -> dbus_bool_t {
        auto* self = static_cast<DBusSession*>(data);
        auto timer = self->loop_.CreateTimer([t] { dbus_timeout_handle(t); });
        timer->SetInterval(dbus_timeout_get_interval(t));
        timer->SetEnabled(dbus_timeout_get_enabled(t) != 0);
        self->timeouts_[t] = std::move(timer);
        return TRUE;
      },
      [](DBusTimeout* t, void* data) { static_cast<DBusSession*>(data)->timeouts_.erase(t); },
      [](DBusTimeout* t, void* data) {
        auto* self = static_cast<DBusSession*>(data);
        const auto found = self->timeouts_.find(t);
        if (found == self->timeouts_.end()) return;
        found->second->SetInterval(dbus_timeout_get_interval(t));
        found->second->SetEnabled(dbus_timeout_get_enabled(t) != 0);
      },
      this, nullptr);
  dbus_connection_add_filter(conn_, &DBusSession::Filter, this, nullptr);
  loop_.AddSource(this);
}

DBusSession::~DBusSession() {
  loop_.RemoveSource(this);
  for (const auto& [path, handler] : objects_) dbus_connection_unregister_object_path(conn_, path.c_str());
  dbus_connection_remove_filter(conn_, &DBusSession::Filter, this);
  dbus_connection_flush(conn_);
  dbus_connection_close(conn_);
  dbus_connection_set_watch_functions(conn_, nullptr, nullptr, nullptr, nullptr, nullptr);
  dbus_connection_set_timeout_functions(conn_, nullptr, nullptr, nullptr, nullptr, nullptr);
  dbus_connection_set_dispatch_status_function(conn_, nullptr, nullptr, nullptr);
  dbus_connection_unref(conn_);
}

std::string DBusSession::UniqueName() const {
  const char* name = dbus_bus_get_unique_name(conn_);
  return name != nullptr ? name : "";
}

void DBusSession::Send(DBusMessage* message) {
  dbus_connection_send(conn_, message, nullptr);
  dbus_message_unref(message);
  // Out to the socket now (a write, no reply waited for).
  dbus_connection_flush(conn_);
}

void DBusSession::Call(DBusMessage* message, ReplyHandler onReply, int timeoutMs) {
  DBusPendingCall* pending = nullptr;
  if (dbus_connection_send_with_reply(conn_, message, &pending, timeoutMs) == 0 || pending == nullptr) {
    dbus_message_unref(message);
    Defer([onReply] { onReply(nullptr); });
    return;
  }
  dbus_message_unref(message);
  auto* handler = new ReplyHandler(std::move(onReply));
  dbus_pending_call_set_notify(
      pending,
      [](DBusPendingCall* call, void* data) {
        auto* self_handler = static_cast<ReplyHandler*>(data);
        DBusMessage* reply = dbus_pending_call_steal_reply(call);
        (*self_handler)(reply);
        if (reply != nullptr) dbus_message_unref(reply);
      },
      handler, [](void* data) { delete static_cast<ReplyHandler*>(data); });
  dbus_pending_call_unref(pending);
  dbus_connection_flush(conn_);
}

DBusMessagePtr DBusSession::CallAndWait(DBusMessage* message, int timeoutMs, std::string& why) {
  Error err;
  DBusMessagePtr reply(dbus_connection_send_with_reply_and_block(conn_, message, timeoutMs, &err.e));
  dbus_message_unref(message);
  if (!reply) why = err.What("no reply");
  return reply;
}

int DBusSession::OnSignal(const std::string& rule, const std::string& interface, const std::string& member,
                          MessageHandler handler) {
  if (!rule.empty()) dbus_bus_add_match(conn_, rule.c_str(), nullptr);  // no error: not waited for
  matches_.push_back(Match{++lastMatch_, rule, interface, member, std::move(handler)});
  return lastMatch_;
}

void DBusSession::DropSignal(int subscription) {
  const auto found =
      std::find_if(matches_.begin(), matches_.end(), [&](const Match& m) { return m.id == subscription; });
  if (found == matches_.end()) return;
  if (!found->rule.empty()) dbus_bus_remove_match(conn_, found->rule.c_str(), nullptr);
  matches_.erase(found);
}

DBusHandlerResult DBusSession::Filter(DBusConnection* /*conn*/, DBusMessage* message, void* data) {
  auto* self = static_cast<DBusSession*>(data);
  if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_SIGNAL) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
  for (const auto& m : self->matches_) {
    if (dbus_message_is_signal(message, m.interface.c_str(), m.member.c_str()) != 0) {
      dbus_message_ref(message);
      const MessageHandler handler = m.handler;
      self->Defer([handler, message] {
        handler(message);
        dbus_message_unref(message);
      });
    }
  }
  return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

bool DBusSession::ExportObject(const std::string& path, MessageHandler handler) {
  auto owned = std::make_unique<MessageHandler>(std::move(handler));
  DBusObjectPathVTable vtable{};
  vtable.message_function = &DBusSession::ObjectMessage;
  if (dbus_connection_register_object_path(conn_, path.c_str(), &vtable, owned.get()) == 0) return false;
  objects_[path] = std::move(owned);
  return true;
}

void DBusSession::UnexportObject(const std::string& path) {
  if (objects_.erase(path) == 0) return;
  dbus_connection_unregister_object_path(conn_, path.c_str());
}

// The handler answers at once (inside libdbus's dispatch): what it starts
// for the program goes through Defer.
DBusHandlerResult DBusSession::ObjectMessage(DBusConnection* /*conn*/, DBusMessage* message, void* data) {
  (*static_cast<MessageHandler*>(data))(message);
  return DBUS_HANDLER_RESULT_HANDLED;
}

bool DBusSession::RequestName(const std::string& name) {
  DBusError err;
  dbus_error_init(&err);
  const int result = dbus_bus_request_name(conn_, name.c_str(), DBUS_NAME_FLAG_DO_NOT_QUEUE, &err);
  dbus_error_free(&err);
  return result == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER || result == DBUS_REQUEST_NAME_REPLY_ALREADY_OWNER;
}

void DBusSession::ReleaseName(const std::string& name) {
  DBusMessage* m = BusCall("ReleaseName");
  DBusWriter(m).String(name);
  Send(m);
}

bool DBusSession::NameHasOwner(const std::string& name) {
  DBusMessage* m = BusCall("NameHasOwner");
  DBusWriter(m).String(name);
  std::string why;
  const DBusMessagePtr reply = CallAndWait(m, kBlockingMs, why);
  dbus_bool_t has = FALSE;
  if (reply) dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_BOOLEAN, &has, DBUS_TYPE_INVALID);
  return has != 0;
}

std::string DBusSession::NameOwner(const std::string& name) {
  DBusMessage* m = BusCall("GetNameOwner");
  DBusWriter(m).String(name);
  std::string why;
  const DBusMessagePtr reply = CallAndWait(m, kBlockingMs, why);
  const char* owner = nullptr;
  if (!reply || dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &owner, DBUS_TYPE_INVALID) == 0) {
    return {};
  }
  return owner;
}

ProcessId DBusSession::ConnectionProcess(const std::string& uniqueName) {
  DBusMessage* m = BusCall("GetConnectionUnixProcessID");
  DBusWriter(m).String(uniqueName);
  std::string why;
  const DBusMessagePtr reply = CallAndWait(m, kBlockingMs, why);
  dbus_uint32_t pid = 0;
  if (reply) dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID);
  return pid;
}

bool DBusSession::NameActivatable(const std::string& name) {
  std::string why;
  const DBusMessagePtr reply = CallAndWait(BusCall("ListActivatableNames"), kBlockingMs, why);
  if (!reply) return false;
  DBusMessageIter it, names;
  dbus_message_iter_init(reply.get(), &it);
  if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return false;
  dbus_message_iter_recurse(&it, &names);
  for (; dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING; dbus_message_iter_next(&names)) {
    const char* one = nullptr;
    dbus_message_iter_get_basic(&names, &one);
    if (one != nullptr && name == one) return true;
  }
  return false;
}

bool DBusSession::Prepare(std::vector<Fd>& fds) {
  if (watchesChanged_) {
    watchesChanged_ = false;
    loop_.FdsChanged();
    polled_.clear();
    for (DBusWatch* w : watches_) {
      if (dbus_watch_get_enabled(w) == 0) continue;
      const unsigned flags = dbus_watch_get_flags(w);
      short events = 0;
      if ((flags & DBUS_WATCH_READABLE) != 0) events |= POLLIN;
      if ((flags & DBUS_WATCH_WRITABLE) != 0) events |= POLLOUT;
      polled_.push_back(Fd{dbus_watch_get_unix_fd(w), events, 0});
    }
  }
  fds.insert(fds.end(), polled_.begin(), polled_.end());
  return !deferred_.empty() || dataRemains_;
}

void DBusSession::Dispatch(const std::vector<Fd>& fds) {
  // Each watch with what the wait said about its descriptor (the list may
  // change while watches are handled).
  const std::vector<DBusWatch*> watches = watches_;
  for (DBusWatch* w : watches) {
    if (std::find(watches_.begin(), watches_.end(), w) == watches_.end() || dbus_watch_get_enabled(w) == 0) continue;
    const int fd = dbus_watch_get_unix_fd(w);
    unsigned flags = 0;
    for (const auto& f : fds) {
      if (f.fd != fd) continue;
      if ((f.revents & POLLIN) != 0) flags |= DBUS_WATCH_READABLE;
      if ((f.revents & POLLOUT) != 0) flags |= DBUS_WATCH_WRITABLE;
      if ((f.revents & POLLHUP) != 0) flags |= DBUS_WATCH_HANGUP;
      if ((f.revents & POLLERR) != 0) flags |= DBUS_WATCH_ERROR;
    }
    flags &= dbus_watch_get_flags(w) | DBUS_WATCH_HANGUP | DBUS_WATCH_ERROR;
    if (flags != 0) dbus_watch_handle(w, flags);
  }
  if (!dispatching_) {
    dispatching_ = true;
    while (dbus_connection_dispatch(conn_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
    dispatching_ = false;
  }
  RunDeferred();
}

void DBusSession::RunDeferred() {
  // Work may add work (and run modal loops that come back here).
  while (!deferred_.empty()) {
    auto work = std::move(deferred_.front());
    deferred_.pop_front();
    work();
  }
}

void DBusWriter::String(const std::string& s) {
  const char* p = s.c_str();
  dbus_message_iter_append_basic(it_, DBUS_TYPE_STRING, &p);
}

void DBusWriter::ObjectPath(const std::string& s) {
  const char* p = s.c_str();
  dbus_message_iter_append_basic(it_, DBUS_TYPE_OBJECT_PATH, &p);
}

void DBusWriter::Uint32(std::uint32_t v) {
  const dbus_uint32_t x = v;
  dbus_message_iter_append_basic(it_, DBUS_TYPE_UINT32, &x);
}

void DBusWriter::Int32(std::int32_t v) {
  const dbus_int32_t x = v;
  dbus_message_iter_append_basic(it_, DBUS_TYPE_INT32, &x);
}

void DBusWriter::Boolean(bool v) {
  const dbus_bool_t x = v ? TRUE : FALSE;
  dbus_message_iter_append_basic(it_, DBUS_TYPE_BOOLEAN, &x);
}

void DBusWriter::Byte(unsigned char v) { dbus_message_iter_append_basic(it_, DBUS_TYPE_BYTE, &v); }

void DBusWriter::Bytes(std::string_view bytes) {
  DBusContainer array(*this, DBUS_TYPE_ARRAY, "y");
  const char* p = bytes.data();
  dbus_message_iter_append_fixed_array(&array.Iter(), DBUS_TYPE_BYTE, &p, static_cast<int>(bytes.size()));
}

DBusContainer::DBusContainer(DBusWriter& parent, int type, const char* signature)
    : DBusWriter(inner_), parent_(parent.Iter()) {
  dbus_message_iter_open_container(&parent_, type, signature, &inner_);
}

DBusContainer::~DBusContainer() { dbus_message_iter_close_container(&parent_, &inner_); }

namespace {

DBusWriter& Keyed(DBusWriter& entry, const std::string& key) {
  entry.String(key);
  return entry;
}

}  // namespace

DBusDictEntry::DBusDictEntry(DBusWriter& dict, const std::string& key, const char* signature)
    : entry_(dict, DBUS_TYPE_DICT_ENTRY, nullptr), value_(Keyed(entry_, key), DBUS_TYPE_VARIANT, signature) {}

}  // namespace pd::x11
