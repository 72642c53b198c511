// Fuzz target: every event handler of a form full of components does what
// the input says (destroy, hide, disable, move or focus a control, destroy
// the container or the form, clear the list, open a message box, a menu or
// a modal form, end a modal loop) while the input also plays the user. The
// sanitizers see no fault, and the capture and the focus stay where the
// platform and the screen say (tests/unit/controls/HandlerChaos.h).
#include <cstdint>
#include <cstdlib>

#include "unit/controls/HandlerChaos.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return -1;  // long inputs only repeat what short ones do, slower
  pd::test::HandlerChaos chaos(data, size);
  if (!chaos.Run().empty()) std::abort();
  return 0;
}
