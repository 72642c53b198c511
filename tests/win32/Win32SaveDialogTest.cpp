// The save dialog component on the Windows platform under Wine: the
// system's GetSaveFileNameA, answered with keys typed by xdotool from a
// timer that keeps firing inside the dialog's modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "Win32XSession.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/text.h"
#include "shell/SaveDialog.h"

namespace pd::win32 {
namespace {

constexpr ULONGLONG kGiveUpMs = 8000;

TEST(Win32SaveDialog, TheSystemsDialogReturnsTheTypedPathOrACancel) {
  const std::string why = test::WindowTestsUnavailable();
  if (!why.empty()) GTEST_SKIP() << why;
  String error;
  auto platform = platform::CreatePlatform(error);
  ASSERT_TRUE(platform) << text::ToUtf8(error);
  forms::ControlHost host(*platform);
  forms::Form owner(host, u"frmMain", u"PD save owner");
  owner.Move(300 * kTwipsPerPixel, 200 * kTwipsPerPixel, 400 * kTwipsPerPixel, 300 * kTwipsPerPixel);
  owner.Show();
  shell::SaveDialog dlg(owner);

  // A folder of its own in the Windows temporary folder.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"pd-save-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  const String folderText(folder.begin(), folder.end());

  dlg.SetFilter(u"Текстовый файл (*.txt)|*.txt");
  dlg.SetFilterIndex(1);
  dlg.SetFlags(0x22);  // the hook bit would make the call fail without a hook: it must be cleared
  dlg.SetDefaultExt(u"txt");
  dlg.SetInitDir(folderText);
  const std::wstring title = L"Отчёт PD";
  dlg.SetDialogTitle(String(title.begin(), title.end()));

  struct Case {
    const char* what;
    std::string keys;
    bool chosen;
  };
  const std::vector<Case> cases = {
      {"a name and Return (the default extension added)", "xdotool type --delay 30 report; xdotool key Return", true},
      {"Escape", "xdotool type --delay 30 other; xdotool key Escape", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int ticksOpen = 0;
    bool acted = false;
    bool gaveUp = false;
    ULONGLONG actedAt = 0;
    std::wstring shownTitle;
    auto timer = platform->loop().CreateTimer([&] {
      HWND box = FindWindowW(L"#32770", title.c_str());
      if (box == nullptr || IsWindowVisible(box) == FALSE) return;
      ++ticksOpen;
      if (!acted) {
        acted = true;
        actedAt = GetTickCount64();
        wchar_t buf[128] = {};
        GetWindowTextW(box, buf, 128);
        shownTitle = buf;
        const std::uintptr_t xid = test::XWindowOf(box, [] {}, 2000);
        test::StartUnix("timeout 5 xdotool windowactivate --sync " + std::to_string(xid) + "; sleep 0.3; " +
                        test::ScreenshotCommand("save") + "; " + c.keys);
      } else if (!gaveUp && GetTickCount64() - actedAt > kGiveUpMs) {
        gaveUp = true;
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      }
    });
    timer->SetInterval(10);
    timer->SetEnabled(true);
    const bool chosen = dlg.Show();
    timer->SetEnabled(false);
    EXPECT_FALSE(gaveUp) << "the keys never closed the dialog";
    EXPECT_GE(ticksOpen, 10) << "timers fire while the dialog is open";
    EXPECT_TRUE(shownTitle == title) << "title through the ANSI code page";
    EXPECT_EQ(dlg.Record().Flags & 0xE0u, 0u);
    ASSERT_EQ(chosen, c.chosen);
    if (c.chosen) {
      EXPECT_TRUE(text::EqualsIgnoreCase(dlg.FileName(), folderText + u"\\report.txt")) << text::ToUtf8(dlg.FileName());
      EXPECT_EQ(dlg.FileTitle(), u"report.txt");
    } else {
      EXPECT_TRUE(text::EqualsIgnoreCase(dlg.FileName(), folderText + u"\\report.txt")) << "a cancel leaves it";
    }
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace pd::win32
