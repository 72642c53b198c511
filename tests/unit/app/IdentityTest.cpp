// The program acts on the process it means, as it is at that moment: ids
// taken over by new processes, execs (also ones the change mark misses),
// slow ends and refusals, the program's own process, and the tip options
// over the failure warnings.
#include <algorithm>
#include <string>
#include <vector>

#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

class IdentityTest : public AppTest {
 protected:
  void SetUp() override { StartWith(true); }
  void StartWith(bool tips) {
    const std::string on = tips ? "True" : "False";
    WriteFile("Options.cfg", "ShowOnHotKey=False\r\nEnabled=True\r\nTipNormal=" + on + "\r\nTipIgnore=" + on +
                                 "\r\nTipBlock=" + on + "\r\n");
    WriteFile("Exclamations.txt", "keep.exe=1\r\n");
    WriteFile("Blocks.txt", "game.exe=1\r\nProcessDrovak.exe=1\r\n");
    ASSERT_TRUE(Start());
  }
  [[nodiscard]] bool Running(ProcessId id) const { return p_.processes().IsRunning(id); }
  [[nodiscard]] std::size_t Requests(ProcessId id) const {
    const auto& r = p_.processes().TerminateRequests();
    return static_cast<std::size_t>(std::count(r.begin(), r.end(), id));
  }
  // The texts of the balloons shown since the count was `from`.
  [[nodiscard]] std::vector<String> TextsSince(std::size_t from) const {
    std::vector<String> texts;
    const auto& b = p_.tray().Balloons();
    for (std::size_t i = from; i < b.size(); ++i) texts.push_back(b[i].text);
    return texts;
  }
};

// A process that takes over the id of one the block timer handled is a new
// process: it is ended and reported, with no false failure afterwards.
TEST_F(IdentityTest, ABlockedProgramUnderAnIdTheTimerHandledIsEndedAnew) {
  struct Case {
    const char* what;
    const char16_t* first;  // the process that had the id
    sim::SimProcessOptions options;
    std::vector<String> texts;  // after it ended (by another hand, where it refused)
  };
  const std::vector<Case> cases = {
      {"id of a blocked process that ended", u"D:/games/game.exe", {}, {msg::kBlocked}},
      // The end of the one that refused is reported too: its failure
      // warning is not left standing.
      {"id of a blocked process that refused", u"D:/games/game.exe", {.refusesTermination = true},
       {msg::kBlocked, msg::kBlocked}},
      {"id of a harmless program; the blocked file renamed from it", u"D:/games/tool.exe", {}, {msg::kBlocked}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessId id = p_.processes().Start(c.first, c.options);
    p_.loop().Advance(100);
    if (Running(id)) p_.processes().End(id);
    const std::size_t before = BalloonCount();
    const std::size_t requests = Requests(id);
    p_.processes().Start(u"D:/games/game.exe", {.id = id});
    p_.loop().Advance(30);
    EXPECT_FALSE(Running(id));
    EXPECT_EQ(Requests(id), requests + 1);
    p_.loop().Advance(5000);
    EXPECT_EQ(TextsSince(before), c.texts);
  }
}

// "Could not be ended" only once it is clear: a slow end is reported as an
// end; one slower than the give-up time is reported as a failure and then
// corrected by the end. The same for the block timer and the double press.
TEST_F(IdentityTest, ALateEndIsReportedAsAnEndAndCorrectsAFailure) {
  struct Case {
    bool block;
    std::uint64_t exitDelayMs;
    std::vector<String> texts;
  };
  const std::vector<Case> cases = {
      {true, 400, {msg::kBlocked}},
      {true, 4000, {msg::kBlockFailed, msg::kBlocked}},
      {false, 400, {msg::kKilled}},
      {false, 4000, {msg::kKillFailed, msg::kKilled}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.block ? "block, exit after " : "double press, exit after ") + std::to_string(c.exitDelayMs));
    const std::size_t before = BalloonCount();
    const sim::SimProcessOptions slow{.exitDelayMs = c.exitDelayMs};
    const ProcessId id = c.block ? p_.processes().Start(u"D:/games/game.exe", slow)
                                 : RunInFront(u"C:/apps/notepad.exe", slow);
    if (c.block) {
      p_.loop().Advance(30);
    } else {
      DoubleWin();
    }
    EXPECT_TRUE(Running(id));
    EXPECT_TRUE(TextsSince(before).empty()) << "nothing is sure yet";
    // A failure is corrected within a second: a process reported as not
    // ended is looked at again once a second.
    p_.loop().Advance(c.exitDelayMs + 1000);
    EXPECT_FALSE(Running(id));
    EXPECT_EQ(TextsSince(before), c.texts);
    EXPECT_EQ(F().TrayIconId(), c.block ? 103 : 102) << "the icon of the end";
    p_.loop().Advance(10000);
    EXPECT_EQ(TextsSince(before), c.texts) << "nothing more";
    EXPECT_EQ(F().TrayIconId(), 101);
  }
}

// A process of any age that replaces its executable with a blocked one is
// ended within a second, also when the platform notices the exec late,
// wherever in the timer's second the exec falls.
TEST_F(IdentityTest, AnExecIntoABlockedProgramIsEndedWithinASecond) {
  for (const bool marked : {true, false}) {
    for (std::uint64_t offset = 0; offset < 1000; offset += 170) {
      SCOPED_TRACE((marked ? "marked exec at +" : "unmarked exec at +") + std::to_string(offset));
      const ProcessId id = p_.processes().Start(u"C:/apps/old.exe");
      p_.loop().Advance(5000 + offset);
      ASSERT_TRUE(Running(id));
      if (marked) {
        p_.processes().Exec(id, u"D:/games/game.exe");
      } else {
        p_.processes().ExecUnmarked(id, u"D:/games/game.exe");
      }
      p_.loop().Advance(marked ? 20 : 1000);
      EXPECT_FALSE(Running(id));
      EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlocked);
    }
  }
}

// The double press reads the foreground process at the press: what decides
// is the program it runs now.
TEST_F(IdentityTest, TheDoublePressJudgesTheProgramTheProcessRunsNow) {
  struct Case {
    const char16_t* started;
    const char16_t* now;
    bool killed;
    const char16_t* balloon;
  };
  const Case cases[] = {
      {u"C:/apps/keep.exe", u"C:/apps/notepad.exe", true, msg::kKilled},
      {u"C:/apps/notepad.exe", u"C:/apps/keep.exe", false, msg::kKillRefused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::ToUtf8(c.now));
    const ProcessId id = RunInFront(c.started);
    p_.loop().Advance(2000);
    p_.processes().ExecUnmarked(id, c.now);
    DoubleWin();
    p_.loop().Advance(500);
    EXPECT_EQ(Running(id), !c.killed);
    EXPECT_EQ(Requests(id), c.killed ? 1U : 0U);
    EXPECT_EQ(LastBalloon(), String(c.now).substr(8) + u": " + c.balloon);
    p_.processes().End(id);
  }
}

// The program knows itself by its id even when its executable's path is
// no longer its own path (replaced by an upgrade): it never ends, reports
// or lists itself, though its name is blocked.
TEST_F(IdentityTest, TheProgramKnowsItselfByItsIdAsWellAsItsPath) {
  const ProcessId self = p_.processes().Start(u"E:/old/ProcessDrovak.exe", {.id = sim::SimPlatform::kSelfId});
  const std::size_t before = BalloonCount();
  p_.loop().Advance(5000);
  EXPECT_EQ(Requests(self), 0U);
  EXPECT_EQ(BalloonCount(), before);
  F().RefreshProcessList();
  for (const auto& r : F().Processes().ProcessTable()) EXPECT_NE(r.th32ProcessID, self);
  EXPECT_EQ(F().Services().KillProcess(self), KillOutcome::kNotRunning);
  // One of its own windows in front (not the main window): refused silently.
  p_.input().SetForegroundWindow(p_.processes().OpenWindow(self));
  DoubleWin();
  EXPECT_EQ(Requests(self), 0U);
  EXPECT_EQ(F().TrayIconId(), 103);
  EXPECT_EQ(BalloonCount(), before);
}

// The failure warnings follow the tip options of the balloons they stand
// beside: chkTip_Block for the block timer, chkTip_Good for the double
// press. The icons still change.
TEST_F(IdentityTest, FailureWarningsAreSilentWithTheTipsOff) {
  form_.reset();
  StartWith(false);
  const std::size_t before = BalloonCount();
  const ProcessId blocked = p_.processes().Start(u"D:/games/game.exe", {.refusesTermination = true});
  const ProcessId slowBlocked = p_.processes().Start(u"D:/games/game.exe", {.exitDelayMs = 4000});
  p_.loop().Advance(3500);
  EXPECT_TRUE(Running(blocked));
  const ProcessId stuck = RunInFront(u"C:/apps/stuck.exe", {.refusesTermination = true});
  DoubleWin();
  EXPECT_EQ(F().TrayIconId(), 103);
  p_.loop().Advance(1000);  // the press counter goes back to 0
  const ProcessId slow = RunInFront(u"C:/apps/slow.exe", {.exitDelayMs = 4000});
  DoubleWin();
  p_.loop().Advance(3000);
  EXPECT_EQ(F().TrayIconId(), 103) << "given up on";
  p_.loop().Advance(1000);
  EXPECT_EQ(F().TrayIconId(), 102) << "corrected";
  EXPECT_FALSE(Running(slow));
  EXPECT_FALSE(Running(slowBlocked));
  EXPECT_TRUE(Running(stuck));
  EXPECT_EQ(BalloonCount(), before);
}

}  // namespace
}  // namespace pd::app::test
