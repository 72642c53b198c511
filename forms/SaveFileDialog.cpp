#include "forms/SaveFileDialog.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "forms/Border.h"
#include "forms/ControlHost.h"
#include "forms/FolderList.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PushButton.h"
#include "forms/TextBox.h"
#include "platform/text.h"

namespace pd::forms {

namespace mb = platform::mb;
namespace vk = platform::vk;

namespace {

constexpr Colour kWindow = 0x80000005;
constexpr Colour kWindowText = 0x80000008;
constexpr Colour kHighlight = 0x8000000D;
constexpr Colour kHighlightText = 0x8000000E;
constexpr Colour kFace = 0x8000000F;
constexpr Colour kShadow = 0x80000010;
constexpr Colour kGreyText = 0x80000011;
constexpr Colour kButtonText = 0x80000012;
constexpr Colour kLight = 0x80000014;
constexpr Colour kDarkShadow = 0x80000015;
constexpr Colour k3DLight = 0x80000016;

constexpr char16_t kDefaultTitle[] = u"Сохранить как";
constexpr char16_t kConfirmTitle[] = u"Подтвердить сохранение как";

// Layout in pixels.
constexpr int kWidth = 500;
constexpr int kMargin = 12;
constexpr int kLabelWidth = 84;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 23;
constexpr int kBoxHeight = 21;
constexpr int kToolSize = 26;
constexpr int kListTop = 42;
constexpr int kListHeight = 200;

// ---- The filter box --------------------------------------------------------------------

// A drop-down box showing the current filter: a sunken white box with the
// description and a drop button; Drop asks the dialog to open the list.
class FilterBox final : public Control {
 public:
  static constexpr int kDropWidth = 17;

  FilterBox(Container& parent, std::function<void()> drop, std::function<void(int)> step)
      : Control(parent, u"cboFileType"), drop_(std::move(drop)), step_(std::move(step)) {
    SetBackColor(kWindow);
  }
  void SetText(StringView text) {
    text_ = String(text);
    Refresh();
  }
  [[nodiscard]] bool CanFocus() const override { return true; }

 protected:
  void OnPaint(platform::Surface& s) override {
    const Rect all{0, 0, PixelWidth(), PixelHeight()};
    s.FillRect(all, kWindow);
    DrawBorder(s, all, border::kFixedSingle, appearance::k3D);
    const int frame = BorderWidth(border::kFixedSingle, appearance::k3D);
    const Rect drop{all.right - frame - kDropWidth, frame, all.right - frame, all.bottom - frame};
    s.FillRect(drop, kFace);
    FrameRect(s, drop, k3DLight, kDarkShadow);
    FrameRect(s, Inset(drop, 1), kLight, kShadow);
    const int cx = (drop.left + drop.right) / 2;
    const int cy = (drop.top + drop.bottom) / 2 - 1;
    for (int i = 0; i < 4; ++i) s.FillRect(Rect{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1}, kButtonText);
    const Rect text{frame + 1, frame + 1, drop.left - 1, all.bottom - frame - 1};
    if (HasFocus()) {
      s.FillRect(text, kHighlight);
      FocusRect(s, text, kWindowText);
    }
    s.SetTextColor(!EffectivelyEnabled() ? kGreyText : HasFocus() ? kHighlightText : kWindowText);
    s.TextIn(Rect{text.left + 2, text.top, text.right - 2, text.bottom}, text_,
             platform::dt::kLeft | platform::dt::kVCenter | platform::dt::kSingleLine | platform::dt::kEndEllipsis);
  }
  void OnMouseDown(const MouseEvent& e) override {
    if (e.button != platform::button::kLeft) return;
    SetFocus();
    drop_();
  }
  void OnKeyDown(int& keyCode, int shift) override {
    if (keyCode == vk::kF1 + 3 || (keyCode == vk::kDown && (shift & platform::shift::kAlt) != 0)) {
      keyCode = 0;
      drop_();
    } else if (keyCode == vk::kUp || keyCode == vk::kDown) {
      step_(keyCode == vk::kUp ? -1 : 1);
      keyCode = 0;
    }
  }
  void OnGotFocus() override { Refresh(); }
  void OnLostFocus() override { Refresh(); }

 private:
  String text_;
  std::function<void()> drop_;
  std::function<void(int)> step_;
};

// ---- Pictures of the tool buttons ----------------------------------------------------------

// A folder with a green arrow pointing up out of it.
void DrawUpGlyph(platform::Surface& s, const Rect& r, bool enabled) {
  const int x = (r.left + r.right) / 2 - 8;
  const int y = (r.top + r.bottom) / 2 - 8;
  const Colour edge = enabled ? 0x0080A0 : 0x808080;
  const Colour body = enabled ? 0x40D0F8 : 0xC0C0C0;
  s.FillRect(Rect{x, y + 6, x + 5, y + 8}, edge);
  s.FillRect(Rect{x, y + 7, x + 14, y + 16}, edge);
  s.FillRect(Rect{x + 1, y + 8, x + 13, y + 15}, body);
  const Colour arrow = enabled ? 0x008000 : 0x808080;
  s.FillRect(Rect{x + 10, y + 3, x + 12, y + 12}, arrow);
  for (int i = 0; i < 4; ++i) s.FillRect(Rect{x + 11 - i, y + i, x + 11 + i + 1, y + i + 1}, arrow);
}

// A house: roof, walls, a door.
void DrawHomeGlyph(platform::Surface& s, const Rect& r, bool enabled) {
  const int x = (r.left + r.right) / 2 - 8;
  const int y = (r.top + r.bottom) / 2 - 8;
  const Colour roof = enabled ? 0x2020B0 : 0x808080;
  const Colour wall = enabled ? 0xE0F0F8 : 0xC0C0C0;
  const Colour edge = enabled ? 0x404040 : 0x808080;
  const Colour door = enabled ? 0x305080 : 0x808080;
  for (int i = 0; i < 8; ++i) s.FillRect(Rect{x + 8 - i, y + 1 + i, x + 8 + i + 1, y + 2 + i}, roof);
  s.FillRect(Rect{x + 2, y + 9, x + 15, y + 16}, edge);
  s.FillRect(Rect{x + 3, y + 9, x + 14, y + 15}, wall);
  s.FillRect(Rect{x + 7, y + 11, x + 10, y + 15}, door);
}

String Trimmed(StringView s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return String(s);
}

bool IsSeparator(char16_t c, char16_t sep) { return c == sep || c == u'/'; }

// ---- The dialog ----------------------------------------------------------------------------

class SaveForm final : public Form {
 public:
  SaveForm(ControlHost& host, Form* owner, platform::OpenFileName& record);
  ~SaveForm() override = default;
  SaveForm(const SaveForm&) = delete;
  SaveForm& operator=(const SaveForm&) = delete;

  std::int32_t Run();

 protected:
  bool PreviewKeyDown(int keyCode, int shift) override;

 private:
  template <typename T, typename... Args>
  T& Add(int x, int y, int w, int h, Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *control;
    ref.Move(x * kTwipsPerPixel, y * kTwipsPerPixel, w * kTwipsPerPixel, h * kTwipsPerPixel);
    controls_.push_back(std::move(control));
    return ref;
  }
  Label& AddLabel(int x, int y, int w, StringView name, StringView caption);
  // Shows a folder; false (and nothing changed) when it cannot be listed.
  bool Open(StringView folder);
  void Fill();
  void ChooseFilter(int index);
  void DropFilters();
  void OnSelected(int row);
  void OnActivated(int row);
  void Save();
  void Finish(std::int32_t result) {
    if (done_) return;
    result_ = result;
    done_ = true;
    Hide();
  }

  platform::Platform& platform_;
  platform::OpenFileName& record_;
  char16_t sep_;
  std::vector<std::pair<String, String>> filters_;
  int filter_ = 0;
  String folder_;
  std::vector<platform::FolderEntry> listed_;
  std::vector<std::unique_ptr<Control>> controls_;
  TextBox* txtFolder_ = nullptr;
  FolderList* lstFiles_ = nullptr;
  TextBox* txtFileName_ = nullptr;
  FilterBox* cboFileType_ = nullptr;
  PushButton* cmdSave_ = nullptr;
  PushButton* cmdCancel_ = nullptr;
  bool done_ = false;
  std::int32_t result_ = 0;
};

Label& SaveForm::AddLabel(int x, int y, int w, StringView name, StringView caption) {
  Label& label = Add<Label>(x, y, w, 16, *this, name);
  label.SetCaption(caption);
  return label;
}

SaveForm::SaveForm(ControlHost& host, Form* owner, platform::OpenFileName& record)
    : Form(host, u"frmSaveFile", record.lpstrTitle.empty() ? StringView(kDefaultTitle) : StringView(record.lpstrTitle),
           platform::WindowKind::Dialog, owner),
      platform_(host.GetPlatform()),
      record_(record),
      sep_(host.GetPlatform().app().PathSeparator()),
      filters_(platform::FilterPairs(record.lpstrFilter)) {
  SetFont(owner != nullptr ? owner->Font() : platform::Font{});
  if (record.nFilterIndex >= 1 && record.nFilterIndex <= filters_.size()) {
    filter_ = static_cast<int>(record.nFilterIndex) - 1;
  }

  const int right = kWidth - kMargin;
  const int homeLeft = right - kToolSize;
  const int upLeft = homeLeft - 3 - kToolSize;
  AddLabel(kMargin, 15, 60, u"lblFolder", u"Папка:");
  txtFolder_ = &Add<TextBox>(76, 12, upLeft - 6 - 76, kBoxHeight, *this, u"txtFolder");
  txtFolder_->SetLocked(true);
  txtFolder_->SetTabStop(false);
  auto& up = Add<PushButton>(upLeft, 11, kToolSize, kButtonHeight, *this, u"cmdUp", -1, u"",
                             [this] { Open(ParentFolder(folder_, sep_)); });
  up.SetGlyph(DrawUpGlyph);
  auto& home = Add<PushButton>(homeLeft, 11, kToolSize, kButtonHeight, *this, u"cmdHome", -1, u"", [this] {
    const String h = platform_.dialogs().HomeFolder();
    if (!h.empty()) Open(h);
  });
  home.SetGlyph(DrawHomeGlyph);

  lstFiles_ = &Add<FolderList>(kMargin, kListTop, kWidth - 2 * kMargin, kListHeight, *this, u"lstFiles");
  lstFiles_->SelectionChanged.Connect([this](int row) { OnSelected(row); });
  lstFiles_->Activated.Connect([this](int row) { OnActivated(row); });

  const int nameTop = kListTop + kListHeight + 12;
  const int typeTop = nameTop + 30;
  const int boxLeft = kMargin + kLabelWidth + 4;
  const int buttonLeft = right - kButtonWidth;
  AddLabel(kMargin, nameTop + 3, kLabelWidth, u"lblFileName", u"Имя файла:");
  txtFileName_ = &Add<TextBox>(boxLeft, nameTop, buttonLeft - 10 - boxLeft, kBoxHeight, *this, u"txtFileName");
  cmdSave_ = &Add<PushButton>(buttonLeft, nameTop - 1, kButtonWidth, kButtonHeight, *this, u"cmdSave", -1,
                              u"Сохранить", [this] { Save(); });
  AddLabel(kMargin, typeTop + 3, kLabelWidth, u"lblFileType", u"Тип файла:");
  cboFileType_ = &Add<FilterBox>(boxLeft, typeTop, buttonLeft - 10 - boxLeft, kBoxHeight, *this,
                                 [this] { DropFilters(); }, [this](int step) { ChooseFilter(filter_ + step); });
  cboFileType_->SetEnabled(!filters_.empty());
  cmdCancel_ = &Add<PushButton>(buttonLeft, typeTop - 1, kButtonWidth, kButtonHeight, *this, u"cmdCancel", -1,
                                u"Отмена", [this] { Finish(0); });
  if (!filters_.empty()) cboFileType_->SetText(filters_[static_cast<std::size_t>(filter_)].first);

  // The starting folder: the name's own, else the initial one (the
  // documents folder instead where nothing can be saved in it), else home.
  const String file = platform::CutAtNul(record.lpstrFile);
  std::size_t slash = String::npos;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (IsSeparator(file[i], sep_)) slash = i;
  }
  const String name = slash == String::npos ? file : file.substr(slash + 1);
  const bool opened = (slash != String::npos && Open(slash == 0 ? file.substr(0, 1) : file.substr(0, slash))) ||
                      Open(platform::SaveStartFolder(
                          platform::CutAtNul(record.lpstrInitialDir),
                          [this](StringView f) { return platform_.dialogs().MaySaveIn(f); },
                          [this] { return platform_.dialogs().DocumentsFolder(); })) ||
                      Open(platform::CutAtNul(record.lpstrInitialDir)) || Open(platform_.dialogs().HomeFolder()) ||
                      Open(String(1, sep_));
  if (!opened) Fill();
  txtFileName_->SetText(name);

  const int height = typeTop + kButtonHeight + kMargin;
  const Rect work = platform_.host().WorkArea();
  Rect over = work;
  if (owner != nullptr && owner->Visible()) over = platform_.host().Bounds(owner->Window());
  const int left =
      std::clamp(over.left + (over.Width() - kWidth) / 2, work.left, std::max(work.left, work.right - kWidth));
  const int top =
      std::clamp(over.top + (over.Height() - height) / 2, work.top, std::max(work.top, work.bottom - height));
  Move(left * kTwipsPerPixel, top * kTwipsPerPixel, kWidth * kTwipsPerPixel, height * kTwipsPerPixel);
}

bool SaveForm::Open(StringView folder) {
  if (folder.empty()) return false;
  auto entries = platform_.dialogs().ListFolder(folder);
  if (!entries) return false;
  folder_ = String(folder);
  listed_ = std::move(*entries);
  txtFolder_->SetText(folder_);
  Fill();
  return true;
}

void SaveForm::Fill() {
  const StringView pattern =
      filters_.empty() ? StringView() : StringView(filters_[static_cast<std::size_t>(filter_)].second);
  std::vector<platform::FolderEntry> shown;
  for (const platform::FolderEntry& e : listed_) {
    if (e.name.empty() || e.name[0] == u'.') continue;  // hidden, as the desktop's choosers keep them
    if (e.folder || pattern.empty() || platform::MatchesPattern(e.name, pattern)) shown.push_back(e);
  }
  std::sort(shown.begin(), shown.end(), [](const platform::FolderEntry& a, const platform::FolderEntry& b) {
    if (a.folder != b.folder) return a.folder;
    return text::LowerCase(a.name) < text::LowerCase(b.name);
  });
  lstFiles_->SetEntries(std::move(shown));
}

void SaveForm::ChooseFilter(int index) {
  if (filters_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(filters_.size()) - 1);
  if (index == filter_) return;
  filter_ = index;
  cboFileType_->SetText(filters_[static_cast<std::size_t>(filter_)].first);
  Fill();
}

void SaveForm::DropFilters() {
  if (filters_.empty()) return;
  std::vector<platform::MenuItem> items;
  for (std::size_t i = 0; i < filters_.size(); ++i) {
    items.push_back({.id = static_cast<int>(i) + 1,
                     .caption = filters_[i].first,
                     .checked = static_cast<int>(i) == filter_});
  }
  const Rect me = cboFileType_->FormRect();
  const Rect at = platform_.host().Bounds(Window());
  const int chosen = Host().PopupMenu(this, items, Point{at.left + me.left, at.top + me.bottom});
  if (chosen > 0) ChooseFilter(chosen - 1);
}

void SaveForm::OnSelected(int row) {
  const platform::FolderEntry& e = lstFiles_->Entries()[static_cast<std::size_t>(row)];
  if (!e.folder) txtFileName_->SetText(e.name);
}

void SaveForm::OnActivated(int row) {
  const platform::FolderEntry& e = lstFiles_->Entries()[static_cast<std::size_t>(row)];
  if (e.folder) {
    Open(JoinFolder(folder_, e.name, sep_));
  } else {
    txtFileName_->SetText(e.name);
    Save();
  }
}

void SaveForm::Save() {
  const String name = Trimmed(txtFileName_->Text());
  if (name.empty()) return;
  String path = IsFullPath(name) ? name : JoinFolder(folder_, name, sep_);
  if (IsSeparator(name.back(), sep_) || platform_.dialogs().ListFolder(path)) {
    if (Open(path)) {
      txtFileName_->SetText(u"");
      txtFileName_->SetFocus();
      return;
    }
  }
  const String parent = ParentFolder(path, sep_);
  std::size_t nameAt = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i], sep_)) nameAt = i + 1;
  }
  const String defExt = platform::CutAtNul(record_.lpstrDefExt);
  if (!defExt.empty() && path.find(u'.', nameAt) == String::npos) path += u'.' + defExt;
  const String leaf = path.substr(nameAt);
  auto refuse = [&](StringView message) {
    Host().MessageBox(this, message, Caption(), mb::kOk | mb::kIconExclamation);
    txtFileName_->SetFocus();
    txtFileName_->SelectAll();
  };
  if (!platform_.dialogs().ListFolder(parent)) {
    refuse(path + u"\r\nПуть не найден.\r\nПроверьте правильность пути.");
    return;
  }
  if (record_.nMaxFile == 0 || path.size() > record_.nMaxFile - 1) {
    refuse(leaf + u"\r\nИмя файла слишком длинное.");
    return;
  }
  if ((record_.Flags & platform::ofn::kOverwritePrompt) != 0 && platform_.files().FileExists(path)) {
    const int answer = Host().MessageBox(this, leaf + u" уже существует.\r\nЗаменить его?", kConfirmTitle,
                                         mb::kYesNo | mb::kIconExclamation);
    if (answer != mb::kIdYes) {
      txtFileName_->SetFocus();
      txtFileName_->SelectAll();
      return;
    }
  }
  const String seps = sep_ == u'/' ? String(u"/") : String(u"\\/");
  Finish(platform::StoreChosenFile(record_, path, seps) ? 1 : 0);
}

bool SaveForm::PreviewKeyDown(int keyCode, int shift) {
  if (keyCode == vk::kEscape || (keyCode == vk::kF1 + 3 && (shift & platform::shift::kAlt) != 0)) {
    Finish(0);
    return true;
  }
  if (keyCode != vk::kReturn) return false;
  Control* focus = ActiveControl();
  if (auto* button = dynamic_cast<PushButton*>(focus)) {
    button->Press();
  } else if (focus == lstFiles_ && lstFiles_->Selected() >= 0) {
    OnActivated(lstFiles_->Selected());
  } else {
    Save();
  }
  return true;
}

std::int32_t SaveForm::Run() {
  ControlHost& host = Host();
  if (Control* holder = host.ControlOf(host.GetCapture())) holder->ReleaseCapture();
  Show();
  txtFileName_->SetFocus();
  txtFileName_->SelectAll();
  host.RunModal([this] { return done_ || !Visible() || Unloaded(); }, this);
  Hide();
  if (!filters_.empty()) record_.nFilterIndex = static_cast<std::uint32_t>(filter_) + 1;
  return done_ ? result_ : 0;
}

}  // namespace

String ParentFolder(StringView folder, char16_t sep) {
  String f(folder);
  while (f.size() > 1 && IsSeparator(f.back(), sep) && !(f.size() == 3 && f[1] == u':')) f.pop_back();
  if (f.size() == 2 && f[1] == u':') return f + sep;  // "C:" -> "C:\"
  std::size_t last = String::npos;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (IsSeparator(f[i], sep)) last = i;
  }
  if (last == String::npos) return f;
  if (last == 0) return f.substr(0, 1);                       // "/home" -> "/"
  if (last == 2 && f[1] == u':') return f.substr(0, 3);  // "C:\x" -> "C:\"
  return f.substr(0, last);
}

String JoinFolder(StringView folder, StringView name, char16_t sep) {
  String path(folder);
  if (!path.empty() && !IsSeparator(path.back(), sep)) path += sep;
  path += name;
  return path;
}

bool IsFullPath(StringView name) {
  if (!name.empty() && (name[0] == u'/' || name[0] == u'\\')) return true;
  return name.size() >= 3 && name[1] == u':' && (name[2] == u'\\' || name[2] == u'/');
}

std::int32_t ShowSaveFileDialog(ControlHost& host, Form* owner, platform::OpenFileName& record) {
  SaveForm dialog(host, owner, record);
  return dialog.Run();
}

}  // namespace pd::forms
