#include "controls/XP_Button.h"

#include "controls/CaptionLayout.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"

namespace pd::controls {

using Table_t = forms::PropertyTable<XP_Button>;

const Table_t& XP_Button::Table() {
  static const Table_t table{
      {u"AlignPicture", std::int32_t{0}, &XP_Button::alignPicture_},
      {u"Caption", String(u"XP Button"), &XP_Button::caption_},
      {u"ControlType", std::int32_t{0}, &XP_Button::controlType_},
      {u"ForeColor", Colour{0}, &XP_Button::foreColor_},
      {u"ForeColorDisabled", Colour{kDefaultForeColorDisabled}, &XP_Button::foreColorDisabled_},
      {u"ForeColorDown", Colour{0}, &XP_Button::foreColorDown_},
      {u"ForeColorMove", Colour{0}, &XP_Button::foreColorMove_},
      {u"FontBoldUp", false, &XP_Button::fontBoldUp_},
      {u"FontBoldDown", false, &XP_Button::fontBoldDown_},
      {u"FontBoldMove", false, &XP_Button::fontBoldMove_},
      {u"FontItalicUp", false, &XP_Button::fontItalicUp_},
      {u"FontItalicDown", false, &XP_Button::fontItalicDown_},
      {u"FontItalicMove", false, &XP_Button::fontItalicMove_},
      {u"FontUnderlineUp", false, &XP_Button::fontUnderlineUp_},
      {u"FontUnderlineDown", false, &XP_Button::fontUnderlineDown_},
      {u"FontUnderlineMove", false, &XP_Button::fontUnderlineMove_},
      {u"Group", std::int32_t{0}, &XP_Button::group_},
      {u"Value", false, &XP_Button::value_},
      Table_t::HostMouseIcon(),
      {u"Picture", PicturePtr{}, &XP_Button::picture_},
      Table_t::HostFont(),
      Table_t::HostEnabled(),
      Table_t::HostMousePointer(),
      {u"OLEDropMode", std::int32_t{0}, &XP_Button::oleDropMode_},
  };
  return table;
}

XP_Button::XP_Button(forms::Container& parent, StringView name, int index)
    : PressControl(parent, name, index),
      tmrUnMover_(GetSite().GetPlatform().loop().CreateTimer([this] { Apply(tracker_.Watch(Where())); })),
      skin_(GetSite().GetPlatform().resources().LoadPicture(platform::res::kButtonSkin)) {
  tmrUnMover_->SetInterval(kWatchIntervalMs);
  ReadProperties(GetSite().Properties());
}

XP_Button::~XP_Button() = default;

// ---- State machine ---------------------------------------------------------------

void XP_Button::Apply(const PressTracker::Reaction& r) {
  for (PressTracker::Step step : r) {
    switch (step) {
      case PressTracker::Step::Paint:
        Paint(r.look, r.force);
        break;
      case PressTracker::Step::Activate:
        if (controlType_ >= 1 && !ToggleValue()) return;
        break;
      case PressTracker::Step::Click:
        if (!RaiseEvent(Click)) return;
        break;
      case PressTracker::Step::MouseOut:
        if (!RaiseEvent(MouseOut)) return;
        break;
    }
  }
  if (r.releaseCapture) ReleaseCapture();
  tmrUnMover_->SetEnabled(tracker_.Watching());
}

bool XP_Button::WatchRunning() const { return tmrUnMover_->Enabled(); }

// The move that resized the button repaints it.
void XP_Button::OnResize() { lastState_ = Look::Up; }

void XP_Button::OnShow(bool shown) {
  if (shown) Paint(Look::Up, false);
}

bool XP_Button::ToggleValue() {
  const forms::ControlLife life = Life();
  SetValue(controlType_ == 1 ? !value_ : true);
  if (!life.Alive()) return false;
  return RaiseEvent(value_ ? Check : Uncheck);
}

// ---- Painting --------------------------------------------------------------------

void XP_Button::Paint(Look state, bool force) {
  if (state == lastState_ && !force) return;
  lastState_ = state;
  Refresh();
}

int XP_Button::FrameTop(int fh) const {
  // A disabled button shows the disabled frame whatever its look or value.
  if (!Enabled()) return 3 * fh;
  if (value_) return 2 * fh;
  int t = static_cast<int>(lastState_) * fh;
  if (lastState_ == Look::Up && !noFocus_ && tracker_.HasFocus()) t += 4 * fh;
  return t;
}

void XP_Button::OnPaint(platform::Surface& surface) {
  const int W = PixelWidth();
  const int H = PixelHeight();
  surface.SetBackColor(BackColor());
  surface.Clear();
  if (skin_) {
    const int fh = skin_->Height() / (noFocus_ ? 4 : 5);
    const int t = FrameTop(fh);
    lastFrame_ = fh > 0 ? t / fh : 0;
    DrawNineSlice(surface, *skin_, t, fh, margins_, W, H);
  }

  platform::Font font = Font();
  Colour colour = 0;
  switch (lastState_) {
    case Look::Move:
      colour = foreColorMove_;
      font.underline = fontUnderlineMove_;
      font.bold = fontBoldMove_;
      font.italic = fontItalicMove_;
      break;
    case Look::Down:
      colour = foreColorDown_;
      font.underline = fontUnderlineDown_;
      font.bold = fontBoldDown_;
      font.italic = fontItalicDown_;
      break;
    case Look::Up:
      colour = Enabled() ? foreColor_ : foreColorDisabled_;
      font.underline = fontUnderlineUp_;
      font.bold = fontBoldUp_;
      font.italic = fontItalicUp_;
      break;
  }
  surface.SetFont(font);
  surface.SetTextColor(colour);

  const int iw = picture_ ? picture_->Width() : 0;
  const int ih = picture_ ? picture_->Height() : 0;
  const CaptionPlacement place = PlaceCaption(surface, W, H, caption_, alignPicture_, iw, ih);
  if (picture_) {
    BlendPicture(surface, place.icon.x, place.icon.y, iw, ih, *picture_, 0, 0,
                 Enabled() ? blend::kKeyColour : blend::kKeyColour | blend::kGrey, kIconKeyColour, 0);
  }
  if (!place.text.empty()) surface.TextIn(place.textRect, place.text, platform::dt::kCenter);
}

// ---- Methods and properties -------------------------------------------------------

void XP_Button::SetButtonPicture(PicturePtr NewPic, std::int32_t SizeLeft, std::int32_t SizeRight, std::int32_t SizeTop,
                                 std::int32_t SizeBottom, bool NoFocus) {
  if (NewPic) skin_ = std::move(NewPic);
  if (SizeLeft >= 0) margins_.left = SizeLeft;
  if (SizeRight >= 0) margins_.right = SizeRight;
  if (SizeTop >= 0) margins_.top = SizeTop;
  if (SizeBottom >= 0) margins_.bottom = SizeBottom;
  noFocus_ = NoFocus;
  Paint(Look::Up, true);
}

template <typename T>
void XP_Button::Store(T XP_Button::*member, T value, bool repaint) {
  this->*member = std::move(value);
  GetSite().PropertyChanged(Table().NameOf(member));
  if (repaint) Paint(Look::Up, true);
}

void XP_Button::SetCaption(StringView value) { Store(&XP_Button::caption_, String(value), true); }
void XP_Button::SetAlignPicture(std::int32_t value) { Store(&XP_Button::alignPicture_, value, true); }
void XP_Button::SetControlType(std::int32_t value) { Store(&XP_Button::controlType_, value, true); }
void XP_Button::SetGroup(std::int16_t value) { Store(&XP_Button::group_, value, false); }
void XP_Button::SetForeColor(Colour value) { Store(&XP_Button::foreColor_, value, true); }
void XP_Button::SetForeColorDisabled(Colour value) { Store(&XP_Button::foreColorDisabled_, value, true); }
void XP_Button::SetForeColorMove(Colour value) { Store(&XP_Button::foreColorMove_, value, false); }
void XP_Button::SetForeColorDown(Colour value) { Store(&XP_Button::foreColorDown_, value, false); }
void XP_Button::SetFontBoldUp(bool value) { Store(&XP_Button::fontBoldUp_, value, true); }
void XP_Button::SetFontBoldMove(bool value) { Store(&XP_Button::fontBoldMove_, value, true); }
void XP_Button::SetFontBoldDown(bool value) { Store(&XP_Button::fontBoldDown_, value, true); }
void XP_Button::SetFontItalicUp(bool value) { Store(&XP_Button::fontItalicUp_, value, true); }
void XP_Button::SetFontItalicMove(bool value) { Store(&XP_Button::fontItalicMove_, value, true); }
void XP_Button::SetFontItalicDown(bool value) { Store(&XP_Button::fontItalicDown_, value, true); }
void XP_Button::SetFontUnderlineUp(bool value) { Store(&XP_Button::fontUnderlineUp_, value, true); }
void XP_Button::SetFontUnderlineMove(bool value) { Store(&XP_Button::fontUnderlineMove_, value, true); }
void XP_Button::SetFontUnderlineDown(bool value) { Store(&XP_Button::fontUnderlineDown_, value, true); }
void XP_Button::SetOLEDropMode(std::int32_t value) { Store(&XP_Button::oleDropMode_, value, false); }

void XP_Button::SetPicture(PicturePtr value) {
  picture_ = std::move(value);
  GetSite().PropertyChanged(Table().NameOf(&XP_Button::picture_));
  Paint(Look::Up, true);
}

void XP_Button::SetValue(bool value) {
  if (controlType_ == 2 && value && OnForm()) {
    // Each one's Change handler may change or destroy the others.
    std::vector<std::pair<XP_Button*, forms::ControlLife>> group;
    for (forms::Control* c : GetForm().Controls()) {
      auto* other = dynamic_cast<XP_Button*>(c);
      if (other != nullptr && other->controlType_ == 2 && other->group_ == group_) group.emplace_back(other, c->Life());
    }
    const forms::ControlLife self = Life();
    for (auto& [other, life] : group) {
      if (!self.Alive()) return;
      if (life.Alive()) other->SetValue(false);
    }
    if (!self.Alive()) return;
  }
  value_ = value;
  GetSite().PropertyChanged(Table().NameOf(&XP_Button::value_));
  Apply(tracker_.Refresh(Where(), true));
  Change.Raise();
}

void XP_Button::SetEnabled(bool value) {
  if (value == Enabled()) return;
  SetEnabledState(value);
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kEnabled));
  Apply(tracker_.Enabled(value));
}

void XP_Button::SetFont(const platform::Font& value) {
  lastState_ = Look::Up;
  Control::SetFont(value);  // repaints
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kFont));
}

void XP_Button::SetMousePointer(std::int32_t value) {
  Control::SetMousePointer(value);
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kMousePointer));
}

void XP_Button::SetMouseIcon(PicturePtr value) {
  Control::SetMouseIcon(std::move(value));
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kMouseIcon));
}

// ---- Host ------------------------------------------------------------------------

void XP_Button::InitProperties() {
  Table().Init(*this);
  Paint(Look::Up, true);
}

void XP_Button::ReadProperties(forms::PropertyStore& store) {
  Table().Read(*this, store);
  Paint(Look::Up, true);
}

void XP_Button::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

}  // namespace pd::controls
