// XDG autostart entries as the values of the current user's Run key.
//
// A Run value NAME holding a command line is the desktop entry
// $XDG_CONFIG_HOME/autostart/NAME.desktop (~/.config when the variable is
// unset or not absolute). Its Exec line holds the command's arguments,
// quoted and escaped as the freedesktop Desktop Entry rules ask, and
// X-ProcessDrovak-Command the command line exactly as written, so that
// reading gives back what was written. An entry written by someone else (or
// whose Exec was edited) reads as the command line rebuilt from Exec, each
// argument quoted as needed and the program always quoted. Entries with
// Hidden=true, without Exec, or outside the [Desktop Entry] group are not
// values. Names and command lines are UTF-8, at this boundary as in the
// files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace pd::platform::autostart {

// Command lines as the system's programs split them: blanks separate
// arguments, double quotes group, a backslash escapes a quote.
std::vector<String> SplitCommandLine(StringView command);
String JoinCommandLine(const std::vector<String>& args);

// The Exec value (escaped for the file) of these arguments, and back.
std::string ExecLine(const std::vector<String>& args);
std::vector<String> ParseExec(std::string_view execValue);

// A value string of a desktop entry: escaped and unescaped.
std::string EscapeValue(StringView s);
String UnescapeValue(std::string_view s);

struct Entry {
  std::string file;  // file name in the autostart folder
  std::string name;  // the value name, UTF-8
  std::string command;  // the command line, UTF-8, without NUL
  bool expand = false;  // written as an expandable string
};

// The file's text for a value; false when the command holds no program.
bool Compose(std::string_view name, std::string_view command, bool expand, std::string& out);
// The entry in a file's text; false when the file is not a visible entry.
bool Parse(std::string_view fileText, Entry& entry);

// The file-name stem of a value name, or "" when the name cannot be one
// (empty, a '/', a leading '.', control characters, not UTF-8, too long).
std::string FileStem(std::string_view name);

}  // namespace pd::platform::autostart
