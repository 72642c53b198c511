#include <algorithm>

#include "platform/sim/processes.h"

namespace pd::sim {

namespace {
// The last component of a path (after '\\' or '/').
String FileNameOf(StringView path) {
  const auto cut = path.find_last_of(u"\\/");
  return String(cut == StringView::npos ? path : path.substr(cut + 1));
}
}  // namespace

SimProcesses::Proc* SimProcesses::Find(ProcessId id) {
  Reap();
  auto it = std::find_if(procs_.begin(), procs_.end(), [id](const Proc& p) { return p.id == id; });
  return it == procs_.end() ? nullptr : &*it;
}

void SimProcesses::Reap() {
  if (dying_ == 0) return;
  std::vector<ProcessId> ended;
  for (const Proc& p : procs_) {
    if (!Alive(p)) ended.push_back(p.id);
  }
  for (ProcessId id : ended) End(id);
}

ProcessId SimProcesses::Start(StringView path, SimProcessOptions options) {
  const ProcessId id = options.id != 0 ? options.id : nextId_;
  if (options.id == 0) nextId_ += 4;
  Proc p{id, FileNameOf(path), String(path), options};
  p.started = ++starts_;
  p.changed = ++changes_;
  procs_.push_back(std::move(p));
  return procs_.back().id;
}

void SimProcesses::Exec(ProcessId id, StringView path) {
  Proc* p = Find(id);
  if (p == nullptr) return;
  ExecUnmarked(id, path);
  p->noticeAt.reset();
  p->changed = ++changes_;
}

void SimProcesses::ExecUnmarked(ProcessId id, StringView path) {
  Proc* p = Find(id);
  if (p == nullptr) return;
  p->name = FileNameOf(path);
  p->path = String(path);
  p->noticeAt = Now() + kLateExecMs;
}

void SimProcesses::NoticeExecs() {
  for (Proc& p : procs_) {
    if (!p.noticeAt || *p.noticeAt > Now()) continue;
    p.noticeAt.reset();
    p.changed = ++changes_;
  }
}

std::uint64_t SimProcesses::ChangeMark() {
  NoticeExecs();
  return changes_;
}

void SimProcesses::End(ProcessId id) {
  std::erase_if(procs_, [&](const Proc& p) {
    if (p.id != id) return false;
    if (p.endAt) --dying_;
    return true;
  });
  std::erase_if(windows_, [id](const auto& w) { return w.second == id; });
}

void SimProcesses::EndAfterNextWalk(ProcessId id) {
  if (Proc* p = Find(id)) p->endAfterWalk = true;
}

void SimProcesses::EndAtNextWalk(ProcessId id) {
  if (Proc* p = Find(id)) p->endAtWalk = true;
}

bool SimProcesses::IsRunning(ProcessId id) const {
  return std::any_of(procs_.begin(), procs_.end(), [&](const Proc& p) { return p.id == id && Alive(p); });
}

bool SimProcesses::ImageInUse(StringView path) const {
  return std::any_of(procs_.begin(), procs_.end(), [&](const Proc& p) { return p.path == path && Alive(p); });
}

std::uint64_t SimProcesses::StartTime(ProcessId id) {
  const Proc* p = Find(id);
  return p == nullptr ? 0 : p->started;
}

platform::ProcessIdentity SimProcesses::Identify(ProcessId id) {
  const Proc* p = Find(id);
  if (p == nullptr) return {};
  return {.id = p->id, .started = p->started, .name = p->name, .path = p->options.pathUnreadable ? String() : p->path};
}

void SimProcesses::Walk(const Visitor& visit) { WalkAfter(0, visit); }

void SimProcesses::WalkChanged(std::uint64_t& since, const Visitor& visit) {
  NoticeExecs();
  const std::uint64_t after = since;
  // Never 0 again: a cursor of 0 asks for everything.
  since = changes_ + 1;
  WalkAfter(after == 0 ? 0 : after - 1, visit);
}

void SimProcesses::WalkAfter(std::uint64_t since, const Visitor& visit) {
  ++walks_;
  Reap();
  std::erase_if(procs_, [&](const Proc& p) {
    if (!p.endAtWalk) return false;
    if (p.endAt) --dying_;
    return true;
  });
  // A point-in-time copy, as a system snapshot is: the visitor may end or
  // start processes without disturbing the walk.
  std::vector<ProcessEntry> snapshot;
  snapshot.reserve(procs_.size());
  for (const Proc& p : procs_) {
    if (p.changed <= since) continue;
    ProcessEntry e;
    e.th32ProcessID = p.id;
    e.th32ParentProcessID = p.options.parent;
    e.cntThreads = 1;
    e.SetExeFile(p.name);
    snapshot.push_back(e);
  }
  std::vector<ProcessId> ending;
  for (const Proc& p : procs_) {
    if (p.endAfterWalk && p.changed > since) ending.push_back(p.id);
  }
  for (const ProcessEntry& e : snapshot) {
    ++visits_;
    if (!visit(e)) break;
  }
  for (ProcessId id : ending) End(id);
}

String SimProcesses::ExecutablePath(ProcessId id) {
  Proc* p = Find(id);
  if (p == nullptr || p->options.pathUnreadable) return {};
  return p->path;
}

bool SimProcesses::Terminate(ProcessId id) {
  terminateRequests_.push_back(id);
  if (id == 0 || id == self_) return false;
  Proc* p = Find(id);
  if (p == nullptr || p->options.refusesTermination) return false;
  if (p->options.exitDelayMs == 0) {
    End(id);
  } else if (!p->endAt) {
    p->endAt = Now() + p->options.exitDelayMs;
    ++dying_;
  }
  return true;
}

ProcessId SimProcesses::WindowOwner(WindowHandle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? 0 : it->second;
}

WindowHandle SimProcesses::OpenWindow(ProcessId owner) {
  const WindowHandle w = nextWindow_;
  nextWindow_ += 0x10;
  windows_[w] = owner;
  return w;
}

void SimProcesses::CloseWindow(WindowHandle window) { windows_.erase(window); }

bool SimProcesses::IsWindow(WindowHandle window) const { return windows_.count(window) != 0; }

}  // namespace pd::sim
