// XP_ListBox: the owner-drawn rich list.
//
// Each item has a text in the list markup (see MarkupParser.h), a check box,
// an enabled flag, a selected flag, an optional picture and a string of host
// data. The list keeps its items, the selection and a scroll position, draws
// itself on an off-screen surface of its size and reports changes through
// events.
//
// Indexes are 0-based. Indexed properties check only the upper end: an
// index >= ListCount is ignored on write and reads as false, "" or 0. A
// negative index throws std::out_of_range and changes nothing. A list that
// would grow past 2^31 - 1 items throws std::overflow_error unchanged.
//
// Pictures in item texts ("<img=N,w,h>") are numbers the host registered
// with RegisterPicture; an unknown number draws nothing.
//
// The list is a control of the control host (forms/Control.h): its window
// attributes (hWnd, BackColor, Enabled, Font, MousePointer, MouseIcon) are
// the control's, and it paints on its form's frame.
//
// Drawing: every repaint fills the list with BackColor, draws the visible
// rows (ListPainter.h) and the frame, and puts the list on the screen. Row
// height is ItemHeight when it is 1 or more, else one line of the current
// font; VisibleRows = (height - 2) / RowHeight.
//
// The scroll bar (ListScrollBar.h) lies over the right edge inside the
// frame while there are more items than visible rows.
//
// Mouse (left button; other buttons only raise MouseDown): a click on a row
// selects by MultiSelect: 0 the row alone; 1 toggles the row; 2 the row
// alone, Shift the range from the anchor, Ctrl toggles the row. In Style 2
// a click on the check box (1 < x < 17) also ticks or unticks an enabled
// row (a Shift range ticks every enabled row in it) and raises Check or
// Uncheck. A click on the partly visible last row scrolls it into view; a
// click below the last item clears the selection when MultiSelect is 0 or
// 2 and CleanOnClick is set (with MultiSelect 1 only then). Events come in
// the order MouseDown, Check/Uncheck, MouseUp, Click; the second press of a
// double click raises DblClick after its MouseDown. X and Y are pixels of
// the list (of the scroll-bar part for the bar's events).
// The wheel scrolls three rows a notch (in the range that shows the last
// row at the bottom) and raises nothing.
//
// Keys (KeyDown first; a handler that sets KeyCode to 0 stops them): arrows
// step one item, Page Up/Down VisibleRows - 1 items, Home and End to the
// ends, each limited to the list, selecting the item alone (Shift with
// MultiSelect 2: the range from the anchor) through ListIndex, which
// scrolls it into view and raises Click. Ignored while the left button is
// held on the scroll bar. Space (after KeyPress) inverts ListChecked of the
// current item in Style 2 when it is enabled.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/ListItem.h"
#include "controls/ListScroll.h"
#include "controls/PictureTable.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PropertyTable.h"
#include "platform/surface.h"

namespace pd::controls {

class ListScrollBar;

class XP_ListBox : public forms::Container {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;

  static constexpr Colour kDefaultBorderColor = 0xB99D7F;
  static constexpr Colour kDefaultSelectionColor = 0xC56A31;
  static constexpr Colour kDefaultBackColor = 0xFFFFFF;
  static constexpr std::int32_t kDefaultImageWidth = 16;

  // Reads the design properties from the site's store.
  explicit XP_ListBox(forms::Container& parent, StringView name = u"XP_ListBox", int index = -1);
  ~XP_ListBox() override;

  // ---- Methods ----
  // Inserts at Index when 0 <= Index < ListCount (the current item moves
  // down with its row), else appends. Raises OnAddItem.
  void AddItem(StringView Item, std::int32_t Index = -1, PicturePtr img = nullptr, bool Redraw = true);
  // Nothing for an index out of range. Removing the last remaining item is
  // Clear. Otherwise ListIndex becomes -1. Raises OnRemoveItem.
  void RemoveItem(std::int32_t Index, bool Redraw = true);
  // Empties the list, scrolls to the top. No event.
  void Clear();
  // Repaints and recomputes the scroll range.
  void Refresh();
  // Draws item n's runs at (X, Y) of the list (see ColorText.h), in the
  // list's font and the current text colour, and puts them on the screen.
  void DrawColorText(std::int32_t n, std::int32_t X, std::int32_t Y, std::int32_t Width);

  // ---- Properties ----
  void SetBackColor(Colour value) override;
  [[nodiscard]] Colour BorderColor() const { return borderColor_; }
  void SetBorderColor(Colour value);
  void SetEnabled(bool value) override;
  void SetFont(const platform::Font& value) override;
  [[nodiscard]] Colour ForeColor() const { return foreColor_; }
  void SetForeColor(Colour value);
  [[nodiscard]] Colour ForeColorSelected() const { return foreColorSelected_; }
  void SetForeColorSelected(Colour value);
  void SetMouseIcon(PicturePtr value) override;
  void SetMousePointer(std::int32_t value) override;
  [[nodiscard]] std::int32_t ItemHeight() const { return itemHeight_; }
  void SetItemHeight(std::int32_t value);
  [[nodiscard]] std::int32_t Style() const { return style_; }
  void SetStyle(std::int32_t value);
  [[nodiscard]] Colour SelectionColor() const { return selectionColor_; }
  void SetSelectionColor(Colour value);
  [[nodiscard]] std::int32_t ImageWidth() const { return imageWidth_; }
  void SetImageWidth(std::int32_t value);
  [[nodiscard]] std::int32_t MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(std::int32_t value);
  [[nodiscard]] bool FullRowSelect() const { return fullRowSelect_; }
  void SetFullRowSelect(bool value);
  [[nodiscard]] bool CleanOnClick() const { return cleanOnClick_; }
  void SetCleanOnClick(bool value);
  // Whether item texts are markup (the default). False: every text is shown
  // as it is, "<" included (PlainMarkup), and List still gives it back as
  // stored. Applies to the items there are and to those added later. Not
  // stored with the design properties.
  [[nodiscard]] bool ItemMarkup() const { return itemMarkup_; }
  void SetItemMarkup(bool value);
  [[nodiscard]] std::int32_t ListCount() const { return static_cast<std::int32_t>(items_.size()); }
  [[nodiscard]] std::int32_t ListIndex() const { return listIndex_; }
  // Out of range (-1 included): nothing. Otherwise selects the item (alone
  // when MultiSelect is 0), scrolls it into view, repaints, raises Click.
  void SetListIndex(std::int32_t value);
  [[nodiscard]] std::int32_t TopIndex() const { return topIndex_; }
  // Limited to 0 .. ListCount - VisibleRows and to the scroll range.
  void SetTopIndex(std::int32_t value);

  [[nodiscard]] String List(std::int32_t Index) const;
  void SetList(std::int32_t Index, StringView value);
  [[nodiscard]] String ItemData(std::int32_t Index) const;
  void SetItemData(std::int32_t Index, StringView value);
  [[nodiscard]] bool Selected(std::int32_t Index) const;
  void SetSelected(std::int32_t Index, bool value);
  [[nodiscard]] bool ListEnabled(std::int32_t Index) const;
  void SetListEnabled(std::int32_t Index, bool value);
  [[nodiscard]] bool ListChecked(std::int32_t Index) const;
  // Raises Check (true) or Uncheck (false) with Index, even for an index at
  // or above ListCount or a disabled item; then repaints.
  void SetListChecked(std::int32_t Index, bool value);

  // ---- Pictures for "<img=" ----
  // Registers picture `number` (1 or more) for item texts; a null picture
  // unregisters it. Repaints.
  void RegisterPicture(std::int32_t number, PicturePtr picture);

  // ---- State read by the scroll bar, input and tests ----
  [[nodiscard]] std::int32_t RowHeight() const;
  [[nodiscard]] std::int32_t VisibleRows() const;
  [[nodiscard]] std::int32_t SelectionAnchor() const { return selectionAnchor_; }
  [[nodiscard]] const ListScroll& ScrollModel() const { return scroll_; }
  [[nodiscard]] std::int16_t PressedButton() const;
  [[nodiscard]] const ListScrollBar& ScrollBar() const { return *bar_; }
  // Whether the scroll bar's track shows (more items than visible rows), as
  // of the latest repaint.
  [[nodiscard]] bool TrackVisible() const { return trackVisible_; }
  // The item record; throws std::out_of_range outside 0 .. ListCount - 1.
  [[nodiscard]] const ListItem& ItemAt(std::int32_t Index) const;
  // How many times the list was painted.
  [[nodiscard]] int RepaintCount() const { return repaints_; }

  // ---- Host ----
  // The stored properties: the defaults of a newly placed list, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

  // ---- Events, in the order of the component's event table ----
  Event<std::int32_t&> Check;
  Event<std::int32_t&> Uncheck;
  Event<> Click;
  Event<> DblClick;
  Event<std::int16_t&, std::int16_t&> KeyDown;                 // KeyCode, Shift
  Event<std::int16_t&> KeyPress;                               // KeyAscii
  Event<std::int16_t, std::int16_t> KeyUp;                     // KeyCode, Shift
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseDown;  // Button, Shift, X, Y
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseMove;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseUp;
  Event<> OnAddItem;
  Event<> OnRemoveItem;
  Event<> Scroll;

 private:
  friend class ListScrollBar;

  [[nodiscard]] bool CanFocus() const override { return true; }
  void OnPaint(platform::Surface& surface) override;
  void OnResize() override;
  void OnMouseDown(const forms::MouseEvent& e) override;
  void OnMouseMove(const forms::MouseEvent& e) override;
  void OnMouseUp(const forms::MouseEvent& e) override;
  void OnDblClick(const forms::MouseEvent& e) override;
  bool OnMouseWheel(const forms::MouseEvent& e, int delta) override;
  void OnKeyDown(int& keyCode, int shift) override;
  void OnKeyPress(char16_t& keyAscii) override;
  void OnKeyUp(int& keyCode, int shift) override;

  void ClickRow(float x, float y, int shift);
  void Navigate(int keyCode, int shift);
  // Selects from the anchor towards `to` (excluded); ticks the enabled ones
  // when `check`.
  // Selects from the anchor up to (not including) to; with check, ticks
  // the enabled rows too and adds them to ticked.
  void SelectRange(std::int32_t to, bool check, std::vector<std::int32_t>* ticked = nullptr);

  static void RequireIndex(std::int32_t index, const char* what);
  ListItem* At(std::int32_t index, const char* what);
  const ListItem* At(std::int32_t index, const char* what) const;
  void Changed(StringView name);
  void Repaint();
  void ClearSelection();
  // Every item unselected and ListIndex -1.
  void ClearAll();
  void ApplyScrollPosition(std::int32_t value);

  platform::Graphics& graphics_;
  // Measures text in the list's font while the form has no frame.
  std::unique_ptr<platform::Surface> measure_;
  std::shared_ptr<const platform::Picture> skin_;
  PictureTable pictures_;
  std::vector<ListItem> items_;

  static const forms::PropertyTable<XP_ListBox>& Table();

  std::int32_t listIndex_ = -1;
  std::int32_t selectionAnchor_ = 0;
  std::int32_t topIndex_ = 0;
  Colour borderColor_ = kDefaultBorderColor;
  Colour foreColor_ = 0;
  Colour foreColorSelected_ = 0;
  Colour selectionColor_ = kDefaultSelectionColor;
  bool fullRowSelect_ = true;
  bool cleanOnClick_ = false;
  bool itemMarkup_ = true;
  std::int32_t itemHeight_ = 0;
  std::int32_t imageWidth_ = kDefaultImageWidth;
  std::int32_t multiSelect_ = 0;
  std::int32_t style_ = 0;
  ListScroll scroll_;
  bool trackVisible_ = false;
  bool leftPressed_ = false;  // a left press on the list, for its Click
  int wheel_ = 0;             // wheel turns not yet scrolled, 120ths of a notch
  int repaints_ = 0;
  std::unique_ptr<ListScrollBar> bar_;  // last: its parts go before the list
};

}  // namespace pd::controls
