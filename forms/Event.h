// An event of a component, raised synchronously to the one handler its host
// connected. A handler may reconnect or disconnect the event while it runs.
#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace pd {

template <typename... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;

  void Connect(Handler handler) {
    handler_ = handler ? std::make_shared<Handler>(std::move(handler)) : nullptr;
  }
  void Disconnect() { handler_.reset(); }
  [[nodiscard]] bool Connected() const { return handler_ != nullptr; }

  void Raise(Args... args) const {
    if (auto keep = handler_) (*keep)(args...);
  }

 private:
  std::shared_ptr<Handler> handler_;
};

}  // namespace pd
