// frmMain: the block timer, which ends every running process whose name is
// on in the block list.
#include <vector>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

namespace {
// How long a terminated blocked process may take to go before it counts as
// one that could not be ended.
constexpr std::uint64_t kBlockGiveUpMs = 1000;
}  // namespace

void frmMain::tmrBlock_Timer() {
  // With no entry on there is nothing to look for: no walk at all.
  if (!AnyBlockOn()) {
    blocked_.clear();
    return;
  }
  ++blockWalks_;
  const std::uint64_t now = platform_.loop().TickCount();
  const String own = text::LowerCase(platform_.app().OwnPath());
  for (auto& entry : blocked_) entry.second.seen = false;
  std::vector<std::pair<ProcessId, String>> found;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    String name = ProcessRecord(e).ExeFile();
    if (!IsBlocked(name, false) || text::LowerCase(name) == u"explorer.exe") return;
    found.emplace_back(e.th32ProcessID, std::move(name));
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
