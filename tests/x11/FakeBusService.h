// A service of the test's own on the (private) session bus: its own
// connection owning the names given, served by a thread of its own that
// hands each message to Handle and calls Tick between reads.
#pragma once

#include <dbus/dbus.h>

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <thread>

namespace pd::test {

class FakeBusService {
 public:
  // Owned() says whether the first name was had.
  explicit FakeBusService(std::initializer_list<const char*> names) {
    conn_ = dbus_bus_get_private(DBUS_BUS_SESSION, nullptr);
    if (conn_ == nullptr) return;
    dbus_connection_set_exit_on_disconnect(conn_, FALSE);
    bool first = true;
    for (const char* name : names) {
      const bool had = dbus_bus_request_name(conn_, name, DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr) ==
                       DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
      if (first) owned_ = had;
      first = false;
    }
  }
  virtual ~FakeBusService() {
    Stop();
    if (conn_ != nullptr) {
      dbus_connection_close(conn_);
      dbus_connection_unref(conn_);
    }
  }
  FakeBusService(const FakeBusService&) = delete;
  FakeBusService& operator=(const FakeBusService&) = delete;

  [[nodiscard]] bool Owned() const { return owned_; }

 protected:
  // The derived class starts the thread once it is whole, and stops it
  // in its destructor, before its members go.
  void Start() {
    thread_ = std::thread([this] {
      while (!stop_ && dbus_connection_read_write(conn_, 5) != 0) {
        while (DBusMessage* m = dbus_connection_pop_message(conn_)) {
          Handle(m);
          dbus_message_unref(m);
        }
        Tick();
      }
    });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // Called from the service's thread.
  virtual void Handle(DBusMessage* m) = 0;
  virtual void Tick() {}
  // Sends (taking it over) and flushes.
  void SendAway(DBusMessage* m) {
    dbus_connection_send(conn_, m, nullptr);
    dbus_message_unref(m);
    dbus_connection_flush(conn_);
  }

  std::mutex mutex_;

 private:
  DBusConnection* conn_ = nullptr;
  bool owned_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace pd::test
