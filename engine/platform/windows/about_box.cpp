#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

void message_box(void* owner, const char* caption, const char* text) {
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK);
}

}  // namespace qb::platform
