// The object a window of ours was made for: the lpCreateParams of its
// CreateWindowExW, kept in the window's user data from WM_NCCREATE on.
// Only the backend's sources include this header (it needs <windows.h>).
#pragma once

#include <windows.h>

namespace pd::win32 {

// For a window procedure: stores the object at WM_NCCREATE and returns it;
// nullptr for the messages that come before WM_NCCREATE.
template <typename T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace pd::win32
