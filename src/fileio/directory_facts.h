// directory_facts.h: what file access needs to know of an open directory
// (part of its DirectoryEntry, directory_entry.h), by number.
//
// Thread-safety: the facts are guarded by the library lock.

#ifndef ZARQ_SRC_FILEIO_DIRECTORY_FACTS_H_
#define ZARQ_SRC_FILEIO_DIRECTORY_FACTS_H_

#include <cstdint>

namespace zarq {

inline constexpr int kDirectoryPathCapacity = 256;

struct DirectoryFacts {
  // Full path, ending with the folder separator.
  char path[kDirectoryPathCapacity] = {};
  // The directory cannot be written: its files open read-only, and its lock
  // and user files live in the temporary folder.
  bool read_only = false;
  // Names the relocated lock and user files of a read-only directory; 0
  // until the first of them is named.
  uint16_t read_only_id = 0;
};

// The facts of the open directory of that number; null when none is open.
DirectoryFacts* FindDirectoryFacts(uint8_t number);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_DIRECTORY_FACTS_H_
