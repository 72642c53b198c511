// What every backend's host does with its windows, checked through the
// events its sink receives while a driver plays the user.
#include "contract/HostContract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/input.h"
#include "test_util.h"

namespace pd {
namespace {

namespace vk = platform::vk;
namespace button = platform::button;
namespace shift = platform::shift;
using platform::HostEvent;
using platform::HostEventKind;
using platform::WindowKind;

const char* KindName(HostEventKind k) {
  static const char* const kNames[] = {"CloseRequest", "Expose",  "MouseDown", "MouseMove", "MouseUp",
                                       "DoubleClick",  "KeyDown", "KeyUp",     "Text",      "FocusIn",
                                       "FocusOut",     "Shown",   "Hidden",    "Resized",   "CaptureLost"};
  return kNames[static_cast<int>(k)];
}

class HostContract : public testing::TestWithParam<test::Backend>, public platform::HostEventSink {
 protected:
  void SetUp() override {
    std::string reason;
    driver_ = GetParam().hostDriver(reason);
    if (!driver_) GTEST_SKIP() << reason;
    host().SetEventSink(this);
  }
  void TearDown() override {
    if (!driver_) return;
    host().ReleaseCapture();
    for (WindowHandle w : made_) host().DestroyForm(w);
    host().SetEventSink(nullptr);
  }
  void OnHostEvent(const HostEvent& event) override { events_.push_back(event); }

  platform::Host& host() { return driver_->Platform().host(); }

  // A window of a kind placed at r, shown, and exposed.
  WindowHandle Show(const Rect& r, WindowKind kind = WindowKind::Form, WindowHandle owner = 0) {
    const WindowHandle w = host().CreateForm(u"Контракт", kind, owner);
    EXPECT_NE(w, 0u);
    made_.push_back(w);
    host().SetBounds(w, r);
    host().ShowForm(w, true);
    EXPECT_TRUE(Next(HostEventKind::kExpose, w)) << "window " << w << " shown";
    return w;
  }

  // The next event of a kind for a window (and matching more where asked),
  // after the last one taken; events before it are passed over.
  std::optional<HostEvent> Next(HostEventKind kind, WindowHandle window,
                                const std::function<bool(const HostEvent&)>& more = {}) {
    std::optional<HostEvent> found;
    driver_->Pump([&] {
      for (; cursor_ < events_.size(); ++cursor_) {
        const HostEvent& e = events_[cursor_];
        if (e.kind == kind && e.window == window && (!more || more(e))) {
          found = e;
          ++cursor_;
          return true;
        }
      }
      return false;
    });
    if (!found) ADD_FAILURE() << "no " << KindName(kind) << " event for window " << window;
    return found;
  }

  // Events of a kind for a window among those received so far, from index
  // from.
  int Count(HostEventKind kind, WindowHandle window, std::size_t from = 0) const {
    return static_cast<int>(std::count_if(events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end(),
                                          [&](const HostEvent& e) { return e.kind == kind && e.window == window; }));
  }

  void Click(int b) {
    driver_->ButtonDown(b);
    driver_->ButtonUp(b);
  }

  std::unique_ptr<test::HostDriver> driver_;
  std::vector<HostEvent> events_;
  std::size_t cursor_ = 0;
  std::vector<WindowHandle> made_;
};

TEST_P(HostContract, ClickReachesTheWindowUnderThePointerWithPositionButtonAndShift) {
  const WindowHandle other = Show(Rect{40, 420, 200, 520});
  const WindowHandle form = Show(Rect{120, 140, 420, 340});
  driver_->Activate(form);
  struct Case {
    Point pos;
    int button;
    int shift;
  };
  for (const Case& c : {Case{{10, 20}, button::kLeft, 0}, Case{{150, 90}, button::kRight, shift::kShift},
                        Case{{299, 199}, button::kMiddle, shift::kCtrl}, Case{{0, 0}, button::kLeft, shift::kShift}}) {
    driver_->MoveTo(form, c.pos);
    driver_->HoldShift(c.shift, true);
    Click(c.button);
    driver_->HoldShift(c.shift, false);
    for (HostEventKind kind : {HostEventKind::kMouseDown, HostEventKind::kMouseUp}) {
      const auto e = Next(kind, form);
      ASSERT_TRUE(e) << c.pos.x << "," << c.pos.y;
      EXPECT_EQ(e->pos, c.pos) << KindName(kind);
      EXPECT_EQ(e->button, c.button) << KindName(kind);
      EXPECT_EQ(e->shift, c.shift) << KindName(kind);
    }
  }
  EXPECT_EQ(Count(HostEventKind::kMouseDown, other), 0);
}

TEST_P(HostContract, MoveReportsTheButtonsHeld) {
  const WindowHandle form = Show(Rect{120, 140, 420, 340});
  driver_->MoveTo(form, {10, 10});
  driver_->ButtonDown(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseDown, form));
  driver_->MoveTo(form, {60, 50});
  const auto held = Next(HostEventKind::kMouseMove, form, [](const HostEvent& e) { return e.pos == Point{60, 50}; });
  ASSERT_TRUE(held);
  EXPECT_EQ(held->button, button::kLeft);
  driver_->ButtonUp(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));
  driver_->MoveTo(form, {70, 55});
  const auto free = Next(HostEventKind::kMouseMove, form, [](const HostEvent& e) { return e.pos == Point{70, 55}; });
  ASSERT_TRUE(free);
  EXPECT_EQ(free->button, 0);
}

TEST_P(HostContract, SecondPressAtThePlaceIsADoubleClickAndAThirdIsNot) {
  const WindowHandle form = Show(Rect{120, 140, 420, 340});
  driver_->MoveTo(form, {30, 40});
  Click(button::kLeft);
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseDown, form));
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));
  ASSERT_TRUE(Next(HostEventKind::kMouseDown, form));
  const std::size_t second = cursor_;
  const auto twice = Next(HostEventKind::kDoubleClick, form);
  ASSERT_TRUE(twice);
  EXPECT_EQ(second, cursor_ - 1) << "the double click follows its MouseDown";
  EXPECT_EQ(twice->pos, (Point{30, 40}));
  EXPECT_EQ(twice->button, button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));

  // A third press, and two presses far apart, are single presses.
  const std::size_t from = cursor_;
  Click(button::kLeft);
  driver_->MoveTo(form, {120, 140});
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));
  EXPECT_EQ(Count(HostEventKind::kDoubleClick, form, from), 0);
}

TEST_P(HostContract, KeysReportVirtualKeyCodesAndShiftToTheFocusedWindow) {
  const WindowHandle first = Show(Rect{100, 100, 300, 250});
  const WindowHandle form = Show(Rect{400, 100, 600, 250});
  driver_->Activate(first);
  ASSERT_TRUE(Next(HostEventKind::kFocusIn, first));
  driver_->Activate(form);
  ASSERT_TRUE(Next(HostEventKind::kFocusOut, first));
  ASSERT_TRUE(Next(HostEventKind::kFocusIn, form));
  struct Case {
    int key;
    int shift;
  };
  for (const Case& c :
       {Case{'A', 0}, Case{'7', 0}, Case{vk::kTab, 0}, Case{vk::kReturn, 0}, Case{vk::kEscape, 0}, Case{vk::kF1, 0},
        Case{vk::kDown, 0}, Case{'B', shift::kShift}, Case{vk::kTab, shift::kShift}, Case{vk::kLeft, shift::kCtrl}}) {
    driver_->PressKey(c.key, c.shift);
    auto same = [&](const HostEvent& e) { return e.key == c.key; };
    const auto down = Next(HostEventKind::kKeyDown, form, same);
    ASSERT_TRUE(down) << "key " << c.key;
    EXPECT_EQ(down->shift, c.shift) << "key " << c.key;
    ASSERT_TRUE(Next(HostEventKind::kKeyUp, form, same)) << "key " << c.key;
  }
  EXPECT_EQ(Count(HostEventKind::kKeyDown, first), 0);
}

TEST_P(HostContract, TypedTextArrivesAfterTheKeyboardLayout) {
  const std::size_t before = events_.size();
  const WindowHandle form = Show(Rect{100, 100, 300, 250});
  driver_->Activate(form);
  // The focus came with the activation, or already with the showing (a
  // shown form is activated at once on Windows, before it is painted).
  cursor_ = before;
  ASSERT_TRUE(Next(HostEventKind::kFocusIn, form));
  const String typed = u"Hi, Процессы ёЖ 42!";
  driver_->Type(typed);
  String text;
  driver_->Pump([&] {
    for (; cursor_ < events_.size(); ++cursor_) {
      if (events_[cursor_].kind == HostEventKind::kText && events_[cursor_].window == form) {
        text += events_[cursor_].text;
      }
    }
    return text.size() >= typed.size();
  });
  EXPECT_EQ(text, typed);
}

TEST_P(HostContract, CloseButtonAsksAndTheWindowStays) {
  const WindowHandle form = Show(Rect{100, 100, 300, 250});
  driver_->Close(form);
  const auto asked = Next(HostEventKind::kCloseRequest, form);
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->unloadMode, platform::unload::kUser);
  // Still there and still reached by the pointer.
  driver_->MoveTo(form, {5, 5});
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, form));
  EXPECT_TRUE(host().IsForm(form));
  EXPECT_TRUE(host().IsVisible(form));
  EXPECT_EQ(Count(HostEventKind::kHidden, form), 0);
}

TEST_P(HostContract, ShowAndHideReportShownExposeAndHidden) {
  const WindowHandle form = host().CreateForm(u"frm");
  made_.push_back(form);
  EXPECT_FALSE(host().IsVisible(form));
  host().SetBounds(form, Rect{100, 100, 260, 220});
  host().ShowForm(form, true);
  EXPECT_TRUE(host().IsVisible(form));
  ASSERT_TRUE(Next(HostEventKind::kShown, form));
  const auto exposed = Next(HostEventKind::kExpose, form);
  ASSERT_TRUE(exposed);
  EXPECT_EQ(exposed->area, (Rect{0, 0, 160, 120}));
  host().ShowForm(form, false);
  EXPECT_FALSE(host().IsVisible(form));
  ASSERT_TRUE(Next(HostEventKind::kHidden, form));
  EXPECT_FALSE(host().IsVisible(form));
  host().ShowForm(form, true);
  ASSERT_TRUE(Next(HostEventKind::kShown, form));
  EXPECT_TRUE(host().IsVisible(form));
}

TEST_P(HostContract, EveryKindOfWindowHasItsClientAreaWhereSetBoundsPutIt) {
  const WindowHandle owner = Show(Rect{50, 60, 350, 260});
  for (WindowKind kind : {WindowKind::Form, WindowKind::Dialog, WindowKind::Popup}) {
    const Rect r{500, 300, 700, 420};
    const WindowHandle w = Show(r, kind, owner);
    EXPECT_TRUE(driver_->Pump([&] { return host().Bounds(w) == r; })) << "kind " << static_cast<int>(kind);
    // A new size is reported with the client area it gives.
    const Rect bigger{480, 280, 760, 460};
    host().SetBounds(w, bigger);
    const auto resized = Next(HostEventKind::kResized, w);
    ASSERT_TRUE(resized);
    EXPECT_EQ(resized->area.Width(), bigger.Width());
    EXPECT_EQ(resized->area.Height(), bigger.Height());
    EXPECT_TRUE(driver_->Pump([&] { return host().Bounds(w) == bigger; })) << "kind " << static_cast<int>(kind);
    host().DestroyForm(w);
  }
}

TEST_P(HostContract, CaptureSendsThePointerOutsideToItsHolderInItsCoordinates) {
  const WindowHandle holder = Show(Rect{100, 100, 300, 250});
  const WindowHandle other = Show(Rect{400, 100, 600, 250});
  driver_->MoveTo(holder, {10, 10});
  host().SetCapture(holder);
  EXPECT_EQ(host().Capture(), holder);
  const std::size_t from = events_.size();
  driver_->MoveTo(other, {20, 30});
  const Point outside{320, 30};
  ASSERT_TRUE(Next(HostEventKind::kMouseMove, holder, [&](const HostEvent& e) { return e.pos == outside; }));
  Click(button::kLeft);
  const auto down = Next(HostEventKind::kMouseDown, holder);
  ASSERT_TRUE(down);
  EXPECT_EQ(down->pos, outside);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, holder));
  EXPECT_EQ(Count(HostEventKind::kMouseMove, other, from) + Count(HostEventKind::kMouseDown, other, from), 0);

  host().ReleaseCapture();
  EXPECT_EQ(host().Capture(), 0u);
  driver_->MoveTo(other, {25, 35});
  ASSERT_TRUE(Next(HostEventKind::kMouseMove, other, [](const HostEvent& e) { return e.pos == Point{25, 35}; }));
  EXPECT_EQ(Count(HostEventKind::kCaptureLost, holder), 0);
}

TEST_P(HostContract, ClipboardCarriesTextBothWays) {
  const String ours = u"Процессы: 42 (ours) ✓";
  host().SetClipboardText(ours);
  EXPECT_EQ(host().ClipboardText(), ours);
  EXPECT_EQ(driver_->OutsideClipboard(), ours);
  const String theirs = u"снаружи, outside";
  driver_->SetOutsideClipboard(theirs);
  EXPECT_TRUE(driver_->Pump([&] { return host().ClipboardText() == theirs; })) << text::ToUtf8(host().ClipboardText());
  host().SetClipboardText(u"again");
  EXPECT_EQ(driver_->OutsideClipboard(), u"again");
}

TEST_P(HostContract, ScreenAndWorkAreaAreSane) {
  const Rect screen = host().ScreenRect();
  EXPECT_EQ(screen.left, 0);
  EXPECT_EQ(screen.top, 0);
  EXPECT_GE(screen.Width(), 640);
  EXPECT_GE(screen.Height(), 480);
  const Rect work = host().WorkArea();
  EXPECT_GT(work.Width(), screen.Width() / 2);
  EXPECT_GT(work.Height(), screen.Height() / 2);
  EXPECT_TRUE(work.left >= 0 && work.top >= 0 && work.right <= screen.right && work.bottom <= screen.bottom);
}

TEST_P(HostContract, DestroyedFormNamesNothingAndHearsNothing) {
  const WindowHandle gone = Show(Rect{100, 100, 300, 250});
  const WindowHandle other = Show(Rect{400, 100, 600, 250});
  host().SetCapture(gone);
  host().DestroyForm(gone);
  EXPECT_FALSE(host().IsForm(gone));
  EXPECT_FALSE(host().IsVisible(gone));
  EXPECT_EQ(host().Bounds(gone), Rect{});
  EXPECT_EQ(host().Capture(), 0u);
  EXPECT_EQ(host().CreateFormSurface(gone, 10, 10), nullptr);
  const std::size_t from = events_.size();
  driver_->Close(gone);
  driver_->MoveToScreen({150, 150});
  Click(button::kLeft);
  driver_->MoveTo(other, {5, 5});
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, other));  // everything before it has arrived
  EXPECT_TRUE(std::none_of(events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end(),
                           [&](const HostEvent& e) { return e.window == gone; }));
}

TEST_P(HostContract, AFormUnderAModalLoopTakesNoInputWhileItsDialogDoes) {
  const WindowHandle owner = Show(Rect{100, 100, 460, 400});
  const std::size_t shown = events_.size();
  const WindowHandle dialog = Show(Rect{560, 150, 780, 270}, WindowKind::Dialog, owner);
  host().EnableInput(owner, false);
  driver_->Activate(dialog);
  cursor_ = shown;  // (Windows activates a dialog as it shows, before it is painted)
  ASSERT_TRUE(Next(HostEventKind::kFocusIn, dialog));
  const std::size_t from = events_.size();
  // The user turns to the owner: a double click, the wheel, its close
  // button, then keys and text (which reach the dialog, whichever window
  // the desktop gave the focus after the click).
  driver_->MoveTo(owner, {40, 30});
  Click(button::kLeft);
  Click(button::kLeft);
  driver_->Wheel(1);
  driver_->Close(owner);
  driver_->PressKey('A', 0);
  driver_->Type(u"ж");
  driver_->MoveTo(dialog, {20, 20});
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, dialog)) << "the dialog takes the pointer";
  const auto input = [&](WindowHandle w) {
    return std::count_if(events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end(), [&](const HostEvent& e) {
      return e.window == w && e.kind != HostEventKind::kExpose && e.kind != HostEventKind::kFocusIn &&
             e.kind != HostEventKind::kFocusOut && e.kind != HostEventKind::kShown && e.kind != HostEventKind::kHidden;
    });
  };
  EXPECT_EQ(input(owner), 0);
  ASSERT_TRUE(driver_->Pump([&] {
    return Count(HostEventKind::kKeyDown, dialog, from) > 0 && Count(HostEventKind::kText, dialog, from) > 0;
  })) << "the dialog takes the keys";

  host().EnableInput(owner, true);
  driver_->MoveTo(owner, {50, 35});
  Click(button::kLeft);
  ASSERT_TRUE(Next(HostEventKind::kMouseUp, owner)) << "enabled again";
}

TEST_P(HostContract, TopWindowAtSeesAnotherProgramsWindowOverOurs) {
  const WindowHandle w = Show(Rect{120, 120, 360, 300});
  const Rect b = host().Bounds(w);
  const Point covered{b.left + 30, b.top + 30};
  const Point clear{b.right - 20, b.bottom - 20};
  ASSERT_TRUE(driver_->Pump([&] { return host().TopWindowAt(covered) == w; }));
  EXPECT_FALSE(host().IsForm(host().TopWindowAt(Point{b.right + 300, b.bottom + 300}))) << "the desktop";
  driver_->ShowOtherWindow(Rect{b.left + 10, b.top + 10, b.left + 110, b.top + 80});
  ASSERT_TRUE(driver_->Pump([&] {
    const WindowHandle top = host().TopWindowAt(covered);
    return top != 0 && top != w;
  })) << "the other window is in front";
  EXPECT_FALSE(host().IsForm(host().TopWindowAt(covered)));
  EXPECT_EQ(host().TopWindowAt(clear), w) << "beside the other window";
  driver_->HideOtherWindow();
  EXPECT_TRUE(driver_->Pump([&] { return host().TopWindowAt(covered) == w; })) << "uncovered";
}

TEST_P(HostContract, TheWindowShowsThePointerShapeSetForIt) {
  using platform::PointerShape;
  const WindowHandle w = Show(Rect{140, 140, 340, 280});
  driver_->MoveTo(w, {60, 50});
  for (PointerShape shape : {PointerShape::kIBeam, PointerShape::kWait, PointerShape::kSizeNS, PointerShape::kCross}) {
    host().SetCursor(w, shape);
    EXPECT_TRUE(driver_->Pump([&] { return driver_->ShapeShown() == shape; })) << static_cast<int>(shape);
  }
  std::vector<Colour> pixels(16 * 16, 0xFF0000FFu);  // opaque red
  std::shared_ptr<const platform::Picture> picture = driver_->Platform().graphics().CreatePicture(16, 16, pixels, 32);
  host().SetCursor(w, PointerShape::kCustom, picture);
  EXPECT_TRUE(driver_->Pump([&] { return driver_->ShapeShown() == PointerShape::kCustom; }));
  host().SetCursor(w, PointerShape::kCustom, nullptr);
  EXPECT_TRUE(driver_->Pump([&] { return driver_->ShapeShown() == PointerShape::kDefault; })) << "no picture";
}

PD_ON_EVERY_BACKEND(HostContract);

}  // namespace
}  // namespace pd
