// module_entry.h: what the system's load and unload entry of the library
// calls (DllMain on Windows, constructor and destructor functions on POSIX).
// The platform declares these; the library frame defines them.
//
// Thread-safety: called by the system's loader, one at a time.

#ifndef ZARQ_SRC_PLATFORM_MODULE_ENTRY_H_
#define ZARQ_SRC_PLATFORM_MODULE_ENTRY_H_

namespace zarq {

// The library was loaded; module is the system's handle of it (or null).
void OnModuleLoad(void* module);

// The library is being unloaded. threads_stopped is true when the process
// is ending and its other threads were stopped already, in any state.
void OnModuleUnload(bool threads_stopped);

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_MODULE_ENTRY_H_
