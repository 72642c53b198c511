// Labels, page containers and outlines on the simulation: layout, pixels,
// mouse events and what the pointer finds.
#include <cstdlib>
#include <string>
#include <vector>

#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "forms/Shape.h"
#include "forms/TextBox.h"
#include "unit/forms/ControlsTestUtil.h"

namespace pd::forms {
namespace {

using test::Px;
constexpr int kCell = platform::kFixedAdvance;
constexpr int kLine = platform::kFixedLineHeight;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kRed = 0x0000FF;

class PlainControlsTest : public test::ControlsTest {
 protected:
  PlainControlsTest() {
    page_.SetBackColor(kWhite);
    page_.Move(0, 0, Px(100), Px(50));
  }
  PictureBox page_{form_, u"picPage", 0};
};

TEST_F(PlainControlsTest, LabelLinesBreakAtSpacesAndInsideLongWords) {
  struct Case {
    const char16_t* text;
    int width;
    std::vector<String> lines;
  };
  const std::vector<Case> cases = {
      {u"aaaa bbbb", 5 * kCell, {u"aaaa", u"bbbb"}},
      {u"abcdefgh", 5 * kCell, {u"abcde", u"fgh"}},
      {u"ab cdefghij k", 4 * kCell, {u"ab", u"cdef", u"ghij", u"k"}},
      {u"aa   bb", 2 * kCell, {u"aa", u"bb"}},
      {u"x\r\ny z", 100, {u"x", u"y z"}},
      {u"a b", 0, {u"a b"}},
      {u"", 30, {u""}},
  };
  auto surface = sim_.graphics().CreateSurface(1, 1);
  surface->SetFont(form_.Font());
  for (const Case& c : cases) {
    EXPECT_EQ(Label::WrapLines(*surface, c.text, c.width), c.lines) << pd::text::ToUtf8(c.text) << " in " << c.width;
  }
}

TEST_F(PlainControlsTest, LabelAlignsEachLineAndFitsItsCaption) {
  Label label(form_, u"lblLabel2");
  label.Move(0, 0, Px(60), Px(kLine));
  label.SetForeColor(kRed);
  label.SetCaption(u"ab");
  const struct {
    int alignment;
    int inkLeft;
  } cases[] = {{align::kLeft, 1}, {align::kRight, 60 - 2 * kCell + 1}, {align::kCenter, (60 - 2 * kCell) / 2 + 1}};
  for (const auto& c : cases) {
    label.SetAlignment(c.alignment);
    const Rect ink = pd::test::InkBox(*form_.Frame(), At(0, 0), Rect{0, 0, 60, kLine});
    EXPECT_EQ(ink.left, c.inkLeft) << "alignment " << c.alignment;
    EXPECT_EQ(At(ink.left, 3), kRed);
  }

  // One line high: no wrapping, cut at the right edge.
  label.SetAlignment(align::kLeft);
  label.SetCaption(u"aaaa bbbbbbbb");
  EXPECT_EQ(pd::test::InkBox(*form_.Frame(), At(0, 0), Rect{0, 0, 60, kLine}), (Rect{1, 3, 59, 11}));

  label.SetCaption(u"ab");
  label.SetAutoSize(true);
  EXPECT_EQ(label.Width(), Px(2 * kCell));
  label.SetCaption(u"ab\r\ncdef");
  EXPECT_EQ(label.Width(), Px(4 * kCell));
  EXPECT_EQ(label.Height(), Px(2 * kLine));
  label.SetFont(platform::Font{.face = platform::kFixedFace, .bold = true});
  EXPECT_EQ(label.Width(), Px(4 * platform::kFixedBoldAdvance));
  label.SetFont(form_.Font());
  // With WordWrap the width stays and the height follows the wrapped lines.
  label.SetWordWrap(true);
  label.SetCaption(u"aaaa bbbb cc");
  label.Move(0, 0, Px(5 * kCell));
  EXPECT_EQ(label.Width(), Px(5 * kCell));
  EXPECT_EQ(label.Height(), Px(3 * kLine));
  label.Move(0, 0, Px(12 * kCell));
  EXPECT_EQ(label.Height(), Px(kLine));
}

TEST_F(PlainControlsTest, LabelIsOpaqueOrTransparentAndGreyWhenDisabled) {
  Label label(page_, u"lbl");
  label.Move(0, 0, Px(30), Px(kLine));
  label.SetCaption(u"a");
  EXPECT_EQ(label.BackColor(), kWhite) << "the container's colour";
  label.SetBackColor(0x00FF00);
  EXPECT_EQ(At(0, 0), 0x00FF00u);
  label.SetBackStyle(backstyle::kTransparent);
  EXPECT_EQ(At(0, 0), kWhite);
  EXPECT_EQ(At(1, 3), Sys(0x80000012));
  label.SetEnabled(false);
  EXPECT_EQ(At(1, 3), Sys(0x80000011));
}

TEST_F(PlainControlsTest, LabelRaisesMouseEventsAndNeverTakesTheFocus) {
  Label label(form_, u"lbl");
  label.Move(0, 0, Px(60), Px(kLine));
  TextBox box(form_, u"txt");
  box.Move(0, Px(60), Px(60), Px(21));
  box.SetFocus();
  std::vector<std::string> log;
  auto mouse = [&](const char* what) {
    return [&log, what](std::int16_t& button, std::int16_t& shift, float& x, float& y) {
      log.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(shift) + " " +
                    std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
    };
  };
  label.MouseDown.Connect(mouse("down"));
  label.MouseUp.Connect(mouse("up"));
  label.Click.Connect([&] { log.emplace_back("click"); });
  label.DblClick.Connect([&] { log.emplace_back("dblclick"); });
  sim_.Click(W(), Point{5, 6}, platform::button::kLeft, platform::shift::kShift);
  EXPECT_TRUE(box.HasFocus());
  sim_.MouseDown(W(), Point{5, 6});
  sim_.MouseUp(W(), Point{70, 6});  // released outside: no click
  sim_.Click(W(), Point{5, 6}, platform::button::kRight);
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 1 75,90", "up 1 1 75,90", "click", "down 1 0 75,90",
                                           "up 1 0 1050,90", "down 2 0 75,90", "up 2 0 75,90"}));
  log.clear();
  DoubleClick(Point{1, 1});
  EXPECT_EQ(log, (std::vector<std::string>{"down 1 0 15,15", "up 1 0 15,15", "click", "down 1 0 15,15", "dblclick",
                                           "up 1 0 15,15"}));
  EXPECT_TRUE(box.HasFocus());
}

TEST_F(PlainControlsTest, ShapeDrawsItsOutlineAndLetsThePointerThrough) {
  Shape shape(page_, u"shpShape1");
  shape.Move(0, 0, Px(20), Px(10));
  shape.SetBorderColor(0xB39B87);
  for (const Point p : {Point{0, 0}, Point{19, 0}, Point{0, 9}, Point{19, 9}, Point{10, 0}, Point{0, 5}}) {
    EXPECT_EQ(At(p.x, p.y), 0xB39B87u) << p.x << "," << p.y;
  }
  for (const Point p : {Point{1, 1}, Point{18, 8}, Point{10, 5}, Point{20, 0}, Point{0, 10}}) {
    EXPECT_EQ(At(p.x, p.y), kWhite) << p.x << "," << p.y;
  }
  shape.SetBorderWidth(2);
  EXPECT_EQ(At(1, 1), 0xB39B87u);
  EXPECT_EQ(At(2, 2), kWhite);

  int clicks = 0;
  page_.Click.Connect([&] { ++clicks; });
  sim_.Click(W(), Point{0, 0});
  sim_.Click(W(), Point{10, 5});
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(host_.WindowFromPoint(Point{0, 0}), page_.hWnd());
  EXPECT_EQ(form_.ControlAt(Point{10, 5}), &page_);
}

TEST_F(PlainControlsTest, PageContainerHidesItsChildrenAndFramesThem) {
  TextBox box(page_, u"txtBlock");
  box.Move(0, 0, Px(60), Px(21));
  box.SetFocus();
  page_.SetVisible(false);
  EXPECT_EQ(At(5, 5), Sys(0x8000000F));
  EXPECT_EQ(At(80, 40), Sys(0x8000000F));
  EXPECT_FALSE(box.HasFocus());
  EXPECT_EQ(form_.ControlAt(Point{5, 5}), nullptr);
  EXPECT_FALSE(box.SetFocus());
  page_.SetVisible(true);
  EXPECT_EQ(At(0, 0), Sys(0x80000010)) << "the box's frame";
  EXPECT_EQ(At(80, 40), kWhite);
  EXPECT_EQ(form_.ControlAt(Point{5, 5}), &box);

  // A frame moves the client area, and the children with it.
  page_.SetBorderStyle(border::kFixedSingle);
  EXPECT_EQ(page_.ScaleWidth(), 100 - 4);
  EXPECT_EQ(box.FormRect(), (Rect{2, 2, 62, 23}));
  EXPECT_EQ(form_.ControlAt(Point{1, 1}), &page_);
  EXPECT_EQ(form_.ControlAt(Point{2, 2}), &box);
  page_.SetAppearance(appearance::kFlat);
  EXPECT_EQ(box.FormRect(), (Rect{1, 1, 61, 22}));
  EXPECT_EQ(At(99, 49), Sys(0x80000006));
  page_.Move(Px(30), Px(20));
  EXPECT_EQ(box.FormRect(), (Rect{31, 21, 91, 42}));
}

TEST_F(PlainControlsTest, PageContainerRaisesPaintBeneathItsChildren) {
  TextBox box(page_, u"txt");
  box.Move(0, 0, Px(60), Px(21));
  int paints = 0;
  page_.Paint.Connect([&](platform::Surface& s) {
    ++paints;
    s.FillRect(Rect{0, 0, 100, 50}, kRed);
  });
  page_.Refresh();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(At(99, 49), kRed);
  EXPECT_EQ(At(0, 0), Sys(0x80000010)) << "the child is drawn over it";
}

// The page of the block list in its real layout and fonts, written to
// $PD_FORMS_LOOK/<test>.bmp when that variable names a folder.
TEST_F(PlainControlsTest, BlockListPageLooksRight) {
  page_.SetVisible(false);
  form_.Move(0, 0, 6540, 6990);
  const platform::Font verdana{.face = u"Verdana"};
  form_.SetFont(verdana);
  Shape outline(form_, u"shpShape1");
  outline.Move(75, 375, 6390, 6165);
  outline.SetBorderColor(0xB39B87);
  PictureBox page(form_, u"picPage", 2);
  page.Move(90, 390, 6360, 6135);
  page.SetBackColor(kWhite);
  Label title(page, u"lblLabel2");
  title.Move(90, 75, 2715, 195);
  title.SetCaption(u"Список запрещенных файлов:");
  TextBox box(page, u"txtBlock");
  box.Move(3375, 300, 2865, 315);
  box.SetFocus();
  sim_.Type(W(), u"calc.exe");
  outline.ZOrder(0);

  EXPECT_EQ(At(5, 25), 0xB39B87u);
  EXPECT_EQ(At(5 + 426 - 1, 25 + 411 - 1), 0xB39B87u);
  EXPECT_EQ(At(6, 26), kWhite);
  EXPECT_EQ(At(6 + 225, 26 + 20), Sys(0x80000010)) << "the text box's frame";
  const Rect ink = pd::test::InkBox(*form_.Frame(), kWhite, Rect{6 + 6, 26 + 5, 6 + 6 + 181, 26 + 5 + 13});
  EXPECT_GT(ink.Width(), 100) << "the label's caption";
  if (const char* folder = std::getenv("PD_FORMS_LOOK")) {
    const auto pixels = form_.Frame()->ReadPixels(Rect{0, 0, 436, 466});
    EXPECT_TRUE(soft::WriteBmp(std::filesystem::path(folder) / "BlockListPage.bmp", 436, 466, pixels));
  }
}

}  // namespace
}  // namespace pd::forms
