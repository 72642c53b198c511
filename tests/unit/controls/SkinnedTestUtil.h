// A shown form on the simulation with three skinned buttons and a check
// box, in the fixed test font, logging every event they raise.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"

namespace pd::controls::test {

constexpr int Px(int pixels) { return pixels * kTwipsPerPixel; }

struct SkinnedForm {
  SkinnedForm() {
    const platform::Font fixed{.face = platform::kFixedFace, .size = 8.25};
    form_.SetFont(fixed);
    for (XP_Button* b : {&b1_, &b2_, &b3_}) b->SetFont(fixed);
    chk_.SetFont(fixed);
    form_.Move(0, 0, Px(300), Px(120));
    b1_.Move(Px(10), Px(10), Px(91), Px(21));
    b2_.Move(Px(10), Px(40), Px(91), Px(21));
    b3_.Move(Px(10), Px(70), Px(91), Px(21));
    chk_.Move(Px(150), Px(10), Px(120), Px(17));
    for (XP_Button* b : {&b1_, &b2_, &b3_}) Listen(*b);
    Listen(chk_);
    form_.Show();
  }

  template <typename C>
  void Listen(C& c) {
    const std::string n(c.Name().begin(), c.Name().end());
    auto log = [this, n](const char* what) { return [this, n, what](auto&&...) { log_.push_back(n + " " + what); }; };
    c.Change.Connect(log("Change"));
    c.Check.Connect(log("Check"));
    c.Uncheck.Connect(log("Uncheck"));
    c.Click.Connect(log("Click"));
    c.DblClick.Connect(log("DblClick"));
    c.MouseOut.Connect(log("MouseOut"));
    c.KeyDown.Connect(log("KeyDown"));
    c.KeyUp.Connect(log("KeyUp"));
    c.MouseDown.Connect(log("MouseDown"));
    c.MouseUp.Connect(log("MouseUp"));
    if constexpr (requires { c.Gray; }) c.Gray.Connect(log("Gray"));
  }

  std::vector<std::string> Take() { return std::exchange(log_, {}); }
  [[nodiscard]] WindowHandle W() const { return form_.Window(); }

  sim::SimPlatform sim_;
  forms::ControlHost host_{sim_};
  forms::Form form_{host_, u"frmTest", u"Test"};
  XP_Button b1_{form_, u"b1"};
  XP_Button b2_{form_, u"b2"};
  XP_Button b3_{form_, u"b3"};
  XP_CheckBox chk_{form_, u"chk"};
  std::vector<std::string> log_;
};

class SkinnedTest : public ::testing::Test, public SkinnedForm {};

}  // namespace pd::controls::test
