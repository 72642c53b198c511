#include "forms/Label.h"

namespace pd::forms {

Label::Label(Container& parent, StringView name, int index) : Control(parent, name, index) {
  SetTabStop(false);
  Refresh();
}

Label::~Label() = default;

void Label::SetCaption(StringView caption) {
  if (caption_ == caption) return;
  caption_ = String(caption);
  Fit();
  Refresh();
}

void Label::SetForeColor(Colour colour) {
  foreColor_ = colour;
  Refresh();
}

void Label::SetBackStyle(int backStyle) {
  backStyle_ = backStyle == backstyle::kTransparent ? backstyle::kTransparent : backstyle::kOpaque;
  Refresh();
}

void Label::SetAlignment(int alignment) {
  alignment_ = alignment == align::kRight || alignment == align::kCenter ? alignment : align::kLeft;
  Refresh();
}

void Label::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  Fit();
}

void Label::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  Fit();
  Refresh();
}

void Label::SetFont(const platform::Font& font) {
  Control::SetFont(font);
  Fit();
}

void Label::OnResize() {
  // A label that wraps its words keeps its height fitted to a new width.
  if (wordWrap_) Fit();
}

platform::Surface& Label::Measure() {
  if (!measure_) measure_ = GetSite().GetPlatform().graphics().CreateSurface(1, 1);
  measure_->SetFont(Font());
  return *measure_;
}

void Label::Fit() {
  if (!autoSize_ || fitting_) return;
  fitting_ = true;
  platform::Surface& m = Measure();
  const int lineHeight = m.TextHeight(u"");
  if (wordWrap_) {
    const auto lines = WrapLines(m, caption_, PixelWidth());
    Move(Left(), Top(), -1, static_cast<int>(lines.size()) * lineHeight * kTwipsPerPixel);
  } else {
    const auto lines = platform::SplitTextLines(caption_);
    Move(Left(), Top(), m.TextWidth(caption_) * kTwipsPerPixel,
         static_cast<int>(lines.size()) * lineHeight * kTwipsPerPixel);
  }
  fitting_ = false;
}

std::vector<String> Label::WrapLines(platform::Surface& surface, StringView text, int width) {
  std::vector<String> out;
  for (StringView para : platform::SplitTextLines(text)) {
    if (width <= 0 || surface.TextWidth(para) <= width) {
      out.emplace_back(para);
      continue;
    }
    std::size_t pos = 0;
    while (pos < para.size()) {
      // The longest run from pos that fits, and the last space inside it.
      std::size_t end = pos;
      std::size_t lastSpace = StringView::npos;
      while (end < para.size() && surface.TextWidth(para.substr(pos, end + 1 - pos)) <= width) {
        if (para[end] == u' ') lastSpace = end;
        ++end;
      }
      std::size_t cut = end;
      std::size_t next = end;
      if (end < para.size() && para[end] != u' ') {
        if (lastSpace != StringView::npos) {
          cut = lastSpace;
          next = lastSpace + 1;
        } else if (end == pos) {
          cut = next = pos + 1;  // not even one character fits: one per line
        }
      }
      StringView line = para.substr(pos, cut - pos);
      while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
      out.emplace_back(line);
      pos = next;
      while (pos < para.size() && para[pos] == u' ') ++pos;
    }
  }
  return out;
}

void Label::OnPaint(platform::Surface& surface) {
  const int width = PixelWidth();
  if (backStyle_ == backstyle::kOpaque) surface.FillRect(Rect{0, 0, width, PixelHeight()}, BackColor());
  surface.SetTextColor(EffectivelyEnabled() ? foreColor_ : 0x80000011);
  unsigned format = platform::dt::kSingleLine;
  if (alignment_ == align::kRight) format |= platform::dt::kRight;
  if (alignment_ == align::kCenter) format |= platform::dt::kCenter;
  const int lineHeight = surface.TextHeight(u"");
  // A label one line high keeps its caption on that line.
  const int wrapWidth = PixelHeight() >= 2 * lineHeight ? width : 0;
  int y = 0;
  for (const String& line : WrapLines(surface, caption_, wrapWidth)) {
    surface.TextIn(Rect{0, y, width, y + lineHeight}, line, format);
    y += lineHeight;
  }
}

}  // namespace pd::forms
