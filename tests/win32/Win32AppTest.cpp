// Application information and the single-instance token.
#include <gtest/gtest.h>

#include "Win32TestUtil.h"
#include "platform/text.h"
#include "platform/win32/backend.h"
#include "test_util.h"

namespace pd::win32 {
namespace {

TEST(Win32App, PathsFollowTheWindowsRules) {
  Win32App app;
  EXPECT_EQ(app.ExeName(), u"win32_tests");
  EXPECT_EQ(app.ExeFileName(), u"win32_tests.exe");
  EXPECT_EQ(app.PathSeparator(), u'\\');
  ASSERT_FALSE(app.Folder().empty());
  EXPECT_NE(app.Folder().back(), u'\\');
  EXPECT_EQ(app.OwnPath(), app.Folder() + u"\\win32_tests.exe");
  EXPECT_EQ(app.DataFolder(), app.Folder());
  const std::wstring helper = test::HelperProcess::Path();
  EXPECT_TRUE(text::EqualsIgnoreCase(app.Folder() + u"\\win32_helper.exe", String(helper.begin(), helper.end())));
}

TEST(Win32App, SecondClaimFromAnotherProcessSeesThePreviousInstance) {
  {
    Win32App first;
    ASSERT_FALSE(first.PrevInstance()) << "no other instance runs in the test prefix";
    EXPECT_FALSE(first.PrevInstance()) << "asking again is still the first instance";

    test::HelperProcess second(L"claim");
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(10000), 1) << "the second process sees the first";
  }
  // The token goes with the instance that held it.
  test::HelperProcess later(L"claim");
  ASSERT_TRUE(later.Started());
  EXPECT_EQ(later.Wait(10000), 0);
}

}  // namespace
}  // namespace pd::win32
