// SaveDialog: a non-visual component that asks the user for the name of a
// file to save to, through the platform's save-file dialog.
//
// The host sets the properties, calls Show, and when Show returns true
// reads the chosen path from FileName (and the bare name from FileTitle).
// The dialog is the platform's own (GetSaveFileNameA on Windows, the
// desktop's file chooser through the portal on Linux) or, where there is
// none, the control host's own (forms/SaveFileDialog.h).
//
// Show fills the dialog's record (platform::OpenFileName, the platform's
// OPENFILENAME fields):
// - lStructSize 76; hwndOwner the window of the hosting form; Flags from
//   Flags with 0x20, 0x40 and 0x80 cleared (no hook, no template);
// - lpstrFile: FileName, then NULs up to 255 characters. Names of up to
//   254 characters are supported; a longer FileName is cut to 254, so the
//   buffer always ends in a NUL; lpstrFileTitle 255 NULs;
// - lpstrFilter: Filter split at every '|', the parts joined with NULs and
//   two NULs appended ("a|*.txt" gives "a", NUL, "*.txt", NUL, NUL; "" gives
//   two NULs); nFilterIndex FilterIndex (never read back);
// - lpstrInitialDir InitDir, or the application's folder when it is
//   empty; lpstrTitle DialogTitle; lpstrDefExt DefaultExt.
// AppName and DialogPrompt are stored only.
//
// When the dialog's result is above 0, FileTitle and FileName are taken
// from their buffers (cut at the first NUL; a buffer without one leaves
// FileName as it was) and Show returns true. Otherwise (cancel or failure,
// not told apart) they stay as they were, Show returns false and, with
// CancelError true, ErrNumber() is 32755 (kCdlCancel): the call itself
// completes normally. Each Show starts with ErrNumber() 0.
//
// Setters store the value and tell the site the property's name. Stored
// properties: all eleven, under their own names, each with its type's
// empty value as the default (not stored). The component keeps itself 450
// by 450 twips.
#pragma once

#include <cstdint>

#include "forms/Control.h"
#include "forms/PropertyTable.h"
#include "platform/dialogs.h"

namespace pd::shell {

class SaveDialog : public forms::Control {
 public:
  static constexpr int kExtentTwips = 450;
  static constexpr std::int32_t kCdlCancel = 32755;
  static constexpr std::size_t kMaxFileName = platform::ofn::kMaxFile - 1;

  // Reads its design properties from the site's store and sets its size.
  explicit SaveDialog(forms::Container& parent, StringView name = u"SaveDialog", int index = -1);

  // ---- Properties, in their stored order ----
  [[nodiscard]] const String& AppName() const { return appName_; }
  void SetAppName(StringView value);
  [[nodiscard]] bool CancelError() const { return cancelError_; }
  void SetCancelError(bool value);
  [[nodiscard]] const String& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(StringView value);
  [[nodiscard]] const String& DialogPrompt() const { return dialogPrompt_; }
  void SetDialogPrompt(StringView value);
  [[nodiscard]] const String& DialogTitle() const { return dialogTitle_; }
  void SetDialogTitle(StringView value);
  [[nodiscard]] const String& FileName() const { return fileName_; }
  void SetFileName(StringView value);
  [[nodiscard]] const String& FileTitle() const { return fileTitle_; }
  void SetFileTitle(StringView value);
  [[nodiscard]] const String& Filter() const { return filter_; }
  void SetFilter(StringView value);
  [[nodiscard]] std::int32_t FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(std::int32_t value);
  [[nodiscard]] std::int32_t Flags() const { return flags_; }
  void SetFlags(std::int32_t value);
  [[nodiscard]] const String& InitDir() const { return initDir_; }
  void SetInitDir(StringView value);

  // Shows the dialog and waits; true when the user chose a file.
  bool Show();

  // The record of the last Show, and the dialog call's result.
  [[nodiscard]] const platform::OpenFileName& Record() const { return record_; }
  [[nodiscard]] std::int32_t Result() const { return result_; }
  // The error number Show left: kCdlCancel after a cancel with CancelError.
  [[nodiscard]] std::int32_t ErrNumber() const { return errNumber_; }
  void ClearErr() { errNumber_ = 0; }

  // Filter as the dialog takes it (see above).
  [[nodiscard]] static String ConvertFilter(StringView filter);

  [[nodiscard]] bool HasWindow() const override { return false; }

  // The stored properties: the defaults of a newly placed one, load, save.
  void InitProperties();
  void ReadProperties(forms::PropertyStore& store);
  void WriteProperties(forms::PropertyStore& store) const;

 protected:
  // The host resized the component: it keeps its 30 x 30 pixel square.
  void OnResize() override;

 private:
  static const forms::PropertyTable<SaveDialog>& Table();
  template <typename T>
  void Changed(T SaveDialog::*member) {
    GetSite().PropertyChanged(Table().NameOf(member));
  }

  String appName_;
  bool cancelError_ = false;
  String defaultExt_;
  String dialogPrompt_;
  String dialogTitle_;
  String fileName_;
  String fileTitle_;
  String filter_;
  std::int32_t filterIndex_ = 0;
  std::int32_t flags_ = 0;
  String initDir_;
  platform::OpenFileName record_;
  std::int32_t result_ = 0;
  std::int32_t errNumber_ = 0;
};

}  // namespace pd::shell
