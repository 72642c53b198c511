#include <gtest/gtest.h>

#include "ListTestUtil.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

// A property bag that logs the names it is asked for, in order.
class LoggingStore final : public forms::PropertyStore {
 public:
  std::int32_t ReadInt(StringView n, std::int32_t d) override { return Log(n), bag.ReadInt(n, d); }
  bool ReadBool(StringView n, bool d) override { return Log(n), bag.ReadBool(n, d); }
  String ReadString(StringView n, StringView d) override { return Log(n), bag.ReadString(n, d); }
  Colour ReadColour(StringView n, Colour d) override { return Log(n), bag.ReadColour(n, d); }
  platform::Font ReadFont(StringView n, const platform::Font& d) override { return Log(n), bag.ReadFont(n, d); }
  std::shared_ptr<const platform::Picture> ReadPicture(StringView n) override { return Log(n), bag.ReadPicture(n); }
  void WriteInt(StringView n, std::int32_t v, std::int32_t d) override { Log(n), bag.WriteInt(n, v, d); }
  void WriteBool(StringView n, bool v, bool d) override { Log(n), bag.WriteBool(n, v, d); }
  void WriteString(StringView n, StringView v, StringView d) override { Log(n), bag.WriteString(n, v, d); }
  void WriteColour(StringView n, Colour v, Colour d) override { Log(n), bag.WriteColour(n, v, d); }
  void WriteFont(StringView n, const platform::Font& v, const platform::Font& d) override {
    Log(n), bag.WriteFont(n, v, d);
  }
  void WritePicture(StringView n, std::shared_ptr<const platform::Picture> v) override {
    Log(n), bag.WritePicture(n, std::move(v));
  }

  void Log(StringView n) { names.emplace_back(n); }
  forms::PropertyBag bag;
  std::vector<String> names;
};

class ListPersistence : public ListFixture {};

TEST_F(ListPersistence, ANewListHasTheDesignerDefaultsAndStoresNothing) {
  Stored().WriteFont(u"Font", platform::Font{}, platform::Font{});
  XP_ListBox& l = List();
  EXPECT_EQ(l.BorderColor(), 0xB99D7FU);
  EXPECT_EQ(l.SelectionColor(), 0xC56A31U);
  EXPECT_EQ(l.BackColor(), 0xFFFFFFU);
  EXPECT_EQ(l.ImageWidth(), 16);
  EXPECT_TRUE(l.FullRowSelect());
  EXPECT_TRUE(l.Enabled());
  EXPECT_EQ(l.ForeColor(), 0U);
  EXPECT_EQ(l.ItemHeight(), 0);
  EXPECT_EQ(l.Style(), 0);
  EXPECT_EQ(l.MultiSelect(), 0);
  EXPECT_FALSE(l.CleanOnClick());
  EXPECT_EQ(l.MouseIcon(), nullptr);
  EXPECT_EQ(l.ListIndex(), -1);
  EXPECT_EQ(l.ScrollModel().ScrollMax(), 1);
  EXPECT_EQ(l.ScrollModel().LargeChange(), 1);
  EXPECT_EQ(l.ScrollModel().SmallChange(), 1);

  forms::PropertyBag out;
  l.WriteProperties(out);
  EXPECT_EQ(out.Size(), 0U);
}

TEST_F(ListPersistence, ReadsAndWritesItsKeysInTheirOrders) {
  LoggingStore store;
  List().ReadProperties(store);
  const std::vector<String> readOrder{u"BorderColor", u"ForeColor",  u"ForeColorSelected", u"SelectionColor",
                                      u"FullRowSelect", u"ItemHeight", u"ImageWidth",      u"MultiSelect",
                                      u"CleanOnClick", u"Style",      u"BackColor",        u"Enabled",
                                      u"MousePointer", u"Font",       u"MouseIcon"};
  EXPECT_EQ(store.names, readOrder);
  store.names.clear();
  List().WriteProperties(store);
  const std::vector<String> writeOrder{u"BackColor",   u"Enabled",     u"Font",           u"ForeColor",
                                       u"ForeColorSelected", u"MouseIcon", u"MousePointer", u"BorderColor",
                                       u"ItemHeight",  u"Style",       u"SelectionColor", u"ImageWidth",
                                       u"MultiSelect", u"FullRowSelect", u"CleanOnClick"};
  EXPECT_EQ(store.names, writeOrder);
}

TEST_F(ListPersistence, EveryPropertySurvivesARoundTrip) {
  // The main window's process list, plus the rest changed from the defaults.
  XP_ListBox& l = List();
  auto icon = std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(2, 2, {}));
  platform::Font font = FixedFont();
  font.size = 10;
  font.bold = true;
  l.SetFont(font);
  l.SetForeColorSelected(0xFFFFFF);
  l.SetItemHeight(16);
  l.SetSelectionColor(0x404040);
  l.SetMultiSelect(2);
  l.SetStyle(2);
  l.SetFullRowSelect(false);
  l.SetCleanOnClick(true);
  l.SetBackColor(0x8000000F);  // a system colour is stored as given
  l.SetBorderColor(1);
  l.SetForeColor(2);
  l.SetImageWidth(20);
  l.SetEnabled(false);
  l.SetMousePointer(99);
  l.SetMouseIcon(icon);

  forms::PropertyBag& saved = form_.StoredProperties(u"lstCopy");
  l.WriteProperties(saved);
  EXPECT_EQ(saved.Size(), 15U);
  XP_ListBox copy(form_, u"lstCopy");
  EXPECT_EQ(copy.Font(), font);
  EXPECT_EQ(copy.ForeColorSelected(), 0xFFFFFFU);
  EXPECT_EQ(copy.ItemHeight(), 16);
  EXPECT_EQ(copy.SelectionColor(), 0x404040U);
  EXPECT_EQ(copy.MultiSelect(), 2);
  EXPECT_EQ(copy.Style(), 2);
  EXPECT_FALSE(copy.FullRowSelect());
  EXPECT_TRUE(copy.CleanOnClick());
  EXPECT_EQ(copy.BackColor(), 0x8000000FU);
  EXPECT_EQ(copy.BorderColor(), 1U);
  EXPECT_EQ(copy.ForeColor(), 2U);
  EXPECT_EQ(copy.ImageWidth(), 20);
  EXPECT_FALSE(copy.Enabled());
  EXPECT_EQ(copy.MousePointer(), 99);
  EXPECT_EQ(copy.MouseIcon(), icon);
  // Loading tells the host nothing.
  EXPECT_TRUE(copy.GetSite().ChangedProperties().empty());
}

TEST_F(ListPersistence, ASystemBackColourIsResolvedWhenDrawn) {
  Stored().WriteColour(u"BackColor", 0x8000000F, 0xFFFFFF);
  List();
  const Colour face = graphics_->ResolveColour(0x8000000F);
  EXPECT_EQ(Shown().ReadPixels({50, 50, 51, 51})[0], face);
}

}  // namespace
}  // namespace pd::controls::test
