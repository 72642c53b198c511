// Names of processes as a user knows them, and the small reads of /proc
// they take.
#include "platform/x11/process_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>
#include <cstdlib>
#include <string>
#include <vector>

namespace pd::x11::procfs {

// Reads a small file of /proc (path relative to dir) in one go into buf,
// NUL-terminated; its length, 0 when it cannot be opened or is empty.
std::size_t ReadSmall(int dir, const char* path, char* buf, std::size_t cap) {
  const int fd = openat(dir, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t got = 0;
  while (got + 1 < cap) {
    const ssize_t n = read(fd, buf + got, cap - 1 - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  buf[got] = '\0';
  return got;
}

std::string_view BaseName(std::string_view path) {
  const auto cut = path.find_last_of('/');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view WithoutDeleted(std::string_view path) {
  if (path.size() > kDeleted.size() && path.substr(path.size() - kDeleted.size()) == kDeleted) {
    path.remove_suffix(kDeleted.size());
  }
  return path;
}

// "<id>/<leaf>" (or "<id>" for an empty leaf) into buf.
const char* PidLeaf(char (&buf)[32], ProcessId id, const char* leaf) {
  char digits[16];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + id % 10);
    id /= 10;
  } while (id != 0);
  char* p = buf;
  while (n > 0) *p++ = digits[--n];
  if (*leaf != '\0') *p++ = '/';
  while (*leaf != '\0' && p < buf + sizeof buf - 1) *p++ = *leaf++;
  *p = '\0';
  return buf;
}


std::string ReadLink(int dir, const char* path, int& err) {
  char buf[PATH_MAX];
  const ssize_t n = readlinkat(dir, path, buf, sizeof buf);
  if (n < 0) {
    err = errno;
    return {};
  }
  err = 0;
  if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
  std::string big(2 * sizeof buf, '\0');
  for (;;) {  // cut: try again with room
    const ssize_t m = readlinkat(dir, path, big.data(), big.size());
    if (m < 0) {
      err = errno;
      return {};
    }
    if (static_cast<std::size_t>(m) < big.size()) {
      big.resize(static_cast<std::size_t>(m));
      return big;
    }
    big.resize(big.size() * 2);
  }
}

namespace {

// The arguments of a cmdline (NUL-separated; the NULs a process left at
// the end when it moved its arguments down are not arguments).
std::vector<std::string_view> SplitArgs(std::string_view cmdline) {
  while (!cmdline.empty() && cmdline.back() == '\0') cmdline.remove_suffix(1);
  std::vector<std::string_view> args;
  if (cmdline.empty()) return args;
  for (;;) {
    const auto nul = cmdline.find('\0');
    args.push_back(cmdline.substr(0, nul));
    if (nul == std::string_view::npos) break;
    cmdline.remove_prefix(nul + 1);
  }
  return args;
}

// "/a/./b/../c" as "/a/c"; path must be absolute.
std::string Normalize(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const auto cut = path.find('/');
    const std::string_view part = path.substr(0, cut);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (cut == std::string_view::npos) break;
    path.remove_prefix(cut + 1);
  }
  std::string out;
  for (const std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWineLoader(std::string_view base) {
  return base == "wine" || base == "wine64" || base == "wine-preloader" || base == "wine64-preloader";
}

// A Windows program's name from its argv[0] (a Windows path, or a bare
// name): the last component, with ".exe" added where it has no extension.
std::string WindowsName(std::string_view arg0) {
  const auto cut = arg0.find_last_of("\\/");
  std::string name(cut == std::string_view::npos ? arg0 : arg0.substr(cut + 1));
  if (!name.empty() && name.find('.') == std::string::npos) name += ".exe";
  return name;
}

// The value of one variable in an environ file's text.
std::string_view EnvValue(std::string_view env, std::string_view key) {
  while (!env.empty()) {
    const auto nul = env.find('\0');
    const std::string_view entry = env.substr(0, nul);
    if (entry.size() > key.size() && entry.substr(0, key.size()) == key && entry[key.size()] == '=') {
      return entry.substr(key.size() + 1);
    }
    if (nul == std::string_view::npos) break;
    env.remove_prefix(nul + 1);
  }
  return {};
}

// Whether the interpreter a #! line names is the executable exe: the same
// path, the same base name, a versioned name of it ("python3" for
// python3.11, "perl" for perl5.36.0), or a link to it.
bool InterpreterIs(std::string_view interpreter, std::string_view exe) {
  if (interpreter.empty()) return false;
  if (interpreter == exe) return true;
  const std::string_view bi = BaseName(interpreter);
  const std::string_view be = BaseName(exe);
  if (bi == be) return true;
  if (be.size() > bi.size() && be.substr(0, bi.size()) == bi) {
    const char next = be[bi.size()];
    if (next == '.' || (next >= '0' && next <= '9')) return true;
  }
  if (interpreter.front() != '/') return false;
  char real[PATH_MAX];
  return realpath(std::string(interpreter).c_str(), real) != nullptr && exe == real;
}

// The interpreter a script's #! line names: the program env runs where the
// line runs env (its options and variable settings skipped); empty when
// the text does not begin with #!.
std::string_view Interpreter(std::string_view text) {
  if (text.size() < 2 || text.substr(0, 2) != "#!") return {};
  std::string_view line = text.substr(2);
  line = line.substr(0, line.find('\n'));
  const auto next = [&line]() {
    const auto from = line.find_first_not_of(" \t\r");
    if (from == std::string_view::npos) {
      line = {};
      return std::string_view();
    }
    line.remove_prefix(from);
    const auto to = line.find_first_of(" \t\r");
    const std::string_view word = line.substr(0, to);
    line.remove_prefix(to == std::string_view::npos ? line.size() : to);
    return word;
  };
  const std::string_view interpreter = next();
  if (BaseName(interpreter) != "env") return interpreter;
  for (std::string_view word = next(); !word.empty(); word = next()) {
    if (word.front() != '-' && word.find('=') == std::string_view::npos) return word;
  }
  return {};
}

// Whether a program is a common interpreter of #! lines, by its file's
// base name ("python3.11" as python, "perl5.36.0" as perl).
bool IsInterpreter(std::string_view base) {
  while (!base.empty() && ((base.back() >= '0' && base.back() <= '9') || base.back() == '.')) base.remove_suffix(1);
  static constexpr std::string_view kKnown[] = {
      "sh",     "bash", "dash",  "zsh",  "ksh",   "mksh",  "fish",   "csh",   "tcsh",  "busybox", "python",
      "pypy",   "perl", "ruby",  "node", "nodejs", "deno", "bun",    "lua",   "luajit", "php",    "tclsh",
      "wish",   "awk",  "gawk",  "mawk", "nawk",  "Rscript", "pwsh", "guile", "osh",   "yash",    "rc",
      "expect", "julia", "escript", "gjs", "qjs", "elvish", "nu", "xonsh"};
  return std::find(std::begin(kKnown), std::end(kKnown), base) != std::end(kKnown);
}

// Whether an interpreter's option makes it run a program given on the
// command line rather than a file (sh -c, python3 -c or -m, perl -e,
// node --eval): single-dash letters with c, e or m, or such a long option.
bool TakesProgramText(std::string_view option) {
  if (option.size() > 2 && option.substr(0, 2) == "--") {
    return option == "--command" || option.substr(0, 6) == "--eval" || option == "--print";
  }
  return option.find_first_of("cem") != std::string_view::npos;
}

}  // namespace

void NameImage(int dir, ProcessId id, std::string_view exe, std::string_view comm, std::string& name,
               std::string& path) {
  const std::string_view file = WithoutDeleted(exe);
  name = BaseName(file);
  path = exe;
  // The arguments are read only where they may name the program: for a
  // Wine loader, a known interpreter, or where comm is not the file's name
  // (the kernel names a process started through #! by its script).
  const std::string_view base = BaseName(file);
  if (!IsWineLoader(base) && !IsInterpreter(base) && base.substr(0, std::min(base.size(), comm.size())) == comm &&
      (comm.size() >= 15 || comm.size() == base.size())) {
    return;
  }
  char leaf[32];
  char cmdline[4096];
  const std::size_t size = ReadSmall(dir, PidLeaf(leaf, id, "cmdline"), cmdline, sizeof cmdline);
  const std::vector<std::string_view> args = SplitArgs(std::string_view(cmdline, size));
  if (args.empty()) return;

  if (IsWineLoader(BaseName(file))) {
    // argv[0] is the Windows program's path (the loader moved its own
    // arguments down), or the loader itself while it starts.
    const std::string_view arg0 = args[0];
    if (arg0.empty() || IsWineLoader(BaseName(arg0))) return;
    name = WindowsName(arg0);
    path.clear();
    std::string_view win = arg0;
    if (win.substr(0, 4) == "\\\\?\\" || win.substr(0, 4) == "\\??\\") win.remove_prefix(4);
    if (win.size() < 3 || win[1] != ':' || (win[2] != '\\' && win[2] != '/')) return;
    const char letter = static_cast<char>(win[0] | 0x20);
    if (letter < 'a' || letter > 'z') return;
    std::string prefix;
    char env[16384];
    const std::size_t envSize = ReadSmall(dir, PidLeaf(leaf, id, "environ"), env, sizeof env);
    const std::string_view fromEnv = EnvValue(std::string_view(env, envSize), "WINEPREFIX");
    if (!fromEnv.empty() && fromEnv.front() == '/') {
      prefix = fromEnv;
    } else {
      struct stat st {};
      if (fstatat(dir, PidLeaf(leaf, id, ""), &st, 0) != 0) return;
      passwd pw{};
      passwd* found = nullptr;
      std::vector<char> buf(16384);
      if (getpwuid_r(st.st_uid, &pw, buf.data(), buf.size(), &found) != 0 || found == nullptr) return;
      prefix = std::string(pw.pw_dir) + "/.wine";
    }
    const std::string devices = prefix + "/dosdevices/";
    int err = 0;
    std::string drive = ReadLink(AT_FDCWD, (devices + letter + ':').c_str(), err);
    if (err != 0 && letter == 'z') drive = "/";
    if (drive.empty()) return;
    if (drive.front() != '/') drive = devices + drive;
    std::string rest(win.substr(3));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const std::string mapped = Normalize(drive + '/' + rest);
    if (IsRegularFile(mapped)) path = mapped;
    return;
  }

  // A script: the first argument after the interpreter's options.
  std::size_t at = 1;
  for (; at < args.size() && args[at].size() > 1 && args[at].front() == '-'; ++at) {
    if (args[at] == "--") {
      ++at;
      break;
    }
    if (TakesProgramText(args[at])) return;
  }
  if (at >= args.size() || args[at].empty() || args[at] == "-") return;
  const std::string_view script = args[at];
  // A relative one through the process's cwd link: most arguments name no
  // file, and that takes one call to tell.
  const std::string opened = script.front() == '/' ? std::string(script)
                                                   : std::string(PidLeaf(leaf, id, "cwd")) + '/' + std::string(script);
  const int fd = openat(dir, opened.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return;
  struct stat st {};
  char head[256];
  ssize_t got = 0;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (got < 2) return;
  const std::string_view interpreter = Interpreter(std::string_view(head, static_cast<std::size_t>(got)));
  if (interpreter.empty()) return;
  if (!InterpreterIs(interpreter, file) && args[0] != script) return;
  std::string full;
  if (script.front() == '/') {
    full = Normalize(script);
  } else {
    int err = 0;
    const std::string cwd = ReadLink(dir, PidLeaf(leaf, id, "cwd"), err);
    if (err != 0 || cwd.empty() || cwd.front() != '/') return;
    full = Normalize(cwd + '/' + std::string(script));
  }
  name = BaseName(full);
  path = std::move(full);
}

}  // namespace pd::x11::procfs
