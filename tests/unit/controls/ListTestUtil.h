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
#include "platform/sim/backend.h"
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

  ListFixture() { site_.Bag().WriteFont(u"Font", FixedFont(), platform::Font{}); }

  // The list is made on first use, so a test can store properties first.
  XP_ListBox& List() {
    if (!list_) {
      list_ = std::make_unique<XP_ListBox>(*graphics_, site_, kWidth, kHeight);
      Connect();
    }
    return *list_;
  }

  void Connect() {
    XP_ListBox& l = *list_;
    l.Check.Connect([this](std::int32_t& i) { log_.push_back("Check " + std::to_string(i)); });
    l.Uncheck.Connect([this](std::int32_t& i) { log_.push_back("Uncheck " + std::to_string(i)); });
    l.Click.Connect([this] { log_.push_back("Click"); });
    l.OnAddItem.Connect([this] { log_.push_back("OnAddItem"); });
    l.OnRemoveItem.Connect([this] { log_.push_back("OnRemoveItem"); });
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

  std::unique_ptr<platform::Graphics> graphics_ = platform::CreateGraphics();
  sim::SimSite site_{1};
  std::unique_ptr<XP_ListBox> list_;
  std::vector<std::string> log_;
};

}  // namespace pd::controls::test
