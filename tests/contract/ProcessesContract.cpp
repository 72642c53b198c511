#include "contract/ProcessesContract.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace pd::test {

namespace {

using Entry = std::pair<ProcessId, std::string>;

std::string NameOf(const platform::ProcessEntry& e) {
  return text::ToUtf8(StringView(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data())));
}

std::vector<Entry> Sorted(std::vector<Entry> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// What runs, as the test made it, and when each process last changed
// (started or replaced its executable), on a clock of changes.
struct Model {
  std::map<ProcessId, std::string> live;
  std::map<ProcessId, std::uint64_t> changed;
  std::set<ProcessId> lasting;
  std::uint64_t clock = 0;

  [[nodiscard]] std::vector<Entry> All() const { return {live.begin(), live.end()}; }
};

// One caller of WalkChanged: its cursor, and the model's clock at its
// previous call.
struct Caller {
  std::uint64_t since = 0;
  std::uint64_t seen = 0;
};

}  // namespace

// Starts (names from a small set, so that several processes share one;
// half of them lasting), ends, execs and ids taken by short-lived threads at random; a full walk
// now and then, one caller of WalkChanged every round and another every
// third, sometimes from inside a full walk's visitor after a start there.
// Each WalkChanged lists every process changed since its caller's previous
// call, with the name it has now, nothing that ended, and on a precise
// backend nothing else; each full walk lists exactly what runs.
TEST_P(ProcessesContract, WalkChangedListsWhatChangedSinceEachCallersPreviousCall) {
  auto& procs = Procs();
  auto& driver = Driver();
  std::mt19937 rng(20261207);
  Model model;
  int execs = 0;
  const auto start = [&] {
    const std::string name = "p" + std::to_string(rng() % 8);
    const bool lasting = rng() % 2 == 0;
    const ProcessId id = driver.Start(name, lasting);
    model.live[id] = name;
    model.changed[id] = ++model.clock;
    if (lasting) {
      model.lasting.insert(id);
    } else {
      model.lasting.erase(id);
    }
  };
  const auto walkChanged = [&](Caller& caller, const std::string& where) {
    std::vector<Entry> seen;
    procs.WalkChanged(caller.since, [&](const platform::ProcessEntry& e) {
      seen.emplace_back(e.th32ProcessID, NameOf(e));
      return true;
    });
    std::set<ProcessId> ids;
    for (const auto& [id, name] : seen) {
      EXPECT_TRUE(ids.insert(id).second) << where << ": id " << id << " twice";
      const auto it = model.live.find(id);
      ASSERT_NE(it, model.live.end()) << where << ": id " << id << " has ended";
      EXPECT_EQ(name, it->second) << where << ": id " << id;
      if (GetParam().precise && caller.seen != 0) {
        EXPECT_GT(model.changed[id], caller.seen) << where << ": id " << id << " did not change";
      }
    }
    for (const auto& [id, when] : model.changed) {
      if (when > caller.seen) {
        EXPECT_TRUE(ids.contains(id)) << where << ": id " << id << " changed but not listed";
      }
    }
    EXPECT_NE(caller.since, 0U) << where;
    caller.seen = model.clock;
  };
  const auto walk = [&] {
    std::vector<Entry> all;
    procs.Walk([&](const platform::ProcessEntry& e) {
      all.emplace_back(e.th32ProcessID, NameOf(e));
      return true;
    });
    return Sorted(all);
  };

  for (int i = 0; i < 12; ++i) start();
  Caller first;
  Caller second;
  walkChanged(first, "first call");
  for (int round = 0; round < 150; ++round) {
    const std::string where = "round " + std::to_string(round);
    for (int change = static_cast<int>(rng() % 4); change > 0; --change) {
      const int op = static_cast<int>(rng() % 6);
      if (model.live.size() < 4 || (op < 2 && model.live.size() < 28)) {
        start();
      } else if (op == 2 || op == 5) {
        const auto gone = std::next(model.live.begin(), static_cast<long>(rng() % model.live.size()));
        driver.End(gone->first);
        model.changed.erase(gone->first);
        model.live.erase(gone);
      } else if (op == 3) {
        driver.Churn();
      } else {
        const auto it = std::next(model.live.begin(), static_cast<long>(rng() % model.live.size()));
        if (model.lasting.contains(it->first) || !GetParam().exec) continue;
        it->second = "x" + std::to_string(++execs);
        driver.Exec(it->first, it->second);
        model.changed[it->first] = ++model.clock;
      }
    }
    switch (rng() % 6) {
      case 0:
        EXPECT_EQ(walk(), model.All()) << where;
        break;
      case 1: {
        // From inside a full walk, after a start there: the outer walk keeps
        // its snapshot, the inner call lists the start.
        const std::vector<Entry> before = model.All();
        std::vector<Entry> outer;
        procs.Walk([&](const platform::ProcessEntry& e) {
          if (outer.empty()) {
            start();
            walkChanged(first, where + " (inside a walk)");
          }
          outer.emplace_back(e.th32ProcessID, NameOf(e));
          return true;
        });
        EXPECT_EQ(Sorted(outer), before) << where;
        break;
      }
      default:
        break;
    }
    walkChanged(first, where);
    if (round % 3 == 2) walkChanged(second, where + " (second caller)");
  }
  EXPECT_EQ(walk(), model.All());
}

// The first call (since 0) lists all; with nothing new a precise backend
// lists nothing, and a process that ended is never listed, even to a
// caller that has not walked since another found it.
TEST_P(ProcessesContract, ZeroSinceListsAllAndNothingNewListsNothing) {
  auto& procs = Procs();
  const ProcessId a = Driver().Start("alpha", true);
  const ProcessId b = Driver().Start("beta", true);
  const auto changed = [&](std::uint64_t& since) {
    std::set<ProcessId> ids;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      ids.insert(e.th32ProcessID);
      return true;
    });
    return ids;
  };
  std::uint64_t since = 0;
  EXPECT_EQ(changed(since), (std::set<ProcessId>{a, b}));
  if (GetParam().precise) {
    EXPECT_TRUE(changed(since).empty());
  }
  const ProcessId c = Driver().Start("gamma", false);
  Driver().End(b);
  const std::set<ProcessId> after = changed(since);
  EXPECT_TRUE(after.contains(c));
  EXPECT_FALSE(after.contains(b));
  if (GetParam().precise) {
    EXPECT_EQ(after, std::set<ProcessId>{c});
  }
  std::uint64_t fresh = 0;
  EXPECT_EQ(changed(fresh), (std::set<ProcessId>{a, c}));

  // Found by another caller's walk, then ended: not listed to this one.
  std::uint64_t other = since;
  const ProcessId d = Driver().Start("delta", true);
  EXPECT_TRUE(changed(since).contains(d));
  Driver().End(d);
  const std::set<ProcessId> late = changed(other);
  EXPECT_FALSE(late.contains(d));
  if (GetParam().precise) {
    EXPECT_TRUE(late.empty());
  }
}

// A process that has run for long replaces its executable: Identify and a
// full walk tell the new name at once, and the block timer's way (a
// changed walk whenever the mark moved) lists it within a second's ticks,
// to a caller that walked before the exec. Neither before nor after does
// anything else change.
TEST_P(ProcessesContract, ExecByAProcessOfAnyAgeIsSeenAtOnceByAFullWalkAndWithinASecondByTheMark) {
  if (!GetParam().exec) GTEST_SKIP() << GetParam().name << ": processes do not replace their executable";
  auto& procs = Procs();
  std::vector<ProcessId> ids;
  for (int i = 0; i < 40; ++i) ids.push_back(Driver().Start("old" + std::to_string(i), true));
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  const auto nameIn = [&](ProcessId id, const auto& walk) {
    std::string name;
    walk([&](const platform::ProcessEntry& e) {
      if (e.th32ProcessID == id) name = NameOf(e);
      return true;
    });
    return name;
  };

  // One id for each of the cases: found by the marks, then by a full walk
  // first (which must not keep the change from the marks).
  for (const ProcessId id : {ids[17], ids[29]}) {
    const std::string name = "late" + std::to_string(id);
    const std::uint64_t before = procs.ChangeMark();
    Driver().Exec(id, name);
    const platform::ProcessIdentity who = procs.Identify(id);
    EXPECT_EQ(who.id, id);
    EXPECT_EQ(text::ToUtf8(who.name), name);
    EXPECT_TRUE(who.path.ends_with(text::FromUtf8(name))) << text::ToUtf8(who.path);
    EXPECT_EQ(procs.ExecutablePath(id), who.path);
    if (id == ids[29]) {
      EXPECT_EQ(nameIn(id, [&](const auto& v) { procs.Walk(v); }), name) << "full walk";
    }
    std::uint64_t mark = before;
    int ticks = 0;
    std::string listed;
    std::vector<ProcessId> others;
    for (; ticks < kMarksPerSecond && listed.empty(); ++ticks) {
      const std::uint64_t now = procs.ChangeMark();
      if (now == mark) continue;
      mark = now;
      procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
        if (e.th32ProcessID == id) {
          listed = NameOf(e);
        } else {
          others.push_back(e.th32ProcessID);
        }
        return true;
      });
    }
    EXPECT_EQ(listed, name) << "not listed within " << kMarksPerSecond << " marks";
    if (GetParam().precise) {
      EXPECT_TRUE(others.empty()) << others.size() << " others listed";
    }
  }
}

// A process that ended and is not yet reaped is not running: no walk
// lists it, and it has no identity, path or start.
TEST_P(ProcessesContract, UnreapedProcessIsNotRunning) {
  auto& procs = Procs();
  const ProcessId keep = Driver().Start("keep", true);
  const ProcessId gone = Driver().Start("gone", true);
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  Driver().EndUnreaped(gone);
  const auto ids = [&](const auto& walk) {
    std::set<ProcessId> out;
    walk([&](const platform::ProcessEntry& e) {
      out.insert(e.th32ProcessID);
      return true;
    });
    return out;
  };
  EXPECT_EQ(ids([&](const auto& v) { procs.Walk(v); }), std::set<ProcessId>{keep});
  EXPECT_FALSE(ids([&](const auto& v) { procs.WalkChanged(since, v); }).contains(gone));
  std::uint64_t fresh = 0;
  EXPECT_EQ(ids([&](const auto& v) { procs.WalkChanged(fresh, v); }), std::set<ProcessId>{keep});
  EXPECT_FALSE(procs.Identify(gone));
  EXPECT_EQ(procs.ExecutablePath(gone), u"");
  EXPECT_EQ(procs.StartTime(gone), 0U);
  EXPECT_EQ(procs.Identify(keep).id, keep);
}

}  // namespace pd::test
