// How the Linux backend names a process as a user knows it, and the small
// reads of /proc that takes (shared with the process walk).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace pd::x11::procfs {

// The suffix the kernel gives the exe link of a file that was deleted or
// replaced since the process started.
inline constexpr std::string_view kDeleted = " (deleted)";

// Reads a small file of /proc (path relative to dir) in one go into buf,
// NUL-terminated; its length, 0 when it cannot be opened or is empty.
std::size_t ReadSmall(int dir, const char* path, char* buf, std::size_t cap);
// "<id>/<leaf>" (or "<id>" for an empty leaf) into buf.
const char* PidLeaf(char (&buf)[32], ProcessId id, const char* leaf);
// A link's target (relative to dir); empty with err set to errno when it
// cannot be read, err 0 otherwise.
std::string ReadLink(int dir, const char* path, int& err);
std::string_view BaseName(std::string_view path);
// path without a " (deleted)" suffix.
std::string_view WithoutDeleted(std::string_view path);

// The name and the file of the process id (in the /proc folder dir) whose
// exe link, read and not empty, is exe (UTF-8), and whose comm is comm
// (its arguments are read only for a Wine loader, a known interpreter, or
// a comm other than exe's base name):
// - a Windows program under Wine or Proton (its exe a Wine loader) by its
//   .exe name from argv[0] (a Windows path, ".exe" added to a bare name),
//   its file the .exe in its prefix (WINEPREFIX from its environment, else
//   ~/.wine of its owner; a drive through dosdevices, Z: as /), or no file
//   when the Windows path cannot be mapped to an existing one;
// - a script started through its #! line by the script: the first
//   argument after the interpreter's options (none that takes a program
//   from the command line, such as -c) names an existing file that begins
//   with #!, and that line's interpreter (through env too) is the exe, or
//   argv[0] is that file; its file is the script;
// - anything else by the base name of exe (without a " (deleted)" suffix),
//   its file exe as it is.
void NameImage(int dir, ProcessId id, std::string_view exe, std::string_view comm, std::string& name,
               std::string& path);

}  // namespace pd::x11::procfs
