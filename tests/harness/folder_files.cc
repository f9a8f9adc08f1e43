// folder_files.cc: listing and copying flat folders.

#include "tests/harness/folder_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace zarq_test {
namespace fs = std::filesystem;

namespace {

bool SameNoCase(const std::string& a, size_t at, const std::string& b) {
  return std::equal(b.begin(), b.end(), a.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char x, char y) { return std::toupper(x) == std::toupper(y); });
}

}  // namespace

bool StartsWithNoCase(const std::string& name, const std::string& part) {
  return name.size() >= part.size() && SameNoCase(name, 0, part);
}

bool EndsWithNoCase(const std::string& name, const std::string& part) {
  return name.size() >= part.size() && SameNoCase(name, name.size() - part.size(), part);
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CopyFolder(const std::string& from, const std::string& to) {
  for (const std::string& name : FolderNames(from)) {
    fs::copy_file(fs::path(from) / name, fs::path(to) / name);
  }
}

bool WorkingFilesRemain(const std::string& folder) {
  std::vector<std::string> names = FolderNames(folder);
  return std::any_of(names.begin(), names.end(),
                     [](const std::string& name) { return StartsWithNoCase(name, "~ZARQ"); });
}

}  // namespace zarq_test
