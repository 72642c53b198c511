#include "forms/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "forms/PushButton.h"

namespace pd::forms {

namespace mb = platform::mb;
namespace vk = platform::vk;

namespace {

// The text colour of dialogs.
constexpr Colour kButtonText = 0x80000012;

// Layout in pixels.
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kAboveButtons = 16;
constexpr int kBelowButtons = 12;
constexpr int kTitleRoom = 64;  // the caption bar's icon and close button beside the title

// The captions of the buttons.
constexpr char16_t kOk[] = u"\u041E\u041A";        // "ОК"
constexpr char16_t kYes[] = u"\u0414\u0430";       // "Да"
constexpr char16_t kNo[] = u"\u041D\u0435\u0442";  // "Нет"

// ---- The icons -------------------------------------------------------------------------

enum class Icon { kNone, kStop, kQuestion, kExclamation, kInformation };

Icon IconOf(unsigned flags) {
  switch (flags & 0xF0u) {
    case 0x10:
      return Icon::kStop;
    case 0x20:
      return Icon::kQuestion;
    case 0x30:
      return Icon::kExclamation;
    case 0x40:
      return Icon::kInformation;
    default:
      return Icon::kNone;
  }
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// What covers a point of the icon (32 x 32, y down), the glyph first; no
// value where the background shows.
using Shape = std::function<std::optional<Colour>(double x, double y)>;

Shape ShapeOf(Icon icon) {
  static constexpr Colour kBlack = 0x000000;
  static constexpr Colour kWhite = 0xFFFFFF;
  static constexpr Colour kBlue = 0xC00000;
  static constexpr Colour kRing = 0x808080;
  auto disc = [](double x, double y, Colour fill, Colour ring) -> std::optional<Colour> {
    const double r = std::hypot(x - 15.5, y - 15.5);
    if (r > 14.5) return std::nullopt;
    return r > 13.3 ? ring : fill;
  };
  switch (icon) {
    case Icon::kStop:
      return [disc](double x, double y) -> std::optional<Colour> {
        if (std::hypot(x - 15.5, y - 15.5) <= 13.3 &&
            (SegmentDistance(x, y, 10, 10, 21, 21) < 1.9 || SegmentDistance(x, y, 21, 10, 10, 21) < 1.9)) {
          return kWhite;
        }
        return disc(x, y, 0x0000FF, 0x000080);
      };
    case Icon::kInformation:
      return [disc](double x, double y) -> std::optional<Colour> {
        const bool dot = std::hypot(x - 15.5, y - 8.5) < 2.2;
        const bool stem = x >= 13.8 && x <= 17.2 && y >= 12.5 && y <= 24.5;
        const bool foot = x >= 12 && x <= 19 && y >= 22.5 && y <= 24.5;
        const bool cap = x >= 12 && x <= 17.2 && y >= 12.5 && y <= 14.2;
        if (dot || stem || foot || cap) return kBlue;
        return disc(x, y, kWhite, kRing);
      };
    case Icon::kQuestion:
      return [disc](double x, double y) -> std::optional<Colour> {
        const double r = std::hypot(x - 15.5, y - 11.5);
        const bool hook = r >= 3.2 && r <= 6.6 && (y <= 11.5 || x >= 15.5);
        const bool stem =
            SegmentDistance(x, y, 18.2, 15.5, 15.5, 18.5) < 1.7 || (x >= 13.8 && x <= 17.2 && y >= 17.5 && y <= 20);
        const bool dot = std::hypot(x - 15.5, y - 24) < 2.1;
        if (hook || stem || dot) return kBlue;
        return disc(x, y, kWhite, kRing);
      };
    case Icon::kExclamation:
      return [](double x, double y) -> std::optional<Colour> {
        // The triangle (16, 1.5) (30.5, 29) (1.5, 29): inside when below
        // both slanted edges and above the base; its outline near an edge.
        const double left = (x - 16) * 27.5 + (y - 1.5) * 14.5;  // > 0 right of the left edge
        const double right = -(x - 16) * 27.5 + (y - 1.5) * 14.5;
        const double scale = std::hypot(27.5, 14.5);
        const double toEdge = std::min({left / scale, right / scale, 29 - y});
        if (toEdge < 0) return std::nullopt;
        const double taper = 1.9 - (y - 10) * 0.06;
        const bool bar = y >= 10 && y <= 20.5 && std::abs(x - 16) <= taper;
        const bool dot = std::hypot(x - 16, y - 24.5) < 1.9;
        if (bar || dot || toEdge < 1.2) return kBlack;
        return 0x00FFFF;  // yellow
      };
    case Icon::kNone:
      break;
  }
  return [](double, double) -> std::optional<Colour> { return std::nullopt; };
}

// The icon's pixels on a back colour (both resolved, 0x00BBGGRR), each
// pixel the mean of 4 x 4 samples, with a soft shadow down and right.
std::vector<Colour> IconPixels(Icon icon, Colour back) {
  const Shape shape = ShapeOf(icon);
  auto channel = [](Colour c, int shift) { return static_cast<int>((c >> shift) & 0xFFu); };
  const Colour shadow = ((back >> 1) & 0x7F7F7Fu) + 0x202020u;
  std::vector<Colour> pixels;
  pixels.reserve(kIconSize * kIconSize);
  for (int py = 0; py < kIconSize; ++py) {
    for (int px = 0; px < kIconSize; ++px) {
      int sum[3] = {0, 0, 0};
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double x = px + (sx + 0.5) / 4;
          const double y = py + (sy + 0.5) / 4;
          Colour c = back;
          if (auto own = shape(x, y)) {
            c = *own;
          } else if (shape(x - 1.5, y - 1.5)) {
            c = shadow;
          }
          for (int k = 0; k < 3; ++k) sum[k] += channel(c, 8 * k);
        }
      }
      pixels.push_back(static_cast<Colour>((sum[0] + 8) / 16) | static_cast<Colour>((sum[1] + 8) / 16) << 8 |
                       static_cast<Colour>((sum[2] + 8) / 16) << 16);
    }
  }
  return pixels;
}

// ---- The box ---------------------------------------------------------------------------

class BoxForm final : public Form {
 public:
  BoxForm(ControlHost& host, Form* owner, StringView text, StringView title, unsigned flags);
  ~BoxForm() override { buttons_.clear(); }
  BoxForm(const BoxForm&) = delete;
  BoxForm& operator=(const BoxForm&) = delete;

  int Run();

 protected:
  bool PreviewKeyDown(int keyCode, int shift) override;
  void OnPaint(platform::Surface& s) override;

 private:
  // The first answer counts; the box goes from the screen at once.
  void Answer(int id) {
    if (done_) return;
    answer_ = id;
    done_ = true;
    Hide();
  }
  [[nodiscard]] int FocusedButton() const;

  String text_;
  Icon icon_;
  std::vector<std::unique_ptr<PushButton>> buttons_;
  std::vector<int> ids_;
  std::size_t default_ = 0;
  int escape_ = mb::kIdOk;
  int answer_ = mb::kIdOk;
  bool done_ = false;
  Rect iconRect_;
  Rect textRect_;
  std::vector<Colour> iconPixels_;
};

BoxForm::BoxForm(ControlHost& host, Form* owner, StringView text, StringView title, unsigned flags)
    : Form(host, u"frmMessageBox", title, platform::WindowKind::Dialog, owner), text_(text), icon_(IconOf(flags)) {
  platform::Platform& platform = host.GetPlatform();
  SetFont(owner != nullptr ? owner->Font() : platform::Font{});

  std::vector<StringView> captions;
  if ((flags & 0xFu) == mb::kYesNo) {
    captions = {kYes, kNo};
    ids_ = {mb::kIdYes, mb::kIdNo};
    escape_ = mb::kIdNo;
    if ((flags & 0xF00u) == mb::kDefButton2) default_ = 1;
  } else {
    captions = {kOk};
    ids_ = {mb::kIdOk};
  }
  answer_ = escape_;
  for (std::size_t i = 0; i < captions.size(); ++i) {
    const int id = ids_[i];
    buttons_.push_back(
        std::make_unique<PushButton>(*this, u"cmdButton", static_cast<int>(i), captions[i], [this, id] { Answer(id); }));
  }

  // Sizes from the measured text and title.
  auto measure = platform.graphics().CreateSurface(1, 1);
  measure->SetFont(Font());
  const Rect work = platform.host().WorkArea();
  const int textWidth = std::min(measure->TextWidth(text_), work.Width() - 3 * kMargin - kIconSize - kIconGap);
  const int textHeight = measure->TextHeight(text_);
  const bool hasIcon = icon_ != Icon::kNone;
  const int block = std::max(textHeight, hasIcon ? kIconSize : 0);
  const int textLeft = kMargin + (hasIcon ? kIconSize + kIconGap : 0);
  const int count = static_cast<int>(buttons_.size());
  const int row = count * kButtonWidth + (count - 1) * kButtonGap;
  const int width = std::min(std::max({textLeft + textWidth + kMargin + kMargin / 2, row + 2 * kMargin,
                                       measure->TextWidth(title) + kTitleRoom}),
                             work.Width());
  const int buttonsTop = kMargin + block + kAboveButtons;
  const int height = buttonsTop + kButtonHeight + kBelowButtons;
  iconRect_ = Rect{kMargin, kMargin + (block - kIconSize) / 2, kMargin + kIconSize, kMargin + (block + kIconSize) / 2};
  textRect_ =
      Rect{textLeft, kMargin + (block - textHeight) / 2, textLeft + textWidth, kMargin + (block + textHeight) / 2};
  if (hasIcon) iconPixels_ = IconPixels(icon_, platform.graphics().ResolveColour(BackColor()));

  int x = (width - row) / 2;
  for (auto& button : buttons_) {
    button->Move(x * kTwipsPerPixel, buttonsTop * kTwipsPerPixel, kButtonWidth * kTwipsPerPixel,
                 kButtonHeight * kTwipsPerPixel);
    x += kButtonWidth + kButtonGap;
  }

  // Centred over the owner when it shows, else over the work area.
  Rect over = work;
  if (owner != nullptr && owner->Visible()) over = platform.host().Bounds(owner->Window());
  const int left =
      std::clamp(over.left + (over.Width() - width) / 2, work.left, std::max(work.left, work.right - width));
  const int top =
      std::clamp(over.top + (over.Height() - height) / 2, work.top, std::max(work.top, work.bottom - height));
  Move(left * kTwipsPerPixel, top * kTwipsPerPixel, width * kTwipsPerPixel, height * kTwipsPerPixel);
}

int BoxForm::FocusedButton() const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->HasFocus()) return static_cast<int>(i);
  }
  return -1;
}

bool BoxForm::PreviewKeyDown(int keyCode, int shift) {
  const int count = static_cast<int>(buttons_.size());
  const int focused = FocusedButton();
  switch (keyCode) {
    case vk::kReturn:
      buttons_[focused >= 0 ? static_cast<std::size_t>(focused) : default_]->Press();
      return true;
    case vk::kEscape:
      Answer(escape_);
      return true;
    case vk::kLeft:
    case vk::kUp:
    case vk::kRight:
    case vk::kDown: {
      const int step = keyCode == vk::kLeft || keyCode == vk::kUp ? count - 1 : 1;
      const int from = focused >= 0 ? focused : static_cast<int>(default_);
      buttons_[static_cast<std::size_t>((from + step) % count)]->SetFocus();
      return true;
    }
    default:
      break;
  }
  if (keyCode == vk::kF1 + 3 && (shift & platform::shift::kAlt) != 0) {  // Alt+F4
    Answer(escape_);
    return true;
  }
  return false;
}

void BoxForm::OnPaint(platform::Surface& s) {
  Form::OnPaint(s);
  if (!iconPixels_.empty()) s.WritePixels(iconRect_, iconPixels_);
  s.SetTextColor(kButtonText);
  s.TextIn(textRect_, text_, platform::dt::kLeft | platform::dt::kEndEllipsis);
}

int BoxForm::Run() {
  // A dialog takes the pointer from whatever held it (a menu).
  ControlHost& host = Host();
  if (Control* holder = host.ControlOf(host.GetCapture())) holder->ReleaseCapture();
  Show();
  buttons_[default_]->SetFocus();
  host.RunModal([this] { return done_ || !Visible() || Unloaded(); }, this);
  Hide();
  return answer_;
}

}  // namespace

int ShowMessageBox(ControlHost& host, Form* owner, StringView text, StringView title, unsigned flags) {
  BoxForm box(host, owner, text, title, flags);
  return box.Run();
}

}  // namespace pd::forms
