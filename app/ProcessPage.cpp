#include "app/ProcessPage.h"

#include <algorithm>
#include <unordered_map>

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

String ProcessPage::PlainMarkup(StringView text) {
  String out;
  out.reserve(text.size());
  for (char16_t c : text) {
    out += c;
    if (c == u'<') out += u"<space=0>";
  }
  return out;
}

void ProcessPage::RefreshProcessList() {
  const String own = text::LowerCase(platform_.app().OwnPath());
  auto& procs = platform_.processes();
  lstProc_->Clear();
  table_.clear();
  started_.clear();
  String item;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    ProcessRecord rec(e);
    const String name = rec.ExeFile();
    if (name == u"System" || name == u"[System Process]") return;
    rec.FullPath = services_.GetProcessPath(e.th32ProcessID);
    if (!rec.FullPath.empty() && text::LowerCase(rec.FullPath) == own) return;
    item = PlainMarkup(name);
    item += kLeftColumn;
    item += PlainMarkup(rec.FullPath);
    started_.push_back(procs.StartTime(e.th32ProcessID));
    table_.push_back(std::move(rec));
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

std::vector<std::size_t> ProcessPage::SelectedStillRunning() {
  std::vector<std::size_t> selected;
  const auto count = std::min<std::size_t>(table_.size(), static_cast<std::size_t>(lstProc_->ListCount()));
  for (std::size_t i = 0; i < count; ++i) {
    if (lstProc_->Selected(static_cast<std::int32_t>(i))) selected.push_back(i);
  }
  if (selected.empty()) return selected;
  std::unordered_map<ProcessId, String> names;
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    names.emplace(e.th32ProcessID, ProcessRecord(e).ExeFile());
  });
  auto& procs = platform_.processes();
  std::erase_if(selected, [&](std::size_t i) {
    const ProcessRecord& r = table_[i];
    const auto it = names.find(r.th32ProcessID);
    if (it == names.end() || it->second != r.ExeFile()) return true;
    return started_[i] != 0 && procs.StartTime(r.th32ProcessID) != started_[i];
  });
  return selected;
}

bool ProcessPage::StillRunning(std::size_t i) {
  const ProcessRecord& r = table_[i];
  if (started_[i] != 0) return platform_.processes().StartTime(r.th32ProcessID) == started_[i];
  bool found = false;
  const String name = r.ExeFile();
  services_.ForEachProcess([&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID == r.th32ProcessID && ProcessRecord(e).ExeFile() == name) found = true;
  });
  return found;
}

void ProcessPage::cmdProc_Kill_Click() {
  if (!Confirm(kQuestionKill)) return;
  for (std::size_t i : SelectedStillRunning()) services_.KillProcess(table_[i].th32ProcessID);
  platform_.loop().Sleep(kWaitMs);
  RefreshProcessList();
}

void ProcessPage::cmdProc_KillFile_Click() {
  if (!Confirm(kQuestionKillFile)) return;
  auto& loop = platform_.loop();
  const std::uint64_t begin = loop.TickCount();
  std::vector<std::size_t> pending;
  for (std::size_t i : SelectedStillRunning()) {
    services_.KillProcess(table_[i].th32ProcessID);
    if (!table_[i].FullPath.empty()) pending.push_back(i);
  }
  auto remove = [&](std::size_t i) {
    if (services_.FileExists(table_[i].FullPath)) platform_.files().RemoveFile(table_[i].FullPath);
  };
  // The executable of a running process cannot be deleted everywhere: each
  // file goes as soon as its process has ended, within the wait.
  for (;;) {
    std::erase_if(pending, [&](std::size_t i) {
      if (StillRunning(i)) return false;
      remove(i);
      return true;
    });
    if (pending.empty() || loop.TickCount() - begin >= static_cast<std::uint64_t>(kWaitMs)) break;
    loop.Sleep(kPollMs);
  }
  for (std::size_t i : pending) remove(i);
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
  const std::string bytes = text::ToFileText(Report(page_.GetForm().Caption()));
  if (platform_.files().WriteFileAtomic(path, bytes)) return;
  if (callbacks_.Balloon) {
    String title = saveDialog_->FileTitle();
    if (title.empty()) title = path;
    callbacks_.Balloon(title, kReportFailed, 2);
  }
}

}  // namespace pd::app
