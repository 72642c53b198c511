// XP_ListBox: mouse, wheel and keys on the list (the scroll bar's parts
// handle their own: ListScrollBar.cpp).
#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/ListScrollBar.h"
#include "controls/XP_ListBox.h"
#include "platform/host.h"
#include "platform/input.h"

namespace pd::controls {
namespace {

constexpr int kRowsPerNotch = 3;
constexpr int kNotch = 120;
constexpr int kCheckLeft = 1;    // the check box's hit area: kCheckLeft < x < kCheckRight
constexpr int kCheckRight = 17;

struct MouseArgs {
  std::int16_t button;
  std::int16_t shift;
  float x;
  float y;
};

MouseArgs ArgsOf(const forms::MouseEvent& e) {
  return MouseArgs{static_cast<std::int16_t>(e.button), static_cast<std::int16_t>(e.shift), static_cast<float>(e.x),
                   static_cast<float>(e.y)};
}

}  // namespace

// ---- Mouse -------------------------------------------------------------------------------

void XP_ListBox::OnMouseDown(const forms::MouseEvent& e) {
  MouseArgs a = ArgsOf(e);
  if (!RaiseEvent(MouseDown, a.button, a.shift, a.x, a.y)) return;
  if (e.button == platform::button::kLeft) leftPressed_ = true;
  if (a.button != platform::button::kLeft) return;
  ClickRow(a.x, a.y, a.shift);
}

void XP_ListBox::OnMouseMove(const forms::MouseEvent& e) {
  MouseArgs a = ArgsOf(e);
  MouseMove.Raise(a.button, a.shift, a.x, a.y);
}

void XP_ListBox::OnMouseUp(const forms::MouseEvent& e) {
  const bool click = e.button == platform::button::kLeft && leftPressed_ && e.x >= 0 && e.y >= 0 &&
                     e.x < PixelWidth() && e.y < PixelHeight();
  if (e.button == platform::button::kLeft) leftPressed_ = false;
  MouseArgs a = ArgsOf(e);
  if (RaiseEvent(MouseUp, a.button, a.shift, a.x, a.y) && click) Click.Raise();
}

// A double click arrives as the second press (OnMouseDown, which handles
// the row as any press does) and then this. So the second click of a double
// click counts as a click: on a check box it toggles once more, and in
// MultiSelect 1 the row toggles back. The system's own check boxes and
// multiple-selection lists do the same with the second press of a double
// click, and it keeps two quick clicks doing what two slow ones do: a box
// clicked twice quickly ends as it began, never half-way through a change
// the user made twice.
void XP_ListBox::OnDblClick(const forms::MouseEvent& /*e*/) {
  leftPressed_ = false;  // its release makes no second Click
  DblClick.Raise();
}

void XP_ListBox::ClickRow(float x, float y, int shift) {
  const float w = static_cast<float>(PixelWidth());
  const float h = static_cast<float>(PixelHeight());
  if (!(x > 0 && x < w - 1 && y > 0 && y < h - 1)) return;
  const std::int64_t row64 = static_cast<std::int64_t>(std::lround(y - 1)) / RowHeight() + topIndex_;
  const auto row = static_cast<std::int32_t>(std::min<std::int64_t>(row64, std::numeric_limits<std::int32_t>::max()));
  const bool shiftHeld = (shift & platform::shift::kShift) != 0;
  const bool ctrlHeld = (shift & platform::shift::kCtrl) != 0;
  const bool extend = shiftHeld && multiSelect_ == 2;
  const bool toggle = ctrlHeld && !shiftHeld && multiSelect_ == 2;
  const bool onCheck = x > kCheckLeft && x < kCheckRight && style_ == 2;
  const bool inList = row < ListCount();
  // Rows ticked (true) or unticked, raised once the list is in its new
  // state: a handler may change or destroy the list.
  std::vector<std::pair<std::int32_t, bool>> ticks;

  if ((multiSelect_ == 0 && (inList || cleanOnClick_)) || (multiSelect_ == 1 && cleanOnClick_ && !inList) ||
      (multiSelect_ == 2 && !toggle && (inList || cleanOnClick_))) {
    ClearAll();
  }
  if (!extend) selectionAnchor_ = listIndex_;
  if (inList) {
    if (row - topIndex_ == VisibleRows()) scroll_.SetPosition(scroll_.ScrollValue() + 1);
    if (selectionAnchor_ == -1 || (!extend && multiSelect_ > 0)) selectionAnchor_ = row;
    std::vector<std::int32_t> ranged;
    SelectRange(row, onCheck, &ranged);
    for (std::int32_t i : ranged) ticks.emplace_back(i, true);
    ListItem& item = items_[static_cast<std::size_t>(row)];
    item.Selected = onCheck ? true : !item.Selected;
    listIndex_ = row;
    if (onCheck && item.Enabled) {
      item.Checked = extend ? true : !item.Checked;
      ticks.emplace_back(row, item.Checked);
    }
  }
  Repaint();
  for (auto [tick, checked] : ticks) {
    std::int32_t index = tick;
    if (!RaiseEvent(checked ? Check : Uncheck, index)) return;
  }
}

void XP_ListBox::SelectRange(std::int32_t to, bool check, std::vector<std::int32_t>* ticked) {
  const std::int32_t from = std::clamp<std::int32_t>(selectionAnchor_, 0, std::max(0, ListCount() - 1));
  const std::int32_t step = to >= from ? 1 : -1;
  for (std::int32_t i = from; i != to; i += step) {
    ListItem& item = items_[static_cast<std::size_t>(i)];
    item.Selected = true;
    if (check && item.Enabled) {
      item.Checked = true;
      if (ticked != nullptr) ticked->push_back(i);
    }
  }
}

bool XP_ListBox::OnMouseWheel(const forms::MouseEvent& /*e*/, int delta) {
  wheel_ += delta * kRowsPerNotch;
  const int rows = wheel_ / kNotch;
  wheel_ -= rows * kNotch;
  const std::int64_t last = std::int64_t{ListCount()} - VisibleRows();
  if (rows == 0 || last <= 0) return true;
  const std::int64_t target = std::clamp<std::int64_t>(std::int64_t{scroll_.ScrollValue()} - rows, 0, last);
  if (target != scroll_.ScrollValue()) scroll_.SetPosition(static_cast<std::int32_t>(target));
  return true;
}

// ---- Keys --------------------------------------------------------------------------------

void XP_ListBox::OnKeyDown(int& keyCode, int shift) {
  auto code = static_cast<std::int16_t>(keyCode);
  auto sh = static_cast<std::int16_t>(shift);
  const bool alive = RaiseEvent(KeyDown, code, sh);
  keyCode = code;
  if (!alive || code == 0) return;
  Navigate(code, sh);
}

void XP_ListBox::Navigate(int keyCode, int shift) {
  if (PressedButton() == 1 || ListCount() == 0 || keyCode < platform::vk::kPrior || keyCode > platform::vk::kDown) {
    return;
  }
  const bool extend = (shift & platform::shift::kShift) != 0 && multiSelect_ == 2;
  const std::int64_t last = ListCount() - 1;
  const std::int64_t page = VisibleRows() - 1;
  std::int64_t i = listIndex_;
  ClearAll();
  switch (keyCode) {
    case platform::vk::kLeft:
    case platform::vk::kUp:
      i -= 1;
      break;
    case platform::vk::kRight:
    case platform::vk::kDown:
      i += 1;
      break;
    case platform::vk::kPrior:
      i -= page;
      break;
    case platform::vk::kNext:
      i += page;
      break;
    case platform::vk::kHome:
      i = 0;
      break;
    default:  // End
      i = last;
      break;
  }
  // A page of fewer than two rows can point past either end: limited.
  const auto to = static_cast<std::int32_t>(std::clamp<std::int64_t>(i, 0, last));
  if (!extend) selectionAnchor_ = to;
  SelectRange(to, false);
  items_[static_cast<std::size_t>(to)].Selected = !items_[static_cast<std::size_t>(to)].Selected;
  SetListIndex(to);
}

void XP_ListBox::OnKeyPress(char16_t& keyAscii) {
  auto ascii = static_cast<std::int16_t>(keyAscii);
  const bool alive = RaiseEvent(KeyPress, ascii);
  keyAscii = static_cast<char16_t>(ascii);
  if (!alive || ascii != platform::vk::kSpace || style_ != 2 || listIndex_ < 0 || listIndex_ >= ListCount()) return;
  if (items_[static_cast<std::size_t>(listIndex_)].Enabled) SetListChecked(listIndex_, !ListChecked(listIndex_));
}

void XP_ListBox::OnKeyUp(int& keyCode, int shift) {
  auto code = static_cast<std::int16_t>(keyCode);
  auto sh = static_cast<std::int16_t>(shift);
  KeyUp.Raise(code, sh);
}

}  // namespace pd::controls
