// The control host's own popup menu on the simulation, used as a user
// would: pointer, keys, typed letters, dismissal, placement, timers and a
// message box opened from a timer while the menu is open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/PopupMenu.h"
#include "unit/forms/DialogTestUtil.h"

namespace pd::forms {
namespace {

namespace vk = platform::vk;
using platform::MenuItem;

// Rows in the fixed font (13-pixel lines, 19-pixel items) below the 3-pixel
// frame: 1 3..22, 2 22..41, 3 41..60, separator 60..69, 4 69..88, 5 88..107.
// Width 3 + 20 + 8 * 6 + 20 + 3 = 94, height 110.
const std::vector<MenuItem> kItems = {
    {.id = 1, .caption = u"Открыть"},
    {.id = 2, .caption = u"Обновить"},
    {.id = 3, .caption = u"Свойства", .checked = true},
    {.separator = true},
    {.id = 4, .caption = u"Удалить", .enabled = false},
    {.id = 5, .caption = u"Выход"},
};
constexpr int kMenuWidth = 94;
constexpr int kMenuHeight = 110;
Point RowOf(int id) {
  const int top[] = {0, 3, 22, 41, 69, 88};
  return Point{30, top[id] + 9};
}

class PopupMenuTest : public test::DialogTest {
 protected:
  int Open(Point at = Point{200, 150}) { return host_.PopupMenu(&owner_, kItems, at); }
};

TEST_F(PopupMenuTest, KeysMoveOverEnabledItemsWrappingAndChoose) {
  struct Case {
    const char* name;
    std::vector<int> keys;
    String typed;  // after the keys
    int chosen;
  };
  const std::vector<Case> cases = {
      {"down enter", {vk::kDown, vk::kReturn}, u"", 1},
      {"down to the checked", {vk::kDown, vk::kDown, vk::kDown, vk::kSpace}, u"", 3},
      {"skips separator and disabled", {vk::kDown, vk::kDown, vk::kDown, vk::kDown, vk::kReturn}, u"", 5},
      {"wraps down", {vk::kDown, vk::kDown, vk::kDown, vk::kDown, vk::kDown, vk::kReturn}, u"", 1},
      {"up from nothing is the last", {vk::kUp, vk::kReturn}, u"", 5},
      {"up skips back", {vk::kUp, vk::kUp, vk::kReturn}, u"", 3},
      {"end then down wraps", {vk::kEnd, vk::kDown, vk::kReturn}, u"", 1},
      {"home then up wraps", {vk::kHome, vk::kUp, vk::kReturn}, u"", 5},
      {"enter on nothing stays", {vk::kReturn, vk::kTab, vk::kDown, vk::kReturn}, u"", 1},
      {"escape", {vk::kDown, vk::kEscape}, u"", 0},
      {"only letter chooses", {}, u"в", 5},
      {"letter of several highlights", {}, u"оо", 0},
      {"disabled letter does nothing", {}, u"у", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool stillOpen = false;
    ActOnce([&](WindowHandle menu) {
      Press(menu, c.keys);
      if (!c.typed.empty()) sim_.Type(menu, c.typed);
      stillOpen = sim_.host().IsVisible(menu);
      if (stillOpen) Press(menu, {vk::kEscape});
    });
    EXPECT_EQ(Open(), c.chosen);
    EXPECT_EQ(stillOpen, c.chosen == 0 && c.name != std::string("escape"));
  }
  // Typed letters cycle through the items that start with them.
  for (const auto& [typed, chosen] : std::vector<std::pair<String, int>>{{u"о", 1}, {u"оО", 2}, {u"ооо", 1}}) {
    ActOnce([&](WindowHandle menu) {
      sim_.Type(menu, typed);
      Press(menu, {vk::kReturn});
    });
    EXPECT_EQ(Open(), chosen);
  }
}

TEST_F(PopupMenuTest, ThePointerHighlightsAndChoosesEnabledItemsOnly) {
  ActOnce([&](WindowHandle menu) { sim_.Click(menu, RowOf(2)); });
  EXPECT_EQ(Open(), 2);

  // Pressing on one item and releasing on another chooses the second.
  ActOnce([&](WindowHandle menu) {
    sim_.MouseDown(menu, RowOf(1));
    sim_.MouseMove(menu, RowOf(3));
    sim_.MouseUp(menu, RowOf(3));
  });
  EXPECT_EQ(Open(), 3);

  // The disabled item, the separator and the frame choose nothing; the
  // hover highlight is what Enter chooses.
  ActOnce([&](WindowHandle menu) {
    sim_.Click(menu, RowOf(4));
    sim_.Click(menu, Point{30, 64});
    sim_.Click(menu, Point{1, 1});
    EXPECT_TRUE(sim_.host().IsVisible(menu));
    sim_.MouseMove(menu, RowOf(5));
    Press(menu, {vk::kReturn});
  });
  EXPECT_EQ(Open(), 5);
}

TEST_F(PopupMenuTest, APressOutsideOrAnotherProgramInFrontDismisses) {
  ActOnce([&](WindowHandle menu) {
    EXPECT_EQ(sim_.host().Capture(), menu) << "the menu holds the pointer";
    sim_.Click(menu, Point{-40, 5}, platform::button::kRight);
  });
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(sim_.host().Capture(), WindowHandle{0});

  const WindowHandle foreign = sim_.processes().OpenWindow(sim_.processes().Start(u"C:\\Apps\\other.exe"));
  for (const bool ours : {true, false}) {
    int calls = 0;
    sim_.loop().SetUser([&](int /*depth*/) {
      const WindowHandle menu = Newest();
      if (++calls == 1) {
        sim_.input().SetForegroundWindow(ours ? owner_.Window() : foreign);
        sim_.loop().Post([] {});  // the loop looks again
      } else if (calls == 2) {
        Press(menu, {vk::kDown, vk::kReturn});  // still open
      }
    });
    EXPECT_EQ(Open(), ours ? 1 : 0) << (ours ? "our own window in front" : "another program in front");
  }
}

TEST_F(PopupMenuTest, OpensAtThePointOrFlipsAwayFromTheWorkAreasEdges) {
  struct Case {
    Point at;
    Rect expected;
  };
  const Rect work{0, 0, 1280, 984};
  const std::vector<Case> cases = {
      {{200, 150}, {200, 150, 294, 260}},     // room on every side
      {{1250, 150}, {1156, 150, 1250, 260}},  // right edge: opens to the left
      {{200, 950}, {200, 840, 294, 950}},     // bottom edge: opens upwards
      {{1279, 983}, {1185, 873, 1279, 983}},  // both
      {{-30, -8}, {0, 0, 94, 110}},           // off the screen: pushed in
      {{60, 1000}, {60, 874, 154, 984}},      // below the work area (on the task bar)
      {{1186, 874}, {1186, 874, 1280, 984}},  // fits exactly
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlacePopup(c.at, kMenuWidth, kMenuHeight, work), c.expected) << c.at.x << "," << c.at.y;
  }
  EXPECT_EQ(PlacePopup(Point{50, 100}, 80, 2000, work), (Rect{50, 0, 130, 2000})) << "taller than the screen";

  // The menu's window goes there, as a popup of its owner.
  Rect bounds;
  ActOnce([&](WindowHandle menu) {
    bounds = sim_.host().Bounds(menu);
    EXPECT_EQ(sim_.host().Kind(menu), platform::WindowKind::Popup);
    EXPECT_EQ(sim_.host().Owner(menu), owner_.Window());
    Press(menu, {vk::kEscape});
  });
  Open(cases[3].at);
  EXPECT_EQ(bounds, cases[3].expected);
}

TEST_F(PopupMenuTest, TimersFireWhileOpenAndAMessageBoxFromOneEndsFirst) {
  int ticks = 0;
  int boxAnswer = 0;
  std::vector<std::string> steps;
  auto timer = sim_.loop().CreateTimer([&] {
    if (++ticks != 2) return;
    steps.push_back("box");
    boxAnswer = host_.MessageBox(&owner_, u"Процесс завершён", u"Внимание",
                                 platform::mb::kYesNo | platform::mb::kIconExclamation);
    steps.push_back("box answered");
  });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  WindowHandle menu = 0;
  sim_.loop().SetUser([&](int depth) {
    if (depth == 1 && menu == 0) menu = Newest();
    if (depth == 2) {
      steps.push_back("answer");
      Press(Newest(), {vk::kRight, vk::kReturn});
    } else if (depth == 1 && ticks >= 4) {
      steps.push_back("menu");
      EXPECT_EQ(sim_.host().Capture(), menu) << "the menu took the pointer back";
      sim_.Click(menu, RowOf(2));
    }
  });
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(boxAnswer, platform::mb::kIdNo);
  EXPECT_EQ(steps, (std::vector<std::string>{"box", "answer", "box answered", "menu"}));
  EXPECT_EQ(ticks, 4);
  EXPECT_EQ(sim_.loop().Now(), 400u);
  EXPECT_EQ(sim_.loop().ModalDepth(), 0);
}

TEST_F(PopupMenuTest, NoItemsShowNothingAndQuitEndsTheMenu) {
  EXPECT_EQ(host_.PopupMenu(&owner_, {}, Point{10, 10}), 0);
  const auto windows = sim_.host().Forms().size();
  ActOnce([&](WindowHandle /*menu*/) { sim_.loop().Quit(); });
  EXPECT_EQ(host_.PopupMenu(nullptr, kItems, Point{10, 10}), 0);
  EXPECT_EQ(sim_.host().Forms().size(), windows) << "the menu's window went with it";
}

}  // namespace
}  // namespace pd::forms
