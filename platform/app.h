// Application information: where the program lives and who it is.
#pragma once

#include <functional>

#include "platform/types.h"

namespace pd::platform {

class AppInfo {
 public:
  virtual ~AppInfo() = default;

  // Folder of the executable, without a trailing separator.
  virtual String Folder() = 0;
  // Base name of the executable without its suffix ("ProcessDrovak").
  virtual String ExeName() = 0;
  // The executable's file name as the process list shows it: ExeName plus
  // the platform's executable suffix (".exe" on Windows, none on Linux).
  virtual String ExeFileName() = 0;
  // Full path of the executable, built by the platform's rules
  // (Folder + separator + ExeFileName).
  virtual String OwnPath() = 0;
  // Folder for the data files: the executable's folder, or, where that is
  // not writable (a system-wide install on Linux), the user's
  // configuration folder for the program.
  virtual String DataFolder() = 0;
  // The platform's path separator.
  virtual char16_t PathSeparator() = 0;

  // Claims the single-instance token for the logged-on user. True when
  // another instance already holds it: that instance has then been asked to
  // show its window (its SetShowRequest handler), and this one ends without
  // touching anything else. The token is held until the program ends.
  virtual bool PrevInstance() = 0;
  // What the instance holding the token runs when a later start asks it to
  // show its window: called on the user-interface thread from a pass of the
  // loop. nullptr: such requests are dropped.
  virtual void SetShowRequest(std::function<void()> handler) = 0;
};

// Joins a folder and a name with the platform's separator.
String JoinPath(AppInfo& app, StringView folder, StringView name);

}  // namespace pd::platform
