// Application information and the single-instance token.
#include <gtest/gtest.h>

#include "Win32TestUtil.h"
#include "platform/text.h"
#include "platform/win32/app.h"
#include "platform/win32/loop.h"
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

// The second process also asks the first to show its window: the request
// arrives through the first's message loop.
TEST(Win32App, SecondClaimFromAnotherProcessSeesThePreviousInstanceAndAsksItToShow) {
  {
    Win32Loop loop;
    Win32App first;
    int shows = 0;
    first.SetShowRequest([&] { ++shows; });
    ASSERT_FALSE(first.PrevInstance()) << "no other instance runs in the test prefix";
    EXPECT_FALSE(first.PrevInstance()) << "asking again is still the first instance";
    EXPECT_NE(Win32App::InstanceWindow(Win32App::kInstanceToken), 0U);

    test::HelperProcess second(L"claim");
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(10000), 1) << "the second process sees the first";
    EXPECT_TRUE(test::WaitFor([&] { return shows == 1; }, [&] { loop.DoEvents(); }, 5000));
  }
  EXPECT_EQ(Win32App::InstanceWindow(Win32App::kInstanceToken), 0U) << "the window goes with the token";
  // The token goes with the instance that held it.
  test::HelperProcess later(L"claim");
  ASSERT_TRUE(later.Started());
  EXPECT_EQ(later.Wait(10000), 0);
}

}  // namespace
}  // namespace pd::win32
