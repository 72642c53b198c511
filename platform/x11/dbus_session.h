// One private connection to the D-Bus session bus, served by the X11 loop.
//
// libdbus's watches become the loop's descriptors (LoopSource) and its
// timeouts the loop's timers, so replies, signals and method calls are
// handled in the loop like X events, and nothing ever blocks on the bus
// except Open and RequestName. Handlers run after libdbus has finished
// dispatching (work deferred with Defer), so a handler may run a modal loop
// that serves the connection again.
//
// Open refuses to connect without $DBUS_SESSION_BUS_ADDRESS: libdbus would
// otherwise start a bus daemon of its own that outlives the program.
#pragma once

#include <dbus/dbus.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

struct DBusMessageUnref {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
// A message of ours to unref.
using DBusMessagePtr = std::unique_ptr<DBusMessage, DBusMessageUnref>;

class DBusSession final : public LoopSource {
 public:
  // nullptr with the reason when there is no session bus to talk to.
  static std::unique_ptr<DBusSession> Open(X11Loop& loop, std::string& error);
  ~DBusSession() override;
  DBusSession(const DBusSession&) = delete;
  DBusSession& operator=(const DBusSession&) = delete;

  [[nodiscard]] DBusConnection* Connection() const { return conn_; }
  [[nodiscard]] std::string UniqueName() const;

  // Sends a message (taking it over) without waiting for anything.
  void Send(DBusMessage* message);
  // Sends a method call (taking it over); onReply gets the reply or the
  // error (nullptr when the connection could not send it) from the loop.
  using ReplyHandler = std::function<void(DBusMessage* reply)>;
  void Call(DBusMessage* message, ReplyHandler onReply, int timeoutMs);
  // Sends a method call (taking it over) and waits for its answer, at most
  // timeoutMs; nullptr with why (the error's name and text, or "no reply")
  // where none came or the answer is an error.
  DBusMessagePtr CallAndWait(DBusMessage* message, int timeoutMs, std::string& why);

  // Signals matching rule (an AddMatch rule, asked for without waiting;
  // "" asks the bus for nothing: the connection's own Disconnected) reach
  // handler, until DropSignal with the number returned.
  using MessageHandler = std::function<void(DBusMessage* message)>;
  int OnSignal(const std::string& rule, const std::string& interface, const std::string& member,
               MessageHandler handler);
  void DropSignal(int subscription);
  // Method calls to path reach handler, which must answer them (Reply).
  bool ExportObject(const std::string& path, MessageHandler handler);
  void UnexportObject(const std::string& path);

  // Asks the bus for a well-known name and waits for the answer (one round
  // trip); true when this connection owns it now.
  bool RequestName(const std::string& name);
  // Gives the name back without waiting.
  void ReleaseName(const std::string& name);
  // Asks whether a name has an owner and waits (one round trip).
  bool NameHasOwner(const std::string& name);
  // The unique name of the connection that owns name, and that
  // connection's process (0 unknown), asked and waited for; "" when none
  // owns it.
  std::string NameOwner(const std::string& name);
  ProcessId ConnectionProcess(const std::string& uniqueName);
  // Asks whether the bus can start a service for the name and waits.
  bool NameActivatable(const std::string& name);
  [[nodiscard]] bool Connected() const { return dbus_connection_get_is_connected(conn_) != 0; }

  // Work run from the loop after the current dispatch.
  void Defer(std::function<void()> work) { deferred_.push_back(std::move(work)); }

  bool Prepare(std::vector<Fd>& fds) override;
  void Dispatch(const std::vector<Fd>& fds) override;

 private:
  DBusSession(X11Loop& loop, DBusConnection* conn);
  static DBusHandlerResult Filter(DBusConnection* conn, DBusMessage* message, void* data);
  static DBusHandlerResult ObjectMessage(DBusConnection* conn, DBusMessage* message, void* data);
  void RunDeferred();
  void WatchesChanged() { watchesChanged_ = true; }

  struct Match {
    int id = 0;
    std::string rule;
    std::string interface;
    std::string member;
    MessageHandler handler;
  };

  X11Loop& loop_;
  DBusConnection* conn_;
  std::vector<DBusWatch*> watches_;
  // What the loop polls for the watches, made again only after libdbus
  // adds, removes or toggles one; and whether messages wait to be
  // dispatched, as libdbus reports it. An idle pass calls nothing in libdbus.
  std::vector<Fd> polled_;
  bool watchesChanged_ = true;
  bool dataRemains_ = false;
  std::map<DBusTimeout*, std::unique_ptr<platform::Timer>> timeouts_;
  std::vector<Match> matches_;
  int lastMatch_ = 0;
  std::map<std::string, std::unique_ptr<MessageHandler>> objects_;
  std::deque<std::function<void()>> deferred_;
  bool dispatching_ = false;
};

// Appending arguments to a message: the basic types here, containers with
// DBusContainer and DBusDictEntry.
class DBusWriter {
 public:
  explicit DBusWriter(DBusMessage* message) : it_(&own_) { dbus_message_iter_init_append(message, &own_); }
  // Appends through an open container's iterator (never a copy of it).
  explicit DBusWriter(DBusMessageIter& open) : it_(&open) {}
  DBusWriter(const DBusWriter&) = delete;
  DBusWriter& operator=(const DBusWriter&) = delete;
  DBusMessageIter& Iter() { return *it_; }
  void String(const std::string& s);
  void ObjectPath(const std::string& s);
  void Uint32(std::uint32_t v);
  void Int32(std::int32_t v);
  void Boolean(bool v);
  void Byte(unsigned char v);
  // An array of bytes (ay).
  void Bytes(std::string_view bytes);

 private:
  DBusMessageIter own_{};
  DBusMessageIter* it_;
};

// A container (array, struct, variant, dict entry) open in its parent
// while it lives: what is written through it goes inside.
class DBusContainer : public DBusWriter {
 public:
  // signature: the elements' of an array, the value's of a variant;
  // nullptr for a struct or a dict entry.
  DBusContainer(DBusWriter& parent, int type, const char* signature);
  ~DBusContainer();
  DBusContainer(const DBusContainer&) = delete;
  DBusContainer& operator=(const DBusContainer&) = delete;

 private:
  DBusMessageIter& parent_;
  DBusMessageIter inner_{};
};

// One entry {key: variant of signature} of an a{sv} open in its dict while
// it lives; the value is written through Value().
class DBusDictEntry {
 public:
  DBusDictEntry(DBusWriter& dict, const std::string& key, const char* signature);
  DBusWriter& Value() { return value_; }

 private:
  DBusContainer entry_;
  DBusContainer value_;
};

}  // namespace pd::x11
