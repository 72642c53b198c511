// XP_CheckBox: the owner-drawn check box of the program: a 13-pixel box
// from a skin strip, the caption beside it, the hover and pressed looks of
// the skinned button, two or three values.
//
// Values: 0 unchecked, 1 checked, 2 grey (NumStates 1 only). A click or the
// space bar advances Value: 0 -> 1 -> 0, or 0 -> 1 -> 2 -> 0 with
// NumStates 1, raising Uncheck, Check or Gray for the new value, then
// Change. With the mouse the value events come after MouseUp and before
// Click (a release outside the box changes nothing); with the space bar
// Click comes first. A value set by the host raises no event; setting
// Value 2 on a two-state box stores 1, and setting NumStates (to anything)
// while Value is 2 makes it 1.
//
// Layout (pixels; W x H the size, bw x fh the box, 13 x 13):
// - Aligment 0: the box at the left edge, the caption from x = bw + 2,
//   left-aligned; 1: the box at the right edge (x = W - bw), the caption
//   from 0 to W - bw - 2, right-aligned. Both are centred vertically.
// - The caption wraps to W - bw - 4; with AutoSizeH it is not wrapped and
//   the width follows it (caption width + bw + 4, bw when empty); with
//   AutoSizeV the height becomes that of the text, at least fh.
// - BackPicture is drawn at the top-left corner under box and caption.
// Skin frames (res::kCheckBoxSkin, 13 x 156): frame 4 x Value + look, looks
// 0 Up, 1 Move, 2 Down, 3 disabled; a disabled box always shows look 3, a
// Value outside 0..2 shows the unchecked frames.
//
// Every setter reports its property to the host. Caption, Aligment,
// AutoSizeH, AutoSizeV, ForeColor, ForeColorDisabled, Font, BackColor,
// BackPicture and Enabled repaint Up; ForeColorMove and ForeColorDown only
// store. Press handling: PressTracker.h (no focus look). The hover watch
// (tmrUnMover, asked for 1 ms: the timer resolution, 10 ms) runs only while
// the pointer is over the box.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/DataObject.h"
#include "controls/PressControl.h"
#include "forms/PressTracker.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PropertyTable.h"
#include "platform/loop.h"

namespace pd::controls {

class XP_CheckBox : public PressControl<XP_CheckBox> {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;

  static constexpr Colour kDefaultForeColorDisabled = 0xAAA6A7;
  static constexpr Colour kDefaultBackColor = 0x8000000F;
  static constexpr int kWatchIntervalMs = 1;

  // Reads the design properties from the site's store.
  explicit XP_CheckBox(forms::Container& parent, StringView name = u"XP_CheckBox", int index = -1);
  ~XP_CheckBox() override;

  // ---- Properties ----
  [[nodiscard]] const String& Caption() const { return caption_; }
  void SetCaption(StringView value);
  [[nodiscard]] std::int32_t Aligment() const { return aligment_; }
  void SetAligment(std::int32_t value);
  [[nodiscard]] bool AutoSizeH() const { return autoSizeH_; }
  void SetAutoSizeH(bool value);
  [[nodiscard]] bool AutoSizeV() const { return autoSizeV_; }
  void SetAutoSizeV(bool value);
  [[nodiscard]] std::int32_t NumStates() const { return numStates_; }
  void SetNumStates(std::int32_t value);
  [[nodiscard]] std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value);
  [[nodiscard]] Colour ForeColor() const { return foreColor_; }
  void SetForeColor(Colour value);
  [[nodiscard]] Colour ForeColorDisabled() const { return foreColorDisabled_; }
  void SetForeColorDisabled(Colour value);
  [[nodiscard]] Colour ForeColorMove() const { return foreColorMove_; }
  void SetForeColorMove(Colour value);
  [[nodiscard]] Colour ForeColorDown() const { return foreColorDown_; }
  void SetForeColorDown(Colour value);
  [[nodiscard]] const PicturePtr& BackPicture() const { return backPicture_; }
  void SetBackPicture(PicturePtr value);
  void SetBackColor(Colour value) override;
  void SetEnabled(bool value) override;
  void SetFont(const platform::Font& value) override;
  void SetMousePointer(std::int32_t value) override;
  void SetMouseIcon(PicturePtr value) override;
  [[nodiscard]] std::int32_t OLEDropMode() const { return oleDropMode_; }
  void SetOLEDropMode(std::int32_t value);

  // ---- State ----
  [[nodiscard]] Look LastLook() const { return lastLook_; }
  [[nodiscard]] bool WatchRunning() const;
  // The skin frame the latest paint copied.
  [[nodiscard]] int LastFrame() const { return lastFrame_; }

  bool CanFocus() const override { return true; }

  // ---- Host ----
  // The stored properties: the defaults of a newly placed one, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

  // ---- Events, in the order of the component's event table ----
  Event<> Click;
  Event<> DblClick;
  Event<std::int16_t&, std::int16_t&> KeyDown;  // KeyCode, Shift
  Event<std::int16_t&> KeyPress;                // KeyAscii
  Event<std::int16_t&, std::int16_t&> KeyUp;    // KeyCode, Shift
  Event<> Change;
  Event<> Check;
  Event<> Gray;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseDown;  // Button, Shift, X, Y (twips)
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseMove;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseUp;
  Event<> MouseOut;
  // Drag and drop (the host has none: never raised).
  Event<DataObject&, std::int32_t&> OLEStartDrag;  // Data, AllowedEffects
  Event<DataObject&, std::int16_t&> OLESetData;    // Data, DataFormat
  Event<std::int32_t&, bool&> OLEGiveFeedback;     // Effect, DefaultCursors
  Event<DataObject&, std::int32_t&, std::int16_t&, std::int16_t&, float&, float&, std::int16_t&>
      OLEDragOver;  // Data, Effect, Button, Shift, X, Y, State
  Event<DataObject&, std::int32_t&, std::int16_t&, std::int16_t&, float&, float&> OLEDragDrop;
  Event<std::int32_t&> OLECompleteDrag;  // Effect
  Event<> Uncheck;

 protected:
  void OnPaint(platform::Surface& surface) override;
  void OnResize() override;
  void OnShow(bool shown) override;

 private:
  friend class PressControl<XP_CheckBox>;
  // A release ends a click where it falls inside the box's own rectangle.
  [[nodiscard]] bool ReleasedInside(const forms::MouseEvent& e, const PressTracker::Pointer& where) const;
  static const forms::PropertyTable<XP_CheckBox>& Table();
  template <typename T>
  void Store(T XP_CheckBox::*member, T value, bool repaint);

  void Apply(const PressTracker::Reaction& r);
  void Paint(Look look, bool force);
  // Sets the size AutoSizeH and AutoSizeV ask for.
  void Fit();
  bool AdvanceValue();  // false when a handler destroyed the box
  [[nodiscard]] int BoxWidth() const;
  [[nodiscard]] int FrameHeight() const;

  std::unique_ptr<platform::Timer> tmrUnMover_;
  PicturePtr skin_;
  std::unique_ptr<platform::Surface> measure_;
  Look lastLook_ = Look::Up;
  int lastFrame_ = 0;
  bool fitting_ = false;

  String caption_;
  std::int32_t aligment_ = 0;
  bool autoSizeH_ = false;
  bool autoSizeV_ = false;
  std::int32_t numStates_ = 0;
  std::int32_t value_ = 0;
  Colour foreColor_ = 0;
  Colour foreColorDisabled_ = kDefaultForeColorDisabled;
  Colour foreColorMove_ = 0;
  Colour foreColorDown_ = 0;
  PicturePtr backPicture_;
  std::int32_t oleDropMode_ = 0;
};

}  // namespace pd::controls
