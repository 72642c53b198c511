// A list on the software surface with the fixed-width test font, and a log
// of its events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/host.h"
#include "platform/input.h"
#include "platform/sim/platform.h"
#include "platform/surface.h"

namespace pd::controls::test {

inline platform::Font FixedFont() {
  platform::Font f;
  f.face = platform::kFixedFace;
  return f;
}

class ListFixture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 200;
  static constexpr int kHeight = 90;

  ListFixture() {
    form_.Move(0, 0, kWidth * kTwipsPerPixel, kHeight * kTwipsPerPixel);
    form_.Show();
    Stored().WriteFont(u"Font", FixedFont(), platform::Font{});
  }

  // What the form keeps for the list: a test may store properties first.
  platform::PropertyBag& Stored() { return form_.StoredProperties(u"lstTest"); }
  forms::Site& Site() { return List().GetSite(); }

  // The list is made on first use, at the form's top-left corner.
  XP_ListBox& List() {
    if (!list_) {
      list_ = std::make_unique<XP_ListBox>(form_, u"lstTest");
      list_->Move(0, 0, kWidth * kTwipsPerPixel, kHeight * kTwipsPerPixel);
      Connect();
    }
    return *list_;
  }
  // What the list shows.
  platform::Surface& Shown() {
    List();
    return *form_.Frame();
  }

  void Connect() {
    XP_ListBox& l = *list_;
    l.Check.Connect([this](std::int32_t& i) { log_.push_back("Check " + std::to_string(i)); });
    l.Uncheck.Connect([this](std::int32_t& i) { log_.push_back("Uncheck " + std::to_string(i)); });
    l.Click.Connect([this] { log_.push_back("Click"); });
    l.OnAddItem.Connect([this] { log_.push_back("OnAddItem"); });
    l.OnRemoveItem.Connect([this] { log_.push_back("OnRemoveItem"); });
    l.DblClick.Connect([this] { log_.push_back("DblClick"); });
    l.Scroll.Connect([this] { log_.push_back("Scroll"); });
    l.MouseDown.Connect([this](std::int16_t&, std::int16_t&, float&, float&) { log_.push_back("MouseDown"); });
    l.MouseUp.Connect([this](std::int16_t&, std::int16_t&, float&, float&) { log_.push_back("MouseUp"); });
    l.KeyDown.Connect([this](std::int16_t& k, std::int16_t&) { log_.push_back("KeyDown " + std::to_string(k)); });
    l.KeyPress.Connect([this](std::int16_t& k) { log_.push_back("KeyPress " + std::to_string(k)); });
    l.KeyUp.Connect([this](std::int16_t k, std::int16_t) { log_.push_back("KeyUp " + std::to_string(k)); });
  }

  // The user, on the list's form (client pixels).
  void Press(Point p, int shift = 0, int button = platform::button::kLeft) {
    sim_.MouseDown(form_.Window(), p, button, shift);
  }
  void Release(Point p, int shift = 0, int button = platform::button::kLeft) {
    sim_.MouseUp(form_.Window(), p, button, shift);
  }
  void ClickAt(Point p, int shift = 0) {
    Press(p, shift);
    Release(p, shift);
  }
  void MoveTo(Point p) { sim_.MouseMove(form_.Window(), p); }
  void Key(int vk, int shift = 0) { sim_.PressKey(form_.Window(), vk, shift); }
  void Advance(int ms) { sim_.loop().Advance(static_cast<std::uint64_t>(ms)); }
  std::vector<std::int32_t> SelectedItems() {
    std::vector<std::int32_t> out;
    for (std::int32_t i = 0; i < List().ListCount(); ++i) {
      if (List().Selected(i)) out.push_back(i);
    }
    return out;
  }

  void Add(std::initializer_list<const char16_t*> items) {
    for (const char16_t* s : items) List().AddItem(s);
  }
  std::vector<String> Texts() {
    std::vector<String> out;
    for (std::int32_t i = 0; i < List().ListCount(); ++i) out.push_back(List().List(i));
    return out;
  }
  std::vector<std::string> TakeLog() { return std::exchange(log_, {}); }

  sim::SimPlatform sim_;
  forms::ControlHost host_{sim_};
  forms::Form form_{host_, u"frmTest", u"Test"};
  platform::Graphics* graphics_ = &sim_.graphics();
  std::unique_ptr<XP_ListBox> list_;
  std::vector<std::string> log_;
};

}  // namespace pd::controls::test
