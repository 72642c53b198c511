// The ANSI code page conversions for a registry test built without the
// Windows backend library: CP_ACP through the system's own conversion.
#include <windows.h>

#include "platform/text.h"

namespace pd::text {

std::string ToAnsi(StringView s) {
  if (s.empty()) return {};
  const auto* w = reinterpret_cast<const wchar_t*>(s.data());
  const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(s.size()), nullptr, 0, "?", nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(s.size()), out.data(), n, "?", nullptr);
  return out;
}

String FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return String(out.begin(), out.end());
}

}  // namespace pd::text
