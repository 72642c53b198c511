// frmMain: the block timer, which ends every running process whose name is
// on in the block list.
#include <algorithm>
#include <utility>
#include <vector>

#include "app/frmMain.h"
#include "platform/text.h"

namespace pd::app {

// The timer fires as often as the platform's timers allow. A tick walks
// the processes only when something may have changed since it last looked:
// the process table's mark moved (a start, or an exec: the platform shows
// an old process's exec within a second) or the switched-on names changed.
// The first walk and a walk after a change of names list all processes;
// others list only those that started or replaced their executable since
// the tick's previous walk. Processes it asked to end are looked at by
// their identity, without a walk: every tick while an end is awaited, once
// a second when one was reported as not ended.
//
// A walk only proposes (its names may come from a cache): the identity read
// at the moment of acting decides. The fresh name must be on in the block
// list, and the process neither the shell nor the program itself (its own
// id, or its own executable). Handled processes are remembered by id and
// start time, so a process that takes over the id of one that ended, or of
// one that refused, is a new process and is ended too.
void frmMain::tmrBlock_Timer() {
  const bool sameNames = KeepBlockedNames();
  // With no entry on there is nothing to look for: the timer rests until
  // one is switched on.
  if (blockNames_.empty()) {
    blocked_.clear();
    tmrBlock_->SetEnabled(false);
    return;
  }
  const std::uint64_t now = platform_.loop().TickCount();
  const std::uint64_t mark = platform_.processes().ChangeMark();
  const bool waiting = std::any_of(blocked_.begin(), blocked_.end(), [](const auto& b) { return !b.failed; });
  const bool recheck = !blocked_.empty() && now - blockSettledAt_ >= static_cast<std::uint64_t>(kBlockRecheckMs);
  const bool newMark = mark != blockMark_;
  if (!newMark && sameNames && !waiting && !recheck) return;
  blockMark_ = mark;
  if (waiting || recheck) {
    SettleBlocked(now);
    blockSettledAt_ = now;
  }
  if (!newMark && sameNames) return;  // only ends to look for

  if (!sameNames) blockSince_ = 0;
  ++blockWalks_;
  std::vector<std::pair<ProcessId, String>> found;
  services_.ForEachChangedProcess(blockSince_, [&](const platform::ProcessEntry& e) {
    // Compared in place: a walk of a thousand processes allocates nothing
    // for the names that are not blocked.
    const StringView name(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data()));
    const auto blocked = [&](StringView lower) { return text::SameLowered(name, lower); };
    if (std::none_of(blockNames_.begin(), blockNames_.end(), blocked)) return;
    found.emplace_back(e.th32ProcessID, String(name));
  });
  for (const auto& [id, listed] : found) {
    const platform::ProcessIdentity who = services_.Identify(id, listed);
    if (!who) continue;  // gone since the walk
    const auto it = std::find_if(blocked_.begin(), blocked_.end(), [&](const auto& b) { return b.who.id == id; });
    if (it != blocked_.end()) {
      if (modMain::SameIdentity(it->who, who)) continue;  // handled already
      // The process handled under this id has ended, and another took the id.
      const String name = it->who.name;
      blocked_.erase(it);
      ReportBlocked(name, true);
    }
    if (!IsBlocked(who.name, false) || text::SameLowered(who.name, u"explorer.exe") || services_.IsOwnProgram(who)) {
      continue;
    }
    const KillOutcome outcome = services_.KillProcess(who);
    if (outcome == KillOutcome::kNotRunning) continue;  // ended on its own meanwhile
    if (outcome == KillOutcome::kAsked && !services_.SameProcess(who)) {
      ReportBlocked(who.name, true);
      continue;
    }
    blocked_.push_back({.who = who, .askedAt = now, .failed = outcome == KillOutcome::kRefused});
    if (outcome == KillOutcome::kRefused) ReportBlocked(who.name, false);
  }
}

// Runs while the program is enabled and a block entry is on; a running
// timer keeps its step.
void frmMain::RunBlockTimer() {
  if (!enabled_ || exiting_) {
    tmrBlock_->SetEnabled(false);
  } else if (!tmrBlock_->Enabled() && AnyBlockOn()) {
    tmrBlock_->SetEnabled(true);
  }
}

// A blocked process is reported once, when what became of it is sure:
// "Было заблокировано." once it has ended; "could not be blocked" once it
// is clear that it runs on: the system refused the request, or the same
// process (id and start time) still runs kBlockGiveUpMs after it. It is
// watched until it ends (once a second after that report), and a later end
// is reported too, so a process that
// went slowly, or that refused and went later, never keeps the failure
// report as its last word.
void frmMain::SettleBlocked(std::uint64_t now) {
  std::erase_if(blocked_, [&](BlockedProcess& b) {
    if (!services_.SameProcess(b.who)) {
      ReportBlocked(b.who.name, true);
      return true;
    }
    if (!b.failed && now - b.askedAt >= static_cast<std::uint64_t>(kBlockGiveUpMs)) {
      b.failed = true;
      ReportBlocked(b.who.name, false);
    }
    return false;
  });
}

// Both reports of the block timer follow chkTip_Block (TipBlock): the
// failure stands beside "Было заблокировано." and is silent with it.
void frmMain::ReportBlocked(StringView name, bool ended) {
  if (chkTip_Block->Value() != 1) return;
  ShowEntryBalloon(name, ended ? msg::kBlocked : msg::kBlockFailed, platform::niif::kWarning,
                   platform::res::kIconRefused);
}

}  // namespace pd::app
