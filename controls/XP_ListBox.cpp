#include "controls/XP_ListBox.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "controls/ColorText.h"
#include "controls/ListPainter.h"
#include "controls/ListScrollBar.h"
#include "controls/ListSkin.h"
#include "forms/Form.h"
#include "platform/input.h"

namespace pd::controls {
namespace {

std::int32_t ClampToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

XP_ListBox::XP_ListBox(forms::Container& parent, StringView name, int index)
    : Container(parent, name, index),
      graphics_(GetSite().GetPlatform().graphics()),
      measure_(graphics_.CreateSurface(1, 1)),
      skin_(ListSkin::Load(GetSite().GetPlatform())),
      scroll_([this](std::int32_t position) { ApplyScrollPosition(position); }) {
  bar_ = std::make_unique<ListScrollBar>(*this, scroll_);
  scroll_.SetThumbSink([this] { bar_->SizeThumb(); });
  ReadProperties(GetSite().Properties());
}

XP_ListBox::~XP_ListBox() = default;

// ---- Helpers -------------------------------------------------------------------

void XP_ListBox::RequireIndex(std::int32_t index, const char* what) {
  if (index < 0) {
    throw std::out_of_range(std::string("XP_ListBox: negative index ") + std::to_string(index) + " for " + what);
  }
}

ListItem* XP_ListBox::At(std::int32_t index, const char* what) {
  RequireIndex(index, what);
  return index < ListCount() ? &items_[static_cast<std::size_t>(index)] : nullptr;
}

const ListItem* XP_ListBox::At(std::int32_t index, const char* what) const {
  RequireIndex(index, what);
  return index < ListCount() ? &items_[static_cast<std::size_t>(index)] : nullptr;
}

const ListItem& XP_ListBox::ItemAt(std::int32_t Index) const {
  const ListItem* item = At(Index, "ItemAt");
  if (item == nullptr) throw std::out_of_range("XP_ListBox: no item " + std::to_string(Index));
  return *item;
}

void XP_ListBox::Changed(StringView name) { GetSite().PropertyChanged(name); }

void XP_ListBox::ClearSelection() {
  for (ListItem& item : items_) item.Selected = false;
}

void XP_ListBox::ClearAll() {
  ClearSelection();
  listIndex_ = -1;
}

std::int16_t XP_ListBox::PressedButton() const { return bar_->PressedButton(); }

void XP_ListBox::ApplyScrollPosition(std::int32_t value) {
  topIndex_ = value;
  Repaint();
}

std::int32_t XP_ListBox::RowHeight() const {
  if (itemHeight_ >= 1) return itemHeight_;
  return std::max(1, measure_->TextHeight(u""));
}

std::int32_t XP_ListBox::VisibleRows() const { return std::max(0, (PixelHeight() - 2) / RowHeight()); }

void XP_ListBox::Repaint() {
  trackVisible_ = VisibleRows() < ListCount();
  if (bar_) bar_->SetTrackShown(trackVisible_);
  Control::Refresh();
}

void XP_ListBox::OnResize() {
  Repaint();
  bar_->Layout(PixelWidth(), PixelHeight());
}

void XP_ListBox::OnPaint(platform::Surface& surface) {
  ListLook look;
  look.back = graphics_.ResolveColour(BackColor());
  look.border = graphics_.ResolveColour(borderColor_);
  look.fore = graphics_.ResolveColour(foreColor_);
  look.foreSelected = graphics_.ResolveColour(foreColorSelected_);
  look.selection = graphics_.ResolveColour(selectionColor_);
  look.fullRowSelect = fullRowSelect_;
  look.style = style_;
  look.imageWidth = imageWidth_;
  look.rowHeight = RowHeight();
  look.visibleRows = VisibleRows();
  look.topIndex = topIndex_;
  // The width limit is the list's width in the host's units (twips), far
  // beyond the surface: it never stops a visible row.
  look.textWidthLimit = ClampToInt32(std::int64_t{Width()});
  surface.SetFont(Font());
  ListPainter(surface, skin_.get(), pictures_, PixelWidth(), PixelHeight()).Paint(items_, look);
  ++repaints_;
}

// ---- Methods -------------------------------------------------------------------

void XP_ListBox::AddItem(StringView Item, std::int32_t Index, PicturePtr img, bool Redraw) {
  if (ListCount() == std::numeric_limits<std::int32_t>::max()) {
    throw std::overflow_error("XP_ListBox: the list cannot hold more items");
  }
  ListItem item;
  item.SetText(Item, itemMarkup_);
  item.Picture = std::move(img);
  if (Index >= 0 && Index < ListCount()) {
    items_.insert(items_.begin() + Index, std::move(item));
    if (listIndex_ >= 0 && Index < listIndex_) ++listIndex_;
  } else {
    items_.push_back(std::move(item));
  }
  if (Redraw) Refresh();
  OnAddItem.Raise();
}

void XP_ListBox::RemoveItem(std::int32_t Index, bool Redraw) {
  if (Index < 0 || Index >= ListCount()) return;
  if (ListCount() == 1) {
    Clear();
  } else {
    items_.erase(items_.begin() + Index);
    listIndex_ = -1;
  }
  if (Redraw) Refresh();
  OnRemoveItem.Raise();
}

void XP_ListBox::Clear() {
  listIndex_ = -1;
  std::vector<ListItem>().swap(items_);
  scroll_.SetPosition(0);
  scroll_.RecomputeRange(ListCount(), VisibleRows());
}

void XP_ListBox::Refresh() {
  Repaint();
  scroll_.RecomputeRange(ListCount(), VisibleRows());
}

void XP_ListBox::DrawColorText(std::int32_t n, std::int32_t X, std::int32_t Y, std::int32_t Width) {
  const ListItem* item = At(n, "DrawColorText");
  platform::Surface* frame = OnForm() ? GetForm().Frame() : nullptr;
  if (item == nullptr || frame == nullptr || !Shown()) return;
  const Rect at = FormRect();
  frame->SetView(Point{at.left, at.top}, at);
  frame->SetFont(Font());
  controls::DrawColorText(*frame, item->Runs, X, Y, Width, pictures_);
  frame->ResetView();
  frame->PresentRect(at);
}

void XP_ListBox::RegisterPicture(std::int32_t number, PicturePtr picture) {
  pictures_.Set(number, std::move(picture));
  Repaint();
}

// ---- Properties ----------------------------------------------------------------

void XP_ListBox::SetBackColor(Colour value) {
  Control::SetBackColor(value);
  Changed(u"BackColor");
  Repaint();
}

void XP_ListBox::SetBorderColor(Colour value) {
  borderColor_ = value;
  Changed(u"BorderColor");
  Repaint();
}

void XP_ListBox::SetEnabled(bool value) {
  SetEnabledState(value);
  Changed(u"Enabled");
  // The list keeps its look; the scroll bar's parts show their disabled
  // cells.
  bar_->EnabledChanged(value);
}

void XP_ListBox::SetFont(const platform::Font& value) {
  Control::SetFont(value);
  measure_->SetFont(value);
  Changed(u"Font");
  Repaint();
}

void XP_ListBox::SetForeColor(Colour value) {
  foreColor_ = value;
  Changed(u"ForeColor");
  Repaint();
}

void XP_ListBox::SetForeColorSelected(Colour value) {
  foreColorSelected_ = value;
  Changed(u"ForeColorSelected");
  Repaint();
}

void XP_ListBox::SetMouseIcon(PicturePtr value) {
  Control::SetMouseIcon(std::move(value));
  Changed(u"MouseIcon");
}

void XP_ListBox::SetMousePointer(std::int32_t value) {
  Control::SetMousePointer(value);
  Changed(u"MousePointer");
}

void XP_ListBox::SetItemHeight(std::int32_t value) {
  itemHeight_ = value;
  Changed(u"ItemHeight");
  Repaint();
}

void XP_ListBox::SetStyle(std::int32_t value) {
  style_ = value;
  Changed(u"Style");
  Repaint();
}

void XP_ListBox::SetSelectionColor(Colour value) {
  selectionColor_ = value;
  Changed(u"SelectionColor");
  Repaint();
}

void XP_ListBox::SetImageWidth(std::int32_t value) {
  imageWidth_ = value;
  Changed(u"ImageWidth");
  Repaint();
}

void XP_ListBox::SetMultiSelect(std::int32_t value) {
  multiSelect_ = value;
  Changed(u"MultiSelect");
}

void XP_ListBox::SetFullRowSelect(bool value) {
  fullRowSelect_ = value;
  Changed(u"FullRowSelect");
}

void XP_ListBox::SetItemMarkup(bool value) {
  if (value == itemMarkup_) return;
  itemMarkup_ = value;
  for (ListItem& item : items_) item.SetText(item.ItemText, itemMarkup_);
  Refresh();
}

void XP_ListBox::SetCleanOnClick(bool value) {
  cleanOnClick_ = value;
  Changed(u"CleanOnClick");
}

void XP_ListBox::SetListIndex(std::int32_t value) {
  if (value < 0 || value >= ListCount()) return;
  if (multiSelect_ == 0) ClearSelection();
  listIndex_ = value;
  items_[static_cast<std::size_t>(value)].Selected = true;
  const std::int64_t visible = VisibleRows();
  if (listIndex_ > topIndex_ + visible - 1) {
    scroll_.SetPosition(ClampToInt32(listIndex_ - visible + 1));
  } else if (listIndex_ < topIndex_) {
    scroll_.SetPosition(listIndex_);
  }
  Repaint();
  Click.Raise();
}

void XP_ListBox::SetTopIndex(std::int32_t value) {
  if (value == topIndex_) return;
  const std::int64_t highest = std::int64_t{ListCount()} - VisibleRows();
  std::int64_t top = value;
  if (value < 0) {
    top = 0;
  } else if (value > highest) {
    top = highest;
  }
  scroll_.SetPosition(ClampToInt32(top));
}

String XP_ListBox::List(std::int32_t Index) const {
  const ListItem* item = At(Index, "List");
  return item ? item->ItemText : String();
}

void XP_ListBox::SetList(std::int32_t Index, StringView value) {
  ListItem* item = At(Index, "List");
  if (item == nullptr) return;
  item->SetText(value, itemMarkup_);
  Repaint();
}

String XP_ListBox::ItemData(std::int32_t Index) const {
  const ListItem* item = At(Index, "ItemData");
  return item ? item->ItemData : String();
}

void XP_ListBox::SetItemData(std::int32_t Index, StringView value) {
  if (ListItem* item = At(Index, "ItemData")) item->ItemData = String(value);
}

bool XP_ListBox::Selected(std::int32_t Index) const {
  const ListItem* item = At(Index, "Selected");
  return item != nullptr && item->Selected;
}

void XP_ListBox::SetSelected(std::int32_t Index, bool value) {
  ListItem* item = At(Index, "Selected");
  if (item == nullptr) return;
  item->Selected = value;
  Repaint();
}

bool XP_ListBox::ListEnabled(std::int32_t Index) const {
  const ListItem* item = At(Index, "ListEnabled");
  return item != nullptr && item->Enabled;
}

void XP_ListBox::SetListEnabled(std::int32_t Index, bool value) {
  ListItem* item = At(Index, "ListEnabled");
  if (item == nullptr) return;
  item->Enabled = value;
  Repaint();
}

bool XP_ListBox::ListChecked(std::int32_t Index) const {
  const ListItem* item = At(Index, "ListChecked");
  return item != nullptr && item->Checked;
}

void XP_ListBox::SetListChecked(std::int32_t Index, bool value) {
  if (ListItem* item = At(Index, "ListChecked")) item->Checked = value;
  Repaint();
  std::int32_t index = Index;
  RaiseEvent(value ? Check : Uncheck, index);
}

// ---- Host ----------------------------------------------------------------------

void XP_ListBox::ReadProperties(platform::PropertyStore& store) {
  borderColor_ = store.ReadColour(u"BorderColor", kDefaultBorderColor);
  foreColor_ = store.ReadColour(u"ForeColor", 0);
  foreColorSelected_ = store.ReadColour(u"ForeColorSelected", 0);
  selectionColor_ = store.ReadColour(u"SelectionColor", kDefaultSelectionColor);
  fullRowSelect_ = store.ReadBool(u"FullRowSelect", true);
  itemHeight_ = store.ReadInt(u"ItemHeight", 0);
  imageWidth_ = store.ReadInt(u"ImageWidth", kDefaultImageWidth);
  multiSelect_ = store.ReadInt(u"MultiSelect", 0);
  cleanOnClick_ = store.ReadBool(u"CleanOnClick", false);
  style_ = store.ReadInt(u"Style", 0);
  // The window attributes go to the control host's control.
  Control::SetBackColor(store.ReadColour(u"BackColor", kDefaultBackColor));
  SetEnabledState(store.ReadBool(u"Enabled", true));
  Control::SetMousePointer(store.ReadInt(u"MousePointer", 0));
  Control::SetFont(store.ReadFont(u"Font", GetSite().AmbientFont()));
  measure_->SetFont(Font());
  Control::SetMouseIcon(store.ReadPicture(u"MouseIcon"));
  Repaint();
}

void XP_ListBox::WriteProperties(platform::PropertyStore& store) const {
  store.WriteColour(u"BackColor", BackColor(), kDefaultBackColor);
  store.WriteBool(u"Enabled", Enabled(), true);
  store.WriteFont(u"Font", Font(), GetSite().AmbientFont());
  store.WriteColour(u"ForeColor", foreColor_, 0);
  store.WriteColour(u"ForeColorSelected", foreColorSelected_, 0);
  store.WritePicture(u"MouseIcon", MouseIcon());
  store.WriteInt(u"MousePointer", MousePointer(), 0);
  store.WriteColour(u"BorderColor", borderColor_, kDefaultBorderColor);
  store.WriteInt(u"ItemHeight", itemHeight_, 0);
  store.WriteInt(u"Style", style_, 0);
  store.WriteColour(u"SelectionColor", selectionColor_, kDefaultSelectionColor);
  store.WriteInt(u"ImageWidth", imageWidth_, kDefaultImageWidth);
  store.WriteInt(u"MultiSelect", multiSelect_, 0);
  store.WriteBool(u"FullRowSelect", fullRowSelect_, true);
  store.WriteBool(u"CleanOnClick", cleanOnClick_, false);
}

}  // namespace pd::controls
