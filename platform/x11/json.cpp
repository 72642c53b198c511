#include "platform/x11/json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace pd::x11 {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue v;
    if (!Value(v, 0)) return std::nullopt;
    Space();
    if (at_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void Space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
  }
  bool Eat(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth > kMaxJsonDepth) return false;
    Space();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v.type = JsonValue::Type::kString;
      return String(v.string);
    }
    if (Word("true")) {
      v.type = JsonValue::Type::kBool;
      v.boolean = true;
      return true;
    }
    if (Word("false")) {
      v.type = JsonValue::Type::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(v);
  }

  bool Object(JsonValue& v, int depth) {
    ++at_;
    v.type = JsonValue::Type::kObject;
    if (Eat('}')) return true;
    do {
      Space();
      std::string key;
      if (at_ >= s_.size() || s_[at_] != '"' || !String(key) || !Eat(':')) return false;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      v.keys.push_back(std::move(key));
      v.values.push_back(std::move(member));
    } while (Eat(','));
    return Eat('}');
  }

  bool Array(JsonValue& v, int depth) {
    ++at_;
    v.type = JsonValue::Type::kArray;
    if (Eat(']')) return true;
    do {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
    } while (Eat(','));
    return Eat(']');
  }

  bool Number(JsonValue& v) {
    const std::size_t start = at_;
    while (at_ < s_.size() && (std::string_view("+-.eE").find(s_[at_]) != std::string_view::npos ||
                               (s_[at_] >= '0' && s_[at_] <= '9'))) {
      ++at_;
    }
    if (start == at_) return false;
    const auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + at_, v.number);
    v.type = JsonValue::Type::kNumber;
    return ec == std::errc() && end == s_.data() + at_ && std::isfinite(v.number);
  }

  bool Hex4(std::uint32_t& out) {
    if (at_ + 4 > s_.size()) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        out |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        out |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  static void Utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            std::uint32_t low = 0;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp < 0xE000) {
            return false;
          }
          Utf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Get(std::string_view key) const {
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    if (keys[i] == key) return &values[i];
  }
  return nullptr;
}

std::uint32_t JsonValue::PositiveId(std::string_view key) const {
  const JsonValue* v = Get(key);
  if (v == nullptr || v->type != Type::kNumber) return 0;
  const double n = v->number;
  if (n < 1 || n > 2147483647.0 || n != std::floor(n)) return 0;
  return static_cast<std::uint32_t>(n);
}

bool JsonValue::IsTrue(std::string_view key) const {
  const JsonValue* v = Get(key);
  return v != nullptr && v->type == Type::kBool && v->boolean;
}

std::string_view JsonValue::Text(std::string_view key) const {
  const JsonValue* v = Get(key);
  return v != nullptr && v->type == Type::kString ? std::string_view(v->string) : std::string_view();
}

std::optional<JsonValue> ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace pd::x11
