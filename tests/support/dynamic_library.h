// dynamic_library.h: loads a shared library at run time for tests that
// exercise loading and unloading (dlopen on POSIX, LoadLibrary on Windows).

#ifndef ZARQ_TESTS_SUPPORT_DYNAMIC_LIBRARY_H_
#define ZARQ_TESTS_SUPPORT_DYNAMIC_LIBRARY_H_

#include <string>

namespace zarq_test {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Unload(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool Load(const std::string& path);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;
  // Windows: the export of that ordinal; elsewhere null.
  void* Ordinal(int ordinal) const;

 private:
  void* handle_ = nullptr;
};

// The path of the shipped zarq library of this build.
std::string ZarqLibraryPath();

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_DYNAMIC_LIBRARY_H_
