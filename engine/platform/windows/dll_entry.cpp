// The library's entry routine. Unloading the library (FreeLibrary) runs the
// engine's shutdown: it frees the book and the hash table, closes the
// database handles and releases the instance number.
//
// When the whole process ends instead, the system has already stopped the
// search threads wherever they were (perhaps inside a spin lock) and frees
// the memory and handles by itself, so the shutdown is skipped there.
#include "interface/startup.h"
#include "platform/windows/win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) qb::shutdown_engine();
  return TRUE;
}
