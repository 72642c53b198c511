// frmMain: layout, start-up, the tray and its menu, showing and hiding,
// pages, confirm, close and exit, and the temporary tray icons.
#include "app/frmMain.h"

#include "platform/text.h"

namespace pd::app {

namespace {

platform::Font Verdana(bool bold = false) {
  return platform::Font{.face = u"Verdana", .size = 8.25, .bold = bold, .charset = 204};
}

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kFrameColour = 0xB39B87;

template <typename T>
std::unique_ptr<T> Make(forms::Container& parent, StringView name, int left, int top, int width, int height,
                        int index = -1) {
  auto control = std::make_unique<T>(parent, name, index);
  control->Move(left, top, width, height);
  return control;
}

std::unique_ptr<controls::XP_Button> Button(forms::Container& parent, StringView name, StringView caption, int left,
                                            int top, int width, int height, int index = -1) {
  auto b = Make<controls::XP_Button>(parent, name, left, top, width, height, index);
  b->SetCaption(caption);
  return b;
}

std::unique_ptr<controls::XP_CheckBox> CheckBox(forms::Container& parent, StringView name, StringView caption, int left,
                                                int top, int width, int height) {
  auto c = Make<controls::XP_CheckBox>(parent, name, left, top, width, height);
  c->SetBackColor(kWhite);
  c->SetAutoSizeH(true);
  c->SetCaption(caption);
  return c;
}

std::unique_ptr<forms::Label> MakeLabel(forms::Container& parent, StringView name, StringView caption, int left,
                                        int top, int width, int height) {
  auto l = Make<forms::Label>(parent, name, left, top, width, height);
  l->SetCaption(caption);
  return l;
}

std::unique_ptr<controls::XP_ListBox> List(forms::Container& parent, StringView name, int left, int top, int width,
                                           int height, bool checks) {
  auto l = Make<controls::XP_ListBox>(parent, name, left, top, width, height);
  if (checks) l->SetStyle(2);
  l->SetMultiSelect(2);
  // Entries are file names, shown as they are: "<b>x.exe" is no markup.
  l->SetItemMarkup(false);
  return l;
}

}  // namespace

frmMain::frmMain(forms::ControlHost& host)
    : forms::Form(host, u"frmMain", msg::kCaption), platform_(host.GetPlatform()), services_(platform_) {
  SetFont(Verdana());
  Move(0, 0, kClientWidth, kClientHeight);
  static constexpr std::array<const char16_t*, 3> kTabs = {u"Опции", u"Процессы", u"Запреты"};
  for (int i = 0; i < 3; ++i) {
    picPage[i] = Make<forms::PictureBox>(*this, u"picPage", 90, 390, 6360, 6135, i);
    picPage[i]->SetBackColor(kWhite);
    picPage[i]->SetVisible(i == 0);
  }
  for (int i = 0; i < 3; ++i) {
    tabPage[i] = Button(*this, u"tabPage", kTabs[i], 75 + i * 1275, 75, 1290, 315, i);
    tabPage[i]->SetControlType(2);
  }
  tabPage[0]->SetValue(true);
  shpShape1 = Make<forms::Shape>(*this, u"shpShape1", 75, 375, 6390, 6165);
  shpShape1->SetBorderColor(kFrameColour);
  cmdOK = Button(*this, u"cmdOK", u"ОК", 5100, 6600, 1365, 315);
  CreatePage0();
  page_ = std::make_unique<ProcessPage>(
      platform_, services_, host, *picPage[1],
      ProcessPage::Callbacks{
          .AddToBlockList =
              [this](StringView name) {
                chkBlock_Active->SetValue(0);
                txtBlock->SetText(name);
                cmdBlock_Add_Click();
              },
          .Balloon = [this](StringView title, StringView text,
                            int icon) { TrayIcon->ShowBallon(title, text, static_cast<std::uint32_t>(icon)); }});
  CreatePage2();
  TrayIcon = std::make_unique<shell::TrayIcon>(*this, u"TrayIcon");
  HotKeys = std::make_unique<hotkeys::HotKeys>(*this, u"HotKeys");
  auto& loop = platform_.loop();
  tmrIconChanger_ = loop.CreateTimer([this] { tmrIconChanger_Timer(); });
  tmrIconChanger_->SetInterval(kIconChangerMs);
  tmrUnPresser_ = loop.CreateTimer([this] {
    pressCount_ = 0;
    tmrUnPresser_->SetEnabled(false);
  });
  tmrUnPresser_->SetInterval(kUnPresserMs);
  tmrBlock_ = loop.CreateTimer([this] { tmrBlock_Timer(); });
  tmrBlock_->SetInterval(kBlockMs);
  tmrExit_ = loop.CreateTimer([this] { EndRun(); });
  tmrExit_->SetInterval(kExitWarningMs);
  Connect();
}

frmMain::~frmMain() {
  if (!listening_) return;
  platform_.loop().SetEndRequest(nullptr);
  platform_.app().SetShowRequest(nullptr);
}

void frmMain::CreatePage0() {
  auto& p = *picPage[0];
  chkAutoStart = CheckBox(p, u"chkAutoStart", u"Запускать вместе с Windows", 150, 150, 2760, 240);
  chkHKShow = CheckBox(p, u"chkHKShow", u"Вызывать это окно по клавише Ctrl+Alt+Insert", 150, 375, 4425, 240);
  lblLabel1 = MakeLabel(p, u"lblLabel1", u"Всплывающие уведомления:", 150, 750, 2880, 195);
  lblLabel1->SetFont(Verdana(true));
  chkTip_Good = CheckBox(p, u"chkTip_Good", u"При успешном закрытии приложения", 150, 975, 3525, 240);
  chkTip_Bad = CheckBox(p, u"chkTip_Bad", u"При попыткe закрытии приложения исключения", 150, 1200, 4545, 240);
  chkTip_Block = CheckBox(p, u"chkTip_Block", u"При блокировке приложения", 150, 1425, 2835, 240);
  lblList = MakeLabel(p, u"lblList", u"Список исключений:", 150, 1875, 1860, 195);
  lstEXEList = List(p, u"lstEXEList", 150, 2100, 3195, 3870, true);
  cmdList_Add = Button(p, u"cmdList_Add", u"Добавить", 3450, 2100, 1365, 315);
  cmdList_Delete = Button(p, u"cmdList_Delete", u"Удалить", 3450, 2475, 1365, 315);
  cmdList_EnableAll[0] = Button(p, u"cmdList_EnableAll", u"Вкл. все", 3450, 3000, 1365, 315, 0);
  cmdList_EnableAll[1] = Button(p, u"cmdList_EnableAll", u"Откл. все", 3450, 3375, 1365, 315, 1);
}

void frmMain::CreatePage2() {
  auto& p = *picPage[2];
  lblLabel2 = MakeLabel(p, u"lblLabel2", u"Список запрещенных файлов:", 90, 75, 2715, 195);
  lstBlock = List(p, u"lstBlock", 90, 300, 3195, 5550, true);
  txtBlock = Make<forms::TextBox>(p, u"txtBlock", 3375, 300, 2865, 315);
  cmdBlock_Add = Button(p, u"cmdBlock_Add", u"Добавить", 3375, 675, 1365, 315);
  chkBlock_Active = CheckBox(p, u"chkBlock_Active", u"Активен", 4800, 675, 975, 240);
  cmdBlock_Delete = Button(p, u"cmdBlock_Delete", u"Удалить", 3375, 1050, 1365, 315);
  cmdBlock_EnableAll[0] = Button(p, u"cmdBlock_EnableAll", u"Вкл. все", 3375, 1575, 1365, 315, 0);
  cmdBlock_EnableAll[1] = Button(p, u"cmdBlock_EnableAll", u"Откл. все", 3375, 1950, 1365, 315, 1);
}

void frmMain::Connect() {
  for (int i = 0; i < 3; ++i) tabPage[i]->Click.Connect([this, i] { tabPage_Click(i); });
  cmdOK->Click.Connect([this] { cmdOK_Click(); });
  cmdList_Add->Click.Connect([this] { cmdList_Add_Click(); });
  cmdList_Delete->Click.Connect([this] { DeleteSelected(*lstEXEList); });
  cmdBlock_Add->Click.Connect([this] { cmdBlock_Add_Click(); });
  cmdBlock_Delete->Click.Connect([this] { DeleteSelected(*lstBlock); });
  for (int i = 0; i < 2; ++i) {
    cmdList_EnableAll[i]->Click.Connect([this, i] { EnableAll(*lstEXEList, i == 0); });
    cmdBlock_EnableAll[i]->Click.Connect([this, i] { EnableAll(*lstBlock, i == 0); });
  }
  TrayIcon->MouseDown.Connect([this](std::int16_t) { TrayIcon_MouseDown(); });
  TrayIcon->NoTray.Connect([this] { TrayIcon_NoTray(); });
  HotKeys->HKPress.Connect([this](std::int32_t index) { HKPress(index); });
  QueryUnload.Connect([this](bool& cancel, int mode) { Form_QueryUnload(cancel, mode); });
  OnUnload.Connect([this](bool& cancel) {
    if (!cancel) Form_Unload();
  });
}

bool frmMain::Load() {
  // 1. Bottom right of the screen.
  auto& host = Host();
  Move(host.ScreenWidth() - Width() - 300, host.ScreenHeight() - Height() - 1200);
  // 2. A second copy ends before it reads or writes anything (the first
  // has been asked to show its window).
  if (platform_.app().PrevInstance()) return false;
  // The end of the session (log off, shutdown; on Linux a signal to end or
  // the loss of the display) unloads as the system's unload; a later start
  // shows the window as "Основное окно" does.
  platform_.loop().SetEndRequest([this] { Unload(platform::unload::kSession); });
  platform_.app().SetShowRequest([this] {
    if (loaded_) ShowWindowFromTray();
  });
  listening_ = true;
  // 3. The form's window is kept out of the task list by the host.
  // 4. Pages on top of each other; the tab skin.
  const auto skin = platform_.resources().LoadPicture(platform::res::kTabSkin);
  for (int i = 0; i < 3; ++i) {
    picPage[i]->Move(picPage[0]->Left(), picPage[0]->Top());
    tabPage[i]->SetButtonPicture(skin, 5, 5, 6, 1, true);
  }
  // 5. Options, exceptions, blocks (after sweeping what interrupted saves left).
  // Their warnings wait for the icon and the introduction.
  HoldWarnings();
  RemoveLeftoverTemps();
  LoadOptions();
  LoadExceptions();
  LoadBlocks();
  // 6. The tray icon.
  SetTrayIcon(NormalIconId());
  TrayIcon->SetTipText(Caption());
  TrayIcon->SetRestoreOnShellFail(true);
  TrayIcon->AddIcon();
  // 7. The desktop's part, and the introduction on the first run.
  String intro = msg::kIntroText;
  StartDesktop(intro);
  if (firstRun_) TrayIcon->ShowBallon(Caption() + msg::kIntroTitleSuffix, intro, platform::niif::kInfo);
  ReleaseWarnings();
  // 8. Hot keys, in the order their indexes name them.
  namespace vk = platform::vk;
  HotKeys->AddHotKey(vk::kControl, vk::kMenu, vk::kLWin);
  HotKeys->AddHotKey(vk::kControl, vk::kMenu, vk::kLButton);
  HotKeys->AddHotKey(vk::kControl, vk::kMenu, vk::kInsert);
  // 9. Running when enabled.
  if (enabled_) HotKeys->StartHK();
  tmrBlock_->SetEnabled(enabled_);
  // 10. Into the tray.
  Hide();
  loaded_ = true;
  return true;
}

int frmMain::NormalIconId() const { return enabled_ ? platform::res::kIconEnabled : platform::res::kIconDisabled; }

void frmMain::SetTrayIcon(int resourceId) {
  trayIconId_ = resourceId;
  TrayIcon->SetIcon(platform_.resources().LoadPicture(resourceId));
}

void frmMain::ShowEntryBalloon(StringView title, StringView text, std::uint32_t icon, int trayIcon) {
  tmrIconChanger_->SetEnabled(false);
  if (trayIcon != 0) SetTrayIcon(trayIcon);
  TrayIcon->ShowBallon(title, text, icon);
  tmrIconChanger_->SetEnabled(true);
}

void frmMain::tmrIconChanger_Timer() {
  SetTrayIcon(NormalIconId());
  tmrIconChanger_->SetEnabled(false);
}

void frmMain::TrayIcon_MouseDown() {
  // Ending, with a warning on show: a click says it was seen.
  if (exiting_) return EndRun();
  // The menu is owned by this window; the host brings it to the front and
  // gives the focus back when it closes.
  const platform::MenuItem items[] = {
      {.id = menu::kState, .caption = u"Включен", .checked = enabled_},
      {.separator = true},
      {.id = menu::kShow, .caption = u"Основное окно"},
      {.id = menu::kExit, .caption = u"Выход"},
  };
  switch (Host().PopupMenu(this, items, platform_.input().CursorPos())) {
    case menu::kState:
      mnuState_Click();
      break;
    case menu::kShow:
      mnuShow_Click();
      break;
    case menu::kExit:
      mnuExit_Click();
      break;
    default:
      break;
  }
}

// No tray shows the icon (none at start-up, or it went for good): the
// balloons still come without it, and the user is told once how to reach
// the window.
void frmMain::TrayIcon_NoTray() {
  if (noTrayTold_) return;
  noTrayTold_ = true;
  TrayIcon->ShowBallon(Caption(), msg::kNoTray, platform::niif::kInfo);
}

void frmMain::mnuState_Click() {
  if (enabled_) {
    HotKeys->StopHK();
  } else {
    HotKeys->StartHK();
  }
  enabled_ = !enabled_;
  tmrBlock_->SetEnabled(enabled_);
  if (!enabled_) blocked_.clear();
  SetTrayIcon(NormalIconId());
}

void frmMain::mnuShow_Click() { ShowWindowFromTray(); }

bool frmMain::WindowShown() const { return Visible() && platform_.host().IsVisible(Window()); }

void frmMain::ShowWindowFromTray() {
  // A window the user minimised is still shown to the form, but not on the
  // screen: hidden first, so that showing it brings it back.
  if (Visible() && !WindowShown()) Hide();
  Show();
  platform_.input().SetForegroundWindow(Window());
  if (tabPage[1]->Value()) RefreshProcessList();
}

void frmMain::mnuExit_Click() { Unload(platform::unload::kCode); }

void frmMain::tabPage_Click(int index) {
  for (int i = 0; i < 3; ++i) picPage[i]->SetVisible(tabPage[i]->Value());
  if (index == 1) RefreshProcessList();
}

void frmMain::RefreshProcessList() { page_->RefreshProcessList(); }

void frmMain::cmdOK_Click() {
  HoldWarnings();
  SaveOptions();
  SaveExceptions();
  SaveBlocks();
  ReleaseWarnings();
  Hide();
}

void frmMain::Form_QueryUnload(bool& cancel, int unloadMode) {
  if (unloadMode != platform::unload::kUser) return;
  cancel = true;
  cmdOK_Click();
}

void frmMain::Form_Unload() {
  if (!loaded_) return;
  loaded_ = false;
  exiting_ = true;
  tmrBlock_->SetEnabled(false);
  HotKeys->StopHK();
  if (desktopChord_) {
    platform_.desktop().UnwatchChord();
    desktopChord_ = false;
  }
  // The normal icon now: changing it later would withdraw a warning.
  if (tmrIconChanger_->Enabled()) tmrIconChanger_Timer();
  HoldWarnings();
  SaveOptions();
  SaveExceptions();
  SaveBlocks();
  const bool warned = !warnings_.empty();
  ReleaseWarnings();
  // A warning needs the icon a while longer; the loop keeps running (a
  // click on the icon ends it at once).
  if (warned && TrayIcon->Added()) {
    tmrExit_->SetEnabled(true);
  } else {
    EndRun();
  }
}

void frmMain::EndRun() {
  tmrExit_->SetEnabled(false);
  TrayIcon->RemoveIcon();
  platform_.loop().Quit();
}

}  // namespace pd::app
