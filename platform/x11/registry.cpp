// Linux registry: the hive in $XDG_CONFIG_HOME/ProcessDrovak/registry
// (~/.config when the variable is unset or not absolute), and the values of
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run as XDG
// autostart entries (see autostart.h).
//
// The store is read again whenever the file changed since it was last read
// or written, and written after every change: a temporary file in the same
// folder, flushed to disk, renamed over the old one. When writing fails the
// change is undone in memory and the old file stays whole. A damaged store
// file loads every record that is still readable; before the next write
// replaces it, its bytes are kept beside it as registry.damaged (then
// .damaged.1, .damaged.2, ...), so nothing of it is lost.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry_hive.h"
#include "platform/text.h"
#include "platform/x11/autostart.h"
#include "platform/x11/files.h"
#include "platform/x11/platform.h"

namespace pd::platform {
namespace {

const RegistryHive::Path kRunPath = {"Software", "Microsoft", "Windows", "CurrentVersion", "Run"};

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config";
}

struct FileId {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  bool operator==(const FileId& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

FileId Identify(const std::string& path) {
  struct stat st {};
  FileId id;
  if (stat(path.c_str(), &st) != 0) return id;
  id.exists = true;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.size = st.st_size;
  id.mtime = st.st_mtim;
  return id;
}

class LinuxRegistry final : public HiveRegistry {
 public:
  explicit LinuxRegistry(const std::string& config)
      : folder_(config + "/ProcessDrovak"), store_(folder_ + "/registry"), autostart_(config + "/autostart") {}

  bool QueryInfoKey(RegKey key, RegKeyInfo& info) override {
    if (!IsRun(key)) return HiveRegistry::QueryInfoKey(key, info);
    RegKeyInfo out;
    if (!HiveRegistry::QueryInfoKey(key, out)) return false;
    for (const auto& e : Entries()) {
      ++out.values;
      out.maxValueName = std::max(out.maxValueName, static_cast<std::uint32_t>(text::FromUtf8(e.name).size()));
      out.maxValueData = std::max(out.maxValueData, static_cast<std::uint32_t>(e.command.size() + 1));
    }
    info = out;
    return true;
  }

  bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type, std::string& data) override {
    if (!IsRun(key)) return HiveRegistry::EnumValue(key, index, name, type, data);
    RegKeyInfo own;
    if (!HiveRegistry::QueryInfoKey(key, own)) return false;
    if (index < own.values) return HiveRegistry::EnumValue(key, index, name, type, data);
    const auto entries = Entries();
    if (index - own.values >= entries.size()) return Fail("EnumValue: no more items");
    const auto& e = entries[index - own.values];
    name = e.name;
    type = e.expand ? kRegExpandSz : kRegSz;
    data = e.command + '\0';
    return true;
  }

  bool QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) override {
    if (IsRun(key) && !name.empty()) {
      for (const auto& e : Entries()) {
        if (RegistryHive::SameName(e.name, name)) {
          type = e.expand ? kRegExpandSz : kRegSz;
          data = e.command + '\0';
          return true;
        }
      }
    }
    return HiveRegistry::QueryValue(key, name, type, data);
  }

  bool SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override {
    if (!IsRun(key)) return HiveRegistry::SetValue(key, name, type, data);
    const Handle* h = Resolve(key);
    if (h == nullptr || !h->writable) return Fail("SetValue: access denied");
    std::string file = FindFile(name);
    if (name.empty() || (type != kRegSz && type != kRegExpandSz)) {
      // Not a command: kept in the store, and then no longer an autostart
      // entry (in this order, so that a failed save loses nothing).
      if (!HiveRegistry::SetValue(key, name, type, data)) return false;
      return file.empty() || RemoveEntry(file);
    }
    if (file.empty()) {
      const std::string stem = autostart::FileStem(name);
      if (stem.empty()) return Fail("SetValue: the name cannot be an autostart file name");
      file = stem + ".desktop";
    }
    std::string text;
    const std::string command(data.substr(0, data.find('\0')));
    if (!autostart::Compose(name, command, type == kRegExpandSz, text)) {
      return Fail("SetValue: the command line names no program");
    }
    if (!x11::MakeFolders(autostart_) || !WriteAtomic(autostart_ + "/" + file, text)) return false;
    if (RegistryHive::Key* k = KeyOf(key); k != nullptr && k->FindValue(name) != nullptr) {
      HiveRegistry::DeleteValue(key, name);
    }
    return true;
  }

  bool DeleteValue(RegKey key, std::string_view name) override {
    if (IsRun(key) && !name.empty()) {
      const Handle* h = Resolve(key);
      if (h == nullptr || !h->writable) return Fail("DeleteValue: access denied");
      for (const auto& e : Entries()) {
        if (RegistryHive::SameName(e.name, name)) return RemoveEntry(e.file);
      }
    }
    return HiveRegistry::DeleteValue(key, name);
  }

  bool DeleteKey(RegRoot root, std::string_view subKey) override {
    RegistryHive::Path path;
    const bool run = RegistryHive::SplitPath(subKey, path) && IsRunPath(root, path);
    if (!HiveRegistry::DeleteKey(root, subKey)) return false;
    if (!run) return true;
    // The key's values go with it.
    bool ok = true;
    for (const auto& e : Entries()) ok = RemoveEntry(e.file) && ok;
    return ok;
  }

 protected:
  bool Refresh() override {
    const FileId now = Identify(store_);
    if (!(loaded_ && now == seen_)) {
      std::string bytes;
      if (now.exists) {
        if (const x11::FileFailure f = x11::ReadWholeFile(store_, bytes); f.step != nullptr) {
          return Fail("cannot read " + store_ + ": " + std::strerror(f.error));
        }
      }
      RegistryHive fresh;
      damaged_.clear();
      if (!bytes.empty() && !fresh.Parse(bytes)) {
        damaged_ = bytes;
        Fail("the store file " + store_ + " is damaged; its readable records were loaded");
      }
      Hive() = std::move(fresh);
      seen_ = now;
      loaded_ = true;
    }
    Hive().Create(RegRoot::CurrentUser, kRunPath);  // always there, as on the system
    return true;
  }

  bool Commit() override {
    if (!x11::MakeFolders(folder_)) return Fail("cannot create " + folder_ + ": " + std::strerror(errno));
    if (!damaged_.empty()) {
      // Keep the damaged file's bytes before the store replaces it.
      std::string keep = store_ + ".damaged";
      for (int n = 1; Identify(keep).exists; ++n) keep = store_ + ".damaged." + std::to_string(n);
      if (!WriteAtomic(keep, damaged_)) return false;
      damaged_.clear();
    }
    if (!WriteAtomic(store_, Hive().Serialize())) return false;
    seen_ = Identify(store_);
    return true;
  }

 private:
  bool IsRunPath(RegRoot root, const RegistryHive::Path& path) const {
    if (root != RegRoot::CurrentUser || path.size() != kRunPath.size()) return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
      if (!RegistryHive::SameName(path[i], kRunPath[i])) return false;
    }
    return true;
  }
  bool IsRun(RegKey key) {
    const Handle* h = Resolve(key);
    return h != nullptr && IsRunPath(h->root, h->path);
  }

  // The visible entries, in the order of their file names.
  std::vector<autostart::Entry> Entries() {
    std::vector<autostart::Entry> out;
    for (const auto& file : DesktopFiles()) {
      std::string text;
      autostart::Entry e;
      if (x11::ReadWholeFile(autostart_ + "/" + file, text).step != nullptr || !autostart::Parse(text, e)) continue;
      e.file = file;
      e.name = file.substr(0, file.size() - 8);
      out.push_back(std::move(e));
    }
    return out;
  }

  std::vector<std::string> DesktopFiles() {
    std::vector<std::string> files;
    DIR* dir = opendir(autostart_.c_str());
    if (dir == nullptr) return files;
    while (const dirent* d = readdir(dir)) {
      const std::string n = d->d_name;
      if (n.size() <= 8 || n.compare(n.size() - 8, 8, ".desktop") != 0 || n[0] == '.') continue;
      struct stat st {};
      if (stat((autostart_ + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(n);
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
  }

  // The file of a value name, visible or not; "" when there is none.
  std::string FindFile(std::string_view name) {
    if (name.empty()) return {};
    for (const auto& file : DesktopFiles()) {
      if (RegistryHive::SameName(std::string_view(file).substr(0, file.size() - 8), name)) return file;
    }
    return {};
  }

  bool RemoveEntry(const std::string& file) {
    if (unlink((autostart_ + "/" + file).c_str()) != 0 && errno != ENOENT) {
      return Fail("cannot remove " + autostart_ + "/" + file + ": " + std::strerror(errno));
    }
    return true;
  }

  // The store and the autostart entries are the user's own: mode 0600.
  bool WriteAtomic(const std::string& path, std::string_view bytes) {
    if (const x11::FileFailure f = x11::ReplaceFile(path, bytes, 0600); f.step != nullptr) {
      return Fail(std::string("cannot save ") + path + ": " + f.step + ": " + std::strerror(f.error));
    }
    return true;
  }

  std::string folder_;
  std::string store_;
  std::string autostart_;
  bool loaded_ = false;
  FileId seen_;
  std::string damaged_;  // bytes of a damaged store not yet kept aside
};

}  // namespace

}  // namespace pd::platform

namespace pd::x11 {

std::unique_ptr<platform::Registry> CreateLinuxRegistry() {
  return std::make_unique<platform::LinuxRegistry>(platform::ConfigFolder());
}

std::unique_ptr<platform::Registry> X11Platform::CreateRegistry() { return CreateLinuxRegistry(); }

}  // namespace pd::x11
