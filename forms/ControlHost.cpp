#include "forms/ControlHost.h"

#include <algorithm>

#include "forms/Form.h"
#include "forms/MessageBox.h"
#include "forms/PopupMenu.h"
#include "forms/SaveFileDialog.h"

namespace pd::forms {

namespace {

// Handles of controls lie far above any OS window handle (Windows keeps
// them below 2^32, X11 below 2^29).
constexpr WindowHandle kFirstControlHandle =
    sizeof(WindowHandle) >= 8 ? (WindowHandle{1} << 48) : WindowHandle{0xF0000000u};

bool Contains(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

ControlHost::ControlHost(platform::Platform& platform)
    : platform_(platform), nextHandle_(kFirstControlHandle), ownMenu_(ShowPopupMenu), ownBox_(ShowMessageBox),
      ownSave_(ShowSaveFileDialog) {
  platform_.host().SetEventSink(this);
}

ControlHost::~ControlHost() { platform_.host().SetEventSink(nullptr); }

namespace {

// What the user does to a window: refused to a form a modal loop holds.
bool IsUserInput(const platform::HostEvent& event) {
  using platform::HostEventKind;
  switch (event.kind) {
    case HostEventKind::kMouseDown:
    case HostEventKind::kMouseMove:
    case HostEventKind::kMouseUp:
    case HostEventKind::kDoubleClick:
    case HostEventKind::kMouseWheel:
    case HostEventKind::kKeyDown:
    case HostEventKind::kKeyUp:
    case HostEventKind::kText:
      return true;
    case HostEventKind::kCloseRequest:
      return event.unloadMode == platform::unload::kUser;
    default:
      return false;
  }
}

}  // namespace

void ControlHost::OnHostEvent(const platform::HostEvent& event) {
  Form* form = FormOf(event.window);
  if (form == nullptr) return;
  // Input the backend reported before it disabled the window, or that it
  // cannot refuse, ends here.
  if (Form* modal = ModalForm(); modal != nullptr && modal != form && IsUserInput(event)) return;
  form->HandleEvent(event);
}

Form* ControlHost::ModalForm() const {
  for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
    if ((*it)->Visible()) return *it;
  }
  return nullptr;
}

void ControlHost::UpdateInput() {
  Form* holder = ModalForm();
  platform::Host& h = platform_.host();
  // Enabled first, so that the desktop always has a window of ours to
  // activate.
  std::erase_if(disabled_, [&](Form* f) {
    if (holder != nullptr && f != holder) return false;
    h.EnableInput(f->Window(), true);
    return true;
  });
  if (holder == nullptr) return;
  std::vector<Form*> held;
  for (Form* f : forms_) {
    if (f == holder || std::find(disabled_.begin(), disabled_.end(), f) != disabled_.end()) continue;
    disabled_.push_back(f);
    h.EnableInput(f->Window(), false);
    held.push_back(f);
  }
  // Ending a press runs handlers, which may destroy forms.
  for (Form* f : held) {
    if (std::find(forms_.begin(), forms_.end(), f) != forms_.end()) f->InputHeld();
  }
}

Form* ControlHost::FormOf(WindowHandle window) const {
  for (Form* f : forms_) {
    if (f->Window() == window) return f;
  }
  return nullptr;
}

void ControlHost::Register(Form& form) {
  forms_.push_back(&form);
  UpdateInput();  // a form made while a modal loop holds the program takes no input
}

void ControlHost::Unregister(Form& form) {
  std::erase(forms_, &form);
  std::erase(disabled_, &form);
  const bool held = std::erase(modal_, &form) != 0;
  if (capture_ != nullptr && capture_->OnForm() && &capture_->GetForm() == &form) Forget(*capture_);
  if (held) UpdateInput();
}

WindowHandle ControlHost::NewHandle(Control& control) {
  const WindowHandle h = nextHandle_++;
  handles_.emplace_back(h, &control);  // handles only grow: the vector stays sorted
  return h;
}

void ControlHost::ReleaseHandle(WindowHandle handle) {
  auto it = std::lower_bound(handles_.begin(), handles_.end(), handle,
                             [](const auto& entry, WindowHandle h) { return entry.first < h; });
  if (it != handles_.end() && it->first == handle) handles_.erase(it);
}

Control* ControlHost::ControlOf(WindowHandle handle) const {
  auto it = std::lower_bound(handles_.begin(), handles_.end(), handle,
                             [](const auto& entry, WindowHandle h) { return entry.first < h; });
  return it != handles_.end() && it->first == handle ? it->second : nullptr;
}

WindowHandle ControlHost::WindowFromPoint(Point screen) const {
  // The desktop knows which window is in front there, another program's
  // included: a window covering ours hides our controls below it.
  Form* f = FormOf(platform_.host().TopWindowAt(screen));
  if (f == nullptr || !f->Visible()) return 0;
  const Rect r = platform_.host().Bounds(f->Window());
  if (!Contains(r, screen)) return 0;  // on the window's frame
  Control* c = f->ControlAt(Point{screen.x - r.left, screen.y - r.top});
  return c != nullptr ? c->hWnd() : f->hWnd();
}

WindowHandle ControlHost::GetCapture() const { return capture_ != nullptr ? capture_->hWnd() : 0; }

void ControlHost::SetCaptureTo(Control* control, bool explicitly) {
  Control* old = capture_;
  if (old == control) {
    if (control != nullptr && explicitly) captureExplicit_ = true;
    return;
  }
  capture_ = control;
  captureExplicit_ = control != nullptr && explicitly;
  if (control != nullptr) {
    platform_.host().SetCapture(control->GetForm().Window());
  } else {
    platform_.host().ReleaseCapture();
  }
  if (old == nullptr) return;
  // One capture in the program: a press held on another form ends there.
  if (control == nullptr || &control->GetForm() != &old->GetForm()) old->GetForm().PressEnded();
  old->OnCaptureLost();
}

void ControlHost::CaptureEnded(Form& form) {
  // A report about a window that no longer holds it (the capture moved on
  // to another form of ours) changes nothing.
  if (capture_ == nullptr || &capture_->GetForm() != &form) return;
  Control* old = capture_;
  capture_ = nullptr;
  captureExplicit_ = false;
  form.PressEnded();
  old->OnCaptureLost();
}

void ControlHost::Forget(const Control& control) {
  if (capture_ != &control) return;
  capture_ = nullptr;
  captureExplicit_ = false;
  platform_.host().ReleaseCapture();
}

bool ControlHost::RunModal(const std::function<bool()>& ended, Form* modal) {
  if (modal == nullptr) return platform_.loop().RunModal(ended);
  modal_.push_back(modal);
  UpdateInput();
  const bool result = platform_.loop().RunModal(ended);
  // The form may be gone (Unregister took it off) or still be held by an
  // outer loop of its own.
  if (auto it = std::find(modal_.rbegin(), modal_.rend(), modal); it != modal_.rend()) {
    modal_.erase(std::next(it).base());
  }
  UpdateInput();
  return result;
}

int ControlHost::PopupMenu(Form* owner, std::span<const platform::MenuItem> items, Point screen) {
  const WindowHandle window = owner != nullptr ? owner->Window() : 0;
  if (auto chosen = platform_.dialogs().PopupMenu(window, items, screen)) return *chosen;
  return ownMenu_ ? ownMenu_(*this, owner, items, screen) : 0;
}

int ControlHost::MessageBox(Form* owner, StringView text, StringView title, unsigned flags) {
  const WindowHandle window = owner != nullptr ? owner->Window() : 0;
  if (auto answer = platform_.dialogs().MessageBox(window, text, title, flags)) return *answer;
  if (ownBox_) return ownBox_(*this, owner, text, title, flags);
  return (flags & 0xF) == platform::mb::kYesNo ? platform::mb::kIdNo : platform::mb::kIdOk;
}

std::int32_t ControlHost::GetSaveFileName(platform::OpenFileName& record) {
  if (auto result = platform_.dialogs().GetSaveFileName(record)) return *result;
  return ownSave_ ? ownSave_(*this, FormOf(record.hwndOwner), record) : 0;
}

void ControlHost::SetOwnDialogs(MenuRunner menu, BoxRunner box) {
  ownMenu_ = std::move(menu);
  ownBox_ = std::move(box);
}

int ControlHost::ScreenWidth() const { return platform_.host().ScreenRect().Width() * kTwipsPerPixel; }

int ControlHost::ScreenHeight() const { return platform_.host().ScreenRect().Height() * kTwipsPerPixel; }

Rect ControlHost::WorkArea() const {
  const Rect r = platform_.host().WorkArea();
  return Rect{r.left * kTwipsPerPixel, r.top * kTwipsPerPixel, r.right * kTwipsPerPixel, r.bottom * kTwipsPerPixel};
}

}  // namespace pd::forms
