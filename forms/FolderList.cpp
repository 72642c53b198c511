#include "forms/FolderList.h"

#include <algorithm>

#include "forms/Border.h"
#include "forms/PushButton.h"
#include "platform/text.h"

namespace pd::forms {

namespace vk = platform::vk;

namespace {

constexpr Colour kWindow = 0x80000005;
constexpr Colour kWindowText = 0x80000008;
constexpr Colour kHighlight = 0x8000000D;
constexpr Colour kHighlightText = 0x8000000E;
constexpr Colour kFace = 0x8000000F;
constexpr Colour kShadow = 0x80000010;
constexpr Colour kLight = 0x80000014;
constexpr Colour kDarkShadow = 0x80000015;
constexpr Colour k3DLight = 0x80000016;
constexpr Colour kArrow = 0x80000012;
constexpr int kIconSize = 16;
constexpr int kPad = 3;

// A closed folder, 16 x 16, at (x, y).
void DrawFolder(platform::Surface& s, int x, int y) {
  constexpr Colour kEdge = 0x0080A0;      // dark yellow-brown
  constexpr Colour kBody = 0x40D0F8;      // yellow
  constexpr Colour kTabColour = 0x70E0FF;  // lighter yellow
  s.FillRect(Rect{x + 1, y + 2, x + 7, y + 4}, kEdge);
  s.FillRect(Rect{x + 2, y + 3, x + 6, y + 4}, kTabColour);
  s.FillRect(Rect{x, y + 4, x + 16, y + 14}, kEdge);
  s.FillRect(Rect{x + 1, y + 5, x + 15, y + 13}, kBody);
  s.FillRect(Rect{x + 1, y + 5, x + 15, y + 6}, kTabColour);
}

// A page with a folded corner, 16 x 16, at (x, y).
void DrawDocument(platform::Surface& s, int x, int y) {
  constexpr Colour kEdge = 0x707070;
  constexpr Colour kPaper = 0xFFFFFF;
  constexpr Colour kLines = 0xC0A080;
  s.FillRect(Rect{x + 2, y, x + 11, y + 1}, kEdge);
  s.FillRect(Rect{x + 2, y, x + 3, y + 16}, kEdge);
  s.FillRect(Rect{x + 2, y + 15, x + 14, y + 16}, kEdge);
  s.FillRect(Rect{x + 13, y + 4, x + 14, y + 16}, kEdge);
  s.FillRect(Rect{x + 3, y + 1, x + 10, y + 15}, kPaper);
  s.FillRect(Rect{x + 10, y + 4, x + 13, y + 15}, kPaper);
  for (int i = 0; i < 4; ++i) s.Line(Point{x + 10 + i, y + 1 + i}, Point{x + 10 + i, y + 4}, kEdge);
  for (int ly = y + 6; ly < y + 14; ly += 2) s.FillRect(Rect{x + 4, ly, x + 12, ly + 1}, kLines);
}

// A small filled triangle pointing up or down in r.
void DrawArrow(platform::Surface& s, const Rect& r, bool up) {
  const int cx = (r.left + r.right) / 2;
  const int cy = (r.top + r.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    const int y = up ? cy - 2 + i : cy + 1 - i;
    s.FillRect(Rect{cx - i, y, cx + i + 1, y + 1}, kArrow);
  }
}

void RaisedBox(platform::Surface& s, const Rect& r) {
  s.FillRect(r, kFace);
  FrameRect(s, r, k3DLight, kDarkShadow);
  FrameRect(s, Inset(r, 1), kLight, kShadow);
}

}  // namespace

FolderList::FolderList(Container& parent, StringView name) : Control(parent, name) { SetBackColor(kWindow); }

FolderList::~FolderList() = default;

platform::Surface& FolderList::Measure() {
  if (!measure_) measure_ = GetSite().GetPlatform().graphics().CreateSurface(1, 1);
  measure_->SetFont(Font());
  return *measure_;
}

int FolderList::RowHeight() {
  if (rowHeight_ == 0) rowHeight_ = std::max(kIconSize + 2, Measure().TextHeight(u"Ag") + 4);
  return rowHeight_;
}

void FolderList::SetFont(const platform::Font& font) {
  Control::SetFont(font);
  rowHeight_ = 0;
  RowHeight();
}

void FolderList::SetEntries(std::vector<platform::FolderEntry> entries) {
  RowHeight();
  entries_ = std::move(entries);
  selected_ = -1;
  top_ = 0;
  Refresh();
}

bool FolderList::HasScrollBar() const {
  const int frame = BorderWidth(border::kFixedSingle, appearance::k3D);
  const int rows = rowHeight_ > 0 ? (PixelHeight() - 2 * frame) / rowHeight_ : 0;
  return static_cast<int>(entries_.size()) > rows;
}

Rect FolderList::ListRect() const {
  const int frame = BorderWidth(border::kFixedSingle, appearance::k3D);
  return Rect{frame, frame, PixelWidth() - frame - (HasScrollBar() ? kScrollWidth : 0), PixelHeight() - frame};
}

int FolderList::VisibleRows() const {
  return rowHeight_ > 0 ? std::max(1, ListRect().Height() / rowHeight_) : 1;
}

int FolderList::MaxTop() const { return std::max(0, static_cast<int>(entries_.size()) - VisibleRows()); }

void FolderList::ScrollTo(int top) {
  const int clamped = std::clamp(top, 0, MaxTop());
  if (clamped == top_) return;
  top_ = clamped;
  Refresh();
}

void FolderList::EnsureVisible(int index) {
  if (index < 0) return;
  if (index < top_) {
    ScrollTo(index);
  } else if (index >= top_ + VisibleRows()) {
    ScrollTo(index - VisibleRows() + 1);
  }
}

void FolderList::Select(int index) {
  if (entries_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(entries_.size()) - 1);
  RowHeight();
  EnsureVisible(index);
  if (index == selected_) return;
  selected_ = index;
  Refresh();
  SelectionChanged.Raise(index);
}

int FolderList::RowAt(Point p) {
  const Rect list = ListRect();
  if (p.x < list.left || p.x >= list.right || p.y < list.top || p.y >= list.bottom) return -1;
  const int row = top_ + (p.y - list.top) / RowHeight();
  return row < static_cast<int>(entries_.size()) ? row : -1;
}

Rect FolderList::TrackRect() const {
  const Rect list = ListRect();
  return Rect{list.right, list.top + kScrollWidth, list.right + kScrollWidth, list.bottom - kScrollWidth};
}

Rect FolderList::ThumbRect() const {
  const Rect track = TrackRect();
  const int count = static_cast<int>(entries_.size());
  const int rows = VisibleRows();
  const int length = std::max(8, track.Height() * rows / std::max(1, count));
  const int room = std::max(0, track.Height() - length);
  const int top = MaxTop() > 0 ? track.top + room * top_ / MaxTop() : track.top;
  return Rect{track.left, top, track.right, top + length};
}

void FolderList::OnPaint(platform::Surface& s) {
  RowHeight();
  const Rect all{0, 0, PixelWidth(), PixelHeight()};
  s.FillRect(all, kWindow);
  DrawBorder(s, all, border::kFixedSingle, appearance::k3D);
  const Rect list = ListRect();
  const int textLeft = list.left + kPad + kIconSize + 4;
  for (int row = top_, y = list.top; row < static_cast<int>(entries_.size()) && y < list.bottom;
       ++row, y += rowHeight_) {
    const platform::FolderEntry& e = entries_[static_cast<std::size_t>(row)];
    const int iconTop = y + (rowHeight_ - kIconSize) / 2;
    e.folder ? DrawFolder(s, list.left + kPad, iconTop) : DrawDocument(s, list.left + kPad, iconTop);
    const int width = std::min(Measure().TextWidth(e.name) + 4, list.right - textLeft + 2);
    const Rect text{textLeft - 2, y + 1, textLeft - 2 + width, y + rowHeight_ - 1};
    const bool selected = row == selected_;
    if (selected) {
      s.FillRect(text, HasFocus() ? kHighlight : kFace);
      if (HasFocus()) FocusRect(s, text, kWindowText);
    }
    s.SetTextColor(selected && HasFocus() ? kHighlightText : kWindowText);
    s.TextIn(Rect{textLeft, y, text.right - 2, y + rowHeight_}, e.name,
             platform::dt::kLeft | platform::dt::kVCenter | platform::dt::kSingleLine | platform::dt::kEndEllipsis);
  }
  if (!HasScrollBar()) return;
  const Rect track = TrackRect();
  s.FillRect(track, k3DLight);
  const Rect up{track.left, list.top, track.right, track.top};
  const Rect down{track.left, track.bottom, track.right, list.bottom};
  RaisedBox(s, up);
  DrawArrow(s, up, true);
  RaisedBox(s, down);
  DrawArrow(s, down, false);
  RaisedBox(s, ThumbRect());
}

void FolderList::OnMouseDown(const MouseEvent& e) {
  if (e.button != platform::button::kLeft) return;
  SetFocus();
  const Rect list = ListRect();
  if (HasScrollBar() && e.x >= list.right) {
    const Rect track = TrackRect();
    const Rect thumb = ThumbRect();
    if (e.y < track.top) {
      ScrollTo(top_ - 1);
    } else if (e.y >= track.bottom) {
      ScrollTo(top_ + 1);
    } else if (e.y < thumb.top) {
      ScrollTo(top_ - VisibleRows());
    } else if (e.y >= thumb.bottom) {
      ScrollTo(top_ + VisibleRows());
    } else {
      dragging_ = true;
      dragOffset_ = e.y - thumb.top;
    }
    return;
  }
  const int row = RowAt(Point{e.x, e.y});
  if (row >= 0) Select(row);
}

void FolderList::OnMouseMove(const MouseEvent& e) {
  if (!dragging_) return;
  const Rect track = TrackRect();
  const Rect thumb = ThumbRect();
  const int room = track.Height() - thumb.Height();
  if (room <= 0) return;
  const int y = std::clamp(e.y - dragOffset_ - track.top, 0, room);
  ScrollTo((y * MaxTop() + room / 2) / room);
}

void FolderList::OnMouseUp(const MouseEvent& /*e*/) { dragging_ = false; }

void FolderList::OnDblClick(const MouseEvent& e) {
  const int row = RowAt(Point{e.x, e.y});
  if (row >= 0 && row == selected_) Activated.Raise(row);
}

void FolderList::OnKeyDown(int& keyCode, int /*shift*/) {
  if (entries_.empty()) return;
  const int page = std::max(1, VisibleRows() - 1);
  const int last = static_cast<int>(entries_.size()) - 1;
  int to = selected_;
  switch (keyCode) {
    case vk::kUp:
      to = selected_ < 0 ? 0 : selected_ - 1;
      break;
    case vk::kDown:
      to = selected_ + 1;
      break;
    case vk::kPrior:
      to = selected_ - page;
      break;
    case vk::kNext:
      to = selected_ < 0 ? page : selected_ + page;
      break;
    case vk::kHome:
      to = 0;
      break;
    case vk::kEnd:
      to = last;
      break;
    default:
      return;
  }
  keyCode = 0;
  Select(std::clamp(to, 0, last));
}

void FolderList::OnKeyPress(char16_t& keyAscii) {
  if (keyAscii < u' ' || entries_.empty()) return;
  const char16_t wanted = text::LowerChar(keyAscii);
  const int count = static_cast<int>(entries_.size());
  for (int step = 1; step <= count; ++step) {
    const int row = (std::max(selected_, -1) + step) % count;
    const String& name = entries_[static_cast<std::size_t>(row)].name;
    if (!name.empty() && text::LowerChar(name[0]) == wanted) {
      Select(row);
      break;
    }
  }
  keyAscii = 0;
}

}  // namespace pd::forms
