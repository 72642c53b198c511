#include "forms/Cursor.h"

#include "forms/Control.h"

namespace pd::forms {

platform::PointerShape PointerShapeOf(std::int32_t mousePointer, bool hasIcon) {
  using platform::PointerShape;
  constexpr auto kLastStandard = static_cast<std::int32_t>(PointerShape::kSizeAll);
  if (mousePointer >= 0 && mousePointer <= kLastStandard) return static_cast<PointerShape>(mousePointer);
  if (mousePointer == kCustomPointer && hasIcon) return PointerShape::kCustom;
  return PointerShape::kDefault;
}

void ShowCursorOf(const Control& control, platform::Host& host, WindowHandle window) {
  const auto& icon = control.MouseIcon();
  const platform::PointerShape shape = PointerShapeOf(control.MousePointer(), icon != nullptr);
  host.SetCursor(window, shape, shape == platform::PointerShape::kCustom ? icon : nullptr);
}

}  // namespace pd::forms
