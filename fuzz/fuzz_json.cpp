// Fuzz target: the JSON reader of the compositors' answers. Whatever the
// bytes, it returns a value or none without fault; a value it returns
// keeps its members reachable, and the text with one more byte of garbage
// after it is refused.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/x11/json.h"

namespace {
std::size_t Walk(const pd::x11::JsonValue& v) {
  std::size_t n = 1;
  for (const auto& item : v.items) n += Walk(item);
  if (v.keys.size() != v.values.size()) return 1'000'000;
  for (std::size_t i = 0; i < v.keys.size(); ++i) n += Walk(v.values[i]) + (v.Get(v.keys[i]) != nullptr ? 0 : 1'000'000);
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = pd::x11::ParseJson(text);
  if (!value) return 0;
  if (Walk(*value) >= 1'000'000) __builtin_trap();
  if (pd::x11::ParseJson(std::string(text) + "x")) __builtin_trap();
  return 0;
}
