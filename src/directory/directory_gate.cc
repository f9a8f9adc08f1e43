// directory_gate.cc: taking the gate of a directory.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_gate.h"

#include <string>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"

namespace zarq {
namespace {

constexpr int kMaxReadOnlyIds = 4095;

}  // namespace

int32_t DirectoryGate::Acquire(DirectoryEntry* entry, Purpose purpose) {
  Release();
  created_ = false;
  using Creation = VerifiedFileLock::Creation;
  bool claim = purpose == Purpose::kOpen && entry->read_only();
  Creation creation = claim                        ? Creation::kMustCreate
                      : purpose == Purpose::kOpen ? Creation::kMayCreate
                                                  : Creation::kExisting;
  for (int attempt = 0;; ++attempt) {
    std::string name;
    int32_t status = BuildDirFileName(entry->number, &name, kKindUsers);
    if (status != ZARQ_OK) return status;
    bool existed = false;
    status = lock_.Acquire(name, creation, kGateOffset, kGateWaitMs, &created_, &existed);
    if (!(claim && existed)) return status;
    // Another process took this id since it was drawn: draw the next.
    if (attempt >= kMaxReadOnlyIds) return ZARQ_E_NO_RELOCATED_NAME;
    entry->files.read_only_id = 0;
  }
}

}  // namespace zarq
