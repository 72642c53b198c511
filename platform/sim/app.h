// The simulated program: its folder, its name and its single instance.
#pragma once

#include <functional>

#include "platform/app.h"

namespace pd::sim {

class SimLoop;

class SimApp final : public platform::AppInfo {
 public:
  // The program as if installed in folder on Windows: ProcessDrovak.exe,
  // paths joined with '/' so that the folder can be a real one of the test.
  // The single-instance token is this object's: the first claim takes it,
  // and a later claim while its holder listens for show requests (a second
  // start of the program in the same simulation) is a previous instance
  // that asks the holder to show its window. A holder that stops listening
  // (SetShowRequest(nullptr): the program ended) gives the token back.
  SimApp(String folder, SimLoop& loop) : folder_(std::move(folder)), loop_(loop) {}
  String Folder() override;
  String ExeName() override;
  String ExeFileName() override;
  String OwnPath() override;
  String DataFolder() override;
  char16_t PathSeparator() override;
  bool PrevInstance() override;
  void SetShowRequest(std::function<void()> handler) override;

  // An instance outside the simulation holds the token: every claim is a
  // previous instance (its show requests are only counted).
  void SetOtherInstanceRunning(bool running) { otherInstance_ = running; }
  // A later start asks the holder to show its window: its handler runs at
  // the next pass of the loop.
  void RequestShow();
  // Show requests the claims that found a previous instance sent.
  [[nodiscard]] int ShowRequestsSent() const { return showRequestsSent_; }

 private:
  String folder_;
  SimLoop& loop_;
  bool otherInstance_ = false;
  bool held_ = false;
  int showRequestsSent_ = 0;
  std::function<void()> showRequest_;
};

}  // namespace pd::sim
