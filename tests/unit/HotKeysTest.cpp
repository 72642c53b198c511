#include "hotkeys/HotKeys.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"

namespace pd::hotkeys {
namespace {

namespace vk = platform::vk;

struct Raised {
  char kind;  // 'P' press, 'D' down, 'U' up
  std::int32_t index;
  std::uint64_t at;
  friend bool operator==(const Raised&, const Raised&) = default;
};

std::ostream& operator<<(std::ostream& os, const Raised& r) {
  return os << r.kind << r.index << "@" << r.at;
}

class HotKeysTest : public ::testing::Test {
 protected:
  HotKeysTest() {
    keys_.HKPress.Connect([this](std::int32_t i) { Log('P', i); });
    keys_.HKDown.Connect([this](std::int32_t i) { Log('D', i); });
    keys_.HKUp.Connect([this](std::int32_t i) { Log('U', i); });
  }

  void Log(char kind, std::int32_t i) { log_.push_back({kind, i, p_.loop().Now()}); }
  void Hold(std::initializer_list<int> codes) {
    for (int c : codes) p_.input().KeyDown(c);
  }
  void Release(std::initializer_list<int> codes) {
    for (int c : codes) p_.input().KeyUp(c);
  }
  std::vector<Raised> Kinds(char kind) const {
    std::vector<Raised> out;
    for (const auto& r : log_) {
      if (r.kind == kind) out.push_back(r);
    }
    return out;
  }

  sim::SimPlatform p_;
  forms::ControlHost host_{p_};
  forms::Form form_{host_, u"frmMain", u"frmMain"};
  HotKeys keys_{form_};
  std::vector<Raised> log_;
};

TEST_F(HotKeysTest, NoEntriesNoEventsAndNoKeyQueries) {
  keys_.StartHK();
  Hold({vk::kControl});
  p_.loop().Advance(1000);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(p_.input().QueryCount(), 0);
}

TEST_F(HotKeysTest, HeldComboTimingsAtTheirLimits) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  keys_.StartHK();
  Hold({vk::kControl, vk::kMenu, vk::kLWin});
  p_.loop().Advance(1000);
  Release({vk::kControl, vk::kMenu, vk::kLWin});
  p_.loop().Advance(100);

  // The 1 ms check runs at the 10 ms resolution: the press is seen at 10.
  EXPECT_EQ(Kinds('P'), (std::vector<Raised>{{'P', 0, 10}}));
  // Repeat ticks at 40, 80, ...: the 1st, then the 5th (160 ms later) and
  // every one after it while held.
  std::vector<Raised> downs{{'D', 0, 40}};
  for (std::uint64_t t = 200; t <= 1000; t += 40) downs.push_back({'D', 0, t});
  EXPECT_EQ(Kinds('D'), downs);
  // Released at 1000: the next check tick reports it.
  EXPECT_EQ(Kinds('U'), (std::vector<Raised>{{'U', 0, 1010}}));
  EXPECT_EQ(keys_.Entry(0).RepeatTicks, 0);
  EXPECT_FALSE(keys_.Entry(0).IsDown);
}

TEST_F(HotKeysTest, PressingTwiceGivesTwoPresses) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  keys_.StartHK();
  for (int n = 0; n < 2; ++n) {
    Hold({vk::kControl, vk::kMenu, vk::kLWin});
    p_.loop().Advance(150);
    Release({vk::kControl, vk::kMenu, vk::kLWin});
    p_.loop().Advance(150);
  }
  EXPECT_EQ(Kinds('P').size(), 2U);
  EXPECT_EQ(Kinds('U').size(), 2U);
}

TEST_F(HotKeysTest, TapBetweenPollsStillRaisesPressThenUp) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  keys_.StartHK();
  p_.loop().Advance(12);
  for (int c : {vk::kControl, vk::kMenu, vk::kLWin}) p_.input().Tap(c);
  p_.loop().Advance(100);
  EXPECT_EQ(log_, (std::vector<Raised>{{'P', 0, 20}, {'U', 0, 30}}));
  EXPECT_EQ(keys_.Entry(0).State, 0);
}

// While no key moves a poll would learn nothing: quiet ticks query no key,
// and the first change after them, or a changed table, is seen at once.
TEST_F(HotKeysTest, QuietTicksQueryNoKeyYetEveryChangeIsSeenAtTheNextTick) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  keys_.StartHK();
  Hold({vk::kControl, vk::kMenu, vk::kLWin});
  p_.loop().Advance(20);  // 10: pressed (down and pressed-since); 20: read again without the latches
  const int queries = p_.input().QueryCount();
  p_.loop().Advance(1000);
  EXPECT_EQ(p_.input().QueryCount(), queries);
  EXPECT_GE(Kinds('D').size(), 5U) << "repeats go on from the kept state";
  Release({vk::kLWin});
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('U'), (std::vector<Raised>{{'U', 0, 1030}}));
  keys_.ChangeHotKey(0, vk::kControl, vk::kMenu, 0);  // Ctrl+Alt, still held
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('P'), (std::vector<Raised>{{'P', 0, 10}, {'P', 0, 1040}}));
}

TEST_F(HotKeysTest, TapOfOneKeyCountsOnlyUntilTheNextPoll) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  keys_.StartHK();
  Hold({vk::kControl, vk::kMenu});
  p_.input().Tap(vk::kLWin);  // WIN tapped: only its "pressed since" bit is set
  p_.loop().Advance(10);    // first poll: all three have bit 0 -> held
  EXPECT_EQ(Kinds('P').size(), 1U);
  p_.loop().Advance(10);  // Ctrl and Alt down, WIN neither down nor newly pressed
  EXPECT_EQ(Kinds('U').size(), 1U);
}

TEST_F(HotKeysTest, EntryWithoutFirstKeyNeverCountsButStillQueriesItsOtherKeys) {
  keys_.AddHotKey(0, vk::kControl, vk::kMenu);
  keys_.StartHK();
  Hold({vk::kControl, vk::kMenu});
  p_.loop().Advance(500);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(keys_.GetHotKeyStatus(0), 0);

  // Key2 to Key4 are queried anyway: a tap's pressed-since bit is consumed.
  keys_.StopHK();
  Release({vk::kControl, vk::kMenu});
  p_.input().Tap(vk::kInsert);
  keys_.ChangeHotKey(0, 0, vk::kInsert, 0);
  const int before = p_.input().QueryCount();
  EXPECT_EQ(keys_.GetHotKeyStatus(0), 0);
  EXPECT_EQ(p_.input().QueryCount(), before + 1);
  EXPECT_EQ(keys_.GetKeyStatus(vk::kInsert), 0) << "the pressed-since bit was taken by the entry's query";
}

TEST_F(HotKeysTest, CombinedStateIsTheAndOfTheKeyWords) {
  keys_.AddHotKey(vk::kControl, vk::kInsert, 0);
  Hold({vk::kControl});
  EXPECT_EQ(keys_.GetHotKeyStatus(0), 0);  // Insert is up (Ctrl's latch is consumed here)
  Hold({vk::kInsert});
  EXPECT_EQ(static_cast<std::uint16_t>(keys_.GetHotKeyStatus(0)), platform::kKeyDownNow);
  EXPECT_EQ(keys_.GetHotKeyStatus(5), 0);
  EXPECT_EQ(static_cast<std::uint16_t>(keys_.GetKeyStatus(vk::kInsert)), platform::kKeyDownNow);
}

TEST_F(HotKeysTest, RemoveShiftsLaterEntriesWithTheirHeldState) {
  keys_.AddHotKey('A', 0, 0);
  keys_.AddHotKey('B', 0, 0);
  keys_.AddHotKey('C', 0, 0);
  keys_.StartHK();
  Hold({'B', 'C'});
  p_.loop().Advance(10);
  ASSERT_EQ(Kinds('P').size(), 2U);

  keys_.RemoveHotKey(0);
  EXPECT_EQ(keys_.HKCount(), 2);
  EXPECT_EQ(keys_.Entry(0).Key1, 'B');
  EXPECT_TRUE(keys_.Entry(0).IsDown);
  EXPECT_TRUE(keys_.Entry(1).IsDown);
  p_.loop().Advance(60);
  EXPECT_EQ(Kinds('P').size(), 2U);  // no new press for the moved entries
  EXPECT_EQ(keys_.Entry(0).RepeatTicks, 1);

  Release({'B'});
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('U'), (std::vector<Raised>{{'U', 0, 80}}));
  keys_.RemoveHotKey(7);  // beyond the end: ignored
  EXPECT_EQ(keys_.HKCount(), 2);
}

TEST_F(HotKeysTest, ReleaseWhileStoppedIsReportedAfterStart) {
  keys_.AddHotKey(vk::kControl, vk::kMenu, 0);
  keys_.StartHK();
  Hold({vk::kControl, vk::kMenu});
  p_.loop().Advance(10);
  keys_.StopHK();
  Release({vk::kControl, vk::kMenu});
  p_.loop().Advance(500);
  EXPECT_TRUE(keys_.Entry(0).IsDown);
  EXPECT_TRUE(Kinds('U').empty());
  keys_.StartHK();
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('U'), (std::vector<Raised>{{'U', 0, 520}}));
}

TEST_F(HotKeysTest, OnlyOnFocusIgnoresCombosWhileAnotherWindowIsInFront) {
  const ProcessId other = p_.processes().Start(u"C:\\Games\\game.exe");
  const WindowHandle otherWindow = p_.processes().OpenWindow(other);
  keys_.SetOnlyOnFocus(true);
  keys_.AddHotKey(vk::kControl, vk::kMenu, 0);
  keys_.StartHK();
  p_.input().SetForegroundWindow(otherWindow);
  Hold({vk::kControl, vk::kMenu});
  p_.loop().Advance(300);
  EXPECT_TRUE(log_.empty());

  p_.input().SetForegroundWindow(form_.Window());
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('P').size(), 1U);
  // Held when the guard begins: the release is seen only once it ends.
  p_.input().SetForegroundWindow(otherWindow);
  Release({vk::kControl, vk::kMenu});
  p_.loop().Advance(100);
  EXPECT_TRUE(Kinds('U').empty());
  p_.input().SetForegroundWindow(form_.Window());
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('U').size(), 1U);
}

TEST_F(HotKeysTest, DisabledComponentRaisesNothing) {
  keys_.AddHotKey(vk::kControl, 0, 0);
  keys_.SetEnabled(false);
  keys_.StartHK();
  Hold({vk::kControl});
  p_.loop().Advance(200);
  EXPECT_TRUE(log_.empty());
  keys_.SetEnabled(true);
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('P').size(), 1U);
}

TEST_F(HotKeysTest, HostChangesTheTableDuringTheYield) {
  keys_.AddHotKey('A', 0, 0);
  keys_.AddHotKey('B', 0, 0);
  keys_.StartHK();
  Hold({'A', 'B', 'C'});
  // Runs in the yield after entry 0: entry 1 goes, a new one comes.
  p_.loop().Post([this] {
    keys_.RemoveHotKey(1);
    keys_.AddHotKey('C', 0, 0);
  });
  p_.loop().Advance(10);
  EXPECT_EQ(log_, (std::vector<Raised>{{'P', 0, 10}, {'P', 1, 10}}));
  EXPECT_EQ(keys_.Entry(1).Key1, 'C');

  // Everything removed during the yield: the tick ends without touching a
  // missing entry.
  p_.loop().Post([this] {
    keys_.RemoveHotKey(1);
    keys_.RemoveHotKey(0);
  });
  Release({'A'});
  p_.loop().Advance(10);
  EXPECT_EQ(keys_.HKCount(), 0);
  EXPECT_EQ(log_.size(), 3U);  // HKUp(0) for A, raised before the yield
}

TEST_F(HotKeysTest, StopDuringTheYieldEndsPolling) {
  keys_.AddHotKey('A', 0, 0);
  keys_.StartHK();
  p_.loop().Post([this] { keys_.StopHK(); });
  p_.loop().Advance(10);
  Hold({'A'});
  p_.loop().Advance(200);
  EXPECT_TRUE(log_.empty());
}

TEST_F(HotKeysTest, TickNeverReentersWhileItsHandlerRunsTheLoop) {
  keys_.AddHotKey('A', 0, 0);
  keys_.AddHotKey('B', 0, 0);
  int depth = 0;
  int deepest = 0;
  keys_.HKPress.Connect([&](std::int32_t i) {
    Log('P', i);
    ++depth;
    deepest = std::max(deepest, depth);
    // A long handler with a loop of its own (a message box): time passes
    // and timers fire, but not this tick again.
    p_.loop().Advance(300);
    --depth;
  });
  keys_.StartHK();
  Hold({'A'});
  p_.loop().Advance(10);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(Kinds('P').size(), 1U);
  EXPECT_FALSE(Kinds('D').empty());  // the repeat clock kept running meanwhile
}

TEST_F(HotKeysTest, HandlerExceptionDoesNotStopTheTick) {
  keys_.AddHotKey('A', 0, 0);
  keys_.AddHotKey('B', 0, 0);
  keys_.HKPress.Connect([&](std::int32_t i) {
    Log('P', i);
    if (i == 0) throw std::runtime_error("handler failed");
  });
  keys_.StartHK();
  Hold({'A', 'B'});
  EXPECT_NO_THROW(p_.loop().Advance(10));
  EXPECT_EQ(Kinds('P').size(), 2U);
}

TEST_F(HotKeysTest, BadKeyCodesAndIndexesAreRefusedWithoutChange) {
  EXPECT_THROW(keys_.AddHotKey(17, 18, 256), std::overflow_error);
  EXPECT_THROW(keys_.AddHotKey(-1, 18, 91), std::overflow_error);
  EXPECT_EQ(keys_.HKCount(), 0);

  keys_.AddHotKey(17, 18, 91);
  EXPECT_THROW(keys_.ChangeHotKey(0, 65, 66, 300), std::overflow_error);
  EXPECT_EQ(keys_.Entry(0).Key1, 17);
  EXPECT_THROW(keys_.ChangeHotKey(-1, 65, 0, 0), std::out_of_range);
  EXPECT_THROW(keys_.RemoveHotKey(-1), std::out_of_range);
  EXPECT_THROW(keys_.GetHotKeyStatus(-1), std::out_of_range);
  EXPECT_EQ(keys_.HKCount(), 1);

  keys_.ChangeHotKey(3, 65, 0, 0);  // beyond the end: ignored
  keys_.ChangeHotKey(1, 65, 300, -1);  // ignored before the codes are checked
  keys_.ChangeHotKey(0, 65, 66, 0, 67);
  const HotKeyEntry& e = keys_.Entry(0);
  EXPECT_EQ((std::vector<int>{e.Key1, e.Key2, e.Key3, e.Key4}), (std::vector<int>{65, 66, 0, 67}));
}

TEST_F(HotKeysTest, ChangeKeepsTheHeldState) {
  keys_.AddHotKey('A', 0, 0);
  keys_.StartHK();
  Hold({'A', 'B'});
  p_.loop().Advance(10);
  keys_.ChangeHotKey(0, 'B', 0, 0);
  p_.loop().Advance(10);
  EXPECT_EQ(Kinds('P').size(), 1U);
  EXPECT_TRUE(keys_.Entry(0).IsDown);
}

TEST(HotKeysDesign, PropertiesPersistAndSizeStaysSquare) {
  sim::SimPlatform p;
  forms::ControlHost host(p);
  forms::Form form(host, u"frmMain", u"frmMain");
  platform::PropertyBag& stored = form.StoredProperties(u"HotKeys");
  stored.WriteBool(u"OnlyOnFocus", true, false);
  {
    HotKeys keys(form);
    EXPECT_TRUE(keys.Enabled());
    EXPECT_TRUE(keys.OnlyOnFocus());
    EXPECT_EQ((Point{keys.Width(), keys.Height()}), (Point{450, 450}));
    keys.Move(0, 0, 900, 30);
    EXPECT_EQ((Point{keys.Width(), keys.Height()}), (Point{450, 450})) << "the square stays";

    keys.SetEnabled(false);
    keys.SetOnlyOnFocus(false);
    EXPECT_EQ(keys.GetSite().ChangedProperties(), (std::vector<String>{u"Enabled", u"OnlyOnFocus"}));
    keys.WriteProperties(stored);
  }
  EXPECT_FALSE(stored.ReadBool(u"Enabled", true));
  EXPECT_FALSE(stored.Contains(u"OnlyOnFocus"));  // back at its default
  HotKeys again(form);
  EXPECT_FALSE(again.Enabled());
}

TEST(HotKeysDesign, DestructionStopsTheTimers) {
  sim::SimPlatform p;
  forms::ControlHost host(p);
  forms::Form form(host, u"frmMain", u"frmMain");
  {
    HotKeys keys(form);
    keys.AddHotKey('A', 0, 0);
    keys.StartHK();
  }
  p.input().KeyDown('A');
  EXPECT_NO_THROW(p.loop().Advance(100));
  EXPECT_EQ(p.input().QueryCount(), 0);
}

TEST(HotKeysDesign, HostMayDestroyTheComponentFromItsHandlerOrDuringTheYield) {
  // The program ends from a handler (the tray menu's "Выход" runs inside a
  // tick's yield): the component goes while its own tick is on the stack.
  sim::SimPlatform p;
  forms::ControlHost host(p);
  forms::Form form(host, u"frmMain", u"frmMain");
  auto keys = std::make_unique<HotKeys>(form);
  keys->AddHotKey('A', 0, 0);
  keys->AddHotKey('B', 0, 0);
  keys->HKPress.Connect([&](std::int32_t) { keys.reset(); });
  keys->StartHK();
  p.input().KeyDown('A');
  EXPECT_NO_THROW(p.loop().Advance(100));
  EXPECT_EQ(keys, nullptr);

  keys = std::make_unique<HotKeys>(form);
  keys->AddHotKey('A', 0, 0);
  keys->AddHotKey('B', 0, 0);
  keys->StartHK();
  p.loop().Post([&] { keys.reset(); });
  EXPECT_NO_THROW(p.loop().Advance(100));
  EXPECT_EQ(keys, nullptr);

  // The repeat clock's tick as well.
  keys = std::make_unique<HotKeys>(form);
  keys->AddHotKey('A', 0, 0);
  keys->AddHotKey('B', 0, 0);
  keys->HKDown.Connect([&](std::int32_t) { keys.reset(); });
  keys->StartHK();
  EXPECT_NO_THROW(p.loop().Advance(100));
  EXPECT_EQ(keys, nullptr);
}

}  // namespace
}  // namespace pd::hotkeys
