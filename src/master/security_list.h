// security_list.h: the whole security list file in memory, as the first
// user of a directory builds it and as the last one writes it back.
//
// Building the working files works on the list in memory and writes the
// security list and index files once each, so that a directory of 6000
// securities costs a few large reads and writes instead of moving records
// one by one.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_SECURITY_LIST_H_
#define ZARQ_SRC_MASTER_SECURITY_LIST_H_

#include <cstdint>
#include <vector>

#include "src/fileio/directory_entry.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"

namespace zarq {

struct SecurityList {
  SecurityListHeader header;
  std::vector<SecurityRecord> records;  // slot s is records[s - 1]

  uint32_t size() const { return static_cast<uint32_t>(records.size()); }
  SecurityRecord& at(uint32_t slot) { return records[slot - 1]; }
};

// Reads the whole security list file (header and SlotCount records, as far
// as whole records are present).
int32_t ReadSecurityList(DirectoryEntry* entry, SecurityList* list);

// Writes the whole security list file: created anew, or rewritten in place
// (other processes may hold the open file then).
int32_t WriteSecurityList(DirectoryEntry* entry, const SecurityList& list, bool create);

// Writes the security index file anew with its header and the entries.
int32_t WriteIndexFile(DirectoryEntry* entry, const std::vector<IndexEntry>& entries);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_LIST_H_
