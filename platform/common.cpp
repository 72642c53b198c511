// Small helpers of the ports that do not depend on the backend.
#include <algorithm>

#include "platform/app.h"
#include "platform/processes.h"

namespace pd::platform {

void ProcessEntry::SetExeFile(StringView name) {
  const std::size_t n = std::min(name.size(), kMaxPath - 1);
  std::copy_n(name.begin(), n, szExeFile.begin());
  std::fill(szExeFile.begin() + static_cast<std::ptrdiff_t>(n), szExeFile.end(), u'\0');
}

String JoinPath(AppInfo& app, StringView folder, StringView name) {
  String path(folder);
  const char16_t sep = app.PathSeparator();
  if (!path.empty() && path.back() != sep) path += sep;
  path += name;
  return path;
}

}  // namespace pd::platform
