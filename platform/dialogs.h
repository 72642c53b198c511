// Dialogs port: the modal dialogs the platform itself offers.
//
// Windows has its own popup menu (TrackPopupMenu) and message box
// (MessageBoxA); the program uses them there. Where the platform has none
// that fits (X11), a call answers std::nullopt and the control host shows
// its own, drawn with its own controls (forms/PopupMenu.h, forms/MessageBox.h).
// The simulation answers with what the test queued, and std::nullopt when
// nothing is queued, so the control host's own dialogs run in tests.
//
// The save-file dialog is the platform's where it has one (Windows:
// GetSaveFileNameA; Linux: the desktop's file chooser through the XDG
// desktop portal when one answers on the session bus); otherwise the call
// answers std::nullopt and the control host shows its own
// (forms/SaveFileDialog.h), which browses folders through ListFolder. On
// Linux both open in SaveStartFolder of the record's initial folder.
//
// Every call is modal: it returns when the user has chosen, and timers keep
// firing meanwhile (the loop runs nested).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

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

// The save dialog's flags the program looks at (the Windows OFN_ values);
// the others pass through to the platform's dialog unchanged.
namespace ofn {
inline constexpr std::uint32_t kOverwritePrompt = 0x2;
inline constexpr std::uint32_t kEnableHook = 0x20;
inline constexpr std::uint32_t kEnableTemplate = 0x40;
inline constexpr std::uint32_t kEnableTemplateHandle = 0x80;
// The record's size in its ANSI layout of 32-bit Windows (OPENFILENAME
// without the fields of later versions). A 64-bit Windows build passes the
// same fields with 8-byte pointers, 136 bytes (see platform/win32).
inline constexpr std::uint32_t kRecordSize = 76;
// The file and file-title buffers: 255 characters, so a chosen path holds
// at most 254 and its NUL.
inline constexpr std::uint32_t kMaxFile = 255;
}  // namespace ofn

// The save dialog's parameter record, field for field as the platform's
// OPENFILENAME (ANSI form), with the program's own strings. The caller
// fills the fields in; the dialog writes the chosen path into file, its
// name into fileTitle and the two offsets. Strings are text here; a
// backend converts them to its code page on the way in and back.
struct OpenFileName {
  std::uint32_t lStructSize = ofn::kRecordSize;
  WindowHandle hwndOwner = 0;
  std::uintptr_t hInstance = 0;  // the backend puts in its own (the executable's module)
  // Pairs of description and pattern, each ended by NUL, the list by a
  // second NUL ("Text (*.txt)\0*.txt\0\0"). A pattern may hold several
  // masks separated by ';'.
  String lpstrFilter;
  String lpstrCustomFilter;  // unused: none
  std::uint32_t nMaxCustFilter = 0;
  std::uint32_t nFilterIndex = 0;  // counted from 1; 0 picks the first
  String lpstrFile;                // nMaxFile characters: the name, then NULs
  std::uint32_t nMaxFile = ofn::kMaxFile;
  String lpstrFileTitle;  // nMaxFileTitle characters
  std::uint32_t nMaxFileTitle = ofn::kMaxFile;
  String lpstrInitialDir;
  String lpstrTitle;  // empty: the platform's own title
  std::uint32_t Flags = 0;
  std::uint16_t nFileOffset = 0;     // set by the dialog: where the name starts in lpstrFile
  std::uint16_t nFileExtension = 0;  // set by the dialog: after the last '.', or 0
  String lpstrDefExt;
  std::uint32_t lCustData = 0;
  std::uintptr_t lpfnHook = 0;        // none
  std::uintptr_t lpTemplateName = 0;  // none
};

// Text up to its first NUL (all of it when it has none).
inline String CutAtNul(StringView s) { return String(s.substr(0, s.find(u'\0'))); }

// Splits a converted filter into its (description, pattern) pairs; an
// empty description or a missing pattern ends the list, as on Windows.
std::vector<std::pair<String, String>> FilterPairs(StringView filter);

// Whether a file name matches one of the ';'-separated masks of a pattern
// ('*' any run, '?' any one character; letters compared without case).
bool MatchesPattern(StringView name, StringView pattern);

// Writes a chosen path into the record as the platform's dialog does: the
// path and NULs into lpstrFile, its last component into lpstrFileTitle,
// the offsets. False, and the record unchanged, when the path does not fit
// the buffer (nMaxFile - 1 characters at most). separators: the characters
// that end a folder ("\\/" on Windows, "/" elsewhere).
bool StoreChosenFile(OpenFileName& record, StringView path, StringView separators);

// The folder a save dialog opens in, given the record's initial folder:
// that folder where files may be saved in it (maySaveIn), else the user's
// documents folder (documents, asked only then), else the initial folder
// still. A program installed system-wide (/usr/bin) would otherwise offer
// its own folder, where saving fails. Used where the program picks the
// dialog's folder itself (Linux: the portal's chooser and the control
// host's own dialog); Windows passes the initial folder on as it is.
String SaveStartFolder(StringView initial, const std::function<bool(StringView)>& maySaveIn,
                       const std::function<String()>& documents);

// One entry of a folder, as the control host's own save dialog lists it.
struct FolderEntry {
  String name;
  bool folder = false;
};

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

  // The platform's save-file dialog with the record (GetSaveFileNameA):
  // nonzero when the user chose a file (written into the record as
  // StoreChosenFile does), 0 when the dialog was cancelled or failed;
  // std::nullopt when the platform has none to offer here.
  virtual std::optional<std::int32_t> GetSaveFileName(OpenFileName& record) = 0;

  // ---- For the control host's own save dialog ----
  // The entries of a folder (without "." and ".."), in no particular
  // order; std::nullopt when it is not a folder or cannot be read.
  virtual std::optional<std::vector<FolderEntry>> ListFolder(StringView folder) = 0;
  // The user's home folder ("" where there is none).
  virtual String HomeFolder() = 0;
  // The user's documents folder (Linux: XDG_DOCUMENTS_DIR of
  // user-dirs.dirs where that folder exists, else home; Windows: the
  // shell's Documents folder); "" where there is none.
  virtual String DocumentsFolder() = 0;
  // Whether a file may be saved in a folder: it exists and may be written
  // (Linux: and it is not a folder of the system's programs, /usr/...,
  // /bin, /sbin, even for root).
  virtual bool MaySaveIn(StringView folder) = 0;
};

}  // namespace pd::platform
