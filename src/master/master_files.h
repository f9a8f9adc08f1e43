// master_files.h: finding the master files of a folder.
//
// A folder copied from Windows may spell a master file in another letter
// case ("master"). Such a name is taken for the master file only when the
// file looks like one (whole records, a header that fits them, XMASTER's
// magic): an unrelated "master" is not a database, and is never changed,
// cut or deleted by the library. Where there is no master file, the name
// to create is the canonical one, created exactly.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_MASTER_FILES_H_
#define ZARQ_SRC_MASTER_MASTER_FILES_H_

#include <cstdint>
#include <string>

#include "src/fileio/directory_facts.h"

namespace zarq {

struct MasterFileName {
  std::string name;      // the file as the folder spells it, or the canonical name
  bool present = false;  // a master file of that kind exists under name
};

// The master file of kind (kKindMaster, kKindEmaster or kKindXmaster) of a
// folder, open or not.
int32_t LocateMasterFileIn(DirectoryFacts* facts, uint16_t kind, MasterFileName* file);

// The same for the open directory number.
int32_t LocateMasterFile(uint8_t directory, uint16_t kind, MasterFileName* file);

// Whether the open directory has a master file of kind.
bool MasterFilePresent(uint8_t directory, uint16_t kind);

// Writes the master file of kind whole: bytes go to its temporary name
// ("MASTER.TMP"), are flushed, and the temporary file then replaces the
// master file in one step (or becomes it). The folder is never without
// its master file, nor with a half-written one.
int32_t ReplaceMasterFile(uint8_t directory, uint16_t kind, const std::string& bytes);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_FILES_H_
