// The process port over Toolhelp, PSAPI and TerminateProcess, run under Wine
// against processes the test starts.
#include <gtest/gtest.h>

#include <optional>

#include "Win32TestUtil.h"
#include "platform/text.h"
#include "platform/win32/app.h"
#include "platform/win32/host.h"
#include "platform/win32/processes.h"
#include "test_util.h"

namespace pd::win32 {
namespace {

using test::HelperProcess;

String Wide16(const std::wstring& s) { return String(s.begin(), s.end()); }

String ExeFileOf(const platform::ProcessEntry& e) {
  const StringView all(e.szExeFile.data(), e.szExeFile.size());
  return String(all.substr(0, all.find(u'\0')));
}

std::optional<platform::ProcessEntry> FindInSnapshot(Win32Processes& procs, ProcessId id) {
  std::optional<platform::ProcessEntry> found;
  procs.Walk([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID != id) return true;
    found = e;
    return false;
  });
  return found;
}

TEST(Win32Processes, WalkFindsAStartedProcessWithNameAndPathAndTerminateEndsIt) {
  Win32Processes procs;
  HelperProcess helper(L"wait");
  ASSERT_TRUE(helper.Started()) << "cannot start " << text::ToUtf8(Wide16(HelperProcess::Path()));

  const auto entry = FindInSnapshot(procs, helper.Id());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->dwSize, platform::ProcessEntry::kEntrySize);
  EXPECT_TRUE(text::EqualsIgnoreCase(ExeFileOf(*entry), u"win32_helper.exe")) << text::ToUtf8(ExeFileOf(*entry));
  EXPECT_EQ(entry->th32ParentProcessID, procs.CurrentProcess());
  // A process that is still starting has no main module yet: its path is "".
  String path;
  test::WaitFor([&] { return !(path = procs.ExecutablePath(helper.Id())).empty(); }, [] {}, 5000);
  EXPECT_TRUE(text::EqualsIgnoreCase(path, Wide16(HelperProcess::Path())))
      << text::ToUtf8(path) << " vs " << text::ToUtf8(Wide16(HelperProcess::Path()));

  EXPECT_TRUE(procs.Terminate(helper.Id()));
  EXPECT_EQ(helper.Wait(5000), 0) << "terminated with exit code 0";
  const ProcessId gone = helper.Id();
  helper.Release();
  EXPECT_FALSE(FindInSnapshot(procs, gone).has_value());
  EXPECT_EQ(procs.ExecutablePath(gone), u"");
  EXPECT_FALSE(procs.Terminate(gone));
}

// Identify reads what the snapshot and the path query say, with the start
// time, through one handle; nothing once the process has ended.
TEST(Win32Processes, IdentifyNamesTheProcessAsTheSnapshotDoesUntilItEnds) {
  Win32Processes procs;
  HelperProcess helper(L"wait");
  ASSERT_TRUE(helper.Started());
  platform::ProcessIdentity who;
  test::WaitFor([&] { return !(who = procs.Identify(helper.Id())).path.empty(); }, [] {}, 5000);
  EXPECT_EQ(who.id, helper.Id());
  EXPECT_NE(who.started, 0U);
  EXPECT_EQ(who.started, procs.StartTime(helper.Id()));
  const auto entry = FindInSnapshot(procs, helper.Id());
  ASSERT_TRUE(entry.has_value());
  EXPECT_TRUE(text::EqualsIgnoreCase(who.name, ExeFileOf(*entry))) << text::ToUtf8(who.name);
  EXPECT_TRUE(text::EqualsIgnoreCase(who.path, Wide16(HelperProcess::Path()))) << text::ToUtf8(who.path);
  const platform::ProcessIdentity self = procs.Identify(procs.CurrentProcess());
  EXPECT_EQ(self.id, procs.CurrentProcess());
  EXPECT_FALSE(self.name.empty());

  ASSERT_TRUE(procs.Terminate(helper.Id()));
  helper.Wait(5000);
  EXPECT_FALSE(procs.Identify(helper.Id())) << "ended (its object still held by the test)";
  EXPECT_EQ(procs.StartTime(helper.Id()), 0U);
  EXPECT_FALSE(procs.Identify(0));
}

TEST(Win32Processes, WalkListsOwnProcessAndStopsWhenTheVisitorSaysSo) {
  Win32Processes procs;
  int all = 0;
  bool self = false;
  procs.Walk([&](const platform::ProcessEntry& e) {
    ++all;
    self = self || e.th32ProcessID == procs.CurrentProcess();
    return true;
  });
  EXPECT_GT(all, 1);
  EXPECT_TRUE(self);
  int visited = 0;
  procs.Walk([&](const platform::ProcessEntry&) { return ++visited < 2; });
  EXPECT_EQ(visited, 2);
  // The snapshot cannot tell what changed: a walk of the changed processes
  // lists all, the first and every later one.
  std::uint64_t since = 0;
  for (int call = 0; call < 2; ++call) {
    self = false;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      self = self || e.th32ProcessID == procs.CurrentProcess();
      return true;
    });
    EXPECT_TRUE(self) << call;
    EXPECT_NE(since, 0U);
  }
}

TEST(Win32Processes, OwnExecutablePathIsTheModulePath) {
  Win32Processes procs;
  Win32App app;
  EXPECT_TRUE(text::EqualsIgnoreCase(procs.ExecutablePath(procs.CurrentProcess()), app.OwnPath()))
      << text::ToUtf8(procs.ExecutablePath(procs.CurrentProcess())) << " vs " << text::ToUtf8(app.OwnPath());
  EXPECT_EQ(procs.ExecutablePath(0), u"");
}

TEST(Win32Processes, TerminateRefusesIdZeroAndTheProgramItself) {
  Win32Processes procs;
  EXPECT_FALSE(procs.Terminate(0));
  EXPECT_FALSE(procs.Terminate(procs.CurrentProcess()));
  EXPECT_EQ(procs.CurrentProcess(), GetCurrentProcessId());  // still here
}

TEST(Win32Processes, WindowOwnerIsTheCreatingProcessAndZeroForInvalidWindows) {
  Win32Processes procs;
  auto graphics = platform::CreateGraphics();
  Win32Host host(*graphics);
  const WindowHandle own = host.CreateForm(u"PD owner test");
  ASSERT_NE(own, 0u);
  EXPECT_EQ(procs.WindowOwner(own), GetCurrentProcessId());
  host.DestroyForm(own);
  EXPECT_EQ(procs.WindowOwner(own), 0u);
  EXPECT_EQ(procs.WindowOwner(0), 0u);

  // A window of another process names that process, until it ends.
  const std::wstring caption = L"PD helper window " + std::to_wstring(GetCurrentProcessId());
  HelperProcess helper(L"window \"" + caption + L"\"");
  ASSERT_TRUE(helper.Started());
  HWND other = nullptr;
  ASSERT_TRUE(test::WaitFor([&] { return (other = FindWindowW(nullptr, caption.c_str())) != nullptr; }, [] {}, 5000));
  const auto otherHandle = reinterpret_cast<WindowHandle>(other);
  EXPECT_EQ(procs.WindowOwner(otherHandle), helper.Id());
  ASSERT_TRUE(procs.Terminate(helper.Id()));
  helper.Wait(5000);
  EXPECT_EQ(procs.WindowOwner(otherHandle), 0u);
}

}  // namespace
}  // namespace pd::win32
