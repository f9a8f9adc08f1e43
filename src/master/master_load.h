// master_load.h: loading MASTER and EMASTER into memory and bringing
// EMASTER back in line with MASTER, as the first user of a directory does
// before importing them.
//
// Other programs may change MASTER without EMASTER: an EMASTER entry that
// differs only in its dates is refreshed from MASTER; entries that were
// moved are put back into MASTER's order by swapping; what cannot be
// matched is rebuilt from MASTER. Repairs are written back unless the
// directory is read-only: each file changed is written whole under a
// temporary name and then replaces the old one, so that a crash leaves
// either file entire.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_MASTER_LOAD_H_
#define ZARQ_SRC_MASTER_MASTER_LOAD_H_

#include <cstdint>
#include <vector>

#include "src/fileio/directory_entry.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"

namespace zarq {

inline constexpr int kMaxMasterEntries = 255;

struct MasterImages {
  // The raw header of MASTER (53 bytes used), shared with EMASTER.
  uint8_t header[kEmasterRecordSize] = {};
  int count = 0;  // entries in use
  std::vector<uint8_t> master = std::vector<uint8_t>(kMaxMasterEntries * kMasterRecordSize);
  std::vector<uint8_t> emaster = std::vector<uint8_t>(kMaxMasterEntries * kEmasterRecordSize);

  // The files as found, to write back only what changes: MASTER's entries
  // are never rewritten from the cleaned image (its dates are IEEE there).
  std::vector<uint8_t> master_as_read = std::vector<uint8_t>(kMaxMasterEntries * kMasterRecordSize);
  uint8_t master_header_as_read[kMasterRecordSize] = {};
  uint8_t emaster_header_as_read[kEmasterRecordSize] = {};
  uint64_t master_size = 0;
  uint64_t emaster_size = 0;
  bool emaster_present = false;

  uint8_t* Master(int position) { return &master[(position - 1) * kMasterRecordSize]; }
  uint8_t* Emaster(int position) { return &emaster[(position - 1) * kEmasterRecordSize]; }
};

// Reads both files whole (EMASTER only while the directory uses it; a
// writable directory without EMASTER gets an empty one). MASTER missing is
// -296.
int32_t LoadMasterFiles(DirectoryEntry* entry, MasterImages* images);

// Cleans the MASTER entries, repairs EMASTER against them and writes the
// repairs back. images->count becomes the number of entries in use.
int32_t SyncMasterImages(DirectoryEntry* entry, MasterImages* images);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_LOAD_H_
