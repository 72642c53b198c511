// The user of the control host's own menus and message boxes on the
// simulation: an owner form in the fixed-width test font, and the newest
// window of ours that shows (the open menu or box).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"

namespace pd::forms::test {

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    owner_.SetFont(platform::Font{.face = platform::kFixedFace});
    owner_.Move(100 * kTwipsPerPixel, 100 * kTwipsPerPixel, 300 * kTwipsPerPixel, 200 * kTwipsPerPixel);
    owner_.Show();
  }

  // The newest of our windows that shows: the dialog open now.
  WindowHandle Newest() {
    auto forms = sim_.host().Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
      if (sim_.host().IsVisible(*it)) return *it;
    }
    return 0;
  }

  // Acts once as the user of the first modal loop that waits (depth 1),
  // on the window it opened.
  void ActOnce(std::function<void(WindowHandle)> act) {
    sim_.loop().SetUser([this, act = std::move(act), acted = false](int depth) mutable {
      if (depth != 1 || acted) return;
      acted = true;
      act(Newest());
    });
  }

  // Presses each key (virtual-key codes) on a window.
  void Press(WindowHandle window, const std::vector<int>& keys) {
    for (int key : keys) sim_.PressKey(window, key);
  }

  sim::SimPlatform sim_;
  ControlHost host_{sim_};
  Form owner_{host_, u"frmOwner", u"Owner"};
};

}  // namespace pd::forms::test
