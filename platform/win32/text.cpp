// The "ANSI" code page and the file text of Windows are the system's ANSI
// code page (CP_ACP), byte for byte as earlier builds wrote the files.
// Characters it cannot hold become '?' (no best-fit look-alikes). A file
// that begins with a UTF-8 byte-order mark and is UTF-8 throughout (saved
// so by an editor) is read as UTF-8.
#include <windows.h>

#include "platform/win32/platform.h"
#include "platform/win32/text.h"

namespace pd::win32 {

std::string ToAnsi(StringView s) {
  if (s.empty()) return {};
  const std::wstring wide(s.begin(), s.end());
  const int n = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, "?", nullptr);
  if (size <= 0) return std::string(s.size(), '?');
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), size, "?", nullptr);
  return out;
}

String FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, nullptr, 0);
  if (size <= 0) return String(bytes.size(), u'?');
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, out.data(), size);
  return String(out.begin(), out.end());
}

namespace {

class AnsiPageCodec final : public text::Codec {
 public:
  std::string ToFileText(StringView s) const override { return ToAnsi(s); }
  String FromFileText(std::string_view bytes) const override {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.substr(0, kBom.size()) == kBom && text::IsUtf8(bytes)) return text::FromUtf8(bytes.substr(kBom.size()));
    return FromAnsi(bytes);
  }
  std::string ToAnsi(StringView s) const override { return win32::ToAnsi(s); }
  String FromAnsi(std::string_view bytes) const override { return win32::FromAnsi(bytes); }
};

}  // namespace

const text::Codec& AnsiCodec() {
  static const AnsiPageCodec codec;
  return codec;
}

const text::Codec& Win32Platform::codec() { return AnsiCodec(); }

}  // namespace pd::win32
