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
  Changed(Table().NameOf(forms::HostAttribute::kBackColor));
  Repaint();
}

void XP_ListBox::SetBorderColor(Colour value) {
  borderColor_ = value;
  Changed(Table().NameOf(&XP_ListBox::borderColor_));
  Repaint();
}

void XP_ListBox::SetEnabled(bool value) {
  SetEnabledState(value);
  Changed(Table().NameOf(forms::HostAttribute::kEnabled));
  // The list keeps its look; the scroll bar's parts show their disabled
  // cells.
  bar_->EnabledChanged(value);
}

void XP_ListBox::SetFont(const platform::Font& value) {
  Control::SetFont(value);
  measure_->SetFont(value);
  Changed(Table().NameOf(forms::HostAttribute::kFont));
  Repaint();
}

void XP_ListBox::SetForeColor(Colour value) {
  foreColor_ = value;
  Changed(Table().NameOf(&XP_ListBox::foreColor_));
  Repaint();
}

void XP_ListBox::SetForeColorSelected(Colour value) {
  foreColorSelected_ = value;
  Changed(Table().NameOf(&XP_ListBox::foreColorSelected_));
  Repaint();
}

void XP_ListBox::SetMouseIcon(PicturePtr value) {
  Control::SetMouseIcon(std::move(value));
  Changed(Table().NameOf(forms::HostAttribute::kMouseIcon));
}

void XP_ListBox::SetMousePointer(std::int32_t value) {
  Control::SetMousePointer(value);
  Changed(Table().NameOf(forms::HostAttribute::kMousePointer));
}

void XP_ListBox::SetItemHeight(std::int32_t value) {
  itemHeight_ = value;
  Changed(Table().NameOf(&XP_ListBox::itemHeight_));
  Repaint();
}

void XP_ListBox::SetStyle(std::int32_t value) {
  style_ = value;
  Changed(Table().NameOf(&XP_ListBox::style_));
  Repaint();
}

void XP_ListBox::SetSelectionColor(Colour value) {
  selectionColor_ = value;
  Changed(Table().NameOf(&XP_ListBox::selectionColor_));
  Repaint();
}

void XP_ListBox::SetImageWidth(std::int32_t value) {
  imageWidth_ = value;
  Changed(Table().NameOf(&XP_ListBox::imageWidth_));
  Repaint();
}

void XP_ListBox::SetMultiSelect(std::int32_t value) {
  multiSelect_ = value;
  Changed(Table().NameOf(&XP_ListBox::multiSelect_));
}

void XP_ListBox::SetFullRowSelect(bool value) {
  fullRowSelect_ = value;
  Changed(Table().NameOf(&XP_ListBox::fullRowSelect_));
}

void XP_ListBox::SetItemMarkup(bool value) {
  if (value == itemMarkup_) return;
  itemMarkup_ = value;
  for (ListItem& item : items_) item.SetText(item.ItemText, itemMarkup_);
  Refresh();
}

void XP_ListBox::SetCleanOnClick(bool value) {
  cleanOnClick_ = value;
  Changed(Table().NameOf(&XP_ListBox::cleanOnClick_));
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

using Table_t = forms::PropertyTable<XP_ListBox>;

const Table_t& XP_ListBox::Table() {
  static const Table_t table(
      {
          Table_t::HostBackColor(kDefaultBackColor),
          Table_t::HostEnabled(),
          Table_t::HostFont(),
          {u"ForeColor", Colour{0}, &XP_ListBox::foreColor_},
          {u"ForeColorSelected", Colour{0}, &XP_ListBox::foreColorSelected_},
          Table_t::HostMouseIcon(),
          Table_t::HostMousePointer(),
          {u"BorderColor", Colour{kDefaultBorderColor}, &XP_ListBox::borderColor_},
          {u"ItemHeight", std::int32_t{0}, &XP_ListBox::itemHeight_},
          {u"Style", std::int32_t{0}, &XP_ListBox::style_},
          {u"SelectionColor", Colour{kDefaultSelectionColor}, &XP_ListBox::selectionColor_},
          {u"ImageWidth", std::int32_t{kDefaultImageWidth}, &XP_ListBox::imageWidth_},
          {u"MultiSelect", std::int32_t{0}, &XP_ListBox::multiSelect_},
          {u"FullRowSelect", true, &XP_ListBox::fullRowSelect_},
          {u"CleanOnClick", false, &XP_ListBox::cleanOnClick_},
      },
      // Loaded the list's own fields first, then the host's attributes.
      {u"BorderColor", u"ForeColor", u"ForeColorSelected", u"SelectionColor", u"FullRowSelect", u"ItemHeight",
       u"ImageWidth", u"MultiSelect", u"CleanOnClick", u"Style", u"BackColor", u"Enabled", u"MousePointer", u"Font",
       u"MouseIcon"});
  return table;
}

void XP_ListBox::InitProperties() {
  Table().Init(*this);
  measure_->SetFont(Font());
  Repaint();
}

void XP_ListBox::ReadProperties(forms::PropertyStore& store) {
  Table().Read(*this, store);
  measure_->SetFont(Font());
  Repaint();
}

void XP_ListBox::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

}  // namespace pd::controls
