// The backends a test program holds, picked at run time: each backend's
// test folder (tests/sim, tests/x11, tests/win32) registers its Backend
// once, and the platform-wide contract suites (surface, skin drawing,
// resources, host, the form scenario) run on every backend registered in
// the program they are linked into. One program may hold several.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/surface.h"
#include "platform/text.h"

namespace pd::test {

class HostDriver;

struct Backend {
  std::string name;  // the last part of each test's name
  // The backend's platform; nullptr, with the reason, where it cannot run
  // here.
  std::function<std::unique_ptr<platform::Platform>(std::string& skipReason)> platform;
  // A driver playing the user and the desktop around the platform
  // (HostContract.h); nullptr, with the reason, where it cannot run here.
  std::function<std::unique_ptr<HostDriver>(std::string& skipReason)> hostDriver;

  friend void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }
};

// Every backend registered in this program, in the order of registration.
inline std::vector<Backend>& Backends() {
  static std::vector<Backend> backends;
  return backends;
}

// A backend's registration: a namespace-scope object of its test folder.
struct RegisterBackend {
  explicit RegisterBackend(Backend backend) { Backends().push_back(std::move(backend)); }
};

// The platform of the program's own build (X11 or Win32): nullptr, with the
// reason, where it cannot start here.
inline std::unique_ptr<platform::Platform> NativePlatform(std::string& skipReason) {
  String error;
  auto p = platform::CreatePlatform(error);
  if (!p) skipReason = text::ToUtf8(error);
  return p;
}

// A suite run on every backend, with the backend's platform and graphics
// (skipped, with the reason, where the platform cannot start here).
class PlatformSuite : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    std::string reason;
    platform_ = GetParam().platform(reason);
    if (!platform_) GTEST_SKIP() << "no platform: " << reason;
    gfx_ = platform_->CreateGraphics();
  }
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<platform::Graphics> gfx_;
};

inline std::string BackendName(const testing::TestParamInfo<Backend>& info) { return info.param.name; }

// Instantiates a suite of TEST_P over Backend on every registered backend
// (read when the tests are registered, after every registration ran).
#define PD_ON_EVERY_BACKEND(suite) \
  INSTANTIATE_TEST_SUITE_P(On, suite, testing::ValuesIn(::pd::test::Backends()), ::pd::test::BackendName)

}  // namespace pd::test
