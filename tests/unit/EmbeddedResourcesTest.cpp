// The pictures built in as data: each number and size filed once, as a BMP
// of the size it is filed under, every icon at both sizes, and found again
// by number and asked size.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/resources.h"
#include "platform/soft/Bmp.h"
#include "platform/soft/EmbeddedResources.h"
#include "resources/Embedded.h"

namespace pd {
namespace {

namespace res = platform::res;

TEST(EmbeddedResources, EveryFileIsABmpOfItsSizeFiledOnceAndFoundByNumber) {
  std::set<std::pair<int, int>> filed;
  for (const resources::EmbeddedFile& file : resources::EmbeddedFiles()) {
    SCOPED_TRACE(testing::Message() << "resource " << file.id << " size " << file.size);
    EXPECT_TRUE(filed.insert({file.id, file.size}).second) << "filed twice";
    EXPECT_EQ(res::IsIcon(file.id), file.size != 0);
    soft::BmpImage image;
    ASSERT_TRUE(soft::DecodeBmp(file.bytes, image));
    if (file.size != 0) {
      EXPECT_EQ(image.width, file.size);
      EXPECT_EQ(image.height, file.size);
    }
    // Any size asked that picks this file finds these very bytes.
    for (int asked : {0, 8, 16, 17, 32, 48}) {
      if (res::IconSize(file.id, asked) != file.size) continue;
      EXPECT_EQ(soft::EmbeddedResources::FindBmp(file.id, asked).data(), file.bytes.data()) << "asked " << asked;
    }
  }
  for (int id : {res::kProgramIcon, res::kIconEnabled, res::kIconSuccess, res::kIconRefused, res::kIconDisabled}) {
    EXPECT_TRUE(filed.count({id, 16}) == 1 && filed.count({id, 32}) == 1) << "icon " << id;
  }
  EXPECT_TRUE(soft::EmbeddedResources::FindBmp(105, 16).empty());
}

}  // namespace
}  // namespace pd
