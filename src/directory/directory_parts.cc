// directory_parts.cc: the directory table's process part: at shutdown every
// directory still open is closed once and for all, however often it was
// opened, and whatever remains is freed.
//
// Thread-safety: runs under the library lock.

#include "src/fileio/directory_entry.h"
#include "src/directory/directory_open.h"
#include "src/frame/process_parts.h"

namespace zarq {
namespace {

void CloseAllDirectories() {
  for (DirectoryEntry* entry : OpenDirectories()) {
    entry->open_count = 1;
    CloseDirectory(entry->number);
  }
}

const ProcessPartRegistration kDirectoryPart({PartOrder::kDirectoryList, nullptr,
                                              &CloseAllDirectories, &FreeAllDirectories});

}  // namespace
}  // namespace zarq
