// Platform-independent text conversions: Windows-1251, UTF-8, lower-casing.
#include "platform/text.h"

#include <array>

namespace pd::text {
namespace {

// Windows-1251, bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F. Byte 0x98 is
// unassigned and maps to U+0098, as the Windows conversion does, so every
// byte survives a round trip.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The byte of c in Windows-1251, or -1 when the code page lacks it.
int Cp1251Byte(char16_t c) {
  if (c < 0x80) return c;
  if (c >= 0x0410 && c <= 0x044F) return c - 0x0410 + 0xC0;
  for (std::size_t i = 0; i < kCp1251High.size(); ++i) {
    if (kCp1251High[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

constexpr unsigned char kEscape = 0x98;  // unassigned in Windows-1251

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(String& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// The character at s[i] and how many code units it takes; a lone surrogate
// is U+FFFD.
char32_t CharAt(StringView s, std::size_t i, std::size_t& units) {
  units = 1;
  const char16_t c = s[i];
  if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
  }
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return 0xFFFD;
  return c;
}

// One whole UTF-8 sequence at bytes[i]: its character and length, or 0 when
// the bytes there are not one (a stray or missing continuation byte, an
// overlong form, a surrogate, a value past U+10FFFF).
std::size_t DecodeUtf8(std::string_view bytes, std::size_t i, char32_t& c) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) {
    c = b;
    return 1;
  }
  std::size_t need = 0;
  char32_t min = 0;
  if ((b & 0xE0) == 0xC0) {
    need = 1, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    need = 2, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    need = 3, c = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= bytes.size() || (byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return need + 1;
}

}  // namespace

std::string ToCp1251(StringView s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    const int b = Cp1251Byte(c);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

String FromCp1251(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
    } else if (b >= 0xC0) {
      out += static_cast<char16_t>(0x0410 + (b - 0xC0));
    } else {
      out += kCp1251High[b - 0x80];
    }
  }
  return out;
}

std::string ToLatin1(StringView s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) ++i;
    out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return out;
}

String FromLatin1(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string ToCp1251Lossless(StringView s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t units = 1;
    const char32_t c = CharAt(s, i, units);
    const int b = units == 1 ? Cp1251Byte(static_cast<char16_t>(c)) : -1;
    if (b >= 0) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(kEscape);
      AppendUtf8(out, c);
    }
    i += units;
  }
  return out;
}

String FromCp1251Lossless(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char32_t c = 0;
    std::size_t len = 0;
    if (static_cast<unsigned char>(bytes[i]) == kEscape && i + 1 < bytes.size() &&
        static_cast<unsigned char>(bytes[i + 1]) >= 0x80) {
      len = DecodeUtf8(bytes, i + 1, c);
      // Only what the code page lacks is ever written so.
      if (len > 0 && c < 0x10000 && Cp1251Byte(static_cast<char16_t>(c)) >= 0) len = 0;
    }
    if (len > 0) {
      AppendUtf16(out, c);
      i += len;
    } else {
      out += FromCp1251(bytes.substr(i, 1));
    }
  }
  return out;
}

std::string ToUtf8(StringView s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t units = 1;
    AppendUtf8(out, CharAt(s, i, units));
    i += units;
  }
  return out;
}

String FromUtf8(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t len = DecodeUtf8(bytes, i, c);
    AppendUtf16(out, len > 0 ? c : 0xFFFD);
    i += len > 0 ? len : 1;
  }
  return out;
}

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const std::size_t len = DecodeUtf8(bytes, i, c);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

String FromUtf8OrCp1251(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  // One pass while it is UTF-8; the first byte that is not gives it up.
  String out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    char32_t c = 0;
    const std::size_t len = DecodeUtf8(bytes, i, c);
    if (len == 0) return FromCp1251(bytes);
    AppendUtf16(out, c);
    i += len;
  }
  return out;
}

std::size_t CutWhole(StringView s, std::size_t n) {
  if (n >= s.size()) return s.size();
  return n > 0 && IsHighSurrogate(s[n - 1]) && IsLowSurrogate(s[n]) ? n - 1 : n;
}

String FromAscii(std::string_view ascii) {
  String out;
  out.reserve(ascii.size());
  for (char c : ascii) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

char16_t LowerChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  // Latin-1 letters (not the multiplication sign).
  if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return static_cast<char16_t>(c + 0x20);
  // Latin Extended-A: pairs, with a few irregular letters.
  if (c >= 0x0100 && c <= 0x017F) {
    if (c == 0x0130) return u'i';
    if (c == 0x0178) return 0x00FF;
    bool oddUpper = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
    bool evenUpper = (c <= 0x0137 && c != 0x0131) || (c >= 0x014A && c <= 0x0177);
    if (oddUpper && (c & 1) == 1) return static_cast<char16_t>(c + 1);
    if (evenUpper && !oddUpper && (c & 1) == 0) return static_cast<char16_t>(c + 1);
    return c;
  }
  // Cyrillic.
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
  if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F)) {
    return (c & 1) == 0 ? static_cast<char16_t>(c + 1) : c;
  }
  if (c == 0x04C0) return 0x04CF;
  if (c >= 0x04C1 && c <= 0x04CE) return (c & 1) == 1 ? static_cast<char16_t>(c + 1) : c;
  return c;
}

String LowerCase(StringView s) {
  String out(s);
  for (char16_t& c : out) c = LowerChar(c);
  return out;
}

bool SameLowered(StringView s, StringView lower) {
  if (s.size() != lower.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (LowerChar(s[i]) != lower[i]) return false;
  }
  return true;
}

bool EqualsIgnoreCase(StringView a, StringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
  }
  return true;
}

namespace {

class Utf8FileCodec final : public Codec {
 public:
  std::string ToFileText(StringView s) const override { return ToUtf8(s); }
  String FromFileText(std::string_view bytes) const override { return FromUtf8OrCp1251(bytes); }
  std::string ToAnsi(StringView s) const override { return ToCp1251Lossless(s); }
  String FromAnsi(std::string_view bytes) const override { return FromCp1251Lossless(bytes); }
};

}  // namespace

const Codec& Utf8Codec() {
  static const Utf8FileCodec codec;
  return codec;
}

}  // namespace pd::text
