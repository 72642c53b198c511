// The process port over Toolhelp, PSAPI and TerminateProcess, run under Wine
// against processes the test starts: the walks' contract, then what only
// Windows has.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "Win32TestUtil.h"
#include "contract/ProcessesContract.h"
#include "platform/text.h"
#include "platform/win32/app.h"
#include "platform/win32/surface.h"
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

// The contract's processes are copies of win32_helper.exe named as the test
// names them, in a folder of their own, each waiting to be ended.
class HelperCopies final : public test::ProcessesDriver {
 public:
  HelperCopies() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"pd-contract-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~HelperCopies() override {
    for (auto& [id, info] : running_) Stop(info, true);
    for (const std::string& name : names_) DeleteFileW(File(name).c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  platform::Processes& Procs() override { return procs_; }
  ProcessId Start(const std::string& name, bool /*lasting*/) override {
    if (names_.insert(name).second) CopyFileW(test::HelperProcess::Path().c_str(), File(name).c_str(), FALSE);
    std::wstring line = L"\"" + File(name) + L"\" wait";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &info)) {
      ADD_FAILURE() << "cannot start a copy named " << name << ": error " << GetLastError();
      return 0;
    }
    // Started once its main module is loaded (until then it has no path).
    test::WaitFor([&] { return !procs_.ExecutablePath(info.dwProcessId).empty(); }, [] {}, 5000);
    running_[info.dwProcessId] = info;
    started_.insert(info.dwProcessId);
    return info.dwProcessId;
  }
  void End(ProcessId id) override { Stop(running_.extract(id).mapped(), true); }
  void Exec(ProcessId /*id*/, const std::string& /*name*/) override { ADD_FAILURE() << "no exec on Windows"; }
  // Ended, and its object still held: the parent has not let it go.
  void EndUnreaped(ProcessId id) override { Stop(running_.at(id), false); }
  bool Own(platform::ProcessEntry& e) override {
    if (!started_.contains(e.th32ProcessID)) return false;
    String name = ExeFileOf(e);
    if (name.size() < 4 || !text::EqualsIgnoreCase(StringView(name).substr(name.size() - 4), u".exe")) return false;
    name.resize(name.size() - 4);
    if (!names_.contains(text::ToUtf8(name))) return false;
    e.szExeFile.fill(0);
    name.copy(e.szExeFile.data(), name.size());
    return true;
  }

 private:
  std::wstring File(const std::string& name) const { return folder_ + std::wstring(name.begin(), name.end()) + L".exe"; }
  static void Stop(PROCESS_INFORMATION& info, bool release) {
    if (info.hProcess == nullptr) return;
    TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 5000);
    if (!release) return;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    info = {};
  }

  Win32Processes procs_;
  std::wstring folder_;
  std::set<std::string> names_;
  std::map<ProcessId, PROCESS_INFORMATION> running_;  // by id, the ended ones not yet let go among them
  std::set<ProcessId> started_;
};

using test::ProcessesContract;
INSTANTIATE_TEST_SUITE_P(Win32, ProcessesContract,
                         testing::Values(test::ProcessesBackend{
                             .name = "win32 with copies of the helper",
                             .make = [] { return std::make_unique<HelperCopies>(); },
                             .exec = false}));

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

  EXPECT_FALSE(procs.Identify(0));
}

TEST(Win32Processes, WalkListsOwnProcessAndStopsWhenTheVisitorSaysSo) {
  Win32Processes procs(false);  // Toolhelp alone
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

// The block tick's reads through the system's process list: the same
// processes and names as Toolhelp, then only the processes that appeared.
TEST(Win32Processes, SystemListAnswersAsToolhelpThenListsOnlyWhatAppeared) {
  Win32Processes list;
  Win32Processes toolhelp(false);
  using Listed = std::map<ProcessId, String>;
  const auto changed = [](Win32Processes& procs, std::uint64_t& since) {
    Listed seen;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      seen[e.th32ProcessID] = text::LowerCase(ExeFileOf(e));
      return true;
    });
    return seen;
  };
  std::uint64_t since = 0;
  std::uint64_t toolhelpSince = 0;
  Listed a = changed(list, since);
  Listed b = changed(toolhelp, toolhelpSince);
  // The two reads are not of one moment: another try when the session moved.
  for (int tries = 0; tries < 5 && a != b; ++tries) {
    since = 0;
    a = changed(list, since);
    b = changed(toolhelp, toolhelpSince);
  }
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.count(list.CurrentProcess()), 1U);
  EXPECT_NE(toolhelp.ChangeMark(), toolhelp.ChangeMark()) << "Toolhelp cannot tell: a new mark every time";

  const std::uint64_t quiet = list.ChangeMark();
  HelperProcess helper(L"wait");
  ASSERT_TRUE(helper.Started());
  EXPECT_NE(list.ChangeMark(), quiet);
  const Listed appeared = changed(list, since);
  EXPECT_EQ(appeared.count(helper.Id()), 1U);
  EXPECT_EQ(appeared.count(list.CurrentProcess()), 0U) << "listed before";
  EXPECT_EQ(appeared.at(helper.Id()), u"win32_helper.exe");
  EXPECT_EQ(changed(list, since).count(helper.Id()), 0U) << "listed once";
  const std::uint64_t running = list.ChangeMark();
  const ProcessId id = helper.Id();
  ASSERT_TRUE(list.Terminate(id));
  helper.Wait(5000);
  helper.Release();
  EXPECT_TRUE(test::WaitFor([&] { return changed(toolhelp, toolhelpSince).count(id) == 0; }, [] {}, 5000));
  EXPECT_EQ(list.ChangeMark(), running) << "an end is no start";
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
  auto graphics = win32::CreateGdiGraphics();
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
