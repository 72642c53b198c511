// Dialogs port: the modal dialogs the platform itself offers.
//
// Windows has its own popup menu (TrackPopupMenu) and message box
// (MessageBoxA); the program uses them there. Where the platform has none
// that fits (X11), a call answers std::nullopt and the control host shows
// its own, drawn with its own controls (forms/PopupMenu.h, forms/MessageBox.h).
// The simulation answers with what the test queued, and std::nullopt when
// nothing is queued, so the control host's own dialogs run in tests.
//
// Every call is modal: it returns when the user has chosen, and timers keep
// firing meanwhile (the loop runs nested).
#pragma once

#include <optional>
#include <span>

#include "platform/types.h"

namespace pd::platform {

struct MenuItem {
  int id = 0;  // returned when chosen; 1 or more
  String caption;
  bool checked = false;
  bool enabled = true;
  bool separator = false;  // a line between items; caption and id unused
};

// Message box flags and answers (the Windows MB_ and ID values).
namespace mb {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kDefButton2 = 0x100;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace mb

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows a popup menu with its top-left corner at the screen point (moved
  // to stay on the screen) and waits: the id of the chosen item, 0 when the
  // menu was dismissed (Escape, a click elsewhere).
  virtual std::optional<int> PopupMenu(WindowHandle owner, std::span<const MenuItem> items, Point screen) = 0;

  // A message box over owner (0: none) with mb:: flags; the mb::kId answer.
  // Escape and the close button answer kIdNo for Yes/No, kIdOk for OK.
  virtual std::optional<int> MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) = 0;
};

}  // namespace pd::platform
