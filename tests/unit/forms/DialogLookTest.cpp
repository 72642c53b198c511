// The menu and the message boxes drawn with the real font, as the user sees
// them: a few pixels that make the desktop's look are checked; with
// PD_LOOK_DIR set, each window is also written there as a BMP for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "platform/soft/Bmp.h"

namespace pd::forms {
namespace {

namespace vk = platform::vk;

class DialogLookTest : public ::testing::Test {
 protected:
  // What the window shows now, saved when PD_LOOK_DIR is set.
  std::vector<Colour> Shot(WindowHandle window, const std::string& name) {
    const Rect b = sim_.host().Bounds(window);
    std::vector<Colour> pixels = sim_.host().Screen(window);
    if (const char* dir = std::getenv("PD_LOOK_DIR")) {
      soft::WriteBmp(std::filesystem::path(dir) / (name + ".bmp"), b.Width(), b.Height(), pixels);
    }
    width_ = b.Width();
    return pixels;
  }
  Colour At(const std::vector<Colour>& pixels, int x, int y) const {
    return pixels.at(static_cast<std::size_t>(y * width_ + x));
  }
  WindowHandle Newest() { return sim_.host().Forms().back(); }

  sim::SimPlatform sim_;
  ControlHost host_{sim_};
  int width_ = 0;
};

TEST_F(DialogLookTest, MenuInTheDesktopsColours) {
  const std::vector<platform::MenuItem> items = {
      {.id = 1, .caption = u"Открыть папку"},
      {.id = 2, .caption = u"Свойства процесса", .checked = true},
      {.id = 3, .caption = u"Запуск при входе", .checked = true, .enabled = false},
      {.separator = true},
      {.id = 4, .caption = u"Завершить", .enabled = false},
      {.id = 5, .caption = u"Выход"},
  };
  std::vector<Colour> shot;
  sim_.loop().SetUser([&](int /*depth*/) {
    const WindowHandle menu = Newest();
    sim_.PressKey(menu, vk::kDown);
    sim_.PressKey(menu, vk::kDown);
    shot = Shot(menu, "menu");
    sim_.PressKey(menu, vk::kEscape);
  });
  EXPECT_EQ(host_.PopupMenu(nullptr, items, Point{300, 200}), 0);
  ASSERT_FALSE(shot.empty());
  const int height = static_cast<int>(shot.size()) / width_;
  EXPECT_EQ(At(shot, 0, 0), 0xFFFFFFu) << "raised frame: light top-left";
  EXPECT_EQ(At(shot, width_ - 1, height - 1), 0x404040u) << "dark bottom-right";
  // The second item is highlighted across the menu, below the first.
  int top = -1;
  int bottom = -1;
  for (int y = 0; y < height; ++y) {
    if (At(shot, 5, y) == 0x6A240Au) {
      if (top < 0) top = y;
      bottom = y + 1;
    }
  }
  EXPECT_GT(top, 12);
  EXPECT_GE(bottom - top, 15);
  int white = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 3; x < 23; ++x) white += At(shot, x, y) == 0xFFFFFFu ? 1 : 0;
  }
  EXPECT_GE(white, 10) << "the check mark in the highlight's text colour";
}

TEST_F(DialogLookTest, MessageBoxesWithTheirIcons) {
  struct Case {
    const char* name;
    unsigned flags;
    const char16_t* text;
  };
  const std::vector<Case> cases = {
      {"box-exclamation", platform::mb::kYesNo | platform::mb::kIconExclamation | platform::mb::kDefButton2,
       u"Процесс «notepad.exe» не отвечает.\r\nЗавершить его?"},
      {"box-information", platform::mb::kOk | 0x40, u"Список сохранён."},
      {"box-question", platform::mb::kYesNo | 0x20, u"Добавить в список блокировки?"},
      {"box-stop", platform::mb::kOk | 0x10, u"Не удалось завершить процесс.\r\nОтказано в доступе.\r\nКод 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Colour> shot;
    sim_.loop().SetUser([&](int /*depth*/) {
      shot = Shot(Newest(), c.name);
      sim_.PressKey(Newest(), vk::kEscape);
    });
    host_.MessageBox(nullptr, c.text, u"ProcessDrovak", c.flags);
    ASSERT_FALSE(shot.empty());
    EXPECT_EQ(At(shot, 2, 2), 0xC8D0D4u) << "button face";
    int dark = 0;
    for (Colour px : shot) dark += px == 0 ? 1 : 0;
    EXPECT_GT(dark, 40) << "text and outlines";
  }
}

}  // namespace
}  // namespace pd::forms
