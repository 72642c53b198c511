#include "app/ProcessPage.h"

#include <algorithm>

#include "controls/MarkupParser.h"
#include "forms/Form.h"
#include "platform/text.h"

namespace pd::app {

namespace {

constexpr StringView kCrLf = u"\r\n";
constexpr StringView kLeftColumn = u"<left=100>";

platform::Font PageFont(StringView face) {
  platform::Font f;
  f.face = String(face);
  f.size = 8.25;
  f.charset = 204;
  return f;
}

String Decimal(std::uint64_t n) { return text::FromAscii(std::to_string(n)); }

}  // namespace

const StringView ProcessPage::kWarning = u"BHИMAHИE! Зaвepшeниe пpoцecca мoжeт\r\nпpивecти к нeжeлaтeльным peзyльтaтaм, в тoм чиcлe\r\nк пoтepe дaнныx или к нecтaбильнoй paбoтe cиcтeмы.";
const StringView ProcessPage::kQuestionKill = u"Bы дeйcтвитeльнo xoтитe зaвepшить пpoцecc?";
const StringView ProcessPage::kQuestionKillFile = u"Bы дeйcтвитeльнo xoтитe зaвepшить пpoцecc и удалить файл?";

ProcessPage::ProcessPage(platform::Platform& platform, modMain& services, forms::ControlHost& host,
                         forms::Container& page, Callbacks callbacks)
    : platform_(platform), services_(services), host_(host), page_(page), callbacks_(std::move(callbacks)) {
  const platform::Font verdana = PageFont(u"Verdana");
  const platform::Font sansSerif = PageFont(u"MS Sans Serif");

  lblTitle_ = std::make_unique<forms::Label>(page_, u"lblTitle");
  lblTitle_->Move(90, 75, 2880, 195);
  lblTitle_->SetFont(verdana);
  lblTitle_->SetCaption(u"Список запущенных процессов:");
  lblProcCount_ = std::make_unique<forms::Label>(page_, u"lblProc_Count");
  lblProcCount_->Move(3075, 75, 480, 195);
  lblProcCount_->SetFont(verdana);

  // Places are left, top, width and height in twips.
  struct Place {
    int left, top, width, height;
  };
  auto button = [&](std::unique_ptr<controls::XP_Button>& b, StringView name, StringView caption, Place r,
                    const platform::Font& font, void (ProcessPage::*click)()) {
    b = std::make_unique<controls::XP_Button>(page_, name);
    b->Move(r.left, r.top, r.width, r.height);
    b->SetFont(font);
    b->SetCaption(caption);
    b->Click.Connect([this, click] { (this->*click)(); });
  };
  button(cmdSaveLog_, u"cmdSaveLog", u"сохр. отчет", Place{5070, 45, 1200, 240}, verdana,
         &ProcessPage::cmdSaveLog_Click);

  lstProc_ = std::make_unique<controls::XP_ListBox>(page_, u"lstProc");
  lstProc_->Move(90, 300, 6180, 5310);
  lstProc_->SetFont(sansSerif);
  lstProc_->SetItemHeight(16);
  lstProc_->SetMultiSelect(2);
  lstProc_->Click.Connect([this] { UpdateProcessButtons(); });

  button(cmdRefresh_, u"cmdProc_Refresh", u"Обновить", Place{75, 5700, 990, 315}, sansSerif,
         &ProcessPage::cmdProc_Refresh_Click);
  button(cmdAddBlock_, u"cmdProc_AddBlock", u"Добавить в запреты", Place{1140, 5700, 1740, 315}, sansSerif,
         &ProcessPage::cmdProc_AddBlock_Click);
  button(cmdKill_, u"cmdProc_Kill", u"Завершить выделенные", Place{2955, 5700, 1995, 315}, sansSerif,
         &ProcessPage::cmdProc_Kill_Click);
  button(cmdKillFile_, u"cmdProc_KillFile", u"Удалить файл", Place{5025, 5700, 1245, 315}, sansSerif,
         &ProcessPage::cmdProc_KillFile_Click);

  saveDialog_ = std::make_unique<shell::SaveDialog>(page_, u"SaveDialog");
  saveDialog_->SetFilter(u"Текстовый файл (*.txt)|*.txt");
  saveDialog_->SetFilterIndex(1);
  saveDialog_->SetFlags(static_cast<std::int32_t>(platform::ofn::kOverwritePrompt));
  UpdateProcessButtons();
}

ProcessPage::~ProcessPage() = default;


void ProcessPage::RefreshProcessList() {
  lstProc_->Clear();
  table_.clear();
  who_.clear();
  String item;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    // The name and path shown, reported and acted on are read now, not
    // taken from the walk (which may serve them from a cache).
    const String listed = ProcessRecord(e).ExeFile();
    platform::ProcessIdentity who = services_.Identify(e.th32ProcessID, listed);
    // Ended since the walk: listed as the walk saw it, with no path, and
    // never acted on (it matches no running process).
    if (!who) who = platform::ProcessIdentity{.id = e.th32ProcessID, .started = 0, .name = listed, .path = {}};
    if (who.name == u"System" || who.name == u"[System Process]") return;
    if (services_.IsOwnProgram(who)) return;
    ProcessRecord rec(e);
    if (who.name != listed) rec.SetExeFile(who.name);
    rec.FullPath = who.path;
    item = controls::PlainMarkup(who.name);
    item += kLeftColumn;
    item += controls::PlainMarkup(who.path);
    table_.push_back(std::move(rec));
    who_.push_back(std::move(who));
    lstProc_->AddItem(item, -1, nullptr, false);
  });
  lstProc_->Refresh();
  lblProcCount_->SetCaption(Decimal(static_cast<std::uint64_t>(lstProc_->ListCount())));
  UpdateProcessButtons();
}

void ProcessPage::UpdateProcessButtons() {
  bool any = false;
  for (std::int32_t i = 0; i < lstProc_->ListCount() && !any; ++i) any = lstProc_->Selected(i);
  cmdProc_AddBlock().SetEnabled(any);
  cmdProc_Kill().SetEnabled(any);
  cmdProc_KillFile().SetEnabled(any);
}

bool ProcessPage::Confirm(StringView question) {
  String message(kWarning);
  message += kCrLf;
  message += question;
  const int answer = host_.MessageBox(&page_.GetForm(), message, kBoxTitle,
                                      platform::mb::kYesNo | platform::mb::kIconExclamation);
  return answer == platform::mb::kIdYes;
}

std::vector<ProcessPage::Chosen> ProcessPage::Selection() const {
  std::vector<Chosen> chosen;
  const auto count = std::min<std::size_t>(table_.size(), static_cast<std::size_t>(lstProc_->ListCount()));
  for (std::size_t i = 0; i < count; ++i) {
    if (lstProc_->Selected(static_cast<std::int32_t>(i))) chosen.push_back({who_[i], table_[i].FullPath});
  }
  return chosen;
}

void ProcessPage::cmdProc_Kill_Click() {
  // What the user chose when clicking: the box runs a loop in which the
  // list may change.
  const std::vector<Chosen> chosen = Selection();
  if (!Confirm(kQuestionKill)) return;
  for (const Chosen& c : chosen) services_.KillProcess(c.who);
  platform_.loop().Sleep(kWaitMs);
  RefreshProcessList();
}

void ProcessPage::cmdProc_KillFile_Click() {
  std::vector<Chosen> pending = Selection();
  if (!Confirm(kQuestionKillFile)) return;
  auto& loop = platform_.loop();
  const std::uint64_t begin = loop.TickCount();
  // Only the process listed is ended (KillProcess checks its id and start
  // time); the file listed for it is deleted once that process is no
  // longer running, whether it ended now or had ended before.
  for (const Chosen& c : pending) services_.KillProcess(c.who);
  std::erase_if(pending, [](const Chosen& c) { return c.file.empty(); });
  auto remove = [&](const Chosen& c) {
    if (services_.FileExists(c.file)) platform_.files().RemoveFile(c.file);
  };
  // The executable of a running process cannot be deleted everywhere: each
  // file goes as soon as its process has ended, within the wait.
  for (;;) {
    std::erase_if(pending, [&](const Chosen& c) {
      if (services_.SameProcess(c.who)) return false;
      remove(c);
      return true;
    });
    if (pending.empty() || loop.TickCount() - begin >= static_cast<std::uint64_t>(kWaitMs)) break;
    loop.Sleep(kPollMs);
  }
  for (const Chosen& c : pending) remove(c);
  const std::uint64_t waited = loop.TickCount() - begin;
  if (waited < static_cast<std::uint64_t>(kWaitMs)) loop.Sleep(kWaitMs - static_cast<int>(waited));
  RefreshProcessList();
}

void ProcessPage::cmdProc_AddBlock_Click() {
  // The names first: the block list's action may show balloons and run
  // the loop, but it never touches this list.
  std::vector<String> names;
  const auto count = std::min<std::size_t>(table_.size(), static_cast<std::size_t>(lstProc_->ListCount()));
  for (std::size_t i = 0; i < count; ++i) {
    if (lstProc_->Selected(static_cast<std::int32_t>(i))) names.push_back(table_[i].ExeFile());
  }
  if (!callbacks_.AddToBlockList) return;
  for (const String& name : names) callbacks_.AddToBlockList(name);
}

String ProcessPage::Report(StringView caption) {
  String out = u"Отчет списка процессов ";
  out += caption;
  out += kCrLf;
  out += u"Количество процессов: ";
  out += Decimal(static_cast<std::uint64_t>(lstProc_->ListCount()));
  out += kCrLf;
  out += kCrLf;
  const auto count = std::min<std::size_t>(table_.size(), static_cast<std::size_t>(lstProc_->ListCount()));
  for (std::size_t i = 0; i < count; ++i) {
    const ProcessRecord& r = table_[i];
    const String name = r.ExeFile();
    out += Decimal(i + 1);
    out += u"  ";
    out += name;
    if (name.size() < kNameWidth) out.append(kNameWidth - name.size(), u' ');
    out += r.FullPath;
    if (services_.FileExists(r.FullPath)) {
      if (const auto length = platform_.files().FileLength(r.FullPath)) {
        out += u"  [";
        out += Decimal(*length / 1024);
        out += u" Кб]";
      }
    }
    out += kCrLf;
  }
  return out;
}

void ProcessPage::cmdSaveLog_Click() {
  if (!saveDialog_->Show()) return;
  const String path = saveDialog_->FileName();
  const std::string bytes = platform_.codec().ToFileText(Report(page_.GetForm().Caption()));
  if (platform_.files().WriteFileAtomic(path, bytes)) return;
  if (callbacks_.Balloon) {
    String title = saveDialog_->FileTitle();
    if (title.empty()) title = path;
    callbacks_.Balloon(title, kReportFailed, 2);
  }
}

}  // namespace pd::app
