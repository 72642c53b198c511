// FolderList: the list of a folder's entries in the control host's own save
// dialog.
//
// One row per entry, folders first, each with a small folder or document
// picture drawn here, in a sunken white box; the selected row in the
// highlight colours (dimmed while the list has no focus). A scroll bar on
// the right appears when the rows do not fit: its arrows scroll one row,
// the track a page, the thumb follows a drag.
//
// Mouse: a press selects the row under it; a double click activates it.
// Keys: Up/Down, Page Up/Page Down, Home/End move the selection and keep it
// in view; a typed character selects the next row whose name starts with
// it (either case).
//
// Events: SelectionChanged (the new index), Activated (a double-clicked
// row's index).
#pragma once

#include <memory>
#include <vector>

#include "forms/Control.h"
#include "forms/Event.h"
#include "platform/dialogs.h"

namespace pd::forms {

class FolderList final : public Control {
 public:
  static constexpr int kScrollWidth = 16;

  FolderList(Container& parent, StringView name);
  ~FolderList() override;

  // Shows these entries (in this order), nothing selected, scrolled to the top.
  void SetEntries(std::vector<platform::FolderEntry> entries);
  [[nodiscard]] const std::vector<platform::FolderEntry>& Entries() const { return entries_; }
  // -1: none.
  [[nodiscard]] int Selected() const { return selected_; }
  void Select(int index);
  [[nodiscard]] int TopRow() const { return top_; }
  // Rows that fit the box whole.
  [[nodiscard]] int VisibleRows() const;
  int RowHeight();
  // The row under a point of the control (pixels); -1 for none.
  [[nodiscard]] int RowAt(Point p);

  [[nodiscard]] bool CanFocus() const override { return true; }
  void SetFont(const platform::Font& font) override;

  Event<int> SelectionChanged;
  Event<int> Activated;

 protected:
  void OnPaint(platform::Surface& s) override;
  void OnMouseDown(const MouseEvent& e) override;
  void OnMouseMove(const MouseEvent& e) override;
  void OnMouseUp(const MouseEvent& e) override;
  void OnDblClick(const MouseEvent& e) override;
  void OnKeyDown(int& keyCode, int shift) override;
  void OnKeyPress(char16_t& keyAscii) override;
  void OnGotFocus() override { Refresh(); }
  void OnLostFocus() override { Refresh(); }
  void OnResize() override { ScrollTo(top_); }
  void OnCaptureLost() override { dragging_ = false; }

 private:
  [[nodiscard]] bool HasScrollBar() const;
  [[nodiscard]] Rect ListRect() const;   // inside the frame, left of the bar
  [[nodiscard]] Rect TrackRect() const;  // between the arrows
  [[nodiscard]] Rect ThumbRect() const;
  [[nodiscard]] int MaxTop() const;
  void ScrollTo(int top);
  void EnsureVisible(int index);
  platform::Surface& Measure();

  std::vector<platform::FolderEntry> entries_;
  int selected_ = -1;
  int top_ = 0;
  int rowHeight_ = 0;
  bool dragging_ = false;
  int dragOffset_ = 0;  // from the thumb's top to the pointer
  std::unique_ptr<platform::Surface> measure_;
};

}  // namespace pd::forms
