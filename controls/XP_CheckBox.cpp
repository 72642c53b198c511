#include "controls/XP_CheckBox.h"

#include <algorithm>

#include "controls/CaptionLayout.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"

namespace pd::controls {

using Table_t = forms::PropertyTable<XP_CheckBox>;

const Table_t& XP_CheckBox::Table() {
  static const Table_t table{
      {u"Aligment", std::int32_t{0}, &XP_CheckBox::aligment_},
      {u"AutoSizeH", false, &XP_CheckBox::autoSizeH_},
      {u"AutoSizeV", false, &XP_CheckBox::autoSizeV_},
      {u"Caption", String(u"XP CheckBox"), &XP_CheckBox::caption_},
      {u"ForeColor", Colour{0}, &XP_CheckBox::foreColor_},
      {u"ForeColorDisabled", Colour{kDefaultForeColorDisabled}, &XP_CheckBox::foreColorDisabled_},
      {u"ForeColorDown", Colour{0}, &XP_CheckBox::foreColorDown_},
      {u"ForeColorMove", Colour{0}, &XP_CheckBox::foreColorMove_},
      {u"NumStates", std::int32_t{0}, &XP_CheckBox::numStates_},
      {u"Value", std::int32_t{0}, &XP_CheckBox::value_},
      {u"BackPicture", PicturePtr{}, &XP_CheckBox::backPicture_},
      Table_t::HostFont(),
      Table_t::HostMouseIcon(),
      Table_t::HostEnabled(),
      Table_t::HostBackColor(kDefaultBackColor),
      Table_t::HostMousePointer(),
      {u"OLEDropMode", std::int32_t{0}, &XP_CheckBox::oleDropMode_},
  };
  return table;
}

XP_CheckBox::XP_CheckBox(forms::Container& parent, StringView name, int index)
    : PressControl(parent, name, index, PressTracker::Options{.focusLook = false}),
      tmrUnMover_(GetSite().GetPlatform().loop().CreateTimer([this] { Apply(tracker_.Watch(Where())); })),
      skin_(GetSite().GetPlatform().resources().LoadPicture(platform::res::kCheckBoxSkin)),
      measure_(GetSite().GetPlatform().graphics().CreateSurface(1, 1)) {
  tmrUnMover_->SetInterval(kWatchIntervalMs);
  ReadProperties(GetSite().Properties());
}

XP_CheckBox::~XP_CheckBox() = default;

// ---- State machine ---------------------------------------------------------------

void XP_CheckBox::Apply(const PressTracker::Reaction& r) {
  for (PressTracker::Step step : r) {
    switch (step) {
      case PressTracker::Step::Paint:
        Paint(r.look, r.force);
        break;
      case PressTracker::Step::Activate:
        if (!AdvanceValue()) return;
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

bool XP_CheckBox::WatchRunning() const { return tmrUnMover_->Enabled(); }

bool XP_CheckBox::ReleasedInside(const forms::MouseEvent& e, const PressTracker::Pointer& /*where*/) const {
  return e.x >= 0 && e.y >= 0 && e.x < PixelWidth() && e.y < PixelHeight();
}

// The move that resized the box repaints it.
void XP_CheckBox::OnResize() {
  lastLook_ = Look::Up;
  Fit();
}

void XP_CheckBox::OnShow(bool shown) {
  if (shown) Paint(Look::Up, false);
}

bool XP_CheckBox::AdvanceValue() {
  const std::int32_t states = numStates_ + 2 > 0 ? numStates_ + 2 : 2;
  SetValue((value_ + 1) % states);
  const std::int32_t value = value_;
  if (value == 0 && !RaiseEvent(Uncheck)) return false;
  if (value == 1 && !RaiseEvent(Check)) return false;
  if (value == 2 && !RaiseEvent(Gray)) return false;
  return RaiseEvent(Change);
}

// ---- Painting --------------------------------------------------------------------

int XP_CheckBox::BoxWidth() const { return skin_ ? skin_->Width() : 13; }
int XP_CheckBox::FrameHeight() const { return skin_ ? skin_->Height() / 12 : 13; }

void XP_CheckBox::Paint(Look look, bool force) {
  if (look == lastLook_ && !force) return;
  lastLook_ = look;
  Fit();
  Refresh();
}

void XP_CheckBox::Fit() {
  if (fitting_ || (!autoSizeH_ && !autoSizeV_)) return;
  fitting_ = true;
  measure_->SetFont(Font());
  const int bw = BoxWidth();
  int w = PixelWidth();
  int h = PixelHeight();
  String text;
  if (autoSizeH_) {
    text = caption_;
    w = caption_.empty() ? bw : measure_->TextWidth(caption_) + bw + 4;
  } else {
    text = WrapCaption(*measure_, caption_, w - (bw + 4));
  }
  if (autoSizeV_) h = std::max(measure_->TextHeight(text), FrameHeight());
  if (w != PixelWidth() || h != PixelHeight()) Move(Left(), Top(), w * kTwipsPerPixel, h * kTwipsPerPixel);
  fitting_ = false;
}

void XP_CheckBox::OnPaint(platform::Surface& surface) {
  const int W = PixelWidth();
  const int H = PixelHeight();
  const int bw = BoxWidth();
  const int fh = FrameHeight();
  surface.SetBackColor(BackColor());
  surface.Clear();

  const String text = autoSizeH_ ? caption_ : WrapCaption(surface, caption_, W - (bw + 4));
  const int th = surface.TextHeight(text);
  const Point box{(W - bw) * aligment_, (H - fh) / 2};
  const Rect textRect{(bw + 2) * (1 - aligment_), (H - th) / 2, W - (bw + 2) * aligment_, H};

  Colour colour = Enabled() ? foreColor_ : foreColorDisabled_;
  if (lastLook_ == Look::Move) colour = foreColorMove_;
  if (lastLook_ == Look::Down) colour = foreColorDown_;
  surface.SetTextColor(colour);

  if (backPicture_) {
    surface.CopyPicture(*backPicture_, Point{}, Rect{0, 0, backPicture_->Width(), backPicture_->Height()});
  }
  if (skin_) {
    const int value = value_ >= 0 && value_ <= 2 ? value_ : 0;
    const int look = Enabled() ? static_cast<int>(lastLook_) : 3;
    lastFrame_ = 4 * value + look;
    surface.CopyPicture(*skin_, box, Rect{0, lastFrame_ * fh, bw, lastFrame_ * fh + fh});
  }
  surface.TextIn(textRect, text, aligment_ == 1 ? platform::dt::kRight : platform::dt::kLeft);
}

// ---- Properties -------------------------------------------------------------------

template <typename T>
void XP_CheckBox::Store(T XP_CheckBox::*member, T value, bool repaint) {
  this->*member = std::move(value);
  GetSite().PropertyChanged(Table().NameOf(member));
  if (repaint) Paint(Look::Up, true);
}

void XP_CheckBox::SetCaption(StringView value) { Store(&XP_CheckBox::caption_, String(value), true); }
void XP_CheckBox::SetAligment(std::int32_t value) { Store(&XP_CheckBox::aligment_, value, true); }
void XP_CheckBox::SetAutoSizeH(bool value) { Store(&XP_CheckBox::autoSizeH_, value, true); }
void XP_CheckBox::SetAutoSizeV(bool value) { Store(&XP_CheckBox::autoSizeV_, value, true); }
void XP_CheckBox::SetForeColor(Colour value) { Store(&XP_CheckBox::foreColor_, value, true); }
void XP_CheckBox::SetForeColorDisabled(Colour value) { Store(&XP_CheckBox::foreColorDisabled_, value, true); }
void XP_CheckBox::SetForeColorMove(Colour value) { Store(&XP_CheckBox::foreColorMove_, value, false); }
void XP_CheckBox::SetForeColorDown(Colour value) { Store(&XP_CheckBox::foreColorDown_, value, false); }
void XP_CheckBox::SetOLEDropMode(std::int32_t value) { Store(&XP_CheckBox::oleDropMode_, value, false); }

void XP_CheckBox::SetValue(std::int32_t value) {
  Store(&XP_CheckBox::value_, value, true);
  if (numStates_ == 0 && value_ == 2) SetValue(1);
}

void XP_CheckBox::SetNumStates(std::int32_t value) {
  Store(&XP_CheckBox::numStates_, value, false);
  if (value_ == 2) SetValue(1);
}

void XP_CheckBox::SetBackPicture(PicturePtr value) {
  backPicture_ = std::move(value);
  GetSite().PropertyChanged(Table().NameOf(&XP_CheckBox::backPicture_));
  Paint(Look::Up, true);
}

void XP_CheckBox::SetBackColor(Colour value) {
  lastLook_ = Look::Up;
  Control::SetBackColor(value);  // repaints
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kBackColor));
}

void XP_CheckBox::SetEnabled(bool value) {
  SetEnabledState(value);
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kEnabled));
  Apply(tracker_.Enabled(value));
}

void XP_CheckBox::SetFont(const platform::Font& value) {
  Control::SetFont(value);
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kFont));
  Paint(Look::Up, true);  // the size may follow the new font
}

void XP_CheckBox::SetMousePointer(std::int32_t value) {
  Control::SetMousePointer(value);
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kMousePointer));
}

void XP_CheckBox::SetMouseIcon(PicturePtr value) {
  Control::SetMouseIcon(std::move(value));
  GetSite().PropertyChanged(Table().NameOf(forms::HostAttribute::kMouseIcon));
}

// ---- Host ------------------------------------------------------------------------

void XP_CheckBox::InitProperties() {
  Table().Init(*this);
  Paint(Look::Up, true);
}

void XP_CheckBox::ReadProperties(forms::PropertyStore& store) {
  Table().Read(*this, store);
  Paint(Look::Up, true);
}

void XP_CheckBox::WriteProperties(forms::PropertyStore& store) const { Table().Write(*this, store); }

}  // namespace pd::controls
