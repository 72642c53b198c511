// Label: a caption drawn on its container; never takes the focus.
//
// Caption is drawn in the control's font and ForeColor from the top of the
// control, each line aligned on its own (Alignment: 0 left, 1 right,
// 2 centre). Lines break at CR LF and, as words no longer fit, at spaces
// (a word wider than the label breaks between characters), so a caption
// wraps inside the label's width whatever WordWrap says; a label less than
// two lines high does not wrap and cuts its caption at its right edge (a
// caption laid out for one font stays readable in a wider one). A disabled
// label draws its caption in the grey-text colour.
//
// BackStyle 1 (opaque, the default) fills the label with BackColor first;
// 0 (transparent) leaves what lies under it.
//
// AutoSize fits the label to its caption whenever the caption, the font,
// AutoSize or WordWrap change: with WordWrap off, the width becomes that of
// the widest CR LF line and the height that of the lines; with WordWrap on,
// the width stays and the height becomes that of the wrapped lines.
//
// Events: Click, DblClick, MouseDown, MouseMove, MouseUp (PointerEvents.h).
#pragma once

#include <memory>
#include <vector>

#include "forms/Control.h"
#include "forms/PointerEvents.h"

namespace pd::forms {

namespace align {
inline constexpr int kLeft = 0;
inline constexpr int kRight = 1;
inline constexpr int kCenter = 2;
}  // namespace align

namespace backstyle {
inline constexpr int kTransparent = 0;
inline constexpr int kOpaque = 1;
}  // namespace backstyle

class Label : public Control, public PointerEvents {
 public:
  Label(Container& parent, StringView name, int index = -1);
  ~Label() override;

  [[nodiscard]] const String& Caption() const { return caption_; }
  void SetCaption(StringView caption);
  [[nodiscard]] Colour ForeColor() const { return foreColor_; }
  void SetForeColor(Colour colour);
  [[nodiscard]] int BackStyle() const { return backStyle_; }
  void SetBackStyle(int backStyle);
  [[nodiscard]] int Alignment() const { return alignment_; }
  void SetAlignment(int alignment);
  [[nodiscard]] bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  [[nodiscard]] bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);
  void SetFont(const platform::Font& font) override;

  // The lines of text as drawn into width pixels with the surface's font
  // (width <= 0: only the CR LF breaks).
  [[nodiscard]] static std::vector<String> WrapLines(platform::Surface& surface, StringView text, int width);

 protected:
  void OnPaint(platform::Surface& surface) override;
  void OnMouseDown(const MouseEvent& e) override { RaiseDown(*this, e); }
  void OnMouseMove(const MouseEvent& e) override { RaiseMove(*this, e); }
  void OnMouseUp(const MouseEvent& e) override { RaiseUp(*this, e); }
  void OnDblClick(const MouseEvent& /*e*/) override { RaiseDblClick(); }
  void OnResize() override;

 private:
  platform::Surface& Measure();
  void Fit();

  String caption_;
  Colour foreColor_ = 0x80000012;
  int backStyle_ = backstyle::kOpaque;
  int alignment_ = align::kLeft;
  bool autoSize_ = false;
  bool wordWrap_ = false;
  bool fitting_ = false;
  std::unique_ptr<platform::Surface> measure_;
};

}  // namespace pd::forms
