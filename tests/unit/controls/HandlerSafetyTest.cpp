// Handlers that destroy, hide or re-create what raised them, controls and
// forms going in any order, the one capture through menus and boxes, and
// where the focus goes: each case once, then random handlers from every
// event of every component (HandlerChaos.h).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "HandlerChaos.h"
#include "controls/ListScrollBar.h"

namespace pd::test {
namespace {

constexpr int kPx = kTwipsPerPixel;

struct Scene {
  Scene() {
    form->Move(0, 0, 300 * kPx, 200 * kPx);
    list = std::make_unique<controls::XP_ListBox>(*form, u"lstList");
    list->Move(0, 0, 120 * kPx, 122 * kPx);  // ten rows of 12 pixels
    list->SetItemHeight(12);
    list->SetStyle(2);
    list->SetMultiSelect(2);
    for (int i = 0; i < 30; ++i) list->AddItem(u"row");
    text = std::make_unique<forms::TextBox>(*form, u"txtText");
    text->Move(150 * kPx, 0, 100 * kPx, 20 * kPx);
    button = std::make_unique<controls::XP_Button>(*form, u"cmdButton");
    button->Move(150 * kPx, 50 * kPx, 60 * kPx, 20 * kPx);
    label = std::make_unique<forms::Label>(*form, u"lblLabel");
    label->Move(150 * kPx, 100 * kPx, 60 * kPx, 20 * kPx);
    form->Show();
  }
  WindowHandle W() const { return window; }
  void ClickRow(int row, int shift = 0) { sim.Click(window, Point{5, 1 + 12 * row + 6}, platform::button::kLeft, shift); }

  sim::SimPlatform sim;
  forms::ControlHost host{sim};
  std::unique_ptr<forms::Form> form = std::make_unique<forms::Form>(host, u"frmTest", u"Test");
  WindowHandle window = form->Window();
  std::unique_ptr<controls::XP_ListBox> list;
  std::unique_ptr<forms::TextBox> text;
  std::unique_ptr<controls::XP_Button> button;
  std::unique_ptr<forms::Label> label;
};

struct Case {
  const char* name;
  std::function<void(Scene&)> run;
  std::function<bool(Scene&)> after;
};

// Each ran a freed object's code before.
TEST(HandlerSafety, AHandlerMayDestroyWhatRaisedIt) {
  const std::vector<Case> cases = {
      {"a Check handler clears the list during a Shift range of ticks",
       [](Scene& s) {
         s.ClickRow(1);
         s.list->Check.Connect([&s](std::int32_t&) { s.list->Clear(); });
         s.ClickRow(6, platform::shift::kShift);
       },
       [](Scene& s) { return s.list->ListCount() == 0; }},
      {"a Check handler removes items during the range",
       [](Scene& s) {
         s.ClickRow(1);
         s.list->Check.Connect([&s](std::int32_t&) { s.list->RemoveItem(0); });
         s.ClickRow(6, platform::shift::kShift);
       },
       [](Scene& s) { return s.list->ListCount() == 24; }},
      {"a Check handler destroys the list",
       [](Scene& s) {
         s.list->Check.Connect([&s](std::int32_t&) { s.list.reset(); });
         s.ClickRow(2);
       },
       [](Scene& s) { return !s.list && s.host.GetCapture() == 0; }},
      {"a LostFocus handler destroys the control being pressed",
       [](Scene& s) {
         s.text->SetFocus();
         s.text->LostFocus.Connect([&s] { s.button.reset(); });
         s.sim.Click(s.W(), Point{160, 55});
       },
       [](Scene& s) { return !s.button && s.host.GetCapture() == 0 && s.sim.host().Capture() == 0; }},
      {"a GotFocus handler destroys the text box being pressed",
       [](Scene& s) {
         s.text->GotFocus.Connect([&s] { s.text.reset(); });
         s.sim.Click(s.W(), Point{160, 5});
       },
       [](Scene& s) { return !s.text && s.form->ActiveControl() == nullptr && s.host.GetCapture() == 0; }},
      {"a Scroll handler destroys its list while the thumb is dragged",
       [](Scene& s) {
         s.list->Scroll.Connect([&s] { s.list.reset(); });
         const Rect thumb = s.list->ScrollBar().PartOf(controls::ScrollPart::Kind::kThumb).FormRect();
         const Point at{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
         s.sim.MouseDown(s.W(), at);
         s.sim.MouseMove(s.W(), Point{at.x, at.y + 40});
         s.sim.MouseUp(s.W(), Point{at.x, at.y + 40});
       },
       [](Scene& s) { return !s.list && s.host.GetCapture() == 0; }},
      {"a Click handler destroys the form",
       [](Scene& s) {
         s.button->Click.Connect([&s] { s.form.reset(); });
         s.sim.Click(s.W(), Point{160, 55});
       },
       [](Scene& s) { return !s.form && !s.button->OnForm() && s.host.GetCapture() == 0; }},
      {"a MouseUp handler destroys a label before its Click",
       [](Scene& s) {
         s.label->MouseUp.Connect([&s](std::int16_t&, std::int16_t&, float&, float&) { s.label.reset(); });
         s.sim.Click(s.W(), Point{160, 105});
       },
       [](Scene& s) { return !s.label; }},
      {"a form is destroyed inside its own modal loop",
       [](Scene& s) {
         auto other = std::make_unique<forms::Form>(s.host, u"frmOther", u"Other");
         other->Move(0, 0, 100 * kPx, 50 * kPx);
         forms::PushButton close(*other, u"cmdClose", -1, u"X", [&other] { other.reset(); });
         close.Move(0, 0, 100 * kPx, 50 * kPx);
         const WindowHandle w = other->Window();
         s.sim.loop().SetUser([&s, w](int) { s.sim.Click(w, Point{10, 10}); });
         other->ShowModal();
         s.sim.loop().SetUser(nullptr);
         EXPECT_FALSE(other);
         EXPECT_FALSE(close.OnForm());
       },
       [](Scene& s) { return s.host.ModalForm() == nullptr; }},
  };
  for (const Case& c : cases) {
    Scene s;
    c.run(s);
    s.sim.loop().Advance(2000);  // the hover watches and the caret blink run on
    EXPECT_TRUE(c.after(s)) << c.name;
  }
}

TEST(HandlerSafety, ControlsOutliveTheirFormAndChildrenTheirContainer) {
  Scene s;
  s.text->SetFocus();
  s.form.reset();
  s.sim.loop().Advance(2000);  // the caret blinks on a detached box
  EXPECT_FALSE(s.text->OnForm());
  EXPECT_FALSE(s.text->HasFocus());
  EXPECT_FALSE(s.text->SetFocus());
  s.text->SetText(u"still usable");
  s.list->AddItem(u"more");

  Scene t;
  auto page = std::make_unique<forms::Container>(*t.form, u"fraPage");
  page->Move(0, 0, 300 * kPx, 200 * kPx);
  auto inner = std::make_unique<controls::XP_Button>(*page, u"cmdInner");
  inner->Move(0, 0, 50 * kPx, 20 * kPx);
  t.sim.Click(t.W(), Point{5, 5});
  const WindowHandle h = inner->hWnd();
  page.reset();
  EXPECT_EQ(t.host.ControlOf(h), nullptr);
  EXPECT_FALSE(inner->OnForm());
  t.sim.loop().Advance(2000);
  t.sim.Click(t.W(), Point{5, 5});
  EXPECT_EQ(t.host.GetCapture(), WindowHandle{0});
}

// A menu opened during a press takes the one capture; a box opened from
// the menu takes it from the menu; the menu takes it back afterwards.
TEST(HandlerSafety, TheCaptureFollowsMenusOpenedDuringAPressAndBoxesOpenedFromThem) {
  Scene s;
  std::vector<std::string> seen;
  s.sim.loop().SetUser([&](int depth) {
    forms::Form* modal = s.host.ModalForm();
    forms::Control* holder = s.host.ControlOf(s.host.GetCapture());
    const bool onModal = holder != nullptr && &holder->GetForm() == modal;
    const bool platformAgrees = s.sim.host().Capture() == (holder != nullptr ? holder->GetForm().Window() : 0);
    seen.push_back(std::to_string(depth) + (onModal ? " modal holds" : " none holds") +
                   (platformAgrees ? "" : " (platform differs)"));
    if (depth == 1 && seen.size() == 1) {
      s.host.MessageBox(s.form.get(), u"From the menu", u"Box", 0);
      return;
    }
    s.sim.PressKey(modal->Window(), platform::vk::kEscape);
  });
  s.button->MouseDown.Connect([&](std::int16_t&, std::int16_t&, float&, float&) {
    const std::array<platform::MenuItem, 1> items{platform::MenuItem{.id = 1, .caption = u"One"}};
    s.host.PopupMenu(s.form.get(), items, Point{10, 10});
  });
  s.sim.Click(s.W(), Point{160, 55});
  s.sim.loop().SetUser(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"1 modal holds", "2 none holds", "1 modal holds"}));
  EXPECT_EQ(s.host.GetCapture(), WindowHandle{0});
  EXPECT_EQ(s.sim.host().Capture(), WindowHandle{0});
}

TEST(HandlerSafety, FocusComesBackToTheLastActiveControlAndTabGoesOnFromANonStop) {
  Scene s;
  forms::TextBox second(*s.form, u"txtSecond");
  forms::TextBox third(*s.form, u"txtThird");
  second.Move(150 * kPx, 150 * kPx, 50 * kPx, 20 * kPx);
  third.Move(220 * kPx, 150 * kPx, 50 * kPx, 20 * kPx);
  second.SetFocus();
  s.form->Hide();
  EXPECT_EQ(s.form->ActiveControl(), nullptr);
  s.form->Show();
  EXPECT_EQ(s.form->ActiveControl(), &second);

  second.SetTabStop(false);
  s.sim.PressKey(s.W(), platform::vk::kTab);
  EXPECT_EQ(s.form->ActiveControl(), &third);
  second.SetFocus();
  s.sim.PressKey(s.W(), platform::vk::kTab, platform::shift::kShift);
  EXPECT_EQ(s.form->ActiveControl(), s.button.get());
}

// Logs what OnShow tells it.
class ShowProbe : public forms::Container {
 public:
  ShowProbe(forms::Container& parent, StringView name, std::vector<std::string>& log)
      : Container(parent, name), log_(log) {}

 protected:
  void OnShow(bool shown) override {
    log_.push_back(std::string(Name().begin(), Name().end()) + (shown ? " shown" : " hidden"));
  }

 private:
  std::vector<std::string>& log_;
};

TEST(HandlerSafety, OnShowReachesEveryControlWhoseShowingChanged) {
  Scene s;
  std::vector<std::string> log;
  ShowProbe page(*s.form, u"page", log);
  ShowProbe child(page, u"child", log);
  ShowProbe hiddenChild(page, u"hiddenChild", log);
  hiddenChild.SetVisible(false);
  log.clear();
  page.SetVisible(false);
  page.SetVisible(true);
  s.form->Hide();
  s.form->Show();
  EXPECT_EQ(log, (std::vector<std::string>{"page hidden", "child hidden", "page shown", "child shown", "page hidden",
                                           "child hidden", "page shown", "child shown"}));
}

// Random handler actions from every event of every component, with fixed
// seeds; fuzz/fuzz_handlers.cpp runs the same for as long as one likes.
TEST(HandlerSafety, RandomHandlersBreakNothing) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(400);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    HandlerChaos chaos(bytes.data(), bytes.size());
    EXPECT_EQ(chaos.Run(), "") << "seed " << seed;
  }
}

}  // namespace
}  // namespace pd::test
