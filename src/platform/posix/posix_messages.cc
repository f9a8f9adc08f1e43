// posix_messages.cc: message texts on POSIX systems: X/Open message
// catalogs (catopen/catgets), whose message numbers in set 1 are the text
// identifiers.
//
// Thread-safety: catgets may be called from several threads on one
// catalog; the rest keeps no state.

#include <errno.h>
#include <nl_types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "src/platform/posix/posix_platform.h"
#include "src/platform/system_errors.h"

#ifndef ZARQ_INSTALL_DATADIR
#define ZARQ_INSTALL_DATADIR "/usr/local/share"
#endif

namespace zarq {
namespace {

constexpr int kMessageSet = 1;
// The library's own file name, which Windows keeps in its string table.
constexpr uint32_t kOwnFileNameText = 9611;
constexpr char kOwnFileName[] = "libzarq.so.1";

class Catalog final : public MessageFile {
 public:
  explicit Catalog(nl_catd catalog) : catalog_(catalog) {}
  ~Catalog() override { catclose(catalog_); }

  bool Text(uint32_t identifier, std::string* text) override {
    // catgets answers its default argument for a missing message: a
    // pointer that no catalog text can have.
    static const char kMissing[] = "";
    const char* found = catgets(catalog_, kMessageSet, static_cast<int>(identifier), kMissing);
    if (found == kMissing) return false;
    text->assign(found);
    return true;
  }

 private:
  nl_catd catalog_;
};

}  // namespace

std::string NativePlatform::MessageFilePath(const std::string& stem) {
  const char* common = std::getenv("ZARQ_COMMON_FILES");
  std::string folder = (common != nullptr && common[0] != '\0') ? common : ZARQ_INSTALL_DATADIR;
  if (folder.back() != '/') folder += '/';
  return folder + "zarq/" + stem + ".cat";
}

uint32_t NativePlatform::OpenMessageFile(const std::string& path,
                                         std::unique_ptr<MessageFile>* file) {
  // A name with a '/' is opened as it stands, never looked up in NLSPATH.
  std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  errno = 0;
  nl_catd catalog = catopen(name.c_str(), 0);
  if (catalog == reinterpret_cast<nl_catd>(-1)) {
    return errno != 0 ? WindowsErrorFromErrno(errno) : kErrorFileNotFound;
  }
  *file = std::make_unique<Catalog>(catalog);
  return 0;
}

bool NativePlatform::ModuleText(void*, uint32_t identifier, std::string* text) {
  if (identifier != kOwnFileNameText) return false;
  *text = kOwnFileName;
  return true;
}

void NativePlatform::ReportMessageFileFailure(const std::string& what, uint32_t error) {
  std::fprintf(stderr, "zarq: %s (system error %u)\n", what.c_str(), error);
}

}  // namespace zarq
