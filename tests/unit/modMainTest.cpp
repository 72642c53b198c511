#include "app/modMain.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

#include "platform/sim/platform.h"
#include "test_util.h"

namespace pd::app {
namespace {

TEST(TrimNull, CutsAtTheFirstNulAndNeedsOne) {
  using namespace std::string_view_literals;
  EXPECT_EQ(modMain::TrimNull(u"abc\0xyz"sv), u"abc");
  EXPECT_EQ(modMain::TrimNull(u"\0abc"sv), u"");
  EXPECT_EQ(modMain::TrimNull(u"abc"), u"");  // no NUL at all: empty, not unchanged
  EXPECT_EQ(modMain::TrimNull(u""), u"");
  EXPECT_EQ(modMain::TrimNull(u"a\0\0"sv), u"a");
  EXPECT_EQ(modMain::TrimNull(String(260, u' ')), u"");  // a failed path query
}

class ProcessServices : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  sim::SimPlatform p_{folder_.Str()};
  modMain services_{p_};
};

TEST_F(ProcessServices, RecordNamesTheFileAndPathIsSeparate) {
  const ProcessId id = p_.processes().Start(u"C:\\Program Files\\Игры\\Игра.exe");
  ProcessRecord found;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID == id) found = ProcessRecord(e);
  });
  EXPECT_EQ(found.ExeFile(), u"Игра.exe");
  EXPECT_EQ(found.dwSize, 556U);
  EXPECT_EQ(services_.GetProcessPath(id), u"C:\\Program Files\\Игры\\Игра.exe");
}

TEST_F(ProcessServices, LongNameIsCutInsideTheField) {
  const String longName(400, u'x');
  const ProcessId id = p_.processes().Start(u"C:\\" + longName);
  const ProcessRecord r = services_.GetWindowProcess(p_.processes().OpenWindow(id));
  EXPECT_EQ(r.ExeFile(), String(259, u'x'));
}

TEST_F(ProcessServices, PathFailuresGiveTheEmptyPath) {
  const ProcessId prot = p_.processes().Start(u"C:\\Windows\\System32\\csrss.exe", {.pathUnreadable = true});
  EXPECT_EQ(services_.GetProcessPath(prot), u"");
  EXPECT_EQ(services_.GetProcessPath(0), u"");
  EXPECT_EQ(services_.GetProcessPath(123457), u"");

  // Ends between the walk and the path query.
  const ProcessId brief = p_.processes().Start(u"C:\\tmp\\brief.exe");
  p_.processes().EndAfterNextWalk(brief);
  bool listed = false;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) { listed |= e.th32ProcessID == brief; });
  EXPECT_TRUE(listed);
  EXPECT_EQ(services_.GetProcessPath(brief), u"");
}

TEST_F(ProcessServices, WindowProcessIsTheOwnerOrAnEmptyRecord) {
  p_.processes().Start(u"C:\\a\\first.exe");
  const ProcessId owner = p_.processes().Start(u"C:\\b\\owner.exe");
  p_.processes().Start(u"C:\\c\\last.exe");
  const WindowHandle w = p_.processes().OpenWindow(owner);

  const ProcessRecord r = services_.GetWindowProcess(w);
  EXPECT_EQ(r.th32ProcessID, owner);
  EXPECT_EQ(r.ExeFile(), u"owner.exe");
  EXPECT_TRUE(r.FullPath.empty());

  // The process ended: the handle designates nobody, never another process.
  p_.processes().End(owner);
  const ProcessRecord gone = services_.GetWindowProcess(w);
  EXPECT_EQ(gone.th32ProcessID, 0U);
  EXPECT_EQ(gone.ExeFile(), u"");
  EXPECT_EQ(services_.GetWindowProcess(0).th32ProcessID, 0U);
}

TEST_F(ProcessServices, WindowOwnerMissingFromTheSnapshotGivesAnEmptyRecord) {
  const ProcessId owner = p_.processes().Start(u"C:\\b\\owner.exe");
  const WindowHandle w = p_.processes().OpenWindow(owner);
  p_.processes().Start(u"C:\\c\\other.exe");
  // The window still answers with its owner id, but the process leaves the
  // system list before the snapshot is taken.
  p_.processes().EndAtNextWalk(owner);
  const ProcessRecord r = services_.GetWindowProcess(w);
  EXPECT_FALSE(p_.processes().IsRunning(owner));
  EXPECT_EQ(r.th32ProcessID, 0U);
}

// KillProcess asks the system only while the id still names the process
// seen (its start time), never for id 0 or the program itself, and says
// what happened.
TEST_F(ProcessServices, KillEndsOnlyTheProcessSeenAndSaysWhatHappened) {
  auto& procs = p_.processes();
  struct Case {
    const char* what;
    std::function<platform::ProcessIdentity()> make;  // the process seen, then what happened since
    KillOutcome outcome;
    bool asked;
  };
  const auto seen = [&](StringView path, sim::SimProcessOptions o = {}) {
    return services_.Identify(procs.Start(path, o));
  };
  const std::vector<Case> cases = {
      {"running", [&] { return seen(u"C:\\x\\hung.exe"); }, KillOutcome::kAsked, true},
      {"slow to end", [&] { return seen(u"C:\\x\\slow.exe", {.exitDelayMs = 500}); }, KillOutcome::kAsked, true},
      {"refuses", [&] { return seen(u"C:\\x\\stubborn.exe", {.refusesTermination = true}); }, KillOutcome::kRefused,
       true},
      {"ended", [&] {
         auto who = seen(u"C:\\x\\gone.exe");
         procs.End(who.id);
         return who;
       }, KillOutcome::kNotRunning, false},
      {"id taken by a later process", [&] {
         auto who = seen(u"C:\\x\\old.exe");
         procs.End(who.id);
         procs.Start(u"C:\\x\\old.exe", {.id = who.id});
         return who;
       }, KillOutcome::kNotRunning, false},
      {"id 0", [] { return platform::ProcessIdentity{}; }, KillOutcome::kNotRunning, false},
      {"the program itself", [&] { return seen(u"C:\\x\\self.exe", {.id = sim::SimPlatform::kSelfId}); },
       KillOutcome::kNotRunning, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::ProcessIdentity who = c.make();
    const std::size_t requests = procs.TerminateRequests().size();
    EXPECT_EQ(services_.KillProcess(who), c.outcome);
    EXPECT_EQ(procs.TerminateRequests().size(), requests + (c.asked ? 1 : 0));
  }
  EXPECT_EQ(services_.KillProcess(ProcessId{0}), KillOutcome::kNotRunning);
}

TEST_F(ProcessServices, FileExistsForFilesOnly) {
  EXPECT_FALSE(services_.FileExists(u""));
  { std::ofstream(folder_.Path() / ".hidden") << "x"; }
  { std::ofstream(folder_.Path() / "Blocks.txt") << ""; }
  std::filesystem::create_directory(folder_.Path() / "dir");
  EXPECT_TRUE(services_.FileExists(folder_.File(".hidden")));
  EXPECT_TRUE(services_.FileExists(folder_.File("Blocks.txt")));
  EXPECT_FALSE(services_.FileExists(folder_.File("dir")));
  EXPECT_FALSE(services_.FileExists(folder_.File("missing.txt")));
  EXPECT_FALSE(services_.FileExists(folder_.File("Blocks.txt/inside")));
}

}  // namespace
}  // namespace pd::app
