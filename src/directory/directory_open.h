// directory_open.h: opening and closing data directories.
//
// Opening normalises the path, gives the directory a number (or counts one
// more open of a directory open already), finds out whether it can be
// written, and checks or builds its database files. Closing the last open
// releases this process's security locks in the directory, deregisters it
// from the directory's user file and closes its cached files.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_OPEN_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_OPEN_H_

#include <cstdint>
#include <string>

#include "src/fileio/directory_entry.h"

namespace zarq {

// Flags of ZARQ1_OpenDirectory.
enum OpenDirectoryFlags : uint32_t {
  kOpenCreateFolder = 0x01,     // create the folder and missing parents
  kOpenBuildMasters = 0x02,     // build the master files of a folder without MASTER
  kOpenAllowSameUser = 0x04,    // take over a stale record of this identity
  kOpenMergeDuplicates = 0x08,  // settle duplicate securities at the index rebuild
  kOpenEraseWhenEmpty = 0x10,   // recorded as kDirEraseWhenEmpty
  kOpenFieldListFiles = 0x20,   // recorded as kDirFieldListFiles
  kOpenCountAgain = 0x40,       // a directory open already counts one more open
};

int32_t OpenDirectory(const char* path, uint8_t* number, uint32_t flags);
int32_t CloseDirectory(uint8_t number);
int32_t GetDataPath(uint8_t number, char* path, uint32_t strip);
int32_t GetDirectoryNumber(const char* path, uint8_t* number);

// Normalises a caller's directory path as an open does, ending it with the
// separator; -124 for a path longer than 255 characters.
int32_t NormalizeCallerPath(const char* path, std::string* normal, uint16_t* kind);

// Whether files can be created in the directory (a scratch file is created
// and deleted) and its folder is not marked read-only.
int32_t TestDirectoryWritable(uint8_t number, bool* read_only);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_OPEN_H_
