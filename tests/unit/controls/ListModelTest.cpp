#include <gtest/gtest.h>

#include <stdexcept>

#include "ListTestUtil.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

using Strings = std::vector<String>;
using Log = std::vector<std::string>;

class ListModel : public ListFixture {};

TEST_F(ListModel, InsertBeforeTheCurrentItemMovesItDown) {
  Add({u"a", u"a", u"a"});
  List().SetListIndex(2);
  List().AddItem(u"x", 1);
  EXPECT_EQ(Texts(), (Strings{u"a", u"x", u"a", u"a"}));
  EXPECT_EQ(List().ListIndex(), 3);
  EXPECT_TRUE(List().Selected(3));

  List().SetListIndex(1);
  List().AddItem(u"y", 1);  // at the current item itself: it stays 1, now the new item
  EXPECT_EQ(List().ListIndex(), 1);
  EXPECT_EQ(List().List(1), u"y");
}

TEST_F(ListModel, AddBeyondTheEndOrWithMinusOneAppends) {
  Add({u"a", u"b", u"c"});
  List().SetListIndex(1);
  List().AddItem(u"d", 7);
  List().AddItem(u"e");
  List().AddItem(u"f", -5);
  EXPECT_EQ(Texts(), (Strings{u"a", u"b", u"c", u"d", u"e", u"f"}));
  EXPECT_EQ(List().ListIndex(), 1);
}

TEST_F(ListModel, NewItemStartsEnabledAndUncheckedWithItsPicture) {
  auto pic = std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(4, 4, {}));
  List().AddItem(u"<b>name</b><br>path", -1, pic);
  const ListItem& item = List().ItemAt(0);
  EXPECT_TRUE(item.Enabled);
  EXPECT_FALSE(item.Checked);
  EXPECT_FALSE(item.Selected);
  EXPECT_EQ(item.ItemData, u"");
  EXPECT_EQ(item.PlainText, u"name\r\npath");
  EXPECT_EQ(item.RunCount(), 3);
  EXPECT_EQ(item.Picture, pic);
}

TEST_F(ListModel, RemoveItemRules) {
  Add({u"a", u"b", u"c"});
  TakeLog();
  List().RemoveItem(5);
  List().RemoveItem(-1);
  EXPECT_EQ(List().ListCount(), 3);
  EXPECT_TRUE(TakeLog().empty());

  List().SetListIndex(1);
  List().SetSelected(2, true);
  TakeLog();
  List().RemoveItem(0);
  EXPECT_EQ(Texts(), (Strings{u"b", u"c"}));
  EXPECT_EQ(List().ListIndex(), -1);
  EXPECT_TRUE(List().Selected(0));  // selection travels with the items
  EXPECT_TRUE(List().Selected(1));
  EXPECT_EQ(TakeLog(), (Log{"OnRemoveItem"}));

  List().RemoveItem(1);
  List().RemoveItem(0);  // the only item: cleared, still an event
  EXPECT_EQ(List().ListCount(), 0);
  EXPECT_EQ(TakeLog(), (Log{"OnRemoveItem", "OnRemoveItem"}));
}

TEST_F(ListModel, ClearEmptiesScrollsToTopAndRaisesNothing) {
  for (int i = 0; i < 30; ++i) List().AddItem(u"item");
  List().SetListIndex(29);
  EXPECT_GT(List().TopIndex(), 0);
  TakeLog();
  List().Clear();
  EXPECT_EQ(List().ListCount(), 0);
  EXPECT_EQ(List().ListIndex(), -1);
  EXPECT_EQ(List().TopIndex(), 0);
  EXPECT_EQ(List().ScrollModel().ScrollValue(), 0);
  EXPECT_EQ(List().ScrollModel().ScrollMax(), 1);
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(ListModel, ListIndexIgnoresOutOfRangeAndSelectsAloneInSingleMode) {
  Add({u"a", u"b", u"c"});
  List().SetListIndex(0);
  TakeLog();
  List().SetListIndex(-1);
  List().SetListIndex(10);
  EXPECT_EQ(List().ListIndex(), 0);
  EXPECT_TRUE(List().Selected(0));
  EXPECT_TRUE(TakeLog().empty());

  List().SetListIndex(2);
  EXPECT_FALSE(List().Selected(0));
  EXPECT_TRUE(List().Selected(2));
  EXPECT_EQ(TakeLog(), (Log{"Click"}));

  List().SetMultiSelect(2);
  List().SetListIndex(1);
  EXPECT_TRUE(List().Selected(1));
  EXPECT_TRUE(List().Selected(2));
}

TEST_F(ListModel, ListIndexRepaintsBeforeClick) {
  Add({u"a", u"b"});
  int repaintsAtClick = -1;
  List().Click.Connect([&] { repaintsAtClick = List().RepaintCount(); });
  const int before = List().RepaintCount();
  List().SetListIndex(1);
  EXPECT_GT(repaintsAtClick, before);
}

TEST_F(ListModel, ListIndexScrollsTheItemIntoView) {
  // 90 px high, rows of 13: (90 - 2) / 13 = 6 visible rows.
  for (int i = 0; i < 20; ++i) List().AddItem(u"item", -1, nullptr, false);
  List().Refresh();
  ASSERT_EQ(List().VisibleRows(), 6);
  EXPECT_EQ(List().ScrollModel().ScrollMax(), 14);
  EXPECT_EQ(List().ScrollModel().LargeChange(), 5);
  List().SetListIndex(10);
  EXPECT_EQ(List().TopIndex(), 5);  // 10 - 6 + 1
  List().SetListIndex(7);
  EXPECT_EQ(List().TopIndex(), 5);  // already visible
  List().SetListIndex(2);
  EXPECT_EQ(List().TopIndex(), 2);
}

TEST_F(ListModel, TopIndexIsLimitedToTheListAndTheScrollRange) {
  for (int i = 0; i < 20; ++i) List().AddItem(u"item");
  List().SetTopIndex(100);
  EXPECT_EQ(List().TopIndex(), 14);
  List().SetTopIndex(-3);
  EXPECT_EQ(List().TopIndex(), 0);
  List().SetTopIndex(4);
  EXPECT_EQ(List().TopIndex(), 4);
  EXPECT_EQ(List().ScrollModel().ScrollValue(), 4);

  List().Clear();
  Add({u"a", u"b"});  // all fit: the range is 0..1
  List().SetTopIndex(5);
  EXPECT_EQ(List().TopIndex(), 0);
}

TEST_F(ListModel, ListCheckedRaisesCheckEvenForDisabledOrMissingItems) {
  Add({u"a", u"b", u"c"});
  List().SetListEnabled(1, false);
  TakeLog();
  List().SetListChecked(1, true);
  EXPECT_TRUE(List().ListChecked(1));
  List().SetListChecked(99, true);
  List().SetListChecked(1, false);
  EXPECT_EQ(TakeLog(), (Log{"Check 1", "Check 99", "Uncheck 1"}));
  EXPECT_FALSE(List().ListChecked(0));
  EXPECT_FALSE(List().ListChecked(2));
  EXPECT_FALSE(List().ListChecked(99));
}

TEST_F(ListModel, NegativeIndexIsAnErrorAndChangesNothing) {
  Add({u"a"});
  XP_ListBox& l = List();
  TakeLog();
  const int repaints = l.RepaintCount();
  EXPECT_THROW((void)l.List(-1), std::out_of_range);
  EXPECT_THROW(l.SetList(-1, u"x"), std::out_of_range);
  EXPECT_THROW((void)l.ItemData(-1), std::out_of_range);
  EXPECT_THROW(l.SetItemData(-1, u"x"), std::out_of_range);
  EXPECT_THROW((void)l.Selected(-1), std::out_of_range);
  EXPECT_THROW(l.SetSelected(-1, true), std::out_of_range);
  EXPECT_THROW((void)l.ListEnabled(-1), std::out_of_range);
  EXPECT_THROW(l.SetListEnabled(-1, false), std::out_of_range);
  EXPECT_THROW((void)l.ListChecked(-1), std::out_of_range);
  EXPECT_THROW(l.SetListChecked(-1, true), std::out_of_range);
  EXPECT_THROW(l.DrawColorText(-1, 0, 0, 100), std::out_of_range);
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_EQ(l.RepaintCount(), repaints);
  EXPECT_EQ(l.List(0), u"a");
}

TEST_F(ListModel, IndexAtOrAboveCountIsIgnoredAndReadsEmpty) {
  Add({u"a"});
  XP_ListBox& l = List();
  l.SetList(1, u"x");
  l.SetItemData(1, u"x");
  l.SetSelected(1, true);
  l.SetListEnabled(1, true);
  EXPECT_EQ(l.ListCount(), 1);
  EXPECT_EQ(l.List(1), u"");
  EXPECT_EQ(l.ItemData(5), u"");
  EXPECT_FALSE(l.Selected(1));
  EXPECT_FALSE(l.ListEnabled(1));
  EXPECT_FALSE(l.ListChecked(1));
}

TEST_F(ListModel, WritingListReparsesTextAndPlainText) {
  Add({u"y<br>z"});
  List().SetItemData(0, u"1234");
  List().SetList(0, u"<b>x</b>");
  EXPECT_EQ(List().ItemAt(0).PlainText, u"x");
  EXPECT_EQ(List().ItemAt(0).RunCount(), 1);
  EXPECT_TRUE(List().ItemAt(0).Runs[0].Bold);
  EXPECT_EQ(List().List(0), u"<b>x</b>");
  EXPECT_EQ(List().ItemData(0), u"1234");
}

TEST_F(ListModel, WritingAnItemsOwnTextBackReparsesIt) {
  // ItemAt hands out the item's own strings; storing one of them into the
  // same item must not read it after it was replaced.
  const String text = u"<b>ProcessDrovak.exe</b><left=100>C:\\Program Files\\Drovak\\ProcessDrovak.exe";
  List().AddItem(text);
  List().SetList(0, List().ItemAt(0).ItemText);
  EXPECT_EQ(List().List(0), text);
  EXPECT_EQ(List().ItemAt(0).RunCount(), 3);
  const String plain = List().ItemAt(0).PlainText;
  List().SetList(0, List().ItemAt(0).PlainText);
  EXPECT_EQ(List().List(0), plain);
  EXPECT_EQ(List().ItemAt(0).PlainText, plain);
}

TEST_F(ListModel, AddItemRaisesOnAddItemOnceAfterItsRefresh) {
  List();
  int repaintsAtEvent = -1;
  List().OnAddItem.Connect([&] { repaintsAtEvent = List().RepaintCount(); });
  const int before = List().RepaintCount();
  List().AddItem(u"a");
  EXPECT_GT(repaintsAtEvent, before);
  const int afterFirst = List().RepaintCount();
  List().AddItem(u"b", -1, nullptr, false);
  EXPECT_EQ(List().RepaintCount(), afterFirst);  // Redraw False: no repaint
  Add({u"c", u"d"});
  Connect();
  List().AddItem(u"e");
  EXPECT_EQ(TakeLog(), (Log{"OnAddItem"}));
}

TEST_F(ListModel, PropertyWritesTellTheHostAndRepaintWhenTheyChangeTheLook) {
  XP_ListBox& l = List();
  struct Case {
    const char16_t* name;
    std::function<void()> write;
    bool repaints;
  };
  auto pic = std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(2, 2, {}));
  const std::vector<Case> cases{
      {u"BackColor", [&] { l.SetBackColor(0x123456); }, true},
      {u"BorderColor", [&] { l.SetBorderColor(1); }, true},
      {u"Enabled", [&] { l.SetEnabled(false); }, false},
      {u"Font", [&] { l.SetFont(FixedFont()); }, true},
      {u"ForeColor", [&] { l.SetForeColor(2); }, true},
      {u"ForeColorSelected", [&] { l.SetForeColorSelected(3); }, true},
      {u"MouseIcon", [&] { l.SetMouseIcon(pic); }, false},
      {u"MousePointer", [&] { l.SetMousePointer(2); }, false},
      {u"ItemHeight", [&] { l.SetItemHeight(16); }, true},
      {u"Style", [&] { l.SetStyle(2); }, true},
      {u"SelectionColor", [&] { l.SetSelectionColor(4); }, true},
      {u"ImageWidth", [&] { l.SetImageWidth(20); }, true},
      {u"MultiSelect", [&] { l.SetMultiSelect(1); }, false},
      {u"FullRowSelect", [&] { l.SetFullRowSelect(false); }, false},
      {u"CleanOnClick", [&] { l.SetCleanOnClick(true); }, false},
  };
  for (const Case& c : cases) {
    const std::size_t changes = Site().ChangedProperties().size();
    const int repaints = l.RepaintCount();
    c.write();
    ASSERT_EQ(Site().ChangedProperties().size(), changes + 1) << text::ToUtf8(c.name);
    EXPECT_EQ(Site().ChangedProperties().back(), c.name);
    EXPECT_EQ(l.RepaintCount() > repaints, c.repaints) << text::ToUtf8(c.name);
  }
}

TEST_F(ListModel, UnknownPictureNumbersAreRefused) {
  auto pic = std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(2, 2, {}));
  EXPECT_THROW(List().RegisterPicture(0, pic), std::out_of_range);
  EXPECT_THROW(List().RegisterPicture(-4, pic), std::out_of_range);
  EXPECT_NO_THROW(List().RegisterPicture(1, nullptr));  // unregistering an unknown number
}

}  // namespace
}  // namespace pd::controls::test
