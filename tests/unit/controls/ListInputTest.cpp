// The list under the user's mouse and keys on the simulation: the
// selection rules of each MultiSelect mode, check boxes, keys, the order of
// the events, and the wheel. Rows are 16 pixels high in a list 90 high:
// five whole rows and a sixth cut off.
#include <gtest/gtest.h>

#include "ListTestUtil.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

namespace vk = platform::vk;
using Log = std::vector<std::string>;
using Ints = std::vector<std::int32_t>;
constexpr int kS = platform::shift::kShift;
constexpr int kC = platform::shift::kCtrl;

// One act of the user: a click on a row (at x), a key, Space typed, or a
// double click.
struct Act {
  enum Kind { kClick, kKey, kSpace, kDouble } kind;
  int what = 0;  // row or key
  int shift = 0;
  int x = 40;
};
Act ClickRow(int row, int shift = 0, int x = 40) { return Act{Act::kClick, row, shift, x}; }
Act KeyOf(int key, int shift = 0) { return Act{Act::kKey, key, shift}; }

struct Case {
  const char* name;
  int multiSelect;
  int style;
  bool cleanOnClick;
  int count;
  std::vector<Act> acts;
  Ints selected;
  std::int32_t listIndex;
  std::int32_t topIndex;
  Log events;  // of the last act
  Ints checked = {};
};

class ListInput : public ListFixture, public testing::WithParamInterface<Case> {
 protected:
  void Run(const Case& c) {
    List().SetItemHeight(16);
    List().SetMultiSelect(c.multiSelect);
    List().SetStyle(c.style);
    List().SetCleanOnClick(c.cleanOnClick);
    for (int i = 0; i < c.count; ++i) List().AddItem(u"item");
    if (c.count > 2) List().SetListEnabled(2, false);
    List().SetFocus();
    for (const Act& a : c.acts) {
      TakeLog();
      const Point at{a.x, 1 + 16 * (a.what - List().TopIndex()) + 4};
      switch (a.kind) {
        case Act::kClick:
          ClickAt(at, a.shift);
          break;
        case Act::kKey:
          Key(a.what, a.shift);
          break;
        case Act::kSpace:
          sim_.Type(form_.Window(), u" ");
          break;
        case Act::kDouble:
          Press(at);
          sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kDoubleClick,
                                                  .window = form_.Window(), .pos = at, .button = 1});
          Release(at);
          break;
      }
    }
  }
  Ints Checked() {
    Ints out;
    for (std::int32_t i = 0; i < List().ListCount(); ++i) {
      if (List().ListChecked(i)) out.push_back(i);
    }
    return out;
  }
};

TEST_P(ListInput, SelectsAsItsModeSays) {
  const Case& c = GetParam();
  Run(c);
  EXPECT_EQ(SelectedItems(), c.selected);
  EXPECT_EQ(List().ListIndex(), c.listIndex);
  EXPECT_EQ(List().TopIndex(), c.topIndex);
  EXPECT_EQ(TakeLog(), c.events);
  EXPECT_EQ(Checked(), c.checked);
}

const Log kClickEvents{"MouseDown", "MouseUp", "Click"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ListInput,
    testing::Values(
        // MultiSelect 0: one item; a click below the items changes nothing, or clears with CleanOnClick.
        Case{"SingleClickMoves", 0, 0, false, 8, {ClickRow(1), ClickRow(3)}, {3}, 3, 0, kClickEvents},
        Case{"SingleBelowKeeps", 0, 0, false, 3, {ClickRow(1), ClickRow(4)}, {1}, 1, 0, kClickEvents},
        Case{"SingleBelowCleans", 0, 0, true, 3, {ClickRow(1), ClickRow(4)}, {}, -1, 0, kClickEvents},
        Case{"SingleShiftCtrlIgnored", 0, 0, false, 8, {ClickRow(1), ClickRow(3, kS | kC)}, {3}, 3, 0, kClickEvents},
        // MultiSelect 1: each click toggles its item.
        Case{"SimpleToggles", 1, 0, false, 8, {ClickRow(1), ClickRow(3), ClickRow(1)}, {3}, 1, 0, kClickEvents},
        Case{"SimpleBelowKeeps", 1, 0, false, 3, {ClickRow(0), ClickRow(4)}, {0}, 0, 0, kClickEvents},
        Case{"SimpleBelowCleans", 1, 0, true, 3, {ClickRow(0), ClickRow(4)}, {}, -1, 0, kClickEvents},
        // MultiSelect 2: Shift ranges from the anchor, Ctrl toggles one; the cut-off row scrolls in.
        Case{"ExtendedShiftRange", 2, 0, false, 8, {ClickRow(2), ClickRow(5, kS)}, {2, 3, 4, 5}, 5, 1, kClickEvents},
        Case{"ExtendedCtrlToggle", 2, 0, false, 8, {ClickRow(2), ClickRow(4, kS), ClickRow(3, kC)}, {2, 4}, 3, 0,
             kClickEvents},
        Case{"ExtendedShiftUpwards", 2, 0, false, 8, {ClickRow(4), ClickRow(1, kS)}, {1, 2, 3, 4}, 1, 0,
             kClickEvents},
        Case{"ExtendedPlainClickClears", 2, 0, false, 8, {ClickRow(1), ClickRow(3, kC), ClickRow(0)}, {0}, 0, 0,
             kClickEvents},
        // Check boxes: x in 2..16 ticks an enabled row; item 2 is disabled.
        Case{"CheckBoxTicks", 2, 2, false, 4, {ClickRow(0, 0, 10)}, {0}, 0, 0, {"MouseDown", "Check 0", "MouseUp", "Click"},
             {0}},
        Case{"CheckBoxUnticks", 2, 2, false, 4, {ClickRow(0, 0, 10), ClickRow(0, 0, 2)}, {0}, 0, 0,
             {"MouseDown", "Uncheck 0", "MouseUp", "Click"}},
        Case{"DisabledRowOnlySelects", 2, 2, false, 4, {ClickRow(2, 0, 10)}, {2}, 2, 0, kClickEvents},
        Case{"BesideTheBoxOnlySelects", 2, 2, false, 4, {ClickRow(1, 0, 17)}, {1}, 1, 0, kClickEvents, {}},
        Case{"ShiftRangeTicksEnabledRows", 2, 2, false, 5, {ClickRow(0, 0, 10), ClickRow(3, kS, 10)}, {0, 1, 2, 3},
             3, 0, {"MouseDown", "Check 0", "Check 1", "Check 3", "MouseUp", "Click"}, {0, 1, 3}},
        Case{"SpaceTicksTheCurrentItem", 2, 2, false, 4, {ClickRow(1), Act{Act::kSpace}}, {1}, 1, 0,
             {"KeyPress 32", "Check 1"}, {1}},
        Case{"SpaceOnADisabledItemOnlyRaisesKeyPress", 2, 2, false, 4, {ClickRow(2), Act{Act::kSpace}}, {2}, 2, 0,
             {"KeyPress 32"}},
        // Double click: its second press acts as a press; its release makes no Click.
        Case{"DoubleClick", 0, 0, false, 4, {ClickRow(1), Act{Act::kDouble, 1}}, {1}, 1, 0,
             {"MouseDown", "DblClick", "MouseUp"}},
        // ... so on a check box it toggles once more, and in MultiSelect 1 the row toggles back, as two clicks do.
        Case{"DoubleClickOnTheBoxSingle", 0, 2, false, 4, {ClickRow(0, 0, 10), Act{Act::kDouble, 0, 0, 10}}, {0}, 0, 0,
             {"MouseDown", "Uncheck 0", "DblClick", "MouseUp"}},
        Case{"DoubleClickOnTheBoxSimple", 1, 2, false, 4, {ClickRow(0, 0, 10), Act{Act::kDouble, 0, 0, 10}}, {0}, 0, 0,
             {"MouseDown", "Uncheck 0", "DblClick", "MouseUp"}},
        Case{"DoubleClickOnTheBoxExtended", 2, 2, false, 4, {ClickRow(0, 0, 10), Act{Act::kDouble, 0, 0, 10}}, {0}, 0,
             0, {"MouseDown", "Uncheck 0", "DblClick", "MouseUp"}},
        Case{"DoubleClickTwiceEndsAsItBegan", 2, 2, false, 4,
             {ClickRow(0, 0, 10), Act{Act::kDouble, 0, 0, 10}, ClickRow(0, 0, 10), Act{Act::kDouble, 0, 0, 10}}, {0}, 0,
             0, {"MouseDown", "Uncheck 0", "DblClick", "MouseUp"}},
        Case{"DoubleClickOnADisabledBoxOnlySelects", 1, 2, false, 4, {ClickRow(2, 0, 10), Act{Act::kDouble, 2, 0, 10}},
             {2}, 2, 0, {"MouseDown", "DblClick", "MouseUp"}},
        Case{"DoubleClickOnTheTextSimpleTogglesBack", 1, 2, false, 4, {ClickRow(1), Act{Act::kDouble, 1}}, {}, 1, 0,
             {"MouseDown", "DblClick", "MouseUp"}},
        Case{"DoubleClickOnTheTextExtendedKeeps", 2, 2, false, 4, {ClickRow(1), Act{Act::kDouble, 1}}, {1}, 1, 0,
             {"MouseDown", "DblClick", "MouseUp"}},
        // Keys.
        Case{"UpFromNothingSelectsTheFirst", 0, 0, false, 8, {KeyOf(vk::kUp)}, {0}, 0, 0,
             {"KeyDown 38", "Click", "KeyUp 38"}},
        Case{"DownAtTheLastStaysAndClicks", 0, 0, false, 3, {ClickRow(2), KeyOf(vk::kDown)}, {2}, 2, 0,
             {"KeyDown 40", "Click", "KeyUp 40"}},
        Case{"DownScrollsIntoView", 0, 0, false, 8, {ClickRow(4), KeyOf(vk::kDown)}, {5}, 5, 1,
             {"KeyDown 40", "Click", "KeyUp 40"}},
        Case{"ShiftDownExtends", 2, 0, false, 8, {ClickRow(1), KeyOf(vk::kDown, kS), KeyOf(vk::kDown, kS)},
             {1, 2, 3}, 3, 0, {"KeyDown 40", "Click", "KeyUp 40"}},
        Case{"PlainKeyDropsTheRange", 2, 0, false, 8, {ClickRow(1), KeyOf(vk::kDown, kS), KeyOf(vk::kRight)}, {3}, 3,
             0, {"KeyDown 39", "Click", "KeyUp 39"}},
        Case{"PageDownStepsVisibleRowsLessOne", 0, 0, false, 20, {ClickRow(0), KeyOf(vk::kNext), KeyOf(vk::kNext)},
             {8}, 8, 4, {"KeyDown 34", "Click", "KeyUp 34"}},
        Case{"PageUpStopsAtTheTop", 0, 0, false, 20, {KeyOf(vk::kEnd), KeyOf(vk::kPrior), KeyOf(vk::kHome),
             KeyOf(vk::kPrior)}, {0}, 0, 0, {"KeyDown 33", "Click", "KeyUp 33"}},
        Case{"EndShowsTheLastRow", 2, 0, false, 20, {ClickRow(2), KeyOf(vk::kEnd, kS)},
             {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, 19, 15,
             {"KeyDown 35", "Click", "KeyUp 35"}},
        Case{"OtherKeysOnlyRaiseTheirEvents", 0, 0, false, 8, {ClickRow(1), KeyOf(vk::kInsert)}, {1}, 1, 0,
             {"KeyDown 45", "KeyUp 45"}}),
    [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

class ListKeys : public ListFixture {};

TEST_F(ListKeys, AHandlerThatZeroesTheKeyStopsTheNavigation) {
  Add({u"a", u"b", u"c"});
  List().SetFocus();
  List().KeyDown.Connect([](std::int16_t& key, std::int16_t&) { key = 0; });
  Key(vk::kDown);
  EXPECT_EQ(List().ListIndex(), -1);
  List().MouseDown.Connect([](std::int16_t& button, std::int16_t&, float&, float&) { button = 2; });
  ClickAt(Point{40, 9});
  EXPECT_EQ(List().ListIndex(), -1) << "the mouse handling reads the changed button";
}

TEST_F(ListKeys, TheWheelScrollsThreeRowsANotchWithinTheRange) {
  List().SetItemHeight(16);
  for (int i = 0; i < 20; ++i) List().AddItem(u"x");
  TakeLog();
  const WindowHandle w = form_.Window();
  sim_.MouseWheel(w, Point{40, 40}, -120);
  EXPECT_EQ(List().TopIndex(), 3);
  sim_.MouseWheel(w, Point{40, 40}, -40);  // a third of a notch: one row
  EXPECT_EQ(List().TopIndex(), 4);
  for (int i = 0; i < 10; ++i) sim_.MouseWheel(w, Point{40, 40}, -120);
  EXPECT_EQ(List().TopIndex(), 15) << "the last row at the bottom";
  // Over the scroll bar (a part of its own) the list still scrolls.
  sim_.MouseWheel(w, Point{kWidth - 9, 45}, 240);
  EXPECT_EQ(List().TopIndex(), 9);
  EXPECT_TRUE(TakeLog().empty()) << "no events";

  while (List().ListCount() > 3) List().RemoveItem(0);
  List().SetTopIndex(0);
  sim_.MouseWheel(w, Point{40, 40}, -120);
  EXPECT_EQ(List().TopIndex(), 0) << "all rows fit: nothing to scroll";
}

}  // namespace
}  // namespace pd::controls::test
