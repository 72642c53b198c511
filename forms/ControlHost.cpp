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

void ControlHost::OnHostEvent(const platform::HostEvent& event) {
  if (Form* form = FormOf(event.window)) form->HandleEvent(event);
}

Form* ControlHost::FormOf(WindowHandle window) const {
  for (Form* f : forms_) {
    if (f->Window() == window) return f;
  }
  return nullptr;
}

void ControlHost::Register(Form& form) { forms_.push_back(&form); }

void ControlHost::Unregister(Form& form) {
  std::erase(forms_, &form);
  if (captureForm_ == &form) captureForm_ = nullptr;
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
  // The frontmost form is the latest shown popup or dialog, then forms in
  // the reverse order of creation.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
    Form* f = *it;
    if (!f->Visible()) continue;
    const Rect r = platform_.host().Bounds(f->Window());
    if (!Contains(r, screen)) continue;
    Control* c = f->ControlAt(Point{screen.x - r.left, screen.y - r.top});
    return c != nullptr ? c->hWnd() : f->hWnd();
  }
  return 0;
}

WindowHandle ControlHost::GetCapture() const {
  if (captureForm_ == nullptr || captureForm_->CaptureControl() == nullptr) return 0;
  return captureForm_->CaptureControl()->hWnd();
}

void ControlHost::CaptureChanged(Form* form) {
  if (form != nullptr && captureForm_ != nullptr && captureForm_ != form) {
    // One capture in the program: the other form's control loses it.
    Form* old = captureForm_;
    captureForm_ = form;
    old->HandleEvent(platform::HostEvent{.kind = platform::HostEventKind::kCaptureLost, .window = old->Window()});
    return;
  }
  captureForm_ = form;
}

bool ControlHost::RunModal(const std::function<bool()>& ended) { return platform_.loop().RunModal(ended); }

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
