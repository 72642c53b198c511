// The program on the simulation: its folder, its start, the user at the
// keyboard and what the tray shows.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/frmMain.h"
#include "forms/ControlHost.h"
#include "platform/sim/platform.h"
#include "registry/clsReg.h"
#include "test_util.h"

namespace pd::app::test {

inline constexpr StringView kRunKey = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class AppTest : public ::testing::Test {
 protected:
  // Creates the window and runs its start-up; false when it ended at once.
  bool Start() {
    form_ = std::make_unique<frmMain>(host_);
    return form_->Load();
  }
  frmMain& F() { return *form_; }

  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_.Path() / name, std::ios::binary) << bytes;
  }
  [[nodiscard]] std::string ReadFile(const std::string& name) const {
    std::ifstream in(dir_.Path() / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  [[nodiscard]] bool Exists(const std::string& name) const { return std::filesystem::exists(dir_.Path() / name); }

  // A program started from path with a window in the foreground.
  ProcessId RunInFront(StringView path, sim::SimProcessOptions options = {}) {
    const ProcessId id = p_.processes().Start(path, options);
    p_.input().SetForegroundWindow(p_.processes().OpenWindow(id));
    return id;
  }
  // Ctrl+Alt+key pressed and released, as a user does, between polls.
  void Chord(int key) {
    auto& in = p_.input();
    in.KeyDown(platform::vk::kControl);
    in.KeyDown(platform::vk::kMenu);
    in.KeyDown(key);
    p_.loop().Advance(30);
    in.KeyUp(key);
    in.KeyUp(platform::vk::kMenu);
    in.KeyUp(platform::vk::kControl);
    p_.loop().Advance(30);
  }
  void DoubleWin() {
    Chord(platform::vk::kLWin);
    Chord(platform::vk::kLWin);
  }

  [[nodiscard]] std::size_t BalloonCount() const { return p_.tray().Balloons().size(); }
  // The latest balloon's title and text ("" when none).
  [[nodiscard]] String LastBalloon() const {
    const auto& b = p_.tray().Balloons();
    return b.empty() ? String() : b.back().title + u": " + b.back().text;
  }
  [[nodiscard]] String RunValue() { return clsReg(p_.registry(), p_.codec()).Read(kRunKey, u"ProcessDrovak"); }
  [[nodiscard]] String OwnCommand() { return u"\"" + p_.app().OwnPath() + u"\""; }

  pd::test::TempFolder dir_;
  mutable sim::SimPlatform p_{dir_.Str()};
  forms::ControlHost host_{p_};
  std::unique_ptr<frmMain> form_;
};

}  // namespace pd::app::test
