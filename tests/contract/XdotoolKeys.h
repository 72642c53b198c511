// The names xdotool gives keys, chords and buttons: the X11 and Windows
// (Wine) host drivers both play the user with it.
#pragma once

#include <string>

#include "platform/host.h"
#include "platform/input.h"

namespace pd::test::xdotool {

// A virtual key's name ("a", "5", "F4", "Return"); "" for one not listed.
inline std::string KeyName(int virtualKey) {
  namespace vk = platform::vk;
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
    return std::string(1, static_cast<char>(virtualKey >= 'A' ? virtualKey - 'A' + 'a' : virtualKey));
  }
  if (virtualKey >= vk::kF1 && virtualKey < vk::kF1 + 12) {
    std::string name = "F";  // appended: GCC 12 -O3 warns of "F" + a string (-Wrestrict)
    name += std::to_string(virtualKey - vk::kF1 + 1);
    return name;
  }
  struct Named {
    int key;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {vk::kTab, "Tab"},       {vk::kReturn, "Return"}, {vk::kEscape, "Escape"}, {vk::kBack, "BackSpace"},
      {vk::kSpace, "space"},   {vk::kLeft, "Left"},     {vk::kUp, "Up"},         {vk::kRight, "Right"},
      {vk::kDown, "Down"},     {vk::kDelete, "Delete"}, {vk::kInsert, "Insert"}, {vk::kHome, "Home"},
      {vk::kEnd, "End"},       {vk::kPrior, "Prior"},   {vk::kNext, "Next"},
  };
  for (const Named& n : kNames) {
    if (n.key == virtualKey) return n.name;
  }
  return "";
}

// The modifiers (shift:: bits) as the start of a chord: "ctrl+shift+".
inline std::string Chord(int shift) {
  std::string chord;
  if ((shift & platform::shift::kCtrl) != 0) chord += "ctrl+";
  if ((shift & platform::shift::kShift) != 0) chord += "shift+";
  return chord;
}

// A button:: bit as X numbers it.
inline int XButton(int button) {
  return button == platform::button::kRight ? 3 : button == platform::button::kMiddle ? 2 : 1;
}

}  // namespace pd::test::xdotool
