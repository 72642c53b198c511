// The main window held by the box of a process-page command: clicks on the
// list and on the command while "Внимание!" waits change nothing, and Yes
// ends only what was selected when the command was clicked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

class ModalHoldTest : public AppTest {
 protected:
  // The centre of a control, in client pixels of the main window.
  static Point Centre(const forms::Control& c) {
    const Rect r = c.FormRect();
    return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void ClickRow(int row) {
    const Rect r = F().Processes().lstProc().FormRect();
    p_.Click(F().Window(), Point{r.left + 40, r.top + 1 + row * 16 + 8});
  }
  std::int32_t RowOf(ProcessId id) {
    const auto& t = F().Processes().ProcessTable();
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (t[i].th32ProcessID == id) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  // Our shown windows other than the main one: the boxes open now.
  std::vector<WindowHandle> Boxes() {
    std::vector<WindowHandle> open;
    for (forms::Form* f : host_.Forms()) {
      if (f != form_.get() && f->Visible()) open.push_back(f->Window());
    }
    return open;
  }

  // Selects a, clicks the command; while the box waits, clicks b, the
  // command again and a key on the window; answers Yes.
  void Run(bool withFile) {
    std::ofstream(dir_.Path() / "a.exe") << "a";
    std::ofstream(dir_.Path() / "b.exe") << "b";
    const ProcessId a = p_.processes().Start(dir_.File("a.exe"));
    const ProcessId b = p_.processes().Start(dir_.File("b.exe"));
    ASSERT_TRUE(Start());
    F().mnuShow_Click();
    F().tabPage[1]->SetValue(true);
    F().tabPage_Click(1);
    ProcessPage& page = F().Processes();
    ClickRow(RowOf(a));
    ASSERT_TRUE(page.lstProc().Selected(RowOf(a)));
    forms::Control& command = withFile ? page.cmdProc_KillFile() : page.cmdProc_Kill();

    int deepest = 0;
    std::size_t mostBoxes = 0;
    bool acted = false;
    p_.loop().SetUser([&](int depth) {
      deepest = std::max(deepest, depth);
      mostBoxes = std::max(mostBoxes, Boxes().size());
      if (acted || Boxes().empty()) return;
      acted = true;
      const WindowHandle box = Boxes().front();
      ClickRow(RowOf(b));
      p_.Click(F().Window(), Centre(command));
      p_.PressKey(F().Window(), platform::vk::kEnd);  // the list would move to its last row
      EXPECT_TRUE(page.lstProc().Selected(RowOf(a)));
      EXPECT_FALSE(page.lstProc().Selected(RowOf(b)));
      EXPECT_EQ(p_.host().Active(), box) << "a press on the window brings the box forward";
      p_.PressKey(box, platform::vk::kReturn);  // Yes, the default
    });
    p_.Click(F().Window(), Centre(command));
    p_.loop().SetUser({});

    EXPECT_TRUE(acted) << "the host's own box opened";
    EXPECT_EQ(deepest, 1) << "no second box inside the first";
    EXPECT_EQ(mostBoxes, 1u);
    EXPECT_EQ(p_.processes().TerminateRequests(), std::vector<ProcessId>{a});
    EXPECT_TRUE(p_.processes().IsRunning(b));
    EXPECT_TRUE(Exists("b.exe"));
  }
};

TEST_F(ModalHoldTest, WhileTheBoxOfKillWaitsTheWindowTakesNoInput) { Run(false); }

TEST_F(ModalHoldTest, WhileTheBoxOfKillFileWaitsTheWindowTakesNoInput) { Run(true); }

}  // namespace
}  // namespace pd::app::test
