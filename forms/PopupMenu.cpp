#include "forms/PopupMenu.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/text.h"

namespace pd::forms {

using platform::MenuItem;

namespace {

// System colours of menus.
constexpr Colour kMenu = 0x80000004;
constexpr Colour kMenuText = 0x80000007;
constexpr Colour kHighlight = 0x8000000D;
constexpr Colour kHighlightText = 0x8000000E;
constexpr Colour kShadow = 0x80000010;
constexpr Colour kLight = 0x80000014;
constexpr Colour kDarkShadow = 0x80000015;

// Pixels: the frame, the room between it and the items, the column of the
// check mark left of the captions and the room right of them.
constexpr int kFrame = 1;
constexpr int kPad = 2;
constexpr int kCheckColumn = 20;
constexpr int kRightRoom = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kItemExtra = 6;  // item height above the text's

// The check mark, 7 x 7.
constexpr std::array<std::string_view, 7> kCheck = {
    "......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#....",
};

void DrawCheck(platform::Surface& s, Point at, Colour colour) {
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      if (kCheck[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#') {
        s.FillRect(Rect{at.x + x, at.y + y, at.x + x + 1, at.y + y + 1}, colour);
      }
    }
  }
}

Rect Offset(const Rect& r, int dx, int dy) { return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// The list of items filling the menu's window: it holds the pointer and the
// keyboard while the menu is open.
class MenuList final : public Control {
 public:
  // rows: each item's rectangle in the list's pixels.
  MenuList(Form& window, std::span<const MenuItem> items, std::vector<Rect> rows)
      : Control(window, u"lstMenu"), items_(items), rows_(std::move(rows)) {}

  [[nodiscard]] bool CanFocus() const override { return true; }
  [[nodiscard]] bool WantsTab() const override { return true; }

  [[nodiscard]] bool Done() const { return done_; }
  [[nodiscard]] int Chosen() const { return chosen_; }
  // The first answer counts; the menu goes from the screen at once.
  void Finish(int id) {
    if (done_) return;
    chosen_ = id;
    done_ = true;
    GetForm().Hide();
  }

 protected:
  void OnPaint(platform::Surface& s) override;
  void OnMouseDown(const MouseEvent& e) override {
    if (!Inside(e)) {
      Finish(0);
      return;
    }
    SetHot(SelectableAt(e));
  }
  void OnMouseMove(const MouseEvent& e) override { SetHot(Inside(e) ? SelectableAt(e) : -1); }
  void OnMouseUp(const MouseEvent& e) override {
    const int at = Inside(e) ? SelectableAt(e) : -1;
    if (at >= 0) Finish(items_[static_cast<std::size_t>(at)].id);
  }
  void OnKeyDown(int& key, int shift) override;
  void OnKeyPress(char16_t& ch) override;

 private:
  [[nodiscard]] int Count() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] bool Selectable(int i) const {
    const MenuItem& item = items_[static_cast<std::size_t>(i)];
    return !item.separator && item.enabled;
  }
  [[nodiscard]] bool Inside(const MouseEvent& e) const {
    return e.x >= 0 && e.y >= 0 && e.x < PixelWidth() && e.y < PixelHeight();
  }
  [[nodiscard]] int SelectableAt(const MouseEvent& e) const {
    for (int i = 0; i < Count(); ++i) {
      const Rect& r = rows_[static_cast<std::size_t>(i)];
      if (e.x >= r.left && e.x < r.right && e.y >= r.top && e.y < r.bottom) return Selectable(i) ? i : -1;
    }
    return -1;
  }
  // The next selectable item from `from` in steps of step (+1 or -1),
  // wrapping round; -1 when there is none.
  [[nodiscard]] int Next(int from, int step) const {
    for (int n = 1; n <= Count(); ++n) {
      const int i = ((from + step * n) % Count() + Count()) % Count();
      if (Selectable(i)) return i;
    }
    return -1;
  }
  void SetHot(int i) {
    if (i == hot_) return;
    hot_ = i;
    Refresh();
  }

  std::span<const MenuItem> items_;
  std::vector<Rect> rows_;
  int hot_ = -1;
  bool done_ = false;
  int chosen_ = 0;
};

void MenuList::OnKeyDown(int& key, int /*shift*/) {
  namespace vk = platform::vk;
  switch (key) {
    case vk::kDown:
      SetHot(Next(hot_ < 0 ? -1 : hot_, 1));
      break;
    case vk::kUp:
      SetHot(Next(hot_ < 0 ? Count() : hot_, -1));
      break;
    case vk::kHome:
      SetHot(Next(-1, 1));
      break;
    case vk::kEnd:
      SetHot(Next(Count(), -1));
      break;
    case vk::kReturn:
    case vk::kSpace:
      if (hot_ >= 0) Finish(items_[static_cast<std::size_t>(hot_)].id);
      break;
    case vk::kEscape:
      Finish(0);
      break;
    default:
      return;
  }
  key = 0;
}

void MenuList::OnKeyPress(char16_t& ch) {
  if (ch <= u' ') return;
  const char16_t wanted = text::LowerChar(ch);
  std::vector<int> matches;
  for (int i = 0; i < Count(); ++i) {
    const String& caption = items_[static_cast<std::size_t>(i)].caption;
    if (Selectable(i) && !caption.empty() && text::LowerChar(caption.front()) == wanted) matches.push_back(i);
  }
  if (matches.empty()) return;
  if (matches.size() == 1) {
    Finish(items_[static_cast<std::size_t>(matches.front())].id);
    return;
  }
  auto after = std::upper_bound(matches.begin(), matches.end(), hot_);
  SetHot(after != matches.end() ? *after : matches.front());
}

void MenuList::OnPaint(platform::Surface& s) {
  const int w = PixelWidth();
  const int h = PixelHeight();
  s.FillRect(Rect{0, 0, w, h}, kMenu);
  s.FillRect(Rect{0, 0, w, kFrame}, kLight);
  s.FillRect(Rect{0, 0, kFrame, h}, kLight);
  s.FillRect(Rect{0, h - kFrame, w, h}, kDarkShadow);
  s.FillRect(Rect{w - kFrame, 0, w, h}, kDarkShadow);
  constexpr unsigned kLine = platform::dt::kLeft | platform::dt::kVCenter | platform::dt::kSingleLine;
  for (int i = 0; i < Count(); ++i) {
    const MenuItem& item = items_[static_cast<std::size_t>(i)];
    const Rect& r = rows_[static_cast<std::size_t>(i)];
    if (item.separator) {
      const int y = r.top + r.Height() / 2 - 1;
      s.FillRect(Rect{r.left + 1, y, r.right - 1, y + 1}, kShadow);
      s.FillRect(Rect{r.left + 1, y + 1, r.right - 1, y + 2}, kLight);
      continue;
    }
    const bool hot = i == hot_;
    if (hot) s.FillRect(r, kHighlight);
    const Rect caption{r.left + kCheckColumn, r.top, r.right - kRightRoom / 2, r.bottom};
    const Point check{r.left + (kCheckColumn - 7) / 2, r.top + (r.Height() - 7) / 2};
    if (!item.enabled) {
      // Embossed: a light copy one pixel down and right under the grey one.
      s.SetTextColor(kLight);
      s.TextIn(Offset(caption, 1, 1), item.caption, kLine);
      if (item.checked) DrawCheck(s, Point{check.x + 1, check.y + 1}, kLight);
      s.SetTextColor(kShadow);
      s.TextIn(caption, item.caption, kLine);
      if (item.checked) DrawCheck(s, check, kShadow);
      continue;
    }
    const Colour ink = hot ? kHighlightText : kMenuText;
    s.SetTextColor(ink);
    s.TextIn(caption, item.caption, kLine);
    if (item.checked) DrawCheck(s, check, ink);
  }
}

}  // namespace

Rect PlacePopup(Point at, int width, int height, const Rect& workArea) {
  auto place = [](int from, int size, int low, int high) {
    int start = from + size > high ? from - size : from;
    start = std::min(start, high - size);
    return std::max(start, low);
  };
  const int x = place(at.x, width, workArea.left, workArea.right);
  const int y = place(at.y, height, workArea.top, workArea.bottom);
  return Rect{x, y, x + width, y + height};
}

int ShowPopupMenu(ControlHost& host, Form* owner, std::span<const MenuItem> items, Point screen) {
  if (items.empty()) return 0;
  platform::Platform& platform = host.GetPlatform();
  const platform::Font font = owner != nullptr ? owner->Font() : platform::Font{};

  // Rows from the measured captions.
  auto measure = platform.graphics().CreateSurface(1, 1);
  measure->SetFont(font);
  const int itemHeight = measure->TextHeight(u"") + kItemExtra;
  int widest = 0;
  for (const MenuItem& item : items) {
    if (!item.separator) widest = std::max(widest, measure->TextWidth(item.caption));
  }
  const int inset = kFrame + kPad;
  const int width = inset + kCheckColumn + widest + kRightRoom + inset;
  std::vector<Rect> rows;
  int y = inset;
  for (const MenuItem& item : items) {
    const int rowHeight = item.separator ? kSeparatorHeight : itemHeight;
    rows.push_back(Rect{inset, y, width - inset, y + rowHeight});
    y += rowHeight;
  }
  const int height = y + inset;

  Form window(host, u"mnuPopup", u"", platform::WindowKind::Popup, owner);
  window.SetFont(font);
  window.SetBackColor(kMenu);
  MenuList list(window, items, std::move(rows));
  const Rect at = PlacePopup(screen, width, height, platform.host().WorkArea());
  window.Move(at.left * kTwipsPerPixel, at.top * kTwipsPerPixel, width * kTwipsPerPixel, height * kTwipsPerPixel);
  list.Move(0, 0, width * kTwipsPerPixel, height * kTwipsPerPixel);

  const WindowHandle foreground = platform.input().ForegroundWindow();
  window.Show();
  list.SetFocus();
  list.SetCapture();
  host.RunModal([&] {
    if (list.Done()) return true;
    const WindowHandle now = platform.input().ForegroundWindow();
    if (now != foreground && host.FormOf(now) == nullptr) {
      list.Finish(0);  // another program took the activation
      return true;
    }
    if (!list.HasCapture()) list.SetCapture();  // a dialog opened meanwhile had it
    return false;
  }, &window);
  window.Hide();
  return list.Chosen();
}

}  // namespace pd::forms
