// The control host on the simulation: hit-testing, capture, focus, closing,
// painting and modal loops, driven as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"

namespace pd::forms {
namespace {

using platform::vk::kTab;

// A control that logs what reaches it and paints itself in one colour.
class Probe : public Container {
 public:
  Probe(Container& parent, StringView name, std::vector<std::string>& log, Colour colour, bool focusable = true)
      : Container(parent, name), log_(log), colour_(colour), focusable_(focusable) {}
  bool CanFocus() const override { return focusable_; }

 protected:
  void OnPaint(platform::Surface& s) override { s.FillRect(Rect{0, 0, PixelWidth(), PixelHeight()}, colour_); }
  void OnMouseDown(const MouseEvent& e) override { Log("down", e); }
  void OnMouseMove(const MouseEvent& e) override { Log("move", e); }
  void OnMouseUp(const MouseEvent& e) override { Log("up", e); }
  void OnDblClick(const MouseEvent& e) override { Log("dbl", e); }
  void OnKeyDown(int& key, int /*shift*/) override { log_.push_back(Me() + " key " + std::to_string(key)); }
  void OnKeyPress(char16_t& ch) override { log_.push_back(Me() + " char " + std::to_string(ch)); }
  void OnGotFocus() override { log_.push_back(Me() + " got focus"); }
  void OnLostFocus() override { log_.push_back(Me() + " lost focus"); }

 private:
  std::string Me() const { return std::string(Name().begin(), Name().end()); }
  void Log(const char* what, const MouseEvent& e) {
    log_.push_back(Me() + " " + what + " " + std::to_string(e.x) + "," + std::to_string(e.y));
  }
  std::vector<std::string>& log_;
  Colour colour_;
  bool focusable_;
};

class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    form_.Move(100 * 15, 50 * 15, 200 * 15, 100 * 15);
    page_.Move(10 * 15, 10 * 15, 120 * 15, 80 * 15);  // (10,10)-(130,90) on the form
    a_.Move(5 * 15, 5 * 15, 40 * 15, 20 * 15);        // (15,15)-(55,35)
    b_.Move(150 * 15, 10 * 15, 40 * 15, 20 * 15);     // (150,10)-(190,30)
    c_.Move(30 * 15, 10 * 15, 40 * 15, 20 * 15);      // (40,20)-(80,40): over a_ in part
    form_.Show();
  }
  std::vector<std::string> Take() { return std::exchange(log_, {}); }
  Colour ScreenAt(int x, int y) { return sim_.host().Screen(form_.Window())[static_cast<std::size_t>(y * 200 + x)]; }

  sim::SimPlatform sim_;
  ControlHost host_{sim_};
  std::vector<std::string> log_;
  Form form_{host_, u"frmTest", u"Тест"};
  Probe page_{form_, u"page", log_, 0xFFFFFF, false};
  Probe a_{page_, u"a", log_, 0x0000FF};
  Probe b_{form_, u"b", log_, 0x00FF00};
  Probe c_{page_, u"c", log_, 0xFF0000};
};

TEST_F(FormTest, ClicksReachTheFrontmostControlInItsOwnPixels) {
  const WindowHandle w = form_.Window();
  sim_.Click(w, Point{20, 20});  // a_ only
  sim_.Click(w, Point{50, 30});  // a_ and c_ overlap: c_ is in front
  sim_.Click(w, Point{12, 12});  // the page itself
  EXPECT_EQ(Take(), (std::vector<std::string>{"a got focus", "a down 5,5", "a up 5,5", "a lost focus", "c got focus",
                                              "c down 10,10", "c up 10,10", "page down 2,2", "page up 2,2"}));
  EXPECT_EQ(host_.WindowFromPoint(Point{100 + 50, 50 + 30}), c_.hWnd());
  EXPECT_EQ(host_.WindowFromPoint(Point{100 + 195, 50 + 95}), form_.hWnd());
  EXPECT_EQ(host_.WindowFromPoint(Point{10, 10}), WindowHandle{0});
  page_.SetVisible(false);
  EXPECT_EQ(host_.WindowFromPoint(Point{100 + 50, 50 + 30}), form_.hWnd()) << "hidden with its container";
  EXPECT_FALSE(c_.HasFocus()) << "the focus leaves a hidden control";
}

TEST_F(FormTest, APressCapturesUntilTheLastButtonComesUp) {
  const WindowHandle w = form_.Window();
  sim_.MouseDown(w, Point{20, 20});
  EXPECT_EQ(host_.GetCapture(), a_.hWnd());
  EXPECT_EQ(sim_.host().Capture(), w) << "the window holds the pointer too";
  sim_.MouseMove(w, Point{160, 15});  // over b_, still a_'s
  sim_.MouseUp(w, Point{-5, 300});    // outside the window
  EXPECT_EQ(host_.GetCapture(), WindowHandle{0});
  EXPECT_EQ(sim_.host().Capture(), WindowHandle{0});
  sim_.MouseMove(w, Point{160, 15});
  EXPECT_EQ(Take(), (std::vector<std::string>{"a got focus", "a down 5,5", "a move 145,0", "a up -20,285",
                                              "b move 10,5"}));
  // A control that releases the capture during its press gets no release.
  a_.SetCapture();
  a_.ReleaseCapture();
  EXPECT_EQ(host_.GetCapture(), WindowHandle{0});
}

TEST_F(FormTest, TabMovesTheFocusInCreationOrderSkippingWhatCannotTakeIt) {
  const WindowHandle w = form_.Window();
  b_.SetEnabled(false);
  sim_.PressKey(w, kTab);
  sim_.PressKey(w, kTab);
  sim_.PressKey(w, kTab);
  sim_.PressKey(w, kTab, platform::shift::kShift);
  // Shown, the window got the focus and its first control with it.
  EXPECT_EQ(Take(), (std::vector<std::string>{"a got focus", "a lost focus", "c got focus", "c lost focus",
                                              "a got focus", "a lost focus", "c got focus", "c lost focus",
                                              "a got focus"}));
  sim_.PressKey(w, platform::vk::kReturn);
  sim_.Type(w, u"Я\r");
  EXPECT_EQ(Take(), (std::vector<std::string>{"a key 13", "a char 13", "a char 1071"}));
}

TEST_F(FormTest, TheCloseButtonAsksTheFormWhichMayRefuse) {
  std::vector<int> modes;
  bool refuse = true;
  form_.QueryUnload.Connect([&](bool& cancel, int mode) {
    modes.push_back(mode);
    cancel = refuse;
  });
  const platform::HostEvent close{.kind = platform::HostEventKind::kCloseRequest, .window = form_.Window(),
                                  .unloadMode = platform::unload::kUser};
  sim_.host().Deliver(close);
  EXPECT_TRUE(sim_.host().IsVisible(form_.Window())) << "nothing closes behind the form's back";
  refuse = false;
  sim_.host().Deliver(close);
  EXPECT_TRUE(form_.Unload(platform::unload::kCode)) << "a second unload goes through as well";
  EXPECT_FALSE(sim_.host().IsVisible(form_.Window()));
  EXPECT_EQ(modes, (std::vector<int>{0, 0, 1}));
}

TEST_F(FormTest, PaintsEachControlInItsOwnPlaceAndExposeNeedsNoRepaint) {
  EXPECT_EQ(ScreenAt(20, 20), 0x0000FFu);
  EXPECT_EQ(ScreenAt(50, 30), 0xFF0000u) << "c_ over a_";
  EXPECT_EQ(ScreenAt(160, 15), 0x00FF00u);
  EXPECT_EQ(ScreenAt(12, 12), 0xFFFFFFu);
  EXPECT_EQ(ScreenAt(5, 5), sim_.graphics().ResolveColour(0x8000000F));
  c_.ZOrder(1);
  EXPECT_EQ(ScreenAt(50, 30), 0x0000FFu) << "sent behind a_";
  const int paints = form_.PaintCount();
  sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kExpose, .window = form_.Window(),
                                          .area = Rect{0, 0, 200, 100}});
  EXPECT_EQ(form_.PaintCount(), paints);
  page_.Move(0, 0);  // the page and its children move together
  EXPECT_EQ(ScreenAt(10, 10), 0x0000FFu);
  EXPECT_EQ(ScreenAt(125, 85), sim_.graphics().ResolveColour(0x8000000F)) << "what the page uncovered";
}

TEST_F(FormTest, ModalLoopsNestAndEachEndsOnlyItselfWhileTimersFire) {
  auto& loop = sim_.loop();
  int ticks = 0;
  auto timer = loop.CreateTimer([&] { ++ticks; });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  Form dialog(host_, u"dlg", u"Dialog", platform::WindowKind::Dialog, &form_);
  dialog.Move(0, 0, 100 * 15, 50 * 15);
  std::vector<std::string> steps;
  loop.SetUser([&](int depth) {
    if (depth == 1 && ticks >= 3) {
      // The user opens a menu from the dialog: a second loop inside.
      steps.push_back("inner");
      const bool innerEnded = host_.RunModal([&] { return ticks >= 6; });
      steps.push_back(innerEnded ? "inner ended" : "inner quit");
      dialog.Hide();
    }
  });
  EXPECT_TRUE(dialog.ShowModal());
  EXPECT_EQ(steps, (std::vector<std::string>{"inner", "inner ended"}));
  EXPECT_EQ(ticks, 6);
  EXPECT_EQ(loop.ModalDepth(), 0);

  // Quit ends every loop.
  loop.SetUser([&](int depth) {
    if (depth == 2) loop.Quit();
    if (depth == 1) host_.RunModal([] { return false; });
  });
  EXPECT_FALSE(dialog.ShowModal());
}

TEST_F(FormTest, ADriverClickAgreesWithThePolledKeyState) {
  auto& keys = sim_.input();
  sim_.MouseDown(form_.Window(), Point{20, 20}, platform::button::kLeft, platform::shift::kCtrl);
  EXPECT_NE(keys.GetAsyncKeyState(platform::vk::kLButton) & platform::kKeyDownNow, 0);
  EXPECT_EQ(keys.CursorPos(), (Point{120, 70}));
  sim_.MouseUp(form_.Window(), Point{20, 20});
  EXPECT_EQ(keys.GetAsyncKeyState(platform::vk::kLButton) & platform::kKeyDownNow, 0);
}

TEST_F(FormTest, ControlsAndFormsMayGoInAnyOrder) {
  auto extra = std::make_unique<Probe>(form_, u"extra", log_, 0);
  const WindowHandle h = extra->hWnd();
  extra->SetFocus();
  extra.reset();
  EXPECT_EQ(form_.ActiveControl(), nullptr);
  EXPECT_EQ(host_.ControlOf(h), nullptr);
  auto lone = std::make_unique<Form>(host_, u"lone", u"");
  auto child = std::make_unique<Probe>(*lone, u"child", log_, 0);
  const WindowHandle window = lone->Window();
  lone.reset();
  child.reset();
  EXPECT_FALSE(sim_.host().IsForm(window));
  EXPECT_EQ(sim_.host().CreateFormSurface(window, 5, 5), nullptr);
}

}  // namespace
}  // namespace pd::forms
