#include <gtest/gtest.h>

#include "platform/properties.h"
#include "test_util.h"

namespace pd::platform {
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
}  // namespace pd::platform
