// The control host's own message box on the simulation: answers for each
// key and button of each button set, its size and place, timers meanwhile.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/MessageBox.h"
#include "unit/forms/DialogTestUtil.h"

namespace pd::forms {
namespace {

namespace mb = platform::mb;
namespace vk = platform::vk;

class MessageBoxTest : public test::DialogTest {
 protected:
  // The centre of the box's button i in the box's client pixels.
  Point ButtonCentre(WindowHandle box, std::size_t i) {
    const Rect r = host_.FormOf(box)->Controls().at(i)->FormRect();
    return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  int Show(unsigned flags, StringView text = u"Завершить процесс?") {
    return host_.MessageBox(&owner_, text, u"ProcessDrovak", flags);
  }
};

TEST_F(MessageBoxTest, EachKeyAndButtonAnswersForEachButtonSet) {
  constexpr int kYes = mb::kIdYes;
  constexpr int kNo = mb::kIdNo;
  constexpr int kOk = mb::kIdOk;
  auto keys = [this](std::vector<int> pressed) { return [this, pressed](WindowHandle box) { Press(box, pressed); }; };
  auto click = [this](bool last) {
    return [this, last](WindowHandle box) {
      sim_.Click(box, ButtonCentre(box, last ? host_.FormOf(box)->Controls().size() - 1 : 0));
    };
  };
  const std::vector<std::function<void(WindowHandle)>> acts = {
      keys({vk::kReturn}),
      keys({vk::kEscape}),
      keys({vk::kTab, vk::kReturn}),
      keys({vk::kRight, vk::kReturn}),
      keys({vk::kLeft, vk::kReturn}),
      keys({vk::kSpace}),
      click(false),
      click(true),
      [this](WindowHandle box) { sim_.PressKey(box, vk::kF1 + 3, platform::shift::kAlt); },  // Alt+F4
      [this](WindowHandle box) {
        sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kCloseRequest, .window = box});
      },
  };
  struct Case {
    unsigned flags;
    std::vector<int> answers;  // one per act, in the order above
  };
  const std::vector<Case> cases = {
      {mb::kOk | mb::kIconExclamation, {kOk, kOk, kOk, kOk, kOk, kOk, kOk, kOk, kOk, kOk}},
      {mb::kYesNo | mb::kIconExclamation, {kYes, kNo, kNo, kNo, kNo, kYes, kYes, kNo, kNo, kNo}},
      {mb::kYesNo | mb::kIconExclamation | mb::kDefButton2, {kNo, kNo, kYes, kYes, kYes, kNo, kYes, kNo, kNo, kNo}},
      {mb::kYesNo | 0x20, {kYes, kNo, kNo, kNo, kNo, kYes, kYes, kNo, kNo, kNo}},
  };
  for (const Case& c : cases) {
    for (std::size_t i = 0; i < acts.size(); ++i) {
      SCOPED_TRACE("flags " + std::to_string(c.flags) + ", act " + std::to_string(i));
      ActOnce(acts[i]);
      EXPECT_EQ(Show(c.flags), c.answers[i]);
    }
  }
}

TEST_F(MessageBoxTest, AButtonAnswersOnlyWhenReleasedOverIt) {
  ActOnce([&](WindowHandle box) {
    const Point yes = ButtonCentre(box, 0);
    sim_.MouseDown(box, yes);
    sim_.MouseMove(box, Point{2, 2});
    sim_.MouseUp(box, Point{2, 2});  // dragged off: nothing
    EXPECT_TRUE(sim_.host().IsVisible(box));
    Press(box, {vk::kEscape});
  });
  EXPECT_EQ(Show(mb::kYesNo), mb::kIdNo);
}

TEST_F(MessageBoxTest, SizedToTheTextAndCentredOverTheOwnerOrTheWorkArea) {
  auto boundsOf = [&](Form* owner, StringView text, unsigned flags) {
    Rect bounds;
    ActOnce([&](WindowHandle box) {
      bounds = sim_.host().Bounds(box);
      EXPECT_EQ(sim_.host().Kind(box), platform::WindowKind::Dialog);
      EXPECT_EQ(sim_.host().Caption(box), u"Заголовок");
      Press(box, {vk::kEscape});
    });
    host_.MessageBox(owner, text, u"Заголовок", flags);
    return bounds;
  };
  const String line(60, u'x');  // 360 pixels in the fixed font
  const Rect one = boundsOf(&owner_, line, mb::kIconExclamation);
  const Rect three = boundsOf(&owner_, line + u"\r\nb\r\nc", mb::kIconExclamation);
  const Rect plain = boundsOf(&owner_, line, mb::kOk);
  EXPECT_GE(one.Width(), 360 + 32);
  EXPECT_EQ(three.Width(), one.Width()) << "only the widest line counts";
  EXPECT_EQ(three.Height() - one.Height(), 3 * 13 - 32) << "three lines are taller than the icon";
  EXPECT_LT(plain.Width(), one.Width()) << "no room for an icon";
  // The owner's client area is (100, 100)-(400, 300).
  EXPECT_NEAR((one.left + one.right) / 2, 250, 1);
  EXPECT_NEAR((one.top + one.bottom) / 2, 200, 1);
  const Rect lone = boundsOf(nullptr, u"a", mb::kOk);
  EXPECT_NEAR((lone.left + lone.right) / 2, 640, 1);
  EXPECT_NEAR((lone.top + lone.bottom) / 2, 492, 1);
  // Near the screen's edge the box stays inside the work area.
  owner_.Move(1250 * kTwipsPerPixel, 960 * kTwipsPerPixel);
  const Rect edge = boundsOf(&owner_, line, mb::kYesNo);
  EXPECT_EQ(edge.right, 1280);
  EXPECT_EQ(edge.bottom, 984);
}

TEST_F(MessageBoxTest, TimersFireWhileItWaits) {
  int ticks = 0;
  auto timer = sim_.loop().CreateTimer([&] { ++ticks; });
  timer->SetInterval(250);
  timer->SetEnabled(true);
  sim_.loop().SetUser([&](int /*depth*/) {
    if (ticks == 3) Press(Newest(), {vk::kReturn});
  });
  EXPECT_EQ(Show(mb::kOk), mb::kIdOk);
  EXPECT_EQ(sim_.loop().Now(), 750u);
}

TEST_F(MessageBoxTest, NestedBoxesHoldTheProgramInTurnAndGiveItBackBeforeTheyGo) {
  auto& host = sim_.host();
  // Windows that take input, owner first, then the boxes by age.
  auto enabled = [&] {
    std::string on;
    for (WindowHandle w : host.Forms()) on += host.InputEnabled(w) ? '1' : '0';
    return on;
  };
  std::vector<std::string> seen;
  WindowHandle outer = 0;
  sim_.loop().SetUser([&](int depth) {
    const WindowHandle box = Newest();
    seen.push_back(std::to_string(depth) + " " + enabled() + (host.Active() == box ? " active" : ""));
    if (depth == 1 && outer == 0) {
      outer = box;
      host_.MessageBox(host_.FormOf(box), u"Внутри", u"Второй", mb::kOk);
      seen.push_back("back " + enabled() + (host.Active() == outer ? " active" : ""));
      Press(outer, {vk::kEscape});
    } else if (depth == 2) {
      sim_.Click(owner_.Window(), Point{5, 5});  // refused: the newest box stays in front
      Press(owner_.Window(), {vk::kReturn});     // reaches the newest box
    }
  });
  EXPECT_EQ(Show(mb::kYesNo), mb::kIdNo);
  EXPECT_EQ(seen, (std::vector<std::string>{"1 01 active", "2 001 active", "back 01 active"}));
  EXPECT_TRUE(host.InputEnabled(owner_.Window()));
  EXPECT_EQ(host_.ModalForm(), nullptr);
}

}  // namespace
}  // namespace pd::forms
