// file_replacement.h: files made anew without ever leaving a half-written
// file as the only copy: a file is written in full under a temporary name,
// flushed, and then takes the name of the file it replaces in one step;
// and unique scratch files, created exclusively.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FILEIO_FILE_REPLACEMENT_H_
#define ZARQ_SRC_FILEIO_FILE_REPLACEMENT_H_

#include <cstdint>
#include <string>

#include "src/platform/platform.h"

namespace zarq {

// Creates path exclusively in the directory and writes size bytes to it
// (flushed to the disk when flush is set; the handle closed). A file
// already of that name is a leftover of a process that died replacing a
// file: it is removed first. The caller holds whatever makes it the only
// writer of that name.
int32_t WriteNewFile(uint8_t directory, const std::string& path, const void* bytes, uint32_t size,
                     bool flush);

// Gives the file temporary the name target in one step (target as its
// folder spells it, unless exact). Cached handles of target are closed and
// a read-only mark on it is cleared first.
int32_t ReplaceWithFile(uint8_t directory, const std::string& temporary, const std::string& target,
                        bool exact);

// WriteNewFile under temporary, then ReplaceWithFile onto target (which
// puts the data on the disk before the name); on a failure the temporary
// file is removed again and target is untouched.
int32_t ReplaceFileContents(uint8_t directory, const std::string& temporary,
                            const std::string& target, bool exact, const void* bytes,
                            uint32_t size);

// Creates a scratch file of a unique name ("~ZQ" + four hexadecimal digits
// + ".TMP") in the directory, exclusively; *name and *handle (cached) on
// success.
int32_t CreateScratchFile(uint8_t directory, std::string* name, FileHandle* handle);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_FILE_REPLACEMENT_H_
