// posix_module_entry.cc: the load and unload entry on POSIX systems.
//
// The shared library is linked with -z nodelete, so dlclose never unmaps it:
// a background thread can never run in unmapped code. The destructor then
// runs only when the process exits, while its other threads still run.

#include "src/platform/module_entry.h"

namespace {

__attribute__((constructor)) void ZarqModuleLoad() { zarq::OnModuleLoad(nullptr); }

__attribute__((destructor)) void ZarqModuleUnload() { zarq::OnModuleUnload(false); }

}  // namespace
