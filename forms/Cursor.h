// The pointer shape over a control: its MousePointer value (0 to 15 the
// desktop's standard shapes, 99 its MouseIcon picture) turned into the
// host's shape, shown on the form's window while the pointer is over the
// control or the control holds the capture.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/host.h"

namespace pd::forms {

class Control;

inline constexpr std::int32_t kCustomPointer = 99;

// Any other value, and 99 without a picture, is the default shape.
[[nodiscard]] platform::PointerShape PointerShapeOf(std::int32_t mousePointer, bool hasIcon);

// What a form's window was last asked to show, so that a move over the same
// shape asks nothing of the desktop. It holds the picture, so a picture
// compared by address cannot have been freed and its address reused.
struct ShownCursor {
  platform::PointerShape shape = platform::PointerShape::kDefault;
  std::shared_ptr<const platform::Picture> picture;
  bool known = false;
};

// Sets control's shape on the window of its form, unless shown has it.
void ShowCursorOf(const Control& control, platform::Host& host, WindowHandle window, ShownCursor& shown);

}  // namespace pd::forms
