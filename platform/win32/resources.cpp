#include <windows.h>

#include "platform/win32/backend.h"

namespace pd::win32 {

std::shared_ptr<const platform::Picture> Win32Resources::LoadPicture(int /*id*/, int /*size*/) {
  return nullptr;  // the resource script arrives with resources/
}

}  // namespace pd::win32
