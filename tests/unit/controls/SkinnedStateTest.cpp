// The skinned button and check box used as a person would on the
// simulation: each sequence of user actions gives the events in order and
// the look after every action.
#include <functional>
#include <string>
#include <vector>

#include "unit/controls/SkinnedTestUtil.h"

namespace pd::controls::test {
namespace {

namespace vk = platform::vk;

// One user action; the look of the case's control is logged after it.
struct Act {
  enum Kind { Move, Down, Up, RightClick, SpaceDown, SpaceUp, Tab, Wait, Frame, Values } kind;
  Point at{};
};
constexpr Point kB1{20, 20};
constexpr Point kB3{20, 80};
constexpr Point kChk{160, 15};
constexpr Point kOff{250, 100};

Act M(Point p) { return {Act::Move, p}; }
Act D(Point p) { return {Act::Down, p}; }
Act U(Point p) { return {Act::Up, p}; }

struct Case {
  const char* name;
  const char* target;  // whose look is logged ("b1=M")
  std::function<void(SkinnedForm&)> setup;
  std::vector<Act> acts;
  std::vector<std::string> log;
};

class SkinnedState : public SkinnedForm {
 public:
  void Run(const Case& c) {
    if (c.setup) c.setup(*this);
    Take();
    const std::string target = c.target;
    for (const Act& a : c.acts) {
      switch (a.kind) {
        case Act::Move:
          sim_.MouseMove(W(), a.at);
          break;
        case Act::Down:
          sim_.MouseDown(W(), a.at);
          break;
        case Act::Up:
          sim_.MouseUp(W(), a.at);
          break;
        case Act::RightClick:
          sim_.Click(W(), a.at, platform::button::kRight);
          break;
        case Act::SpaceDown:
          sim_.KeyDown(W(), vk::kSpace);
          break;
        case Act::SpaceUp:
          sim_.KeyUp(W(), vk::kSpace);
          break;
        case Act::Tab:
          sim_.PressKey(W(), vk::kTab);
          break;
        case Act::Wait:
          sim_.loop().Advance(20);
          break;
        case Act::Frame:
          log_.push_back("frame " + std::to_string(target == "chk" ? chk_.LastFrame() : Button(target).LastFrame()));
          continue;
        case Act::Values:
          log_.push_back("values " + std::to_string(b1_.Value()) + std::to_string(b2_.Value()) +
                         std::to_string(b3_.Value()) + std::to_string(chk_.Value()));
          continue;
      }
      const int look =
          target == "chk" ? static_cast<int>(chk_.LastLook()) : static_cast<int>(Button(target).LastState());
      log_.push_back(target + "=" + "UMD"[look]);
    }
    EXPECT_EQ(Take(), c.log) << c.name;
    sim_.MouseMove(W(), kOff);
    sim_.loop().Advance(20);
    for (XP_Button* b : {&b1_, &b2_, &b3_}) EXPECT_FALSE(b->WatchRunning()) << c.name;
    EXPECT_FALSE(chk_.WatchRunning()) << c.name;
  }
  XP_Button& Button(const std::string& name) { return name == "b1" ? b1_ : name == "b2" ? b2_ : b3_; }
};

void Options(SkinnedForm& t) {
  for (XP_Button* b : {&t.b1_, &t.b2_, &t.b3_}) b->SetControlType(2);
  t.b1_.SetValue(true);
}

}  // namespace

TEST(SkinnedStateCases, ButtonSequences) {
  const Case cases[] = {
      // The first button has the focus from the start: a press does not clear MouseEntered.
      {"push click, then the pointer leaves",
       "b1",
       nullptr,
       {M(kB1), D(kB1), U(kB1), M(kOff), {Act::Wait}},
       {"b1=M", "b1 MouseDown", "b1=D", "b1 MouseUp", "b1 Click", "b1=M", "b1=M", "b1 MouseOut", "b1=U"}},
      {"a press that brings the focus clears MouseEntered",
       "b2",
       nullptr,
       {M({20, 50}), D({20, 50}), U({20, 50}), M(kOff), {Act::Wait}},
       {"b2=M", "b2 MouseDown", "b2=D", "b2 MouseUp", "b2 Click", "b2=M", "b2=M", "b2=U"}},
      {"press, drag out, release outside: no click",
       "b1",
       nullptr,
       {M(kB1), D(kB1), M(kOff), U(kOff), {Act::Wait}},
       {"b1=M", "b1 MouseDown", "b1=D", "b1=M", "b1 MouseUp", "b1 MouseOut", "b1=U", "b1=U"}},
      {"a toggle clicked twice shows Down while on",
       "b1",
       [](SkinnedForm& t) { t.b1_.SetControlType(1); },
       {M(kB1), D(kB1), U(kB1), M(kOff), {Act::Wait}, {Act::Frame}, D(kB1), U(kB1), M(kOff), {Act::Wait}, {Act::Frame}},
       {"b1=M",       "b1 MouseDown", "b1=D", "b1 MouseUp", "b1 Change",    "b1 Check", "b1 Click",   "b1=M",
        "b1=M",       "b1 MouseOut",  "b1=U", "frame 2",    "b1 MouseDown", "b1=D",     "b1 MouseUp", "b1 Change",
        "b1 Uncheck", "b1 Click",     "b1=M", "b1=M",       "b1 MouseOut",  "b1=U",     "frame 4"}},
      {"space on a toggle: the mouse is ignored, Click before the value",
       "b1",
       [](SkinnedForm& t) {
         t.b1_.SetControlType(1);
         t.b1_.SetFocus();
       },
       {{Act::SpaceDown}, D(kB1), U(kB1), {Act::SpaceUp}, M(kOff), {Act::Wait}},
       {"b1 KeyDown", "b1=D", "b1=D", "b1=D", "b1 KeyUp", "b1 Click", "b1 Change", "b1 Check", "b1=M", "b1=M", "b1=U"}},
      {"the focus leaves while the left button is held: no click",
       "b1",
       nullptr,
       {M(kB1), D(kB1), {Act::Tab}, U(kB1), M(kOff), {Act::Wait}},
       {"b1=M", "b1 MouseDown", "b1=D", "b2 KeyUp", "b1=M", "b1 MouseUp", "b1=M", "b1=M", "b1=U"}},
      {"the focus leaves while space is held: the press is cancelled",
       "b1",
       [](SkinnedForm& t) { t.b1_.SetFocus(); },
       {{Act::SpaceDown}, {Act::Tab}, {Act::SpaceUp}, M(kB1), D(kB1), U(kB1)},
       {"b1 KeyDown", "b1=D", "b2 KeyUp", "b1=U", "b2 KeyUp", "b1=U", "b1=M", "b1 MouseDown", "b1=D", "b1 MouseUp",
        "b1 Click", "b1=M"}},
      {"a right click presses nothing",
       "b1",
       nullptr,
       {M(kB1), {Act::RightClick, kB1}},
       {"b1=M", "b1 MouseDown", "b1 MouseUp", "b1=M"}},
      {"disabled: nothing reaches it, the disabled frame",
       "b1",
       [](SkinnedForm& t) { t.b1_.SetEnabled(false); },
       {M(kB1), D(kB1), U(kB1), {Act::SpaceDown}, {Act::SpaceUp}, {Act::Frame}},
       {"b1=U", "b1=U", "b1=U", "b1=U", "b1=U", "frame 3"}},
      {"option group: every member changes, the clicked one twice",
       "b3",
       Options,
       {M(kB3), D(kB3), U(kB3), {Act::Values}, D(kB3), U(kB3), {Act::Values}},
       {"b3=M",      "b3 MouseDown", "b3=D",      "b3 MouseUp",  "b1 Change",    "b2 Change", "b3 Change",  "b3 Change",
        "b3 Check",  "b3 Click",     "b3=M",      "values 0010", "b3 MouseDown", "b3=D",      "b3 MouseUp", "b1 Change",
        "b2 Change", "b3 Change",    "b3 Change", "b3 Check",    "b3 Click",     "b3=M",      "values 0010"}},
  };
  for (const Case& c : cases) {
    SkinnedState fresh;
    fresh.Run(c);
  }
}

TEST(SkinnedStateCases, CheckBoxSequences) {
  const Case cases[] = {
      {"two states: click on, click off",
       "chk",
       nullptr,
       {M(kChk), D(kChk), U(kChk), D(kChk), U(kChk), {Act::Values}},
       {"chk=M", "chk MouseDown", "chk=D", "chk MouseUp", "chk Check", "chk Change", "chk Click", "chk=M",
        "chk MouseDown", "chk=D", "chk MouseUp", "chk Uncheck", "chk Change", "chk Click", "chk=M", "values 0000"}},
      {"three states: 1, 2, 0",
       "chk",
       [](SkinnedForm& t) { t.chk_.SetNumStates(1); },
       {D(kChk), U(kChk), D(kChk), U(kChk), {Act::Frame}, D(kChk), U(kChk)},
       {"chk MouseDown", "chk=D",         "chk MouseUp", "chk Check",     "chk Change", "chk Click",
        "chk=M",         "chk MouseDown", "chk=D",       "chk MouseUp",   "chk Gray",   "chk Change",
        "chk Click",     "chk=M",         "frame 9",     "chk MouseDown", "chk=D",      "chk MouseUp",
        "chk Uncheck",   "chk Change",    "chk Click",   "chk=M"}},
      {"released outside: no change",
       "chk",
       nullptr,
       {M(kChk), D(kChk), U(kOff), {Act::Values}},
       {"chk=M", "chk MouseDown", "chk=D", "chk MouseUp", "chk MouseOut", "chk=U", "values 0000"}},
      {"space: Click first, then the value",
       "chk",
       [](SkinnedForm& t) { t.chk_.SetFocus(); },
       {{Act::SpaceDown}, D(kChk), U(kChk), {Act::SpaceUp}},
       {"chk KeyDown", "chk=D", "chk=D", "chk=D", "chk KeyUp", "chk Click", "chk Check", "chk Change", "chk=M"}},
  };
  for (const Case& c : cases) {
    SkinnedState fresh;
    fresh.Run(c);
  }
}

TEST_F(SkinnedTest, ValuesSetByTheHostRaiseNothingAndStayInRange) {
  chk_.SetValue(2);
  EXPECT_EQ(chk_.Value(), 1) << "a two-state box stores 1";
  chk_.SetNumStates(1);
  chk_.SetValue(2);
  EXPECT_EQ(chk_.Value(), 2);
  chk_.SetNumStates(1);
  EXPECT_EQ(chk_.Value(), 1) << "setting NumStates while grey makes it 1, whatever NumStates is";
  chk_.SetValue(2);
  chk_.SetNumStates(0);
  EXPECT_EQ(chk_.Value(), 1);
  b1_.SetValue(true);
  EXPECT_EQ(Take(), std::vector<std::string>{"b1 Change"}) << "the button's Value raises Change, the box's nothing";
}

TEST_F(SkinnedTest, NoTimerRunsWhileNothingIsHovered) {
  // Run returns only when no timer could ever fire again.
  sim_.loop().Run();
  EXPECT_EQ(sim_.loop().Now(), 0u);
  sim_.MouseMove(W(), kB1);
  EXPECT_TRUE(b1_.WatchRunning());
  sim_.MouseMove(W(), kChk);  // straight from one to the other
  sim_.loop().Advance(10);
  EXPECT_FALSE(b1_.WatchRunning()) << "the button's watch saw the pointer go within 10 ms";
  EXPECT_TRUE(chk_.WatchRunning());
  sim_.MouseMove(W(), kOff);
  sim_.loop().Advance(10);
  EXPECT_EQ(Take(), (std::vector<std::string>{"b1 MouseOut", "chk MouseOut"}));
  const std::uint64_t now = sim_.loop().Now();
  sim_.loop().Run();
  EXPECT_EQ(sim_.loop().Now(), now) << "nothing hovered, nothing runs";
}

TEST_F(SkinnedTest, StoredPropertiesRoundTripAndDefaultsAreNotStored) {
  forms::PropertyBag bag;
  b1_.WriteProperties(bag);
  chk_.WriteProperties(bag);
  EXPECT_EQ(bag.Size(), 0u) << "a new control differs from no default";

  forms::PropertyBag& stored = form_.StoredProperties(u"cmdStored");
  stored.WriteString(u"Caption", u"Удалить", u"");
  stored.WriteInt(u"ControlType", 2, 0);
  stored.WriteInt(u"Group", 3, 0);
  stored.WriteBool(u"Value", true, false);
  stored.WriteBool(u"FontBoldMove", true, false);
  stored.WriteColour(u"ForeColorDisabled", 0x123456, 0);
  stored.WriteBool(u"Enabled", false, true);
  XP_Button loaded(form_, u"cmdStored");
  EXPECT_EQ(loaded.Caption(), u"Удалить");
  EXPECT_EQ(loaded.ControlType(), 2);
  EXPECT_EQ(loaded.Group(), 3);
  EXPECT_TRUE(loaded.Value());
  EXPECT_TRUE(loaded.FontBoldMove());
  EXPECT_EQ(loaded.ForeColorDisabled(), 0x123456u);
  EXPECT_FALSE(loaded.Enabled());
  EXPECT_TRUE(loaded.GetSite().ChangedProperties().empty()) << "loading reports nothing";
  forms::PropertyBag again;
  loaded.WriteProperties(again);
  EXPECT_EQ(again.Size(), 7u);
  EXPECT_EQ(again.ReadString(u"Caption", u""), u"Удалить");

  form_.StoredProperties(u"chkStored").WriteInt(u"Value", 2, 0);  // no clamping on load
  XP_CheckBox box(form_, u"chkStored");
  EXPECT_EQ(box.Value(), 2);
  EXPECT_EQ(box.Caption(), u"XP CheckBox");
  EXPECT_EQ(box.BackColor(), 0x8000000Fu);
  box.SetAligment(1);
  box.SetForeColorMove(0xFF);
  EXPECT_EQ(box.GetSite().ChangedProperties(), (std::vector<String>{u"Aligment", u"ForeColorMove"}));
}

}  // namespace pd::controls::test
