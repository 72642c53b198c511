// A test form of the control host used as a person would, run unchanged on
// every backend through its host driver: a label, a text box, a white page
// container holding the rich list with 1,000 items, a skinned button and
// check box below it, a popup menu, message boxes nested in one another,
// the close button reaching query-unload, and a timer that keeps firing
// through every modal loop; the list scrolled and selected with its
// scroll bar, the wheel, keys and its check boxes.
//
// While a modal loop runs the test is inside it, so the user's later steps
// are played from a timer tick: the driver's input reaches the program
// through the very loop that is waiting for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#include <functional>
#include <memory>
#include <string>

#include "contract/HostContract.h"
#include "controls/ListScrollBar.h"
#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/MessageBox.h"
#include "forms/PictureBox.h"
#include "forms/TextBox.h"
#include "platform/text.h"

namespace pd {
namespace {

namespace vk = platform::vk;
namespace mb = platform::mb;
constexpr int kT = kTwipsPerPixel;

// The form: 436 x 466 pixels, as the main window.
struct TestForm {
  explicit TestForm(forms::ControlHost& host) : form(host, u"frmTest", u"Проверка форм") {
    platform::Font verdana;
    verdana.face = u"Verdana";
    form.SetFont(verdana);
    form.Move(120 * kT, 90 * kT, 436 * kT, 466 * kT);
    label.Move(150, 150, 2880, 195);
    label.SetCaption(u"Список исключений:");
    text.Move(3375, 120, 2865, 315);
    page.Move(90, 450, 6360, 6000);
    page.SetBackColor(0xFFFFFF);
    list.Move(90, 90, 6180, 5310);
    for (int i = 0; i < 1000; ++i) {
      const std::string n = std::to_string(i);
      list.AddItem(text::FromAscii("process" + n + ".exe<left=100>C:\\Program Files\\process" + n + ".exe"), -1,
                   nullptr, false);
    }
    list.Refresh();
    button.Move(150, 6540, 1365, 315);  // 91 x 21 pixels at (10, 436)
    button.SetCaption(u"Обновить");
    check.Move(1800, 6570, 2250, 255);  // at (120, 438)
    check.SetCaption(u"Автозапуск");
  }

  forms::Form form;
  forms::Label label{form, u"lblList"};
  forms::TextBox text{form, u"txtBlock"};
  forms::PictureBox page{form, u"picPage"};
  controls::XP_ListBox list{page, u"lstProc"};
  controls::XP_Button button{form, u"cmdProc_Refresh"};
  controls::XP_CheckBox check{form, u"chkAutoRun"};
};

class FormScenario : public testing::TestWithParam<test::Backend> {
 protected:
  void SetUp() override {
    std::string reason;
    driver_ = GetParam().hostDriver(reason);
    if (!driver_) GTEST_SKIP() << reason;
    host_ = std::make_unique<forms::ControlHost>(driver_->Platform());
    f_ = std::make_unique<TestForm>(*host_);
    ticker_ = loop().CreateTimer([this] { Tick(); });
    ticker_->SetInterval(30);
    ticker_->SetEnabled(true);
    f_->form.Activate.Connect([this](bool active) { active_ = active; });
    f_->form.Show();
    driver_->Activate(f_->form.Window());
    // Mapped, placed and given the focus by the window manager.
    ASSERT_TRUE(driver_->Pump([&] { return active_; })) << "the form never got the focus";
  }
  void TearDown() override {
    steps_.clear();
    ticker_.reset();
    f_.reset();
    host_.reset();
  }

  platform::EventLoop& loop() { return driver_->Platform().loop(); }

  // The user's next step, a moment after the steps already waiting. Each
  // step has a timer of its own: a step that opens a modal loop holds its
  // own tick, not the steps after it.
  void Then(std::function<void()> step) {
    const auto waiting =
        std::count_if(steps_.begin(), steps_.end(), [](const auto& timer) { return timer->Enabled(); });
    auto self = std::make_shared<platform::Timer*>(nullptr);
    auto timer = loop().CreateTimer([self, step = std::move(step)] {
      (*self)->SetEnabled(false);
      step();
    });
    *self = timer.get();
    timer->SetInterval(kStepMs * static_cast<int>(waiting + 1));
    timer->SetEnabled(true);
    steps_.push_back(std::move(timer));
  }
  void Tick() {
    ++ticks_;
    if (ticks_ == kGiveUpTicks) {
      // A window that never answered: every modal loop ends, the test fails
      // instead of hanging.
      ADD_FAILURE() << "the scenario did not finish";
      loop().Quit();
    }
  }

  // Clicks at a point of the form's client area.
  void ClickAt(Point client, int button = platform::button::kLeft) {
    driver_->MoveTo(f_->form.Window(), client);
    driver_->ButtonDown(button);
    driver_->ButtonUp(button);
  }

  std::unique_ptr<test::HostDriver> driver_;
  std::unique_ptr<forms::ControlHost> host_;
  std::unique_ptr<TestForm> f_;
  std::unique_ptr<platform::Timer> ticker_;
  static constexpr int kGiveUpTicks = 700;  // about 20 s
  static constexpr int kStepMs = 400;
  std::vector<std::unique_ptr<platform::Timer>> steps_;
  int ticks_ = 0;
  bool active_ = false;
};

TEST_P(FormScenario, TypingIntoTheTextBoxAfterAClick) {
  ClickAt(Point{240, 15});
  ASSERT_TRUE(driver_->Pump([&] { return f_->text.HasFocus(); })) << "the click gives the text box the focus";
  driver_->Type(u"calc.exe Калькулятор");
  EXPECT_TRUE(driver_->Pump([&] { return f_->text.Text() == u"calc.exe Калькулятор"; }))
      << text::ToUtf8(f_->text.Text());
  driver_->PressKey(vk::kHome, 0);
  driver_->PressKey(vk::kEnd, platform::shift::kShift);
  driver_->PressKey(vk::kDelete, 0);
  EXPECT_TRUE(driver_->Pump([&] { return f_->text.Text().empty(); }));
}

TEST_P(FormScenario, AMenuFromTheMouseThenNestedMessageBoxesWhileTheTimerRuns) {
  const Point onPage{300, 410};  // the page container, below the list
  std::vector<std::string> seen;
  int answerInner = 0;
  f_->page.MouseUp.Connect([&](std::int16_t& button, std::int16_t&, float&, float&) {
    if (button != platform::button::kRight) return;
    const platform::MenuItem items[] = {{.id = 1, .caption = u"Выбрать 500"},
                                        {.separator = true},
                                        {.id = 2, .caption = u"Включен", .checked = true},
                                        {.id = 3, .caption = u"Выход"}};
    const Rect at = driver_->Platform().host().Bounds(f_->form.Window());
    const int before = ticks_;
    // The first item lies just below and right of the point.
    Then([&] { ClickAt(Point{onPage.x + 16, onPage.y + 8}); });
    const int chosen = host_->PopupMenu(&f_->form, items, Point{at.left + onPage.x, at.top + onPage.y});
    seen.push_back("menu " + std::to_string(chosen) + (ticks_ > before ? " ticking" : " stalled"));
    if (chosen != 1) return;
    // The question; while it waits, a timer step opens a second box inside it.
    Then([&] {
      answerInner = host_->MessageBox(&f_->form, u"Элемент 500 будет выбран.", u"Сведения", mb::kOk);
      seen.push_back("inner " + std::to_string(answerInner));
    });
    Then([&] { driver_->PressKey(vk::kReturn, 0); });  // answers the inner box, the newest
    Then([&] { driver_->PressKey(vk::kReturn, 0); });  // then the outer one: Yes, its default
    const int answer =
        host_->MessageBox(&f_->form, u"Выбрать элемент 500?", u"Внимание!", mb::kYesNo | mb::kIconExclamation);
    seen.push_back("outer " + std::to_string(answer));
    if (answer == mb::kIdYes) f_->list.SetListIndex(500);
  });
  ClickAt(onPage, platform::button::kRight);
  ASSERT_TRUE(driver_->Pump([&] { return seen.size() >= 3; })) << testing::PrintToString(seen);
  EXPECT_EQ(seen, (std::vector<std::string>{"menu 1 ticking", "inner 1", "outer 6"}));
  EXPECT_EQ(f_->list.ListIndex(), 500);
  EXPECT_LE(f_->list.TopIndex(), 500);
  EXPECT_GT(f_->list.TopIndex() + f_->list.VisibleRows(), 500) << "scrolled into view";
}

TEST_P(FormScenario, TheCloseButtonReachesQueryUnloadWhichDecides) {
  std::vector<int> modes;
  bool allow = false;
  f_->form.QueryUnload.Connect([&](bool& cancel, int mode) {
    modes.push_back(mode);
    cancel = !allow;
  });
  const WindowHandle w = f_->form.Window();
  driver_->Close(w);
  ASSERT_TRUE(driver_->Pump([&] { return !modes.empty(); }));
  const int ticks = ticks_;
  driver_->Pump([&] { return ticks_ >= ticks + 3; });
  EXPECT_TRUE(driver_->Platform().host().IsVisible(w)) << "a cancelled close leaves the window";
  allow = true;
  driver_->Close(w);
  ASSERT_TRUE(driver_->Pump([&] { return f_->form.Unloaded(); }));
  EXPECT_FALSE(driver_->Platform().host().IsVisible(w));
  EXPECT_EQ(modes, (std::vector<int>{platform::unload::kUser, platform::unload::kUser}));
}

TEST_P(FormScenario, HidingAndShowingAgainPutsTheFrameBackWithoutPainting) {
  ASSERT_TRUE(driver_->Pump([&] { return f_->form.Frame() != nullptr; }));
  f_->form.Hide();
  const int ticks = ticks_;
  driver_->Pump([&] { return ticks_ >= ticks + 2; });
  const int listPaints = f_->list.RepaintCount();
  f_->form.Show();
  driver_->Pump([&] { return ticks_ >= ticks + 6; });
  EXPECT_EQ(f_->list.RepaintCount(), listPaints + 1) << "painted once on show; exposes only present the frame";
  // A change paints only the list's part.
  f_->list.SetListIndex(3);
  EXPECT_EQ(f_->list.ListIndex(), 3);
  EXPECT_EQ(f_->list.RepaintCount(), listPaints + 2);
}

TEST_P(FormScenario, TheSkinnedButtonAndCheckBoxFollowThePointerAndClick) {
  using forms::Look;
  int clicks = 0;
  int outs = 0;
  f_->button.Click.Connect([&] { ++clicks; });
  f_->check.Click.Connect([&] { ++clicks; });
  f_->check.MouseOut.Connect([&] { ++outs; });
  const Point away{300, 450};  // the form itself, below the page
  // Over the button: the hover look; a click; away: the look goes with the watch.
  driver_->MoveTo(f_->form.Window(), Point{40, 446});
  ASSERT_TRUE(driver_->Pump([&] { return f_->button.LastState() == Look::Move; })) << "no hover look";
  driver_->ButtonDown(platform::button::kLeft);
  ASSERT_TRUE(driver_->Pump([&] { return f_->button.LastState() == Look::Down; }));
  driver_->ButtonUp(platform::button::kLeft);
  ASSERT_TRUE(driver_->Pump([&] { return clicks == 1; })) << "Click never came";
  driver_->MoveTo(f_->form.Window(), away);
  const std::uint64_t left = loop().TickCount();
  ASSERT_TRUE(driver_->Pump([&] { return f_->button.LastState() == Look::Up; })) << "the hover look stayed";
  const std::uint64_t gone = loop().TickCount() - left;
  RecordProperty("hover_look_gone_ms", std::to_string(gone));
  EXPECT_LE(gone, 1000u);
  EXPECT_TRUE(driver_->Pump([&] { return !f_->button.WatchRunning(); }));

  // The check box: hover, click on, leave with MouseOut.
  driver_->MoveTo(f_->form.Window(), Point{125, 446});
  driver_->MoveTo(f_->form.Window(), Point{128, 446});
  ASSERT_TRUE(driver_->Pump([&] { return f_->check.LastLook() == Look::Move; })) << "no hover look";
  driver_->ButtonDown(platform::button::kLeft);
  driver_->ButtonUp(platform::button::kLeft);
  ASSERT_TRUE(driver_->Pump([&] { return clicks == 2; }));
  EXPECT_EQ(f_->check.Value(), 1);
  driver_->MoveTo(f_->form.Window(), Point{129, 447});  // a move after the click's focus
  driver_->MoveTo(f_->form.Window(), away);
  EXPECT_TRUE(driver_->Pump([&] { return f_->check.LastLook() == Look::Up && outs == 1; }));
  EXPECT_TRUE(driver_->Pump([&] { return !f_->check.WatchRunning(); }));
}

TEST_P(FormScenario, AnotherProgramsWindowOverTheHoveredCheckBoxEndsItsHoverAndTheShapeFollowsThePointer) {
  using forms::Look;
  int outs = 0;
  f_->check.MouseOut.Connect([&] { ++outs; });
  f_->check.SetMousePointer(3);  // the I-beam
  const WindowHandle w = f_->form.Window();
  driver_->MoveTo(w, Point{125, 446});
  driver_->MoveTo(w, Point{128, 446});
  ASSERT_TRUE(driver_->Pump([&] { return f_->check.LastLook() == Look::Move; })) << "no hover look";
  EXPECT_TRUE(driver_->Pump([&] { return driver_->ShapeShown() == platform::PointerShape::kIBeam; }));
  const Rect b = driver_->Platform().host().Bounds(w);
  driver_->ShowOtherWindow(Rect{b.left + 100, b.top + 420, b.left + 300, b.top + 480});  // the pointer stays
  EXPECT_TRUE(driver_->Pump([&] { return f_->check.LastLook() == Look::Up && outs == 1; })) << "the hover stayed";
  EXPECT_TRUE(driver_->Pump([&] { return !f_->check.WatchRunning(); }));
  const int ticks = ticks_;
  driver_->Pump([&] { return ticks_ >= ticks + 5; });  // a while longer: nothing more
  EXPECT_EQ(outs, 1);
  driver_->HideOtherWindow();
  driver_->MoveTo(w, Point{129, 447});
  EXPECT_TRUE(driver_->Pump([&] { return f_->check.LastLook() == Look::Move; })) << "uncovered, hovered again";
  driver_->MoveTo(w, Point{300, 450});
  EXPECT_TRUE(driver_->Pump([&] { return driver_->ShapeShown() == platform::PointerShape::kDefault; }));
}

TEST_P(FormScenario, TheListScrollsAndSelectsWithItsBarTheWheelKeysAndCheckBoxes) {
  using Kind = controls::ScrollPart::Kind;
  controls::XP_ListBox& list = f_->list;
  list.SetItemHeight(16);
  list.SetStyle(2);
  list.SetMultiSelect(2);
  list.Refresh();
  std::vector<std::string> events;
  list.Check.Connect([&](std::int32_t& i) { events.push_back("Check " + std::to_string(i)); });
  list.Scroll.Connect([&] { events.push_back("Scroll"); });
  const WindowHandle w = f_->form.Window();
  auto centre = [&](Kind kind) {
    const Rect r = list.ScrollBar().PartOf(kind).FormRect();
    return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  const Rect at = list.FormRect();
  const int last = list.ListCount() - list.VisibleRows();
  auto settle = [&] {
    const int ticks = ticks_;
    driver_->Pump([&] { return ticks_ >= ticks + 3; });
  };

  // A click on the down arrow: one row.
  ClickAt(centre(Kind::kDown));
  ASSERT_TRUE(driver_->Pump([&] { return list.TopIndex() == 1; }));
  settle();
  EXPECT_EQ(list.TopIndex(), 1) << "a click steps once";

  // Held: the repeat starts after half a second.
  driver_->MoveTo(w, centre(Kind::kDown));
  const std::uint64_t pressed = loop().TickCount();
  driver_->ButtonDown(platform::button::kLeft);
  ASSERT_TRUE(driver_->Pump([&] { return list.TopIndex() >= 3; }));
  EXPECT_GE(loop().TickCount() - pressed, 500U);
  driver_->ButtonUp(platform::button::kLeft);
  settle();
  const std::int32_t afterHold = list.TopIndex();
  settle();
  EXPECT_EQ(list.TopIndex(), afterHold) << "the release stops the repeat";

  // The thumb dragged to the bottom of the track shows the last row.
  driver_->MoveTo(w, centre(Kind::kThumb));
  driver_->ButtonDown(platform::button::kLeft);
  driver_->MoveTo(w, Point{centre(Kind::kThumb).x, at.top + at.Height() / 2});
  driver_->MoveTo(w, Point{centre(Kind::kThumb).x, at.bottom + 40});
  driver_->ButtonUp(platform::button::kLeft);
  ASSERT_TRUE(driver_->Pump([&] { return list.TopIndex() == last; })) << list.TopIndex();
  EXPECT_NE(std::find(events.begin(), events.end(), "Scroll"), events.end());

  // The wheel over the rows: three rows a notch.
  driver_->MoveTo(w, Point{at.left + 100, at.top + 50});
  driver_->Wheel(2);
  ASSERT_TRUE(driver_->Pump([&] { return list.TopIndex() == last - 6; })) << list.TopIndex();

  // A click on the third row's check box ticks it; Shift+click and keys select.
  const std::int32_t row = list.TopIndex() + 2;
  events.clear();
  ClickAt(Point{at.left + 10, at.top + 1 + 2 * 16 + 8});
  ASSERT_TRUE(driver_->Pump([&] { return list.ListChecked(row); }));
  EXPECT_EQ(events, (std::vector<std::string>{"Check " + std::to_string(row)}));
  EXPECT_EQ(list.ListIndex(), row);
  driver_->HoldShift(platform::shift::kShift, true);
  ClickAt(Point{at.left + 100, at.top + 1 + 4 * 16 + 8});
  driver_->HoldShift(platform::shift::kShift, false);
  ASSERT_TRUE(driver_->Pump([&] { return list.ListIndex() == row + 2; }));
  EXPECT_TRUE(list.Selected(row) && list.Selected(row + 1) && list.Selected(row + 2));
  driver_->PressKey(vk::kUp, 0);
  ASSERT_TRUE(driver_->Pump([&] { return list.ListIndex() == row + 1; }));
  EXPECT_FALSE(list.Selected(row)) << "a plain key selects one item";
  driver_->PressKey(vk::kHome, 0);
  ASSERT_TRUE(driver_->Pump([&] { return list.ListIndex() == 0 && list.TopIndex() == 0; }));
  driver_->Type(u" ");
  ASSERT_TRUE(driver_->Pump([&] { return list.ListChecked(0); })) << "Space ticks the current item";
}

TEST_P(FormScenario, WhileTheHostsOwnBoxWaitsTheFormTakesNoClicksOrKeys) {
  int clicks = 0;
  f_->button.Click.Connect([&] { ++clicks; });
  const Point onButton{40, 446};
  const Point onText{240, 15};
  forms::Form* box = nullptr;
  // The box's own button at an index (0 "Да", 1 "Нет"): its centre, in
  // client pixels of the box.
  auto boxButton = [&](int index) {
    for (forms::Control* c : box->Controls()) {
      if (c->Name() == u"cmdButton" && c->Index() == index) {
        const Rect r = c->FormRect();
        return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      }
    }
    return Point{};
  };
  std::vector<std::string> seen;
  Then([&] {
    box = host_->ModalForm();
    ClickAt(onButton);
    ClickAt(onText);
  });
  Then([&] {
    driver_->Type(u"x");
    seen.push_back("clicks " + std::to_string(clicks) + " text \"" + text::ToUtf8(f_->text.Text()) + "\"");
  });
  Then([&] {
    driver_->MoveTo(box->Window(), boxButton(1));
    driver_->ButtonDown(platform::button::kLeft);
    driver_->ButtonUp(platform::button::kLeft);
  });
  const int answer = forms::ShowMessageBox(*host_, &f_->form, u"Завершить процесс?", u"Внимание!",
                                           mb::kYesNo | mb::kIconExclamation);
  ASSERT_NE(box, nullptr) << "the box held the program";
  EXPECT_EQ(answer, mb::kIdNo) << "the box took the click on its own button";
  EXPECT_EQ(seen, std::vector<std::string>{"clicks 0 text \"\""});
  EXPECT_TRUE(f_->text.Text().empty()) << text::ToUtf8(f_->text.Text());
  EXPECT_EQ(host_->ModalForm(), nullptr);

  // The box gone, the form takes the same clicks again.
  ClickAt(onButton);
  EXPECT_TRUE(driver_->Pump([&] { return clicks == 1; }));
}

PD_ON_EVERY_BACKEND(FormScenario);

}  // namespace
}  // namespace pd
