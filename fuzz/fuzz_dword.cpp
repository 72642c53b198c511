// Fuzz target: the registry's number parser (clsReg::ParseDword) against a
// plain reference: blanks trimmed; "0x"/"0X" and 1 to 8 hexadecimal digits
// give those 32 bits; otherwise a decimal of at most 9 characters (sign,
// digits, fraction) gives the nearest integer, halves to even; anything else
// gives 0. Inputs with an odd first byte are read as UTF-16 (so that other
// scripts' digits and odd characters come in), the others as Windows-1251.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text.h"
#include "registry/clsReg.h"

namespace {

using pd::String;
using pd::StringView;

std::int32_t Reference(StringView t) {
  while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
  const auto isHex = [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
  };
  if (t.size() >= 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
    const StringView h = t.substr(2);
    if (h.empty() || h.size() > 8) return 0;
    std::string ascii;
    for (char16_t c : h) {
      if (!isHex(c)) return 0;
      ascii += static_cast<char>(c);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::strtoul(ascii.c_str(), nullptr, 16)));
  }
  if (t.empty() || t.size() >= 10) return 0;
  std::string ascii;
  std::size_t i = 0;
  std::size_t digits = 0;
  if (t[0] == u'+' || t[0] == u'-') ascii += static_cast<char>(t[i++]);
  for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++digits) ascii += static_cast<char>(t[i]);
  if (i < t.size() && t[i] == u'.') {
    ascii += '.';
    for (++i; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++digits) ascii += static_cast<char>(t[i]);
  }
  if (i != t.size() || digits == 0) return 0;
  // At most 9 characters: the double holds the number closely enough that
  // rounding to nearest, ties to even, decides as exact decimals would.
  std::fesetround(FE_TONEAREST);
  return static_cast<std::int32_t>(std::nearbyint(std::strtod(ascii.c_str(), nullptr)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  String text;
  if (size > 0 && (data[0] & 1) != 0) {
    for (std::size_t i = 1; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  } else {
    text = pd::text::Utf8Codec().FromAnsi(std::string_view(reinterpret_cast<const char*>(data), size).substr(size > 0 ? 1 : 0));
  }
  if (pd::clsReg::ParseDword(text) != Reference(text)) std::abort();
  return 0;
}
