// PopupMenu: the control host's own popup menu, shown where the platform
// has none that fits (X11) and in the simulation.
//
// A popup window over its owner lists the items in the desktop's menu
// look: the system menu colours, a one-pixel raised frame, a check mark
// left of a checked item, an etched line for a separator and an embossed
// grey caption for a disabled item. The font is the owner's (8.25 pt
// "MS Sans Serif" for a menu without an owner).
//
// The menu runs a modal loop (timers keep firing) until an item is chosen
// or the menu is dismissed:
// - the pointer highlights the enabled item under it; releasing a button
//   over an enabled item chooses it;
// - a press outside the menu dismisses it: the menu holds the pointer
//   capture, so the press reaches it wherever it lands;
// - Up and Down move the highlight over the enabled items, skipping
//   separators and disabled items and wrapping round; Home and End go to
//   the first and the last; Enter and Space choose the highlighted item;
//   Escape dismisses;
// - a typed character highlights the next enabled item whose caption starts
//   with it (either case); when only one item starts with it, that item is
//   chosen at once;
// - the menu is dismissed when a window not of this program becomes the
//   foreground (the owner lost the activation) and when the program quits.
// Keys are those reported for the menu's own window: a backend gives the
// keyboard to a popup that holds the capture. A dialog opened meanwhile
// (a message box from a timer) takes the pointer; the menu takes it back
// when that dialog's loop has ended.
#pragma once

#include <span>

#include "platform/dialogs.h"
#include "platform/types.h"

namespace pd::forms {

class ControlHost;
class Form;

// Where a menu of width x height pixels opened at a point of the screen
// goes: its top-left corner at the point, unless it would then cross the
// right (bottom) edge of the work area; then its right (bottom) edge lies
// at the point instead. What still does not fit is pushed inside the work
// area.
[[nodiscard]] Rect PlacePopup(Point at, int width, int height, const Rect& workArea);

// Shows the menu at a point of the screen (pixels) and waits: the id of
// the chosen item, 0 when the menu was dismissed or has no items. owner
// may be nullptr.
int ShowPopupMenu(ControlHost& host, Form* owner, std::span<const platform::MenuItem> items, Point screen);

}  // namespace pd::forms
