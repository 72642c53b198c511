#include <gtest/gtest.h>

#include "forms/Properties.h"
#include "test_util.h"

namespace pd::forms {
namespace {

TEST(PropertyBag, KeepsOnlyValuesThatDifferFromTheirDefaults) {
  PropertyBag bag;
  EXPECT_EQ(bag.ReadInt(u"Interval", 40), 40);
  bag.WriteInt(u"Interval", 100, 40);
  bag.WriteBool(u"Enabled", true, true);
  bag.WriteString(u"Caption", u"Опции", u"");
  EXPECT_EQ(bag.Size(), 2U);
  EXPECT_EQ(bag.ReadInt(u"Interval", 40), 100);
  EXPECT_EQ(bag.ReadString(u"Caption", u""), u"Опции");
  bag.WriteInt(u"Interval", 40, 40);  // back to the default: forgotten
  EXPECT_FALSE(bag.Contains(u"Interval"));
  // A value read as another type gives the default.
  EXPECT_EQ(bag.ReadInt(u"Caption", 7), 7);
}

}  // namespace
}  // namespace pd::forms

namespace pd::forms {
namespace {

class OnePixel final : public platform::Picture {
 public:
  [[nodiscard]] int Width() const override { return 1; }
  [[nodiscard]] int Height() const override { return 1; }
  [[nodiscard]] int BitsPerPixel() const override { return 32; }
  [[nodiscard]] std::vector<std::uint32_t> Pixels() const override { return {0}; }
};

TEST(PropertyBag, HoldsColoursFontsAndPicturesApartFromIntegers) {
  PropertyBag bag;
  bag.WriteColour(u"BackColor", 0x8000000F, 0xFFFFFF);
  EXPECT_EQ(bag.ReadColour(u"BackColor", 0xFFFFFF), 0x8000000FU);
  EXPECT_EQ(bag.ReadInt(u"BackColor", 5), 5);  // a colour is not an integer

  platform::Font verdana;
  verdana.face = u"Verdana";
  bag.WriteFont(u"Font", verdana, platform::Font{});
  EXPECT_EQ(bag.ReadFont(u"Font", platform::Font{}), verdana);
  bag.WriteFont(u"Font", platform::Font{}, platform::Font{});
  EXPECT_FALSE(bag.Contains(u"Font"));

  auto pic = std::make_shared<const OnePixel>();
  EXPECT_EQ(bag.ReadPicture(u"MouseIcon"), nullptr);
  bag.WritePicture(u"MouseIcon", pic);
  EXPECT_EQ(bag.ReadPicture(u"MouseIcon"), pic);
  bag.WritePicture(u"MouseIcon", nullptr);  // none is the default
  EXPECT_FALSE(bag.Contains(u"MouseIcon"));
  EXPECT_EQ(bag.Size(), 1U);
}

}  // namespace
}  // namespace pd::forms
