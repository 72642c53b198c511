// The GDI surface under Wine: system colours from GetSysColor and text
// through the "A" calls with the charset's code page. The shared checks of
// every backend run from unit/SurfaceContract.cpp in the same executable.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/surface.h"
#include "platform/win32/surface.h"
#include "unit/SurfaceTestUtil.h"


namespace pd {
namespace {

using platform::Font;
using test::InkBox;

constexpr Colour kWhite = 0xFFFFFF;

class SurfaceGdiTest : public testing::Test {
 protected:
  void SetUp() override { gfx_ = win32::CreateGdiGraphics(); }
  // The pixels of a text drawn alone on a fresh surface.
  std::vector<Colour> Drawn(StringView text, const Font& font = Font{}) {
    auto s = gfx_->CreateSurface(160, 24);
    s->SetFont(font);
    s->TextAt(Point{2, 2}, text);
    return s->ReadPixels(Rect{0, 0, 160, 24});
  }
  std::unique_ptr<platform::Graphics> gfx_;
};

TEST_F(SurfaceGdiTest, SystemColoursComeFromGetSysColor) {
  EXPECT_EQ(gfx_->ResolveColour(0x8000000F), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(gfx_->ResolveColour(0x8000000D), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(gfx_->ResolveColour(0x8000001F), 0u);
}

TEST_F(SurfaceGdiTest, CyrillicDrawsThroughCharset204) {
  // Windows-1251 bytes drawn with a charset 204 font are Cyrillic letters,
  // whatever the system's ANSI code page is.
  const auto cyrillic = Drawn(u"Процессы");
  const auto question = Drawn(u"????????");
  EXPECT_NE(cyrillic, question);
  auto s = gfx_->CreateSurface(160, 24);
  s->SetFont(Font{});
  EXPECT_GT(s->TextWidth(u"Процессы"), 30);
  EXPECT_NE(s->TextWidth(u"Процессы"), s->TextWidth(u"????????"));
}

TEST_F(SurfaceGdiTest, CharacterOutsideTheCodePageShowsAsQuestionMark) {
  EXPECT_EQ(Drawn(u"a\u4E2Db"), Drawn(u"a?b"));
}

TEST_F(SurfaceGdiTest, AmpersandIsDrawnNotTakenAsAPrefix) {
  auto s = gfx_->CreateSurface(100, 20);
  s->SetFont(Font{});
  s->TextIn(Rect{0, 0, 100, 20}, u"a&b", platform::dt::kLeft);
  const Rect withAmp = InkBox(*s, kWhite);
  s->Clear();
  s->TextIn(Rect{0, 0, 100, 20}, u"ab", platform::dt::kLeft);
  EXPECT_GT(withAmp.right, InkBox(*s, kWhite).right);
}

TEST_F(SurfaceGdiTest, UiFontHasTheUsualLineHeight) {
  auto s = gfx_->CreateSurface(10, 10);
  s->SetFont(Font{});
  EXPECT_GE(s->TextHeight(u""), 12);
  EXPECT_LE(s->TextHeight(u""), 14);
}

TEST_F(SurfaceGdiTest, WindowSurfacePresentsItsFrameAtOnce) {
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 10, 10, 40, 30, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) GTEST_SKIP() << "no window could be created (run under Xvfb: scripts/with-xvfb)";
  UpdateWindow(window);
  auto s = win32::CreateWindowSurface(*gfx_, reinterpret_cast<WindowHandle>(window), 40, 30);
  ASSERT_NE(s, nullptr);
  s->SetBackColor(0x0000FF);
  s->Clear();
  // Drawn and presented through a control's view: the frame still lands
  // where it lies on the surface.
  s->SetView(Point{10, 10}, Rect{10, 10, 20, 20});
  s->FillRect(Rect{0, 0, 100, 100}, 0x00FF00);
  HDC dc = GetDC(window);
  const COLORREF before = GetPixel(dc, 15, 15);
  s->Present();
  const COLORREF red = GetPixel(dc, 2, 2);
  const COLORREF green = GetPixel(dc, 15, 15);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  EXPECT_NE(before, 0x00FF00u);  // nothing reaches the window before Present
  EXPECT_EQ(red, 0x0000FFu);
  EXPECT_EQ(green, 0x00FF00u);
}

TEST_F(SurfaceGdiTest, FormSurfaceOnlyForTheProgramsOwnWindows) {
  String error;
  auto platform = platform::CreatePlatform(error);
  ASSERT_NE(platform, nullptr);
  auto& host = platform->host();
  const WindowHandle form = host.CreateForm(u"surface");
  ASSERT_NE(form, 0u);
  auto surface = host.CreateFormSurface(form, 50, 20);
  ASSERT_NE(surface, nullptr);
  surface->FillRect(Rect{0, 0, 50, 20}, 0x0000FF);
  surface->Present();  // a hidden form: nothing to see, nothing breaks
  EXPECT_EQ(host.CreateFormSurface(form, 0, 20), nullptr);
  EXPECT_EQ(host.CreateFormSurface(reinterpret_cast<WindowHandle>(GetDesktopWindow()), 10, 10), nullptr);
  host.DestroyForm(form);
  EXPECT_EQ(host.CreateFormSurface(form, 10, 10), nullptr);
}

}  // namespace
}  // namespace pd
