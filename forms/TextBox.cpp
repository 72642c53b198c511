#include "forms/TextBox.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "forms/Border.h"
#include "forms/CodePoints.h"
#include "platform/host.h"
#include "platform/input.h"
#include "platform/text.h"

namespace pd::forms {

namespace {

using platform::shift::kAlt;
using platform::shift::kCtrl;
using platform::shift::kShift;

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

}  // namespace

TextBox::TextBox(Container& parent, StringView name, int index) : Control(parent, name, index) {
  Control::SetBackColor(0x80000005);
}

TextBox::~TextBox() = default;

// ---- Properties -----------------------------------------------------------------

void TextBox::SetText(StringView text) {
  if (text_ == text) return;
  text_ = String(text);
  anchor_ = caret_ = 0;
  scroll_ = 0;
  Refresh();
  Changed();
}

int TextBox::SelStart() const { return static_cast<int>(SelFrom()); }

void TextBox::SetSelStart(int start) {
  MoveCaret(FloorBoundary(text_, static_cast<std::size_t>(std::max(start, 0))), false);
}

int TextBox::SelLength() const { return static_cast<int>(SelTo() - SelFrom()); }

void TextBox::SetSelLength(int length) {
  const std::size_t from = SelFrom();
  anchor_ = from;
  // A length that ends inside a pair takes the whole pair.
  std::size_t to = std::min(from + static_cast<std::size_t>(std::max(length, 0)), text_.size());
  if (InsidePair(text_, to)) ++to;
  MoveCaret(to, true);
}

String TextBox::SelText() const { return text_.substr(SelFrom(), SelTo() - SelFrom()); }

void TextBox::SetSelText(StringView text) { ReplaceSelection(text); }

void TextBox::SetForeColor(Colour colour) {
  foreColor_ = colour;
  Refresh();
}

void TextBox::SetBorderStyle(int style) {
  borderStyle_ = style == border::kFixedSingle ? border::kFixedSingle : border::kNone;
  ScrollToCaret();
  Refresh();
}

void TextBox::SetAppearance(int appearance) {
  appearance_ = appearance == appearance::kFlat ? appearance::kFlat : appearance::k3D;
  ScrollToCaret();
  Refresh();
}

void TextBox::SetFont(const platform::Font& font) {
  Control::SetFont(font);
  ScrollToCaret();
  Refresh();
}

// ---- Editing ----------------------------------------------------------------------

void TextBox::SelectAll() {
  anchor_ = 0;
  MoveCaret(text_.size(), true);
}

void TextBox::Copy() {
  if (SelTo() > SelFrom()) GetSite().GetPlatform().host().SetClipboardText(SelText());
}

void TextBox::Cut() {
  if (locked_ || SelTo() == SelFrom()) return;
  Copy();
  ReplaceSelection(u"");
}

void TextBox::Paste() {
  if (locked_) return;
  String text = GetSite().GetPlatform().host().ClipboardText();
  const std::size_t lineEnd = text.find_first_of(u"\r\n");
  if (lineEnd != String::npos) text.resize(lineEnd);
  if (maxLength_ > 0) {
    const std::size_t kept = text_.size() - (SelTo() - SelFrom());
    const auto limit = static_cast<std::size_t>(maxLength_);
    text.resize(kept >= limit ? 0 : text::CutWhole(text, std::min(text.size(), limit - kept)));
  }
  if (!text.empty()) ReplaceSelection(text);
}

void TextBox::ReplaceSelection(StringView text) {
  const std::size_t from = SelFrom();
  const std::size_t to = SelTo();
  const bool changes = to > from || !text.empty();
  text_.replace(from, to - from, text);
  anchor_ = from + text.size();
  MoveCaret(anchor_, false);
  if (changes) Changed();
}

void TextBox::DeleteRange(std::size_t from, std::size_t to) {
  anchor_ = from;
  caret_ = to;
  ReplaceSelection(u"");
}

void TextBox::Changed() { Change.Raise(); }

CharClass TextBox::ClassBefore(std::size_t pos) const { return ClassAt(text_, PrevBoundary(text_, pos)); }

std::size_t TextBox::WordLeft(std::size_t pos) const {
  while (pos > 0 && ClassBefore(pos) == CharClass::kSpace) pos = PrevBoundary(text_, pos);
  if (pos == 0) return 0;
  const CharClass cls = ClassBefore(pos);
  while (pos > 0 && ClassBefore(pos) == cls) pos = PrevBoundary(text_, pos);
  return pos;
}

std::size_t TextBox::WordRight(std::size_t pos) const {
  if (pos < text_.size() && ClassAt(text_, pos) != CharClass::kSpace) {
    const CharClass cls = ClassAt(text_, pos);
    while (pos < text_.size() && ClassAt(text_, pos) == cls) pos = NextBoundary(text_, pos);
  }
  while (pos < text_.size() && ClassAt(text_, pos) == CharClass::kSpace) pos = NextBoundary(text_, pos);
  return pos;
}

// ---- Caret and scrolling ------------------------------------------------------------

platform::Surface& TextBox::Measure() {
  if (!measure_) measure_ = GetSite().GetPlatform().graphics().CreateSurface(1, 1);
  measure_->SetFont(Font());
  return *measure_;
}

int TextBox::TextLeft() const { return BorderWidth(borderStyle_, appearance_) + kMargin; }

int TextBox::VisibleWidth() const { return std::max(0, PixelWidth() - 2 * TextLeft()); }

int TextBox::CaretX() {
  return TextLeft() + Measure().TextWidth(StringView(text_).substr(0, caret_)) - scroll_;
}

int TextBox::PositionAt(int x) {
  platform::Surface& m = Measure();
  const int target = x - TextLeft() + scroll_;
  std::size_t best = 0;
  int bestDistance = std::abs(target);
  for (std::size_t i = 1; i <= text_.size(); ++i) {
    if (InsidePair(text_, i)) continue;
    const int w = m.TextWidth(StringView(text_).substr(0, i));
    const int distance = std::abs(w - target);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
    if (w > target) break;
  }
  return static_cast<int>(best);
}

void TextBox::ScrollToCaret() {
  platform::Surface& m = Measure();
  const int caretPx = m.TextWidth(StringView(text_).substr(0, caret_));
  const int visible = VisibleWidth();
  if (caretPx < scroll_) scroll_ = caretPx;
  if (caretPx > scroll_ + visible) scroll_ = caretPx - visible;
  // No empty room on the right while the text could fill it.
  scroll_ = std::max(0, std::min(scroll_, m.TextWidth(text_) - visible));
}

void TextBox::MoveCaret(std::size_t pos, bool extend) {
  caret_ = FloorBoundary(text_, pos);
  if (!extend) anchor_ = caret_;
  anchor_ = FloorBoundary(text_, anchor_);
  ScrollToCaret();
  RestartBlink();
  Refresh();
}

void TextBox::RestartBlink() {
  if (!HasFocus()) return;
  caretOn_ = true;
  if (!blink_) {
    blink_ = GetSite().GetPlatform().loop().CreateTimer([this] {
      caretOn_ = !caretOn_;
      Refresh();
    });
    blink_->SetInterval(kCaretBlinkMs);
  }
  blink_->SetEnabled(false);
  blink_->SetEnabled(true);
}

// ---- Events ----------------------------------------------------------------------------

void TextBox::OnGotFocus() {
  RestartBlink();
  Refresh();
  GotFocus.Raise();
}

void TextBox::OnLostFocus() {
  if (blink_) blink_->SetEnabled(false);
  caretOn_ = false;
  dragging_ = false;
  Refresh();
  LostFocus.Raise();
}

void TextBox::OnResize() { ScrollToCaret(); }

void TextBox::OnMouseDown(const MouseEvent& e) {
  if (e.button != platform::button::kLeft) return;
  dragging_ = true;
  MoveCaret(static_cast<std::size_t>(PositionAt(e.x)), (e.shift & kShift) != 0);
}

void TextBox::OnMouseMove(const MouseEvent& e) {
  if (!dragging_ || (e.button & platform::button::kLeft) == 0) return;
  MoveCaret(static_cast<std::size_t>(PositionAt(e.x)), true);
}

void TextBox::OnMouseUp(const MouseEvent& e) {
  if (e.button == platform::button::kLeft) dragging_ = false;
}

void TextBox::OnDblClick(const MouseEvent& e) {
  dragging_ = false;
  if (text_.empty()) return;
  const auto pos = static_cast<std::size_t>(PositionAt(e.x));
  const std::size_t at = pos < text_.size() ? pos : PrevBoundary(text_, text_.size());
  const CharClass cls = ClassAt(text_, at);
  std::size_t from = at;
  std::size_t to = NextBoundary(text_, at);
  while (from > 0 && ClassBefore(from) == cls) from = PrevBoundary(text_, from);
  while (to < text_.size() && ClassAt(text_, to) == cls) to = NextBoundary(text_, to);
  anchor_ = from;
  MoveCaret(to, true);
}

void TextBox::OnKeyDown(int& keyCode, int shift) {
  auto code = static_cast<std::int16_t>(keyCode);
  auto sh = static_cast<std::int16_t>(shift);
  const bool alive = RaiseEvent(KeyDown, code, sh);
  keyCode = code;
  if (!alive || keyCode == 0) return;
  const bool extend = (shift & kShift) != 0;
  const bool ctrl = (shift & (kCtrl | kAlt)) == kCtrl;
  const bool plainCtrl = ctrl && !extend;
  namespace vk = platform::vk;
  switch (keyCode) {
    case vk::kLeft:
      if (!extend && !ctrl && SelTo() > SelFrom()) {
        MoveCaret(SelFrom(), false);
      } else {
        MoveCaret(ctrl ? WordLeft(caret_) : PrevBoundary(text_, caret_), extend);
      }
      break;
    case vk::kRight:
      if (!extend && !ctrl && SelTo() > SelFrom()) {
        MoveCaret(SelTo(), false);
      } else {
        MoveCaret(ctrl ? WordRight(caret_) : NextBoundary(text_, caret_), extend);
      }
      break;
    case vk::kHome:
      MoveCaret(0, extend);
      break;
    case vk::kEnd:
      MoveCaret(text_.size(), extend);
      break;
    case vk::kDelete:
      if (extend && !ctrl) {
        Cut();
      } else if (!locked_ && SelTo() > SelFrom()) {
        ReplaceSelection(u"");
      } else if (!locked_ && caret_ < text_.size()) {
        DeleteRange(caret_, NextBoundary(text_, caret_));
      }
      break;
    case vk::kInsert:
      if (plainCtrl) Copy();
      if (extend && !ctrl) Paste();
      break;
    case 'A':
      if (plainCtrl) SelectAll();
      break;
    case 'C':
      if (plainCtrl) Copy();
      break;
    case 'X':
      if (plainCtrl) Cut();
      break;
    case 'V':
      if (plainCtrl) Paste();
      break;
    default:
      break;
  }
}

void TextBox::OnKeyPress(char16_t& keyAscii) {
  auto code = static_cast<std::int16_t>(keyAscii);
  const bool alive = RaiseEvent(KeyPress, code);
  keyAscii = static_cast<char16_t>(code);
  if (!alive) return;
  // A character outside the BMP arrives as its two halves, one KeyPress
  // each: the high half waits for the low one and the pair goes in whole,
  // or not at all; a half without its partner is dropped.
  const char16_t high = std::exchange(pendingHigh_, u'\0');
  if (keyAscii == 0 || locked_) return;
  if (keyAscii == 8) {
    if (SelTo() > SelFrom()) {
      ReplaceSelection(u"");
    } else if (caret_ > 0) {
      DeleteRange(PrevBoundary(text_, caret_), caret_);
    }
    return;
  }
  if (keyAscii < 0x20) return;
  if (text::IsHighSurrogate(keyAscii)) {
    pendingHigh_ = keyAscii;
    return;
  }
  const char16_t pair[2] = {high, keyAscii};
  StringView typed(&keyAscii, 1);
  if (text::IsLowSurrogate(keyAscii)) {
    if (high == u'\0') return;
    typed = StringView(pair, 2);
  }
  if (maxLength_ > 0 && text_.size() - (SelTo() - SelFrom()) + typed.size() > static_cast<std::size_t>(maxLength_)) {
    return;
  }
  ReplaceSelection(typed);
}

void TextBox::OnKeyUp(int& keyCode, int shift) {
  auto code = static_cast<std::int16_t>(keyCode);
  auto sh = static_cast<std::int16_t>(shift);
  KeyUp.Raise(code, sh);
  keyCode = code;
}

// ---- Painting ------------------------------------------------------------------------

void TextBox::OnPaint(platform::Surface& surface) {
  const int width = PixelWidth();
  const int height = PixelHeight();
  surface.FillRect(Rect{0, 0, width, height}, BackColor());
  const int b = BorderWidth(borderStyle_, appearance_);
  const int lineHeight = surface.TextHeight(u"");
  const int top = b + 1;
  const int x0 = TextLeft() - scroll_;

  // The text stays inside the frame.
  const Point origin = surface.Origin();
  const Rect clip = surface.Clip();
  const Rect inner{origin.x + b, origin.y + b, origin.x + width - b, origin.y + height - b};
  surface.SetView(origin, Intersect(clip, inner));

  surface.SetTextColor(EffectivelyEnabled() ? foreColor_ : 0x80000011);
  surface.TextAt(Point{x0, top}, text_);
  const std::size_t from = SelFrom();
  const std::size_t to = SelTo();
  if (HasFocus() && to > from) {
    const StringView all(text_);
    const int left = x0 + surface.TextWidth(all.substr(0, from));
    const int right = x0 + surface.TextWidth(all.substr(0, to));
    surface.FillRect(Rect{left, top, right, top + lineHeight}, 0x8000000D);
    surface.SetTextColor(0x8000000E);
    surface.TextAt(Point{left, top}, all.substr(from, to - from));
  }
  if (CaretShown()) {
    const int x = x0 + surface.TextWidth(StringView(text_).substr(0, caret_));
    surface.FillRect(Rect{x, top, x + 1, top + lineHeight}, foreColor_);
  }

  surface.SetView(origin, clip);
  DrawBorder(surface, Rect{0, 0, width, height}, borderStyle_, appearance_);
}

}  // namespace pd::forms
