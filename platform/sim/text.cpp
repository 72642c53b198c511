// The simulation stands for Linux here: files in UTF-8 (read tolerantly,
// see text.h); the "ANSI" records in Windows-1251 that loses nothing.
#include "platform/sim/platform.h"

namespace pd::sim {

const text::Codec& SimPlatform::codec() { return text::Utf8Codec(); }

}  // namespace pd::sim
