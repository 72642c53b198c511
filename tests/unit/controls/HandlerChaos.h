// A form full of components whose every event handler does something
// drawn from a stream of bytes: nothing, destroy or re-create a control,
// its container or the form, hide, disable, move, focus, clear the list,
// open a message box, a menu or a modal form, end a modal loop. The same
// stream drives the user: clicks, presses held across handlers, keys,
// typing, the wheel, the clock. Whatever happens, the sanitizers see no
// fault and the host's capture and focus agree with what is on screen.
//
// Used by a unit test with fixed seeds and by a libFuzzer target.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "forms/PushButton.h"
#include "forms/TextBox.h"
#include "platform/sim/platform.h"

namespace pd::test {

class HandlerChaos {
 public:
  HandlerChaos(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    sim_.loop().SetUser([this](int depth) { User(depth); });
    Build();
  }
  ~HandlerChaos() {
    sim_.loop().SetUser(nullptr);
    slots_ = {};
    other_.reset();
    form_.reset();
  }
  HandlerChaos(const HandlerChaos&) = delete;
  HandlerChaos& operator=(const HandlerChaos&) = delete;

  // Drives the user until the bytes run out; the first broken rule, or "".
  std::string Run() {
    while (pos_ < size_ && fault_.empty()) {
      Step(form_ ? form_->Window() : 0);
      Check();
    }
    return fault_;
  }

 private:
  static constexpr int kSlots = 12;
  static constexpr int kPage = 8;  // the container; slots 9..11 live inside it while it exists

  std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
  Point AnyPoint() { return Point{Next() % 300, Next() % 200}; }
  forms::Control* Any() { return slots_[Next() % kSlots].get(); }

  template <typename... A>
  void Hook(Event<A...>& event, int who) {
    event.Connect([this, who](A...) { Act(who); });
  }

  void Build() {
    if (!form_) {
      // What the old form left behind goes now (or stays detached till then).
      for (auto& slot : slots_) {
        if (slot && !slot->OnForm()) slot.reset();
      }
      form_ = std::make_unique<forms::Form>(host_, u"frmChaos", u"Chaos");
      form_->Move(0, 0, 300 * kTwipsPerPixel, 200 * kTwipsPerPixel);
      Hook(form_->QueryUnload, -1);
      Hook(form_->Activate, -1);
      Hook(form_->Resize, -1);
    }
    for (int i = 0; i < kSlots; ++i) {
      if (!slots_[static_cast<std::size_t>(i)]) Make(i);
    }
    form_->Show();
  }

  void Make(int i) {
    const bool inPage = i > kPage && slots_[kPage] && slots_[kPage]->OnForm();
    forms::Container& parent = inPage ? static_cast<forms::Container&>(*slots_[kPage]) : *form_;
    const auto at = static_cast<std::size_t>(i);
    std::unique_ptr<forms::Control> c;
    switch (i % 9) {
      case 0: {
        auto b = std::make_unique<controls::XP_Button>(parent, u"cmdOption", i);
        b->SetControlType(i == 0 ? 2 : 1);
        Hook(b->Click, i), Hook(b->Check, i), Hook(b->Uncheck, i), Hook(b->Change, i), Hook(b->MouseOut, i);
        Hook(b->MouseDown, i), Hook(b->MouseUp, i), Hook(b->KeyDown, i), Hook(b->KeyUp, i), Hook(b->DblClick, i);
        c = std::move(b);
        break;
      }
      case 1:
      case 2: {
        auto t = std::make_unique<forms::TextBox>(parent, u"txtText", i);
        Hook(t->GotFocus, i), Hook(t->LostFocus, i), Hook(t->Change, i), Hook(t->KeyDown, i), Hook(t->KeyPress, i);
        c = std::move(t);
        break;
      }
      case 3: {
        auto b = std::make_unique<controls::XP_CheckBox>(parent, u"chkBox", i);
        Hook(b->Click, i), Hook(b->Check, i), Hook(b->Uncheck, i), Hook(b->Change, i), Hook(b->MouseDown, i);
        Hook(b->MouseUp, i), Hook(b->KeyDown, i), Hook(b->KeyPress, i);
        c = std::move(b);
        break;
      }
      case 4:
      case 5: {
        auto l = std::make_unique<controls::XP_ListBox>(parent, u"lstList", i);
        l->SetStyle(2);
        l->SetMultiSelect(2);
        l->SetItemHeight(12);
        for (int n = 0; n < 20; ++n) l->AddItem(u"row");
        Hook(l->Click, i), Hook(l->DblClick, i), Hook(l->Check, i), Hook(l->Uncheck, i), Hook(l->Scroll, i);
        Hook(l->MouseDown, i), Hook(l->MouseUp, i), Hook(l->KeyDown, i), Hook(l->KeyPress, i);
        c = std::move(l);
        break;
      }
      case 6: {
        auto l = std::make_unique<forms::Label>(parent, u"lblLabel", i);
        Hook(l->Click, i), Hook(l->DblClick, i), Hook(l->MouseDown, i), Hook(l->MouseUp, i);
        c = std::move(l);
        break;
      }
      case 7:
        c = std::make_unique<forms::PushButton>(parent, u"cmdPush", i, u"OK", [this, i] { Act(i); });
        break;
      default:
        c = std::make_unique<forms::Container>(parent, u"fraPage", i);
        break;
    }
    // A grid of 4 x 3 cells of 75 x 66 pixels; the page's children sit in
    // its corner.
    const int x = inPage ? 5 + (i - kPage - 1) * 20 : (i % 4) * 75;
    const int y = inPage ? 5 : (i / 4) * 66;
    c->Move(x * kTwipsPerPixel, y * kTwipsPerPixel, 70 * kTwipsPerPixel, 60 * kTwipsPerPixel);
    slots_[at] = std::move(c);
  }

  // What a handler does.
  void Act(int who) {
    if (depth_ > 3) return;
    ++depth_;
    const std::uint8_t what = Next();
    switch (what % 20) {
      case 1:  // destroy the control that raised the event
        if (who >= 0) slots_[static_cast<std::size_t>(who)].reset();
        break;
      case 2:  // destroy another (perhaps the container)
        slots_[Next() % kSlots].reset();
        break;
      case 3:
        if (forms::Control* c = Any()) c->SetVisible(!c->Visible());
        break;
      case 4:
        if (forms::Control* c = Any()) c->SetEnabled(!c->Enabled());
        break;
      case 5:
        if (forms::Control* c = Any()) c->SetFocus();
        break;
      case 6:
        if (auto* l = dynamic_cast<controls::XP_ListBox*>(Any())) (Next() % 2 != 0) ? l->Clear() : l->RemoveItem(0);
        break;
      case 7:
        host_.MessageBox(form_.get(), u"Box", u"Chaos", platform::mb::kYesNo);
        break;
      case 8: {
        const std::array<platform::MenuItem, 2> items{platform::MenuItem{.id = 1, .caption = u"One"},
                                                       platform::MenuItem{.id = 2, .caption = u"Two"}};
        host_.PopupMenu(form_.get(), items, AnyPoint());
        break;
      }
      case 9:
        if (forms::Form* modal = host_.ModalForm()) modal->Hide();
        break;
      case 10:  // the form goes, with its window; its controls stay detached
        form_.reset();
        break;
      case 11:
        if (forms::Control* c = Any()) c->Move(Next() * kTwipsPerPixel, Next() * kTwipsPerPixel);
        break;
      case 12:
        if (!other_) {
          other_ = std::make_unique<forms::Form>(host_, u"frmOther", u"Other");
          other_->Move(0, 0, 100 * kTwipsPerPixel, 60 * kTwipsPerPixel);
          otherButton_ = std::make_unique<forms::PushButton>(*other_, u"cmdClose", -1, u"X", [this] { Act(-1); });
          otherButton_->Move(0, 0, 100 * kTwipsPerPixel, 60 * kTwipsPerPixel);
          other_->ShowModal();
        }
        break;
      case 13:
        if (other_ && !host_.ModalForm()) {
          otherButton_.reset();
          other_.reset();
        } else if (other_) {
          other_.reset();  // inside its own modal loop
        }
        break;
      case 14:
        if (forms::Control* c = Any()) c->SetCapture();
        break;
      default:
        break;
    }
    --depth_;
  }

  // One thing the user does to a window.
  void Step(WindowHandle w) {
    const std::uint8_t what = Next();
    const int shift = (what & 0x80) != 0 ? platform::shift::kShift : 0;
    using platform::vk::kDown;
    static constexpr std::array<int, 8> kKeys{platform::vk::kTab,    platform::vk::kSpace, platform::vk::kReturn,
                                              platform::vk::kEscape, kDown,                platform::vk::kEnd,
                                              'A',                   platform::vk::kBack};
    if (!form_ && what % 16 != 0) {
      Build();
      return;
    }
    switch (what % 16) {
      case 0:
        Build();
        break;
      case 1:
      case 2:
        if (w != 0) sim_.Click(w, AnyPoint(), what % 3 == 0 ? platform::button::kRight : platform::button::kLeft, shift);
        break;
      case 3:
        if (w != 0) sim_.MouseDown(w, AnyPoint(), platform::button::kLeft, shift);
        break;
      case 4:
        if (w != 0) sim_.MouseMove(w, AnyPoint(), shift);
        break;
      case 5:
        if (w != 0) sim_.MouseUp(w, AnyPoint(), platform::button::kLeft, shift);
        break;
      case 6:
        if (w != 0) sim_.PressKey(w, kKeys[Next() % kKeys.size()], shift);
        break;
      case 7:
        if (w != 0) sim_.Type(w, u"ab");
        break;
      case 8:
        if (w != 0) sim_.MouseWheel(w, AnyPoint(), (what & 1) != 0 ? 120 : -120);
        break;
      case 9:
        sim_.loop().Advance(Next() * 4U);
        break;
      case 10:
        if (form_) form_->Visible() ? form_->Hide() : form_->Show();
        break;
      case 11:
        if (w != 0) sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kDoubleClick, .window = w,
                                                            .pos = AnyPoint(), .button = platform::button::kLeft});
        break;
      case 12:
        if (w != 0) sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kCloseRequest, .window = w});
        break;
      case 13:
        if (const WindowHandle holder = sim_.host().Capture(); holder != 0) {
          // Another program takes the pointer.
          sim_.host().ReleaseCapture();
          sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kCaptureLost, .window = holder});
        }
        break;
      default:
        if (forms::Control* c = Any()) c->SetFocus();
        break;
    }
  }

  // The user of a modal loop: acts on the form that holds the program a
  // few times, then ends the loop.
  void User(int depth) {
    forms::Form* modal = host_.ModalForm();
    const std::uint8_t what = Next();
    if (modal == nullptr) return;
    if (depth > 3 || pos_ >= size_ || what % 4 == 0 || ++userSteps_ % 8 == 0) {
      if (what % 2 == 0) {
        sim_.PressKey(modal->Window(), platform::vk::kEscape);
      } else {
        modal->Hide();
      }
      return;
    }
    Check();
    Step(modal->Window());
  }

  // The host's capture and focus agree with the platform and the screen.
  void Check() {
    forms::Control* capture = host_.CaptureControl();
    const WindowHandle platformCapture = sim_.host().Capture();
    if (capture != nullptr) {
      if (!capture->OnForm() || host_.ControlOf(capture->hWnd()) != capture) fault_ = "the capture names a lost control";
      else if (platformCapture != capture->GetForm().Window()) fault_ = "the platform's capture is elsewhere";
    } else if (platformCapture != 0) {
      fault_ = "the platform holds a capture the host does not know";
    }
    if (form_ && form_->ActiveControl() != nullptr) {
      const forms::Control& f = *form_->ActiveControl();
      if (!f.Shown() || !f.EffectivelyEnabled()) {
        fault_ = "the focus is on a hidden or disabled control: " + std::string(f.Name().begin(), f.Name().end()) +
                 std::to_string(f.Index()) + (f.Shown() ? "" : " hidden") + (f.EffectivelyEnabled() ? "" : " disabled") +
                 " after byte " + std::to_string(pos_);
      }
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int userSteps_ = 0;
  std::string fault_;
  sim::SimPlatform sim_;
  forms::ControlHost host_{sim_};
  std::unique_ptr<forms::Form> form_;
  std::unique_ptr<forms::Form> other_;
  std::unique_ptr<forms::PushButton> otherButton_;
  std::array<std::unique_ptr<forms::Control>, kSlots> slots_;
};

}  // namespace pd::test
