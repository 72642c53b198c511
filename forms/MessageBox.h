// MessageBox: the control host's own message box, shown where the platform
// has none that fits (X11) and in the simulation.
//
// A dialog window titled `title` shows an icon drawn here (by the
// platform::mb icon bits: 0x10 stop, 0x20 question, 0x30 exclamation, 0x40
// information; none otherwise), the text (lines broken at CR LF) and a row
// of push buttons: "ОК" for mb::kOk, "Да" and "Нет" for mb::kYesNo (any
// other button set shows "ОК"). The window is sized to the text and the
// title and centred over the owner when the owner is shown, else over the
// work area, and kept inside the work area. The font is the owner's
// (8.25 pt "MS Sans Serif" without an owner).
//
// The focused button is the default one and shows the heavy frame: the
// first, or the second with mb::kDefButton2. Enter presses the focused
// button, Space and a click press any; Tab and the arrow keys move the
// focus between the buttons. Escape, Alt+F4 and the close button answer
// mb::kIdNo for Yes/No and mb::kIdOk for OK, as does the program quitting.
//
// The box runs a modal loop (timers keep firing meanwhile) and takes the
// pointer capture from whatever held it (an open menu).
#pragma once

#include "platform/dialogs.h"
#include "platform/types.h"

namespace pd::forms {

class ControlHost;
class Form;

// Shows the box and waits: mb::kIdOk, mb::kIdYes or mb::kIdNo. owner may
// be nullptr.
int ShowMessageBox(ControlHost& host, Form* owner, StringView text, StringView title, unsigned flags);

}  // namespace pd::forms
