// The pointer shape over a control: its MousePointer value (0 to 15 the
// desktop's standard shapes, 99 its MouseIcon picture) turned into the
// host's shape, shown on the form's window while the pointer is over the
// control or the control holds the capture.
#pragma once

#include <cstdint>

#include "platform/host.h"

namespace pd::forms {

class Control;

inline constexpr std::int32_t kCustomPointer = 99;

// Any other value, and 99 without a picture, is the default shape.
[[nodiscard]] platform::PointerShape PointerShapeOf(std::int32_t mousePointer, bool hasIcon);

// Sets control's shape on the window of its form.
void ShowCursorOf(const Control& control, platform::Host& host, WindowHandle window);

}  // namespace pd::forms
