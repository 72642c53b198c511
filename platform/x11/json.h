// A small JSON reader for the compositors' answers (sway's tree, Hyprland's
// active window). Objects keep their members in order; numbers are doubles.
// Malformed text, and nesting deeper than kMaxDepth, give no value.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pd::x11 {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> items;  // kArray
  // kObject: the members' names and values, in order.
  std::vector<std::string> keys;
  std::vector<JsonValue> values;

  // The member's value; nullptr when this is no object or has no such
  // member.
  [[nodiscard]] const JsonValue* Get(std::string_view key) const;
  // A member that is a whole number from 1 to 2^31-1; 0 otherwise.
  [[nodiscard]] std::uint32_t PositiveId(std::string_view key) const;
  [[nodiscard]] bool IsTrue(std::string_view key) const;
  [[nodiscard]] std::string_view Text(std::string_view key) const;
};

inline constexpr int kMaxJsonDepth = 256;

std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace pd::x11
