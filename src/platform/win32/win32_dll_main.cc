// win32_dll_main.cc: the load and unload entry of zarq.dll.
//
// DllMain runs under the loader lock: it never waits for a thread. The flush
// thread holds its own reference to the module (see win32_sync.cc), so
// FreeLibrary cannot unload the DLL while that thread runs.

#include <windows.h>

#include "src/platform/module_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      zarq::OnModuleLoad(instance);
      return TRUE;
    case DLL_PROCESS_DETACH:
      zarq::OnModuleUnload(reserved != nullptr);
      return TRUE;
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
      return TRUE;
    default:
      return FALSE;
  }
}
