// The pointer over the skinned controls on the simulation: another
// program's window covering a hovered control, the pointer shape each
// MousePointer value shows, and what mouse handlers leave in Button.
#include <algorithm>
#include <cstdint>
#include <functional>
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

class PointerTest : public SkinnedTest {
 protected:
  Rect Screen(Point client, int w, int h) {
    const Rect b = sim_.host().Bounds(W());
    return Rect{b.left + client.x - 5, b.top + client.y - 5, b.left + client.x - 5 + w, b.top + client.y - 5 + h};
  }
  WindowHandle Other() {
    if (other_ == 0) other_ = sim_.processes().OpenWindow(sim_.processes().Start(u"C:\\Tools\\other.exe"));
    return other_;
  }
  WindowHandle other_ = 0;
};

TEST_F(PointerTest, AnotherProgramsWindowOverAHoveredControlEndsTheHoverOnce) {
  struct Case {
    const char* name;
    Point at;
    std::function<bool()> watching;
    std::function<Look()> look;
  };
  const Case cases[] = {
      {"b1", kB1, [&] { return b1_.WatchRunning(); }, [&] { return b1_.LastState(); }},
      {"chk", kChk, [&] { return chk_.WatchRunning(); }, [&] { return chk_.LastLook(); }},
  };
  for (const Case& c : cases) {
    sim_.MouseMove(W(), c.at);
    ASSERT_TRUE(c.watching()) << c.name;
    ASSERT_EQ(c.look(), Look::Move) << c.name;
    Take();
    sim_.host().PlaceForeignWindow(Other(), Screen(c.at, 40, 30));  // the pointer has not moved
    sim_.loop().Advance(10);
    EXPECT_EQ(Take(), std::vector<std::string>{std::string(c.name) + " MouseOut"});
    EXPECT_FALSE(c.watching()) << c.name << ": the watch stops";
    EXPECT_EQ(c.look(), Look::Up) << c.name;
    const std::uint64_t now = sim_.loop().Now();
    sim_.loop().Run();
    EXPECT_EQ(sim_.loop().Now(), now) << c.name << ": nothing runs while covered";
    sim_.host().RemoveForeignWindow(Other());
    sim_.MouseMove(W(), c.at);
    EXPECT_EQ(c.look(), Look::Move) << c.name << ": uncovered, the hover comes back";
    sim_.MouseMove(W(), kOff);
    sim_.loop().Advance(10);
    Take();
  }
  // A window beside the control covers nothing of it.
  sim_.host().PlaceForeignWindow(Other(), Screen(kOff, 10, 10));
  sim_.MouseMove(W(), kB1);
  sim_.loop().Advance(50);
  EXPECT_TRUE(b1_.WatchRunning());
  EXPECT_TRUE(Take().empty());
}

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
