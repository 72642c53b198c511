// frmMain: the block timer, which ends every running process whose name is
// on in the block list.
#include <algorithm>
#include <vector>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

namespace {
// How long a terminated blocked process may take to go before it counts as
// one that could not be ended.
constexpr std::uint64_t kBlockGiveUpMs = 1000;

}  // namespace

// The timer fires as often as the platform's timers allow; a tick walks
// the processes only when something may have changed since its last walk:
// a process started or replaced its executable (the process table's mark),
// the block list's switched-on names changed, or a process it ended has yet
// to go. With the same names and nothing ended to keep track of, only the
// processes that started or replaced their executable since its last walk
// can be new to it: it walks just those. Otherwise it walks all, and learns
// which processes went.
void frmMain::tmrBlock_Timer() {
  const bool sameNames = KeepBlockedNames();
  // With no entry on there is nothing to look for: no walk at all.
  if (blockNames_.empty()) {
    blocked_.clear();
    return;
  }
  const std::uint64_t mark = platform_.processes().ChangeMark();
  const bool waiting = std::any_of(blocked_.begin(), blocked_.end(), [](const auto& b) { return !b.second.settled; });
  if (mark == blockMark_ && sameNames && !waiting) return;
  blockMark_ = mark;

  ++blockWalks_;
  const std::uint64_t now = platform_.loop().TickCount();
  const String own = text::LowerCase(platform_.app().OwnPath());
  for (auto& entry : blocked_) entry.second.seen = false;
  std::vector<std::pair<ProcessId, String>> found;
  if (!sameNames || !blocked_.empty()) blockSince_ = 0;
  services_.ForEachChangedProcess(blockSince_, [&](const platform::ProcessEntry& e) {
    // Compared in place: a walk of a thousand processes allocates nothing
    // for the names that are not blocked.
    const StringView name(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data()));
    const auto blocked = [&](StringView lower) { return text::SameLowered(name, lower); };
    if (std::none_of(blockNames_.begin(), blockNames_.end(), blocked) || text::SameLowered(name, u"explorer.exe")) return;
    found.emplace_back(e.th32ProcessID, String(name));
  });
  for (const auto& [id, name] : found) {
    // The path is read only for a blocked name: the program never ends
    // itself, even when its own name is blocked.
    const String path = services_.GetProcessPath(id);
    if (text::LowerCase(path) == own) continue;
    auto it = blocked_.find(id);
    if (it != blocked_.end() && it->second.name == name) {
      BlockedProcess& b = it->second;
      // A terminated process that lost its path has ended (it waits only
      // for its parent).
      if (!b.settled && !b.path.empty() && path.empty()) continue;
      b.seen = true;
      if (!b.settled && now - b.killedAt >= kBlockGiveUpMs) {
        b.settled = true;
        ShowEntryBalloon(name, msg::kBlockFailed, platform::niif::kWarning, platform::res::kIconRefused);
      }
      continue;
    }
    BlockedProcess b{.name = name, .path = path, .killedAt = now, .seen = true};
    if (!platform_.processes().Terminate(id)) {
      b.settled = true;
      ShowEntryBalloon(name, msg::kBlockFailed, platform::niif::kWarning, platform::res::kIconRefused);
    }
    blocked_[id] = std::move(b);
  }
  // What is no longer there has ended: reported once, now that it is sure.
  for (auto it = blocked_.begin(); it != blocked_.end();) {
    if (it->second.seen) {
      ++it;
      continue;
    }
    if (!it->second.settled && chkTip_Block->Value() == 1) {
      ShowEntryBalloon(it->second.name, msg::kBlocked, platform::niif::kWarning, platform::res::kIconRefused);
    }
    it = blocked_.erase(it);
  }
}

}  // namespace pd::app
