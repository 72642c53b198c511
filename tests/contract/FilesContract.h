// The contract of the file port, run unchanged on every backend: what the
// sweep of leftover temporary files removes and what it keeps.
//
// Each test program instantiates it for its backend:
//   INSTANTIATE_TEST_SUITE_P(Sim, FilesContract, testing::Values(test::FilesBackend{
//       test::FilesBackend::kSim, [] { return std::make_unique<sim::SimFiles>(); }, InterruptedSave}));
// where InterruptedSave creates the temporary file of a save as the backend
// does and leaves it there.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "platform/files.h"
#include "test_util.h"

namespace pd::test {

struct FilesBackend {
  // Whose naming of temporary files the backend uses.
  enum Naming { kSim, kX11, kWin32 };
  Naming naming;
  std::function<std::unique_ptr<platform::Files>()> make;
  // Leaves what a save of target stopped by a crash leaves: its temporary
  // file, created as the backend creates it.
  std::function<void(platform::Files& files, const String& target)> interruptSave;

  friend void PrintTo(const FilesBackend& b, std::ostream* os) {
    *os << (b.naming == kSim ? "sim" : b.naming == kX11 ? "x11" : "win32") << " naming";
  }
};

class FilesContract : public testing::TestWithParam<FilesBackend> {
 protected:
  void SetUp() override { files_ = GetParam().make(); }

  platform::Files& Files() { return *files_; }
  // The backend's naming as a number.
  [[nodiscard]] int Own() const;
  [[nodiscard]] String Path(const std::string& name) const { return dir_.File(name); }
  [[nodiscard]] bool Exists(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  [[nodiscard]] std::set<std::string> Names() const;
  // The names an interrupted save of name added to the folder.
  std::set<std::string> InterruptSave(const std::string& name);

  TempFolder dir_;

 private:
  std::unique_ptr<platform::Files> files_;
};

}  // namespace pd::test
