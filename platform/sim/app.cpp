// The simulated application's identity lives in SimApp (backend.h); this
// file keeps the backends' file sets alike.
#include "platform/sim/backend.h"
