// A shown form on the simulation, in the fixed test font, for the tests of
// the plain controls.
#pragma once

#include <gtest/gtest.h>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "test_util.h"
#include "unit/SurfaceTestUtil.h"

namespace pd::forms::test {

class ControlsTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 200;
  static constexpr int kHeight = 100;

  ControlsTest() {
    form_.SetFont(platform::Font{.face = platform::kFixedFace, .size = 8.25});
    form_.Move(0, 0, kWidth * kTwipsPerPixel, kHeight * kTwipsPerPixel);
    form_.Show();
  }

  [[nodiscard]] WindowHandle W() const { return form_.Window(); }
  [[nodiscard]] Colour At(int x, int y) const { return pd::test::PixelAt(*form_.Frame(), x, y); }
  [[nodiscard]] Colour Sys(Colour c) { return sim_.graphics().ResolveColour(c); }
  void DoubleClick(Point p) {
    sim_.Click(W(), p);
    sim_.MouseDown(W(), p);
    sim_.host().Deliver(platform::HostEvent{.kind = platform::HostEventKind::kDoubleClick, .window = W(), .pos = p,
                                            .button = platform::button::kLeft});
    sim_.MouseUp(W(), p);
  }

  sim::SimPlatform sim_;
  ControlHost host_{sim_};
  Form form_{host_, u"frmTest", u"Test"};
};

// Twips of a pixel count.
constexpr int Px(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace pd::forms::test
