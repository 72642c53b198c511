// The text box on the simulation: editing by keys, the mouse and the
// clipboard, its events, the caret's blink and sideways scrolling.
#include <string>
#include <vector>

#include "forms/TextBox.h"

#include <utility>

#include "platform/text.h"
#include "unit/forms/ControlsTestUtil.h"

namespace pd::forms {
namespace {

using platform::shift::kCtrl;
using platform::shift::kShift;
namespace vk = platform::vk;

// 60 x 21 pixels: a 3D frame of 2 and a margin of 1 leave 54 pixels, nine
// cells of the test font, for the text starting at x = 3.
constexpr int kBoxWidth = 60;
constexpr int kTextLeft = 3;
constexpr int kCell = platform::kFixedAdvance;

class TextBoxTest : public test::ControlsTest {
 protected:
  TextBoxTest() {
    box_.Move(0, 0, test::Px(kBoxWidth), test::Px(21));
    box_.Change.Connect([this] { ++changes_; });
  }
  // The x of the boundary before character i of unscrolled text.
  static int XOf(int i) { return kTextLeft + i * kCell; }

  TextBox box_{form_, u"txtBlock"};
  int changes_ = 0;
};

// One user action: a key with its shift bits, or typed text.
struct Step {
  int key = 0;
  int shift = 0;
  const char16_t* typed = nullptr;
};
Step K(int key, int shift = 0) { return Step{key, shift, nullptr}; }
Step T(const char16_t* text) { return Step{0, 0, text}; }

struct EditCase {
  const char* what;
  const char16_t* start;
  int selStart;
  int selLength;  // the caret ends the selection
  std::vector<Step> steps;
  const char16_t* text;
  int wantStart;
  int wantLength;
  int maxLength = 0;
  bool locked = false;
};

TEST_F(TextBoxTest, KeysEditTheTextAndTheSelection) {
  const std::vector<EditCase> cases = {
      {"typing", u"", 0, 0, {T(u"abc")}, u"abc", 3, 0},
      {"typing replaces the selection", u"hello", 1, 2, {T(u"X")}, u"hXlo", 2, 0},
      {"Cyrillic", u"", 0, 0, {T(u"Привет"), T(u"ё")}, u"Приветё", 7, 0},
      {"control characters are not inserted", u"", 0, 0, {T(u"a\tb\x7"), K(vk::kReturn), K(vk::kEscape)}, u"ab", 2, 0},
      {"backspace", u"hello", 5, 0, {K(vk::kBack), K(vk::kBack)}, u"hel", 3, 0},
      {"backspace at the start", u"hello", 0, 0, {K(vk::kBack)}, u"hello", 0, 0},
      {"backspace on a selection", u"hello", 0, 5, {K(vk::kBack)}, u"", 0, 0},
      {"delete", u"hello", 0, 0, {K(vk::kDelete)}, u"ello", 0, 0},
      {"delete at the end", u"hello", 5, 0, {K(vk::kDelete)}, u"hello", 5, 0},
      {"delete on a selection", u"hello", 1, 3, {K(vk::kDelete)}, u"ho", 1, 0},
      {"shift+right", u"hello", 2, 0, {K(vk::kRight, kShift), K(vk::kRight, kShift)}, u"hello", 2, 2},
      {"shift+left", u"hello", 4, 0, {K(vk::kLeft, kShift), K(vk::kLeft, kShift)}, u"hello", 2, 2},
      {"shift back over the anchor", u"hello", 2, 1, {K(vk::kLeft, kShift), K(vk::kLeft, kShift)}, u"hello", 1, 1},
      {"left collapses to the start", u"hello", 1, 3, {K(vk::kLeft)}, u"hello", 1, 0},
      {"right collapses to the end", u"hello", 1, 3, {K(vk::kRight)}, u"hello", 4, 0},
      {"left and right stop at the ends", u"ab", 0, 0, {K(vk::kLeft), K(vk::kRight), K(vk::kRight), K(vk::kRight)},
       u"ab", 2, 0},
      {"home, end", u"hello", 2, 0, {K(vk::kEnd)}, u"hello", 5, 0},
      {"shift+home", u"hello", 3, 0, {K(vk::kHome, kShift)}, u"hello", 0, 3},
      {"shift+end", u"hello", 3, 0, {K(vk::kHome), K(vk::kEnd, kShift)}, u"hello", 0, 5},
      {"ctrl+right by words and signs", u"one two.exe", 0, 0, {K(vk::kRight, kCtrl), K(vk::kRight, kCtrl)},
       u"one two.exe", 7, 0},
      {"ctrl+right to the end", u"one two.exe", 8, 0, {K(vk::kRight, kCtrl), K(vk::kRight, kCtrl)}, u"one two.exe",
       11, 0},
      {"ctrl+left", u"one two.exe", 11, 0, {K(vk::kLeft, kCtrl), K(vk::kLeft, kCtrl), K(vk::kLeft, kCtrl)},
       u"one two.exe", 4, 0},
      {"ctrl+shift+left over Cyrillic words", u"Привет мир", 10, 0,
       {K(vk::kLeft, kCtrl | kShift), K(vk::kLeft, kCtrl | kShift)}, u"Привет мир", 0, 10},
      {"ctrl+a", u"hello", 2, 0, {K('A', kCtrl), T(u"x")}, u"x", 1, 0},
      {"a plain A types nothing by itself", u"hello", 2, 0, {K('A')}, u"hello", 2, 0},
      {"max length", u"abc", 3, 0, {T(u"def")}, u"abcd", 4, 0, 4},
      {"max length replacing a selection", u"abcd", 1, 2, {T(u"xyz")}, u"axyd", 3, 0, 4},
      {"locked", u"abc", 3, 0, {T(u"x"), K(vk::kBack), K(vk::kHome), K(vk::kDelete)}, u"abc", 0, 0, 0, true},
      {"locked still selects", u"abc", 0, 0, {K(vk::kEnd, kShift)}, u"abc", 0, 3, 0, true},
      // Code points: a surrogate pair moves, deletes and counts whole.
      {"backspace after an emoji", u"a\U0001F600", 3, 0, {K(vk::kBack)}, u"a", 1, 0},
      {"delete before an emoji", u"\U0001F600b", 0, 0, {K(vk::kDelete)}, u"b", 0, 0},
      {"arrows step over a pair", u"a\U0001F600b", 1, 0, {K(vk::kRight), K(vk::kRight, kShift), K(vk::kLeft)},
       u"a\U0001F600b", 3, 0},
      {"shift+left takes the pair", u"a\U0001F600", 3, 0, {K(vk::kLeft, kShift)}, u"a\U0001F600", 1, 2},
      {"a typed pair goes in whole", u"a", 1, 0, {T(u"\U0001F600")}, u"a\U0001F600", 3, 0},
      {"a typed pair without room is refused", u"abc", 3, 0, {T(u"\U0001F600")}, u"abc", 3, 0, 4},
      {"a lone typed half is dropped", u"", 0, 0, {T(u"\xD83Dx\xDE00")}, u"x", 1, 0},
      {"a selection start inside a pair goes before it", u"a\U0001F600", 2, 0, {}, u"a\U0001F600", 1, 0},
      // Words by Unicode classes: a dash and the numero sign are not letters.
      {"ctrl+right stops at a dash", u"раз—два", 0, 0, {K(vk::kRight, kCtrl)}, u"раз—два", 3, 0},
      {"ctrl+left over the numero sign", u"дом №5", 6, 0, {K(vk::kLeft, kCtrl), K(vk::kLeft, kCtrl)}, u"дом №5", 4,
       0},
      {"ctrl+right over Greek and an accent", u"cafe\u0301 λόγος!", 0, 0,
       {K(vk::kRight, kCtrl), K(vk::kRight, kCtrl)}, u"cafe\u0301 λόγος!", 11, 0},
      {"ctrl+left over emoji signs", u"ok \U0001F600\U0001F601", 7, 0, {K(vk::kLeft, kCtrl)},
       u"ok \U0001F600\U0001F601", 3, 0},
  };
  box_.SetFocus();
  for (const EditCase& c : cases) {
    box_.SetMaxLength(c.maxLength);
    box_.SetLocked(c.locked);
    box_.SetText(c.start);
    box_.SetSelStart(c.selStart);
    box_.SetSelLength(c.selLength);
    for (const Step& s : c.steps) {
      if (s.typed != nullptr) {
        sim_.Type(W(), s.typed);
      } else {
        sim_.PressKey(W(), s.key, s.shift);
      }
    }
    EXPECT_EQ(box_.Text(), String(c.text)) << c.what;
    EXPECT_EQ(box_.SelStart(), c.wantStart) << c.what;
    EXPECT_EQ(box_.SelLength(), c.wantLength) << c.what;
  }
}

TEST_F(TextBoxTest, EveryChangeRaisesChangeOnce) {
  box_.SetText(u"abc");
  box_.SetText(u"abc");
  EXPECT_EQ(changes_, 1) << "the same text again is no change";
  box_.SetFocus();
  box_.SetSelStart(3);
  sim_.Type(W(), u"de");
  sim_.PressKey(W(), vk::kLeft);
  sim_.PressKey(W(), vk::kBack);
  sim_.PressKey(W(), vk::kHome);
  sim_.PressKey(W(), vk::kBack);
  EXPECT_EQ(changes_, 4) << "two characters and one backspace; moves and a backspace at 0 change nothing";
  sim_.host().SetClipboardText(u"xy");
  sim_.PressKey(W(), 'V', kCtrl);
  sim_.PressKey(W(), 'X', kCtrl);  // nothing selected: nothing cut
  box_.SetSelText(u"");            // nor replaced
  EXPECT_EQ(changes_, 5);
  EXPECT_EQ(box_.Text(), u"xyabce");
}

TEST_F(TextBoxTest, HandlersSeeKeysFirstAndMayCancelOrChangeThem) {
  std::vector<std::string> log;
  box_.KeyDown.Connect([&](std::int16_t& key, std::int16_t& shift) {
    log.push_back("down " + std::to_string(key) + " " + std::to_string(shift));
    if (key == vk::kBack) key = 0;
  });
  box_.KeyPress.Connect([&](std::int16_t& ch) {
    log.push_back("press " + std::to_string(ch));
    if (ch == u'a') ch = u'A';
    if (ch == u'!') ch = 0;
  });
  box_.KeyUp.Connect([&](std::int16_t& key, std::int16_t&) { log.push_back("up " + std::to_string(key)); });
  box_.GotFocus.Connect([&] { log.emplace_back("got focus"); });
  box_.LostFocus.Connect([&] { log.emplace_back("lost focus"); });
  TextBox other(form_, u"other");
  box_.SetFocus();
  sim_.Type(W(), u"a!я");
  sim_.PressKey(W(), vk::kBack, kShift);
  other.SetFocus();
  EXPECT_EQ(box_.Text(), u"Aя");
  EXPECT_EQ(log, (std::vector<std::string>{"got focus", "press 97", "press 33", "press 1103", "down 8 1", "up 8",
                                           "lost focus"}));
}

TEST_F(TextBoxTest, ClipboardRoundTripsThroughTheDesktopsClipboard) {
  auto& clipboard = sim_.host();
  box_.SetFocus();
  box_.SetText(u"calc.exe notepad.exe");
  box_.SetSelStart(9);
  box_.SetSelLength(11);
  sim_.PressKey(W(), 'C', kCtrl);
  EXPECT_EQ(clipboard.ClipboardText(), u"notepad.exe");
  sim_.PressKey(W(), vk::kHome);
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"notepad.execalc.exe notepad.exe");
  EXPECT_EQ(box_.SelStart(), 11);

  // Shift+Delete cuts, Shift+Insert pastes, Ctrl+Insert copies.
  box_.SetSelStart(0);
  box_.SetSelLength(11);
  sim_.PressKey(W(), vk::kDelete, kShift);
  EXPECT_EQ(box_.Text(), u"calc.exe notepad.exe");
  sim_.PressKey(W(), vk::kEnd);
  sim_.PressKey(W(), vk::kInsert, kShift);
  EXPECT_EQ(box_.Text(), u"calc.exe notepad.exenotepad.exe");
  sim_.PressKey(W(), vk::kHome, kShift);
  sim_.PressKey(W(), vk::kInsert, kCtrl);
  EXPECT_EQ(clipboard.ClipboardText(), u"calc.exe notepad.exenotepad.exe");

  // Only the first line of what is pasted, cut to the room MaxLength leaves.
  clipboard.SetClipboardText(u"Привет\r\nмир");
  box_.SetText(u"");
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"Привет");
  clipboard.SetClipboardText(u"12345\nsecond");
  box_.SetMaxLength(9);
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"Привет123");
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"Привет123") << "no room left";

  // A locked box copies but neither cuts nor pastes.
  box_.SetLocked(true);
  sim_.PressKey(W(), 'A', kCtrl);
  sim_.PressKey(W(), 'X', kCtrl);
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"Привет123");
  EXPECT_EQ(clipboard.ClipboardText(), u"12345\nsecond");
  sim_.PressKey(W(), 'C', kCtrl);
  EXPECT_EQ(clipboard.ClipboardText(), u"Привет123");

  // The cut to MaxLength never parts a surrogate pair.
  box_.SetLocked(false);
  clipboard.SetClipboardText(u"x\U0001F600y");
  box_.SetText(u"");
  box_.SetMaxLength(2);
  sim_.PressKey(W(), 'V', kCtrl);
  EXPECT_EQ(box_.Text(), u"x");
}

TEST_F(TextBoxTest, TheMouseSelectsByBoundariesDragsAndWords) {
  box_.SetText(u"hello world");
  // A press goes to the nearer boundary of the character it lands on.
  sim_.Click(W(), Point{XOf(2) + 2, 5});
  EXPECT_TRUE(box_.HasFocus());
  EXPECT_EQ(box_.SelStart(), 2);
  sim_.Click(W(), Point{XOf(2) + 4, 5});
  EXPECT_EQ(box_.SelStart(), 3);
  // Press and drag.
  sim_.MouseDown(W(), Point{XOf(2), 5});
  sim_.MouseMove(W(), Point{XOf(8) - 1, 5});
  sim_.MouseUp(W(), Point{XOf(8) - 1, 5});
  EXPECT_EQ(box_.SelStart(), 2);
  EXPECT_EQ(box_.SelText(), u"llo wo");
  // Shift+press extends from the anchor.
  sim_.Click(W(), Point{0, 5}, platform::button::kLeft, kShift);
  EXPECT_EQ(box_.SelText(), u"he");
  // A move without the button held selects nothing.
  sim_.MouseMove(W(), Point{XOf(5), 5});
  EXPECT_EQ(box_.SelText(), u"he");
  // A double click selects the word under the pointer.
  DoubleClick(Point{XOf(5) + 1, 5});
  EXPECT_EQ(box_.SelText(), u" ");
  DoubleClick(Point{XOf(7) + 1, 5});
  EXPECT_EQ(box_.SelText(), u"world");
  // Dragging past the right edge selects to the end and scrolls.
  sim_.PressKey(W(), vk::kHome);
  sim_.MouseDown(W(), Point{XOf(0), 5});
  sim_.MouseMove(W(), Point{kBoxWidth + 40, 5});
  sim_.MouseUp(W(), Point{kBoxWidth + 40, 5});
  EXPECT_EQ(box_.SelText(), u"hello world");
  EXPECT_EQ(box_.ScrollX(), 11 * kCell - 54);
}

TEST_F(TextBoxTest, NoEditLeavesALoneSurrogate) {
  // Generated edits on text of letters, signs, spaces, marks and pairs.
  const std::vector<String> pieces = {u"a", u"Я", u" ", u"—", u"№", u"\u0301", u"\U0001F600", u"\U00020000", u"\uFE0F"};
  const std::vector<Step> keys = {K(vk::kLeft),         K(vk::kRight),          K(vk::kLeft, kShift),
                                  K(vk::kRight, kShift), K(vk::kLeft, kCtrl),    K(vk::kRight, kCtrl | kShift),
                                  K(vk::kBack),         K(vk::kDelete),         K(vk::kHome, kShift),
                                  K('X', kCtrl),        K('V', kCtrl),          K(vk::kEnd)};
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245U + 12345U;
    return (seed >> 16) % n;
  };
  auto valid = [](const String& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (text::IsHighSurrogate(s[i]) && i + 1 < s.size() && text::IsLowSurrogate(s[i + 1])) {
        ++i;
      } else if (text::IsHighSurrogate(s[i]) || text::IsLowSurrogate(s[i])) {
        return false;
      }
    }
    return true;
  };
  box_.SetFocus();
  for (int round = 0; round < 200; ++round) {
    String start;
    for (std::uint32_t n = next(8); n > 0; --n) start += pieces[next(pieces.size())];
    box_.SetText(start);
    box_.SetMaxLength(static_cast<int>(next(10)));
    box_.SetSelStart(static_cast<int>(next(12)));
    box_.SetSelLength(static_cast<int>(next(4)));
    for (int step = 0; step < 12; ++step) {
      if (next(3) == 0) {
        sim_.Type(W(), pieces[next(pieces.size())]);
      } else {
        const Step k = keys[next(keys.size())];
        sim_.PressKey(W(), k.key, k.shift);
      }
      ASSERT_TRUE(valid(box_.Text())) << "round " << round << " step " << step;
      ASSERT_FALSE(InsidePair(box_.Text(), static_cast<std::size_t>(box_.CaretPos())));
    }
  }
}

TEST(CodePoints, LettersAndDigitsOfEveryScriptAreWordsSignsAreNot) {
  const std::vector<std::pair<char32_t, CharClass>> cases = {
      {U'a', CharClass::kWord},     {U'7', CharClass::kWord},      {U'_', CharClass::kWord},
      {U'é', CharClass::kWord},     {U'ß', CharClass::kWord},      {U'×', CharClass::kSign},
      {U'÷', CharClass::kSign},     {U'Ж', CharClass::kWord},      {U'ё', CharClass::kWord},
      {U'λ', CharClass::kWord},     {U'ա', CharClass::kWord},      {U'ש', CharClass::kWord},
      {U'ب', CharClass::kWord},     {U'中', CharClass::kWord},      {U'한', CharClass::kWord},
      {U'ア', CharClass::kWord},     {U'\U00020000', CharClass::kWord}, {U'—', CharClass::kSign},
      {U'№', CharClass::kSign},     {U'€', CharClass::kSign},      {U'→', CharClass::kSign},
      {U'∑', CharClass::kSign},     {U'«', CharClass::kSign},      {U'。', CharClass::kSign},
      {U'\U0001F600', CharClass::kSign}, {U' ', CharClass::kSpace},   {U'\u00A0', CharClass::kSpace},
      {U'\u2003', CharClass::kSpace}, {U'\u3000', CharClass::kSpace},
  };
  for (const auto& [c, cls] : cases) EXPECT_EQ(ClassOfCodePoint(c), cls) << std::hex << static_cast<unsigned>(c);
}

TEST_F(TextBoxTest, ScrollingKeepsTheCaretInView) {
  box_.SetFocus();
  sim_.Type(W(), u"abcdefghi");
  EXPECT_EQ(box_.ScrollX(), 0) << "nine cells fit";
  sim_.Type(W(), u"jkl");
  EXPECT_EQ(box_.ScrollX(), 3 * kCell);
  EXPECT_EQ(box_.CaretX(), kBoxWidth - kTextLeft);
  sim_.PressKey(W(), vk::kHome);
  EXPECT_EQ(box_.ScrollX(), 0);
  EXPECT_EQ(box_.CaretX(), kTextLeft);
  sim_.PressKey(W(), vk::kEnd);
  EXPECT_EQ(box_.ScrollX(), 3 * kCell);
  // Clicking the visible first character finds it in the scrolled text.
  sim_.Click(W(), Point{kTextLeft + 1, 5});
  EXPECT_EQ(box_.SelStart(), 3);
  // Deleting pulls the text back rather than leave room on the right.
  sim_.PressKey(W(), vk::kEnd);
  sim_.PressKey(W(), vk::kBack);
  sim_.PressKey(W(), vk::kBack);
  EXPECT_EQ(box_.ScrollX(), kCell);
  box_.Move(0, 0, test::Px(kBoxWidth + kCell));
  EXPECT_EQ(box_.ScrollX(), 0) << "a wider box shows it all";
}

TEST_F(TextBoxTest, TheCaretBlinksWhileFocusedAndStopsWithTheFocus) {
  constexpr int kBlink = TextBox::kCaretBlinkMs;
  box_.SetText(u"ab");
  EXPECT_FALSE(box_.CaretShown());
  box_.SetFocus();
  box_.SetSelStart(2);
  const int caretX = box_.CaretX();
  EXPECT_EQ(caretX, XOf(2));
  const Colour ink = Sys(0x80000008);
  EXPECT_EQ(At(caretX, 3), ink);
  EXPECT_EQ(At(caretX, 3 + platform::kFixedLineHeight - 1), ink);
  sim_.loop().Advance(kBlink - 1);
  EXPECT_TRUE(box_.CaretShown());
  sim_.loop().Advance(1);
  EXPECT_FALSE(box_.CaretShown());
  EXPECT_EQ(At(caretX, 3), Sys(0x80000005));
  sim_.loop().Advance(kBlink);
  EXPECT_TRUE(box_.CaretShown());
  // Typing shows the caret at once and starts the phase again.
  sim_.loop().Advance(kBlink);
  sim_.Type(W(), u"c");
  EXPECT_TRUE(box_.CaretShown());
  sim_.loop().Advance(kBlink - 1);
  EXPECT_TRUE(box_.CaretShown());
  // Without the focus the caret is gone and nothing repaints any more.
  TextBox other(form_, u"other");
  other.Move(0, test::Px(30), test::Px(40), test::Px(21));
  other.SetFocus();
  EXPECT_FALSE(box_.CaretShown());
  EXPECT_EQ(At(XOf(3), 3), Sys(0x80000005));
  other.SetVisible(false);  // its own caret stops too
  const int paints = form_.PaintCount();
  sim_.loop().Advance(10 * kBlink);
  EXPECT_EQ(form_.PaintCount(), paints);
}

TEST_F(TextBoxTest, PaintsTheFrameTheTextAndTheSelection) {
  box_.SetText(u"ab");
  // Sunken 3D frame, the text one pixel inside it.
  EXPECT_EQ(At(0, 0), Sys(0x80000010));
  EXPECT_EQ(At(kBoxWidth - 1, 20), Sys(0x80000014));
  EXPECT_EQ(At(1, 1), Sys(0x80000015));
  EXPECT_EQ(At(XOf(0) + 1, 3 + 3), Sys(0x80000008));
  EXPECT_EQ(At(XOf(0), 3 + 3), Sys(0x80000005));
  // The selection shows in the highlight colours while the box has the focus.
  box_.SetSelLength(1);
  EXPECT_EQ(At(XOf(0), 3 + 3), Sys(0x80000005)) << "not focused";
  box_.SetFocus();
  EXPECT_EQ(At(XOf(0), 3 + 3), Sys(0x8000000D)) << pd::test::DumpSurface(*form_.Frame());
  EXPECT_EQ(At(XOf(0) + 1, 3 + 3), Sys(0x8000000E));
  EXPECT_EQ(At(XOf(1) + 1, 3 + 3), Sys(0x80000008));
  // Flat: one pixel of the window-frame colour.
  box_.SetAppearance(appearance::kFlat);
  EXPECT_EQ(At(0, 0), Sys(0x80000006));
  EXPECT_EQ(At(1, 1), Sys(0x80000005));
  EXPECT_EQ(box_.CaretX(), 2 + kCell) << "the text moves out with the thinner frame";
  box_.SetEnabled(false);
  EXPECT_EQ(At(2 + 1, 2 + 3), Sys(0x80000011)) << "disabled text is grey";
}

}  // namespace
}  // namespace pd::forms
