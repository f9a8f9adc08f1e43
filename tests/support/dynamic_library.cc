// dynamic_library.cc: run-time loading for tests.

#include "tests/support/dynamic_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zarq_test {

#ifdef _WIN32
bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  handle_ = LoadLibraryA(path.c_str());
  return handle_ != nullptr;
}

void DynamicLibrary::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void* DynamicLibrary::Ordinal(int ordinal) const {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(ordinal)));
}

std::string ZarqLibraryPath() { return "zarq.dll"; }
#else
bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void DynamicLibrary::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

void* DynamicLibrary::Ordinal(int) const { return nullptr; }

std::string ZarqLibraryPath() {
#ifdef ZARQ_LIBRARY_PATH
  return ZARQ_LIBRARY_PATH;
#else
  return "libzarq.so.1";
#endif
}
#endif

}  // namespace zarq_test
