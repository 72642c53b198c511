// XP_Button: the owner-drawn button of the program, painted from a skin
// strip, with a caption that wraps to its width, an optional icon beside
// the caption and a hover look. It serves as a push button, a toggle button
// and an option button (the page headers are option buttons of one group).
//
// Kinds (ControlType): 0 push: a click raises Click only; 1 toggle: a click
// flips Value; 2 option: a click sets Value, and setting Value true first
// sets every option button of the same Group on the whole form false (each
// raising Change), so the clicked one raises Change twice (false, true).
// Value events come after MouseUp and before Click with the mouse, after
// Click with the space bar.
//
// Looks (LastState): 0 Up, 1 Move, 2 Down; press handling in
// PressTracker.h. The skin: frames stacked from the top, 0 Up, 1 Move,
// 2 Down, 3 disabled, 4 focused (Up with the focus; absent when NoFocus),
// copied as a nine-slice with margins SizeLeft, SizeRight, SizeTop,
// SizeBottom. A button whose Value is true shows the Down frame; a disabled
// button always shows the disabled frame. The built-in skin is the
// resource res::kButtonSkin (18 x 105, five frames, margins 7, 7, 8, 8);
// SetButtonPicture replaces it at run time (it is not stored).
//
// Caption and icon: CaptionLayout.h (PlaceCaption, BlendPicture with the
// magenta key, greyed when disabled). The caption is styled per look
// (ForeColor*, FontBold*, FontItalic*, FontUnderline*) for drawing only:
// Font itself never changes.
//
// Every setter reports its property to the host (GetSite().PropertyChanged).
// Caption, AlignPicture, ControlType, Font, ForeColor, ForeColorDisabled,
// Picture and the nine font flags repaint Up; ForeColorMove, ForeColorDown
// and Group only store. The hover watch (tmrUnMover, 10 ms) runs only while
// the pointer is over the button.
//
// The synthetic keystroke of code 0 on a press is left out: nothing relies
// on it.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/DataObject.h"
#include "controls/NineSlice.h"
#include "controls/PressControl.h"
#include "forms/PressTracker.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PropertyTable.h"
#include "platform/loop.h"

namespace pd::controls {

class XP_Button : public PressControl<XP_Button> {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;

  static constexpr Colour kDefaultForeColorDisabled = 0xAAA6A7;
  static constexpr int kWatchIntervalMs = 10;

  // Reads the design properties from the site's store.
  explicit XP_Button(forms::Container& parent, StringView name = u"XP_Button", int index = -1);
  ~XP_Button() override;

  // ---- Methods ----
  // Takes NewPic as the skin (a null picture keeps the current one); each
  // size >= 0 replaces its margin; NoFocus always replaced; paints Up.
  void SetButtonPicture(PicturePtr NewPic, std::int32_t SizeLeft, std::int32_t SizeRight, std::int32_t SizeTop,
                        std::int32_t SizeBottom, bool NoFocus);

  // ---- Properties ----
  [[nodiscard]] const String& Caption() const { return caption_; }
  void SetCaption(StringView value);
  [[nodiscard]] std::int32_t AlignPicture() const { return alignPicture_; }
  void SetAlignPicture(std::int32_t value);
  [[nodiscard]] std::int32_t ControlType() const { return controlType_; }
  void SetControlType(std::int32_t value);
  [[nodiscard]] std::int16_t Group() const { return group_; }
  void SetGroup(std::int16_t value);
  [[nodiscard]] bool Value() const { return value_; }
  // Clears the group first (option buttons switched on), stores, repaints,
  // raises Change, even when the value does not change.
  void SetValue(bool value);
  [[nodiscard]] Colour ForeColor() const { return foreColor_; }
  void SetForeColor(Colour value);
  [[nodiscard]] Colour ForeColorDisabled() const { return foreColorDisabled_; }
  void SetForeColorDisabled(Colour value);
  [[nodiscard]] Colour ForeColorMove() const { return foreColorMove_; }
  void SetForeColorMove(Colour value);
  [[nodiscard]] Colour ForeColorDown() const { return foreColorDown_; }
  void SetForeColorDown(Colour value);
  [[nodiscard]] bool FontBoldUp() const { return fontBoldUp_; }
  void SetFontBoldUp(bool value);
  [[nodiscard]] bool FontBoldMove() const { return fontBoldMove_; }
  void SetFontBoldMove(bool value);
  [[nodiscard]] bool FontBoldDown() const { return fontBoldDown_; }
  void SetFontBoldDown(bool value);
  [[nodiscard]] bool FontItalicUp() const { return fontItalicUp_; }
  void SetFontItalicUp(bool value);
  [[nodiscard]] bool FontItalicMove() const { return fontItalicMove_; }
  void SetFontItalicMove(bool value);
  [[nodiscard]] bool FontItalicDown() const { return fontItalicDown_; }
  void SetFontItalicDown(bool value);
  [[nodiscard]] bool FontUnderlineUp() const { return fontUnderlineUp_; }
  void SetFontUnderlineUp(bool value);
  [[nodiscard]] bool FontUnderlineMove() const { return fontUnderlineMove_; }
  void SetFontUnderlineMove(bool value);
  [[nodiscard]] bool FontUnderlineDown() const { return fontUnderlineDown_; }
  void SetFontUnderlineDown(bool value);
  [[nodiscard]] const PicturePtr& Picture() const { return picture_; }
  void SetPicture(PicturePtr value);
  // Only when it differs: the host's state, the focus look cleared, Up.
  void SetEnabled(bool value) override;
  void SetFont(const platform::Font& value) override;
  void SetMousePointer(std::int32_t value) override;
  void SetMouseIcon(PicturePtr value) override;
  [[nodiscard]] std::int32_t OLEDropMode() const { return oleDropMode_; }
  void SetOLEDropMode(std::int32_t value);

  // ---- State ----
  [[nodiscard]] const PicturePtr& ButtonPicture() const { return skin_; }
  [[nodiscard]] std::int32_t SizeLeft() const { return margins_.left; }
  [[nodiscard]] std::int32_t SizeRight() const { return margins_.right; }
  [[nodiscard]] std::int32_t SizeTop() const { return margins_.top; }
  [[nodiscard]] std::int32_t SizeBottom() const { return margins_.bottom; }
  [[nodiscard]] bool NoFocus() const { return noFocus_; }
  [[nodiscard]] Look LastState() const { return lastState_; }
  // Whether the hover watch (tmrUnMover) runs.
  [[nodiscard]] bool WatchRunning() const;
  // The skin frame the latest paint copied (0 Up ... 4 focused).
  [[nodiscard]] int LastFrame() const { return lastFrame_; }

  bool CanFocus() const override { return true; }

  // ---- Host ----
  // The stored properties: the defaults of a newly placed one, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

  // ---- Events, in the order of the component's event table ----
  Event<> Change;
  Event<> Uncheck;
  Event<> Check;
  Event<> Click;
  Event<> DblClick;
  Event<std::int16_t&, std::int16_t&> KeyDown;                    // KeyCode, Shift
  Event<std::int16_t&> KeyPress;                                  // KeyAscii
  Event<std::int16_t&, std::int16_t&> KeyUp;                      // KeyCode, Shift
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseDown;  // Button, Shift, X, Y (twips)
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseMove;
  Event<> MouseOut;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseUp;
  // Drag and drop (the host has none: never raised).
  Event<DataObject&, std::int32_t&> OLEStartDrag;  // Data, AllowedEffects
  Event<DataObject&, std::int16_t&> OLESetData;    // Data, DataFormat
  Event<std::int32_t&, bool&> OLEGiveFeedback;     // Effect, DefaultCursors
  Event<DataObject&, std::int32_t&, std::int16_t&, std::int16_t&, float&, float&, std::int16_t&>
      OLEDragOver;  // Data, Effect, Button, Shift, X, Y, State
  Event<DataObject&, std::int32_t&, std::int16_t&, std::int16_t&, float&, float&> OLEDragDrop;
  Event<std::int32_t&> OLECompleteDrag;  // Effect

 protected:
  void OnPaint(platform::Surface& surface) override;
  void OnResize() override;
  void OnShow(bool shown) override;

 private:
  friend class PressControl<XP_Button>;
  static const forms::PropertyTable<XP_Button>& Table();
  template <typename T>
  void Store(T XP_Button::*member, T value, bool repaint);

  void Apply(const PressTracker::Reaction& r);
  // Paints the look unless it is the one painted last (force: always).
  void Paint(Look state, bool force);
  bool ToggleValue();  // false when a handler destroyed the button
  [[nodiscard]] int FrameTop(int frameHeight) const;

  std::unique_ptr<platform::Timer> tmrUnMover_;
  PicturePtr skin_;
  Margins margins_{7, 7, 8, 8};
  bool noFocus_ = false;
  Look lastState_ = Look::Up;
  int lastFrame_ = 0;

  String caption_;
  std::int32_t alignPicture_ = 0;
  std::int32_t controlType_ = 0;
  std::int16_t group_ = 0;
  bool value_ = false;
  Colour foreColor_ = 0;
  Colour foreColorDisabled_ = kDefaultForeColorDisabled;
  Colour foreColorMove_ = 0;
  Colour foreColorDown_ = 0;
  bool fontBoldUp_ = false;
  bool fontBoldMove_ = false;
  bool fontBoldDown_ = false;
  bool fontItalicUp_ = false;
  bool fontItalicMove_ = false;
  bool fontItalicDown_ = false;
  bool fontUnderlineUp_ = false;
  bool fontUnderlineMove_ = false;
  bool fontUnderlineDown_ = false;
  PicturePtr picture_;
  std::int32_t oleDropMode_ = 0;
};

}  // namespace pd::controls
