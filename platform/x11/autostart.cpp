#include "platform/x11/autostart.h"

#include "platform/text.h"

namespace pd::platform::autostart {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

constexpr std::string_view kGroup = "[Desktop Entry]";
constexpr std::string_view kCommandKey = "X-ProcessDrovak-Command";
constexpr std::string_view kTypeKey = "X-ProcessDrovak-Type";

}  // namespace

std::vector<String> SplitCommandLine(StringView s) {
  std::vector<String> args;
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    String arg;
    bool quoted = false;
    while (i < s.size() && (quoted || !IsBlank(s[i]))) {
      if (s[i] == u'\\') {
        std::size_t n = 0;
        while (i < s.size() && s[i] == u'\\') ++n, ++i;
        if (i < s.size() && s[i] == u'"') {
          arg.append(n / 2, u'\\');
          if (n % 2 == 1) {
            arg += u'"';
            ++i;
          }
        } else {
          arg.append(n, u'\\');
        }
      } else if (s[i] == u'"') {
        if (quoted && i + 1 < s.size() && s[i + 1] == u'"') {
          arg += u'"';  // a doubled quote inside quotes
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

String JoinCommandLine(const std::vector<String>& args) {
  String out;
  for (std::size_t a = 0; a < args.size(); ++a) {
    const String& arg = args[a];
    if (a > 0) out += u' ';
    const bool quote = a == 0 || arg.empty() || arg.find_first_of(u" \t\"") != String::npos;
    if (!quote) {
      out += arg;
      continue;
    }
    out += u'"';
    std::size_t slashes = 0;
    for (char16_t c : arg) {
      if (c == u'\\') {
        ++slashes;
      } else {
        if (c == u'"') out.append(slashes + 1, u'\\');
        slashes = 0;
      }
      out += c;
    }
    out.append(slashes, u'\\');  // before the closing quote
    out += u'"';
  }
  return out;
}

std::string EscapeValue(StringView s) {
  String out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    switch (s[i]) {
      case u'\\': out += u"\\\\"; break;
      case u'\n': out += u"\\n"; break;
      case u'\t': out += u"\\t"; break;
      case u'\r': out += u"\\r"; break;
      case u' ':
        if (i == 0) {
          out += u"\\s";
          break;
        }
        [[fallthrough]];
      default: out += s[i];
    }
  }
  return text::ToUtf8(out);
}

String UnescapeValue(std::string_view bytes) {
  const String s = text::FromUtf8(bytes);
  String out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    switch (s[++i]) {
      case u's': out += u' '; break;
      case u'n': out += u'\n'; break;
      case u't': out += u'\t'; break;
      case u'r': out += u'\r'; break;
      case u'\\': out += u'\\'; break;
      default:
        out += u'\\';
        out += s[i];
    }
  }
  return out;
}

std::string ExecLine(const std::vector<String>& args) {
  String exec;
  for (std::size_t a = 0; a < args.size(); ++a) {
    if (a > 0) exec += u' ';
    exec += u'"';
    for (char16_t c : args[a]) {
      if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') exec += u'\\';
      if (c == u'%') exec += u'%';
      exec += c;
    }
    exec += u'"';
  }
  return EscapeValue(exec);
}

std::vector<String> ParseExec(std::string_view execValue) {
  const String s = UnescapeValue(execValue);
  std::vector<String> args;
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    String arg;
    bool keep = false;  // a quoted empty argument counts
    while (i < s.size() && !IsBlank(s[i])) {
      if (s[i] == u'"') {
        keep = true;
        ++i;
        while (i < s.size() && s[i] != u'"') {
          if (s[i] == u'\\' && i + 1 < s.size()) ++i;
          if (s[i] == u'%' && i + 1 < s.size() && s[i + 1] == u'%') ++i;
          arg += s[i++];
        }
        ++i;  // the closing quote
      } else if (s[i] == u'%' && i + 1 < s.size()) {
        if (s[i + 1] == u'%') arg += u'%';  // other field codes expand to nothing at log-in
        i += 2;
      } else {
        arg += s[i++];
      }
    }
    if (keep || !arg.empty()) args.push_back(std::move(arg));
  }
  return args;
}

bool Compose(std::string_view name, std::string_view command, bool expand, std::string& out) {
  const String cmd = text::FromUtf8(command);
  const std::vector<String> args = SplitCommandLine(cmd);
  if (args.empty() || args[0].empty()) return false;
  out = std::string(kGroup) + "\nType=Application\nName=" + EscapeValue(text::FromUtf8(name)) +
        "\nExec=" + ExecLine(args) + "\n";
  // A program removed since (a package uninstalled) leaves its entry to the
  // user, who keeps the choice; the desktop then skips it instead of
  // failing at every login.
  if (args[0].front() == u'/') out += "TryExec=" + EscapeValue(args[0]) + "\n";
  out += std::string(kCommandKey) + "=" + EscapeValue(cmd) + "\n";
  if (expand) out += std::string(kTypeKey) + "=expand\n";
  return true;
}

bool Parse(std::string_view fileText, Entry& entry) {
  bool inGroup = false;
  bool hidden = false;
  bool haveExec = false;
  bool haveCommand = false;
  std::string exec;
  std::string command;
  bool expand = false;
  std::size_t pos = 0;
  while (pos < fileText.size()) {
    std::size_t end = fileText.find('\n', pos);
    if (end == std::string_view::npos) end = fileText.size();
    std::string_view line = fileText.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == kGroup;
      continue;
    }
    if (!inGroup) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    std::string_view value = line.substr(eq + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (key == "Exec") {
      exec = value;
      haveExec = true;
    } else if (key == "Hidden") {
      hidden = value == "true";
    } else if (key == kCommandKey) {
      command = value;
      haveCommand = true;
    } else if (key == kTypeKey) {
      expand = value == "expand";
    }
  }
  if (hidden || !haveExec) return false;
  const std::vector<String> args = ParseExec(exec);
  if (args.empty()) return false;
  String cmd;
  if (haveCommand) cmd = UnescapeValue(command);
  // The command as written, unless Exec was changed since.
  if (!haveCommand || SplitCommandLine(cmd) != args) cmd = JoinCommandLine(args);
  entry.command = text::ToUtf8(cmd);
  entry.expand = expand;
  return true;
}

std::string FileStem(std::string_view name) {
  if (name.empty() || name[0] == '.' || !text::IsUtf8(name)) return {};
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '/') return {};
  }
  if (name.size() + 8 > 255) return {};
  return std::string(name);
}

}  // namespace pd::platform::autostart
