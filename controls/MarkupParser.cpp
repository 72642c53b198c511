#include "controls/MarkupParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace pd::controls {
namespace {

enum Tag : int {
  kBold = 0, kBoldEnd, kItalic, kItalicEnd, kUnderline, kUnderlineEnd,
  kColour, kColourEnd, kImage, kBreak, kSpace, kLeft, kCell, kCellEnd,
};

constexpr StringView kTagText = u"<b>,</b>,<i>,</i>,<u>,</u>,<color=,</color>,<img=,<br>,<space=,<left=,<td ,</td>";
constexpr StringView kCellClose = u"</td>";
constexpr std::size_t kNone = StringView::npos;

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

// Whether `lowerWord` (ASCII, lower case) begins at text[at], letter case ignored.
bool MatchesAt(StringView text, std::size_t at, StringView lowerWord) {
  if (text.size() - at < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (AsciiLower(text[at + i]) != lowerWord[i]) return false;
  }
  return true;
}

std::size_t FindIgnoreCase(StringView text, StringView lowerWord, std::size_t from) {
  for (std::size_t at = text.find(lowerWord[0], from); at != kNone; at = text.find(lowerWord[0], at + 1)) {
    if (MatchesAt(text, at, lowerWord)) return at;
  }
  return kNone;
}

struct FoundTag {
  std::size_t at = kNone;
  int index = -1;
};

// The first recognised tag at or after `from`.
FoundTag FindTag(StringView text, std::size_t from) {
  const auto& tags = TagTable();
  for (std::size_t at = text.find(u'<', from); at != kNone; at = text.find(u'<', at + 1)) {
    for (int i = 0; i < kTagCount; ++i) {
      if (MatchesAt(text, at, tags[static_cast<std::size_t>(i)])) return {at, i};
    }
  }
  return {};
}

StringView Trim(StringView s) {
  const std::size_t first = s.find_first_not_of(u' ');
  if (first == kNone) return {};
  return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

std::vector<StringView> Split(StringView s, char16_t sep) {
  std::vector<StringView> parts;
  std::size_t start = 0;
  for (std::size_t at = s.find(sep); at != kNone; at = s.find(sep, start)) {
    parts.push_back(s.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(s.substr(start));
  return parts;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A decimal number: [+-] (digits [. digits] | . digits) [e [+-] digits].
bool IsDecimal(StringView s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == u'.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == n;
}

std::int32_t ParseNumber(StringView raw) {
  const StringView s = Trim(raw);
  if (s.empty() || !IsDecimal(s)) return 0;
  std::string ascii(s.begin() + (s[0] == u'+' ? 1 : 0), s.end());  // all ASCII after IsDecimal
  double value = 0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) return 0;
  const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return 0;
  return static_cast<std::int32_t>(rounded);
}

int HexDigit(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  const char16_t l = AsciiLower(c);
  if (l >= u'a' && l <= u'f') return l - u'a' + 10;
  return -1;
}

std::int32_t ColourPart(std::int32_t v) { return std::clamp(v, 0, 255); }

std::int32_t ParseColour(StringView raw) {
  const StringView t = Trim(raw);
  if (!t.empty() && t[0] == u'#') {
    const std::size_t last = std::min<std::size_t>(t.size(), 7);
    for (std::size_t i = 1; i < last; ++i) {
      if (HexDigit(t[i]) < 0) return 0;
    }
    auto pair = [&](std::size_t at) { return t.size() > at + 1 ? HexDigit(t[at]) * 16 + HexDigit(t[at + 1]) : 0; };
    return pair(1) + 256 * pair(3) + 65536 * pair(5);
  }
  const std::vector<StringView> parts = Split(raw, u' ');
  const std::int32_t whole = ParseNumber(raw);
  if (parts.size() == 1 && whole >= 1 && whole <= 0xFFFFFF) return whole;
  auto part = [&](std::size_t i) { return i < parts.size() ? ColourPart(ParseNumber(parts[i])) : 0; };
  return part(0) + 256 * part(1) + 65536 * part(2);
}

TextRun ImageRun(StringView spec) {
  const std::vector<StringView> parts = Split(spec, u',');
  TextRun run;
  if (parts.size() < 3) return run;  // an empty text run
  run.Kind = RunImage;
  run.ColorOrBitmap = ParseNumber(parts[0]);
  run.RunWidth = ParseNumber(parts[1]);
  run.RunHeight = ParseNumber(parts[2]);
  run.OffsetX = parts.size() > 3 && !Trim(parts[3]).empty() ? ParseNumber(parts[3]) : kAtPen;
  run.OffsetY = parts.size() > 4 && !Trim(parts[4]).empty() ? ParseNumber(parts[4]) : kAtPen;
  return run;
}

void ApplyCellAttributes(TextRun& run, StringView attributes) {
  for (StringView piece : Split(Trim(attributes), u' ')) {
    const std::size_t eq = piece.find(u'=');
    if (eq == kNone) continue;  // no name
    String name(Trim(piece.substr(0, eq)));
    std::transform(name.begin(), name.end(), name.begin(), AsciiLower);
    const std::int32_t value = ParseNumber(piece.substr(eq + 1));
    if (name == u"width") {
      run.RunWidth = value;
    } else if (name == u"height") {
      run.RunHeight = value;
    } else if (name == u"align") {
      run.Align = value;
    }
  }
}

class Parser {
 public:
  explicit Parser(StringView text) : text_(text) { colours_[0] = kDefaultColour; }

  std::vector<TextRun> Run() {
    std::size_t pos = 0;
    for (int step = 0; pos < text_.size() && step < kMaxParseSteps; ++step) {
      const FoundTag tag = FindTag(text_, pos);
      if (tag.at == pos) {
        pos += Handle(tag.index, pos);
      } else {
        const std::size_t end = tag.at == kNone ? text_.size() : tag.at;
        runs_.push_back(Styled(String(text_.substr(pos, end - pos))));
        pos = end;
      }
    }
    return std::move(runs_);
  }

 private:
  // Handles the tag at pos; returns how many characters it consumes.
  std::size_t Handle(int index, std::size_t pos) {
    const StringView name = TagTable()[static_cast<std::size_t>(index)];
    const std::size_t gt = text_.find(u'>', pos);
    const std::size_t length = gt == kNone ? text_.size() - pos : gt - pos + 1;
    const StringView value = length > name.size() + 1 ? text_.substr(pos + name.size(), length - name.size() - 1)
                                                       : StringView();
    switch (index) {
      case kBold: ++bold_; break;
      case kBoldEnd: if (bold_ >= 1) --bold_; break;
      case kItalic: ++italic_; break;
      case kItalicEnd: if (italic_ >= 1) --italic_; break;
      case kUnderline: ++underline_; break;
      case kUnderlineEnd: if (underline_ >= 1) --underline_; break;
      case kColour:
        if (top_ < kColourStackSize - 1) ++top_;
        colours_[static_cast<std::size_t>(top_)] = ParseColour(value);
        break;
      case kColourEnd: if (top_ >= 1) --top_; break;
      case kImage: runs_.push_back(ImageRun(value)); break;
      case kBreak: {
        TextRun run;
        run.Text = u"\r\n";
        run.ColorOrBitmap = kDefaultColour;
        runs_.push_back(std::move(run));
        break;
      }
      case kSpace: runs_.push_back(ImageRun(u"0," + String(value) + u",0")); break;
      case kLeft: {
        TextRun run = Styled(String());
        run.Kind = RunLeft;
        run.OffsetX = ParseNumber(value);
        runs_.push_back(std::move(run));
        break;
      }
      case kCell: {
        // The cell text runs from after the tag to the next "</td>". The
        // search starts after the tag, so a tag that itself ends in "</td>"
        // does not end its own cell before it begins.
        const std::size_t start = std::min(pos + length, text_.size());
        const std::size_t close = FindIgnoreCase(text_, kCellClose, start);
        const std::size_t end = close == kNone ? text_.size() : close;
        TextRun run = Styled(String(text_.substr(start, end - start)));
        run.Kind = RunCell;
        ApplyCellAttributes(run, value);
        runs_.push_back(std::move(run));
        return length + (end - start) + kCellClose.size();
      }
      default: break;  // kCellEnd: consumed and ignored
    }
    return length;
  }

  TextRun Styled(String text) const {
    TextRun run;
    run.Text = std::move(text);
    run.Bold = bold_ > 0;
    run.Italic = italic_ > 0;
    run.Underline = underline_ > 0;
    run.ColorOrBitmap = colours_[static_cast<std::size_t>(top_)];
    return run;
  }

  StringView text_;
  std::vector<TextRun> runs_;
  std::int32_t bold_ = 0;
  std::int32_t italic_ = 0;
  std::int32_t underline_ = 0;
  std::array<std::int32_t, kColourStackSize> colours_{};
  int top_ = 0;
};

}  // namespace

const std::array<StringView, kTagCount>& TagTable() {
  static const std::array<StringView, kTagCount> table = [] {
    std::array<StringView, kTagCount> t{};
    const std::vector<StringView> parts = Split(kTagText, u',');
    std::copy_n(parts.begin(), kTagCount, t.begin());
    return t;
  }();
  return table;
}

std::vector<TextRun> ParseItemText(StringView text) { return Parser(text).Run(); }

String PlainMarkup(StringView text) {
  static constexpr StringView kNoTag = u"<space=0>";
  String out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    out += c;
    if (c == u'<') out += kNoTag;
  }
  return out;
}

String PlainTextOf(const std::vector<TextRun>& runs) {
  std::size_t size = 0;
  for (const TextRun& r : runs) size += r.Text.size();
  String plain;
  plain.reserve(size);
  for (const TextRun& r : runs) plain += r.Text;
  return plain;
}

}  // namespace pd::controls
