// The simulated desktop under the desktop contract.
#include "contract/DesktopContract.h"
#include "platform/sim/desktop.h"
#include "platform/sim/loop.h"

namespace pd::test {
namespace {

class SimDesktopSession final : public DesktopSession {
 public:
  explicit SimDesktopSession(platform::DesktopKind kind) {
    desktop_.SetKind(kind);
    desktop_.SetShell(kCompositor);
  }
  platform::Desktop& Desktop() override { return desktop_; }
  platform::EventLoop& Loop() override { return loop_; }
  void Focus(ProcessId id) override { desktop_.SetForeground(id == kNoLocalProcess ? 0 : id); }
  void PressChord() override {
    loop_.Post([this] { desktop_.PressChord(); });
  }
  bool Bound() override { return desktop_.Bound(); }
  ProcessId Compositor() override { return kCompositor; }

 private:
  static constexpr ProcessId kCompositor = 321;
  sim::SimLoop loop_;
  sim::SimDesktop desktop_;
};

DesktopBackend Sim(platform::DesktopKind kind, std::string name) {
  return DesktopBackend{std::move(name), kind, [kind] { return std::make_unique<SimDesktopSession>(kind); }};
}

INSTANTIATE_TEST_SUITE_P(Sim, DesktopContract,
                         testing::Values(Sim(platform::DesktopKind::kSway, "sway"),
                                         Sim(platform::DesktopKind::kHyprland, "hyprland")),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace pd::test
