// The tray's windows of its own: the XEmbed icon's picture, the tooltip and
// the balloon popup. Each shows a picture drawn once (the software surface,
// FreeType text) as its background pixmap, so the server repaints it
// without any event reaching us. The tooltip and the popup are
// override-redirect windows of the default visual that take no input.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/soft/SoftGraphics.h"
#include "platform/surface.h"
#include "platform/types.h"
#include "platform/x11/connection.h"

namespace pd::x11 {

class TrayWindows {
 public:
  TrayWindows(XConnection& x, soft::SoftGraphics& graphics) : x_(x), graphics_(graphics) {}
  ~TrayWindows();
  TrayWindows(const TrayWindows&) = delete;
  TrayWindows& operator=(const TrayWindows&) = delete;

  // The icon window's background: the picture scaled (nearest pixel) to
  // fit size and centred, premultiplied ARGB for a 32-bit visual, on grey
  // for others; transparent (or grey) without a picture.
  void PaintIcon(XWindow window, Visual* visual, int depth, Point size, const platform::Picture* picture);

  // A one-line tip below the pointer, or above it near the bottom edge.
  void ShowTooltip(StringView tip, Point pointer);
  void HideTooltip();
  [[nodiscard]] XWindow Tooltip() const { return tooltipShown_ ? tooltip_ : 0; }

  // The balloon: a bold title over the text (broken at words), kPopupWidth
  // wide, above near (the icon's top-left corner), or above the bottom-right
  // corner of the work area.
  void ShowPopup(StringView title, StringView text, std::optional<Point> near);
  void HidePopup();
  [[nodiscard]] bool PopupShown() const { return popupShown_; }
  [[nodiscard]] XWindow Popup() const { return popup_; }

  // Where a window's top-left corner is on the screen.
  std::optional<Point> ScreenPosition(XWindow window);

  static constexpr int kPopupWidth = 300;

 private:
  XWindow MakeWindow();
  // Draws pixels (0x00BBGGRR, row by row) as the window's background, sized
  // and placed at at (kept on the screen), and shows it.
  void Show(XWindow window, const std::vector<Colour>& pixels, int width, int height, Point at);

  XConnection& x_;
  soft::SoftGraphics& graphics_;
  XWindow tooltip_ = 0;
  XWindow popup_ = 0;
  bool tooltipShown_ = false;
  bool popupShown_ = false;
};

}  // namespace pd::x11
