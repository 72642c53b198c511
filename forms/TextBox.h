// TextBox: a single-line text box drawn by the control host.
//
// Text: setting it puts the caret at 0 and raises Change when the text
// differs; every change of the text by the user or the program raises
// Change once. MaxLength (0: no limit) refuses what the user types or pastes
// beyond it; the program's own changes are not cut. Locked keeps the user
// from changing the text; moving, selecting and copying still work.
//
// Selection: SelStart (0-based), SelLength and SelText as in the common
// text box: setting SelStart empties the selection; SelLength counts from
// SelStart; setting SelText replaces the selection and puts the caret after
// it. The caret is the selection's moving end. The selection is shown only
// while the box has the focus.
//
// Keys (after KeyDown, which the host may cancel by setting KeyCode to 0):
// Left/Right (Ctrl: by words), Home/End, Shift with any of them extends the
// selection; Left/Right alone on a selection go to its start/end. Delete,
// Backspace (as the character 8 of KeyPress), Ctrl+A selects all,
// Ctrl+C/Ctrl+Insert copy, Ctrl+X/Shift+Delete cut, Ctrl+V/Shift+Insert
// paste. A word is a run of letters and digits of any script, or of other
// signs; spaces part them (CodePoints.h). Carets, moves and deletions go by
// code points: a surrogate pair is never parted.
// Typing: each character KeyPress delivers (after the keyboard layout,
// Cyrillic included) replaces the selection; the host may change it or
// cancel it with 0; characters below U+0020 are not inserted.
// Clipboard: the desktop's (Host::ClipboardText); a paste keeps only the
// text's first line and cuts it to MaxLength (in code units, as MaxLength
// counts), dropping a pair the cut would part.
//
// Mouse: a press puts the caret at the nearest character boundary (Shift
// extends the selection), dragging extends it, a double click selects the
// word under the pointer.
//
// Drawing: BackColor (the window colour by default), the frame (BorderStyle
// and Appearance, see Border.h; fixed single 3D by default), the text in
// ForeColor one pixel inside the frame and a margin of kMargin pixels,
// scrolled sideways so the caret stays in view; the selection in the
// highlight colours; the caret, a one-pixel bar the line's height, blinking
// every kCaretBlinkMs with a platform timer while the box has the focus.
//
// Events: Change, KeyDown(KeyCode, Shift), KeyPress(KeyAscii), KeyUp
// (KeyCode, Shift), GotFocus, LostFocus.
#pragma once

#include <cstdint>
#include <memory>

#include "forms/Border.h"
#include "forms/CodePoints.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "platform/loop.h"

namespace pd::forms {

class TextBox : public Control {
 public:
  static constexpr int kCaretBlinkMs = 530;
  static constexpr int kMargin = 1;

  TextBox(Container& parent, StringView name, int index = -1);
  ~TextBox() override;

  [[nodiscard]] const String& Text() const { return text_; }
  void SetText(StringView text);
  [[nodiscard]] int MaxLength() const { return maxLength_; }
  void SetMaxLength(int maxLength) { maxLength_ = maxLength < 0 ? 0 : maxLength; }
  [[nodiscard]] bool Locked() const { return locked_; }
  void SetLocked(bool locked) { locked_ = locked; }

  [[nodiscard]] int SelStart() const;
  void SetSelStart(int start);
  [[nodiscard]] int SelLength() const;
  void SetSelLength(int length);
  [[nodiscard]] String SelText() const;
  void SetSelText(StringView text);

  [[nodiscard]] Colour ForeColor() const { return foreColor_; }
  void SetForeColor(Colour colour);
  [[nodiscard]] int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  [[nodiscard]] int Appearance() const { return appearance_; }
  void SetAppearance(int appearance);
  void SetFont(const platform::Font& font) override;

  void SelectAll();
  void Copy();
  void Cut();
  void Paste();

  // ---- Geometry, in the control's pixels ----
  // The caret's position in the text and its x.
  [[nodiscard]] int CaretPos() const { return static_cast<int>(caret_); }
  [[nodiscard]] int CaretX();
  // How far the text is scrolled to the left.
  [[nodiscard]] int ScrollX() const { return scroll_; }
  // The character boundary nearest to x.
  [[nodiscard]] int PositionAt(int x);
  // Whether the caret is drawn now (focused, in the visible phase).
  [[nodiscard]] bool CaretShown() const { return HasFocus() && caretOn_; }

  [[nodiscard]] bool CanFocus() const override { return true; }

  Event<> Change;
  Event<std::int16_t&, std::int16_t&> KeyDown;  // KeyCode, Shift
  Event<std::int16_t&> KeyPress;                // KeyAscii
  Event<std::int16_t&, std::int16_t&> KeyUp;    // KeyCode, Shift
  Event<> GotFocus;
  Event<> LostFocus;

 protected:
  void OnPaint(platform::Surface& surface) override;
  void OnMouseDown(const MouseEvent& e) override;
  void OnMouseMove(const MouseEvent& e) override;
  void OnMouseUp(const MouseEvent& e) override;
  void OnDblClick(const MouseEvent& e) override;
  void OnKeyDown(int& keyCode, int shift) override;
  void OnKeyPress(char16_t& keyAscii) override;
  void OnKeyUp(int& keyCode, int shift) override;
  void OnGotFocus() override;
  void OnLostFocus() override;
  void OnResize() override;
  void OnCaptureLost() override { dragging_ = false; }

 private:
  [[nodiscard]] std::size_t SelFrom() const { return anchor_ < caret_ ? anchor_ : caret_; }
  [[nodiscard]] std::size_t SelTo() const { return anchor_ < caret_ ? caret_ : anchor_; }
  platform::Surface& Measure();
  [[nodiscard]] int TextLeft() const;
  [[nodiscard]] int VisibleWidth() const;
  // Moves the caret; extend keeps the anchor.
  void MoveCaret(std::size_t pos, bool extend);
  // Replaces the selection with text; the caret goes after it.
  void ReplaceSelection(StringView text);
  void DeleteRange(std::size_t from, std::size_t to);
  [[nodiscard]] CharClass ClassBefore(std::size_t pos) const;
  [[nodiscard]] std::size_t WordLeft(std::size_t pos) const;
  [[nodiscard]] std::size_t WordRight(std::size_t pos) const;
  void ScrollToCaret();
  void RestartBlink();
  void Changed();

  String text_;
  std::size_t anchor_ = 0;
  std::size_t caret_ = 0;
  int scroll_ = 0;
  int maxLength_ = 0;
  bool locked_ = false;
  bool dragging_ = false;
  bool caretOn_ = false;
  char16_t pendingHigh_ = u'\0';
  Colour foreColor_ = 0x80000008;
  int borderStyle_ = 1;
  int appearance_ = 1;
  std::unique_ptr<platform::Timer> blink_;
  std::unique_ptr<platform::Surface> measure_;
};

}  // namespace pd::forms
