// temp_folder.cc: per-test folders.

#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zarq_test {
namespace fs = std::filesystem;

namespace {
std::atomic<int> g_counter{0};
}

char Separator() { return static_cast<char>(fs::path::preferred_separator); }

TempFolder::TempFolder() {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    fs::path candidate =
        fs::temp_directory_path() /
        ("zarq-test-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(g_counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      // The real path: symbolic links in the temporary folder resolved.
      path_ = fs::canonical(candidate).string();
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Read-only files would stop the removal on some systems.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

std::string TempFolder::Join(const std::string& name) const { return path_ + Separator() + name; }

void TempFolder::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(Join(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::ReadFile(const std::string& name) const {
  std::ifstream in(Join(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempFolder::Exists(const std::string& name) const { return fs::exists(Join(name)); }

std::string TempFolder::MakeFolder(const std::string& name) const {
  fs::create_directories(Join(name));
  return Join(name);
}

}  // namespace zarq_test
