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

void ShowCursorOf(const Control& control, platform::Host& host, WindowHandle window, ShownCursor& shown) {
  const auto& icon = control.MouseIcon();
  const platform::PointerShape shape = PointerShapeOf(control.MousePointer(), icon != nullptr);
  const bool custom = shape == platform::PointerShape::kCustom;
  if (shown.known && shown.shape == shape && (!custom || shown.picture == icon)) return;
  shown = ShownCursor{shape, custom ? icon : nullptr, true};
  host.SetCursor(window, shape, shown.picture);
}

}  // namespace pd::forms
