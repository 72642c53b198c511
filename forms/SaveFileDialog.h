// SaveFileDialog: the control host's own save-file dialog, shown where the
// platform has none to offer (Linux without a desktop portal) and in the
// simulation.
//
// It takes the platform's save-dialog record (platform::OpenFileName) and
// answers as GetSaveFileNameA does: nonzero with the chosen path written
// into the record (platform::StoreChosenFile), 0 when cancelled.
//
// The dialog window, titled lpstrTitle ("Сохранить как" when empty),
// centred over the owner when it shows (else over the work area), holds:
// - "Папка:" with the current folder and two picture buttons, "one folder
//   up" and "home folder" (Platform Dialogs::HomeFolder);
// - the folder's list (FolderList.h): its folders, then its files that the
//   current filter's masks match, each group sorted by name without case;
//   a double click (or Enter) on a folder opens it, a click on a file puts
//   its name into the name box;
// - "Имя файла:" and the name box, which starts with lpstrFile's name (a
//   name with a folder opens that folder) with all of it selected and the
//   focus, and "Сохранить";
// - "Тип файла:" and the filter box (a click, F4 or Alt+Down opens the
//   filters as a popup menu; Up and Down step through them), and "Отмена".
//
// Saving (Enter in the name box, "Сохранить"): an empty name does nothing;
// a name that is a folder (or ends with a separator) opens it; otherwise
// the name, relative to the current folder unless it is a full path, gets
// lpstrDefExt when it has no extension. A folder that does not exist, or a
// path longer than the record's buffer holds (nMaxFile - 1 characters),
// is told in a message box and the dialog stays. With ofn::kOverwritePrompt
// an existing file asks "... уже существует. Заменить?" (Yes/No, No is the
// answer to Escape); No keeps the dialog open. The filter chosen last goes
// back into nFilterIndex, as the platform's dialog does.
//
// Escape, Alt+F4, "Отмена", the close button and the program quitting
// cancel. The dialog runs a modal loop (timers keep firing) and takes the
// pointer capture from whatever held it.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

namespace pd::forms {

class ControlHost;
class Form;

// Shows the dialog over owner (may be nullptr) and waits.
std::int32_t ShowSaveFileDialog(ControlHost& host, Form* owner, platform::OpenFileName& record);

// Path helpers of the dialog, by the platform's separator sep: the folder
// above (a root stays itself), and a name joined to a folder.
[[nodiscard]] String ParentFolder(StringView folder, char16_t sep);
[[nodiscard]] String JoinFolder(StringView folder, StringView name, char16_t sep);
// Whether a typed name is a full path ("/x", "\\x", "C:\\x", "C:/x").
[[nodiscard]] bool IsFullPath(StringView name);

}  // namespace pd::forms
