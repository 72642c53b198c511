// The pointer over the controls on the simulation: the pointer shape each
// MousePointer value shows, and what mouse handlers leave in Button. (A
// window of another program over a hovered control: FormScenario, on every
// backend.)
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "forms/Label.h"
#include "unit/controls/SkinnedTestUtil.h"

namespace pd::controls::test {
namespace {

using platform::PointerShape;

constexpr Point kB1{20, 20};
constexpr Point kChk{160, 15};
constexpr Point kOff{250, 100};

using PointerTest = SkinnedTest;

TEST_F(PointerTest, EachMousePointerValueShowsItsShapeOverTheControl) {
  auto icon = std::shared_ptr<const platform::Picture>(sim_.graphics().CreatePicture(16, 16, {}, 32));
  struct Case {
    std::int32_t value;
    bool withIcon;
    PointerShape shape;
  };
  const Case cases[] = {
      {0, false, PointerShape::kDefault},   {1, false, PointerShape::kArrow},
      {3, false, PointerShape::kIBeam},     {7, false, PointerShape::kSizeNS},
      {11, false, PointerShape::kWait},     {15, false, PointerShape::kSizeAll},
      {99, true, PointerShape::kCustom},    {99, false, PointerShape::kDefault},
      {16, false, PointerShape::kDefault},  {-1, false, PointerShape::kDefault},
  };
  for (const Case& c : cases) {
    chk_.SetMousePointer(c.value);
    chk_.SetMouseIcon(c.withIcon ? icon : nullptr);
    sim_.MouseMove(W(), kChk);
    EXPECT_EQ(sim_.host().Cursor(W()), c.shape) << c.value;
    EXPECT_EQ(sim_.host().CursorPicture(W()), c.shape == PointerShape::kCustom ? icon : nullptr) << c.value;
    sim_.MouseMove(W(), kOff);
    EXPECT_EQ(sim_.host().Cursor(W()), PointerShape::kDefault) << c.value << ": the form's own shape";
  }
  // The shape follows the control holding the capture, wherever the pointer is.
  b1_.SetMousePointer(3);
  sim_.MouseDown(W(), kB1);
  sim_.MouseMove(W(), kOff);
  EXPECT_EQ(sim_.host().Cursor(W()), PointerShape::kIBeam);
  sim_.MouseUp(W(), kOff);
}

TEST_F(PointerTest, MouseHandlersChangeTheButtonTheControlActsOn) {
  forms::Label label{form_, u"lbl"};
  label.Move(Px(150), Px(60), Px(60), Px(20));
  constexpr Point kLabel{160, 65};
  std::int16_t downAs = -1;
  std::int16_t upAs = -1;
  auto rewrite = [](const std::int16_t& as) {
    return [&as](std::int16_t& b, std::int16_t&, float&, float&) {
      if (as >= 0) b = as;
    };
  };
  for (auto* s : {&b1_.MouseDown, &chk_.MouseDown, &label.MouseDown}) s->Connect(rewrite(downAs));
  for (auto* s : {&b1_.MouseUp, &chk_.MouseUp, &label.MouseUp}) s->Connect(rewrite(upAs));
  int labelClicks = 0;
  label.Click.Connect([&] { ++labelClicks; });
  struct Case {
    const char* name;
    int button;  // pressed and released
    std::int16_t down, up;
    bool click;
  };
  const Case cases[] = {
      {"left as is", platform::button::kLeft, -1, -1, true},
      {"left made right on the press", platform::button::kLeft, 2, -1, false},
      {"left made right on the release", platform::button::kLeft, -1, 2, false},
      {"right made left both ways", platform::button::kRight, 1, 1, true},
      {"right as is", platform::button::kRight, -1, -1, false},
  };
  for (const Case& c : cases) {
    downAs = c.down;
    upAs = c.up;
    for (Point at : {kB1, kChk, kLabel}) {
      Take();
      labelClicks = 0;
      const std::int32_t value = chk_.Value();
      sim_.MouseMove(W(), at);
      sim_.MouseDown(W(), at, c.button);
      sim_.MouseUp(W(), at, c.button);
      const std::vector<std::string> log = Take();
      const bool clicked = at == kLabel ? labelClicks == 1
                                         : std::count(log.begin(), log.end(), at == kB1 ? "b1 Click" : "chk Click") == 1;
      EXPECT_EQ(clicked, c.click) << c.name << " at " << at.x;
      if (at == kChk) {
        EXPECT_EQ(chk_.Value() != value, c.click) << c.name << ": the value advances with the click";
      }
    }
  }
}

}  // namespace
}  // namespace pd::controls::test
