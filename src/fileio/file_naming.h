// file_naming.h: the names of every file of a data directory, built from a
// directory number, a number (usually a security's data file number) and a
// file kind. No other code composes file names.
//
// A FileKind is a kind (low 13 bits, 0..15) with flag bits: wildcard (the
// number part is "*"), temporary (extension ".TMP"; with kind 0 a unique
// scratch name) and folder only (the folder the file would be in). The lock,
// user, list and index files of a read-only directory live under a
// three-digit id of the directory in a folder of this user's own below the
// temporary folder, so that no other user can plant or read them.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FILEIO_FILE_NAMING_H_
#define ZARQ_SRC_FILEIO_FILE_NAMING_H_

#include <cstdint>
#include <string>

#include "src/fileio/directory_facts.h"
#include "src/platform/platform.h"

namespace zarq {

enum FileKind : uint16_t {
  kKindScratchOrAll = 0,      // only with kKindWildcard or kKindTemporary
  kKindPrimaryData = 1,       // data file of a composite's primary component
  kKindSecondaryData = 2,     // data file of a composite's secondary component
  kKindData = 3,              // F<n>.DAT below 256, F<n>.MWD from 256 on
  kKindFieldList = 4,         // F<n>.DOP
  kKindEmaster = 5,           // EMASTER
  kKindIndex = 6,             // ~ZARQ<n>.INX, security index file
  kKindLock = 7,              // ~ZARQ<n>.LCK, directory lock file
  kKindMaster = 8,            // MASTER
  kKindXmaster = 9,           // XMASTER
  kKindForeignMarker = 10,    // ~NONZARQ<n>.USR, left by a program outside the library
  kKindSecurityList = 11,     // ~ZARQ<n>.SEC
  kKindChart = 12,            // ZQSmart/C<n>.CHT
  kKindSecurityScratch = 13,  // S<n>.TMP
  kKindUsers = 14,            // ~ZARQ<n>.USR, directory user file
  kKindChart2 = 15,           // ZQSmart/C<n>.MWS
  kKindMask = 0x1FFF,
  kKindWildcard = 0x2000,
  kKindTemporary = 0x4000,
  kKindFolderOnly = 0x8000,
};

// The name of a file of the open directory number. -370 when it is not
// open; -124 for an unknown kind or a name longer than a path may be; -360
// when a read-only directory finds no free id for its user file. *name is
// empty on failure.
int32_t BuildFileName(uint8_t directory, uint32_t number, std::string* name, uint16_t kind);

// BuildFileName for a folder described by facts (open or not).
int32_t BuildFileNameIn(DirectoryFacts* facts, uint32_t number, std::string* name, uint16_t kind);

// BuildFileName with number 0: the directory's own files.
int32_t BuildDirFileName(uint8_t directory, std::string* name, uint16_t kind);

// Names the directory's own file of kind (number 0) and opens it with
// flags; the working files (user, list, index and lock files) always under
// their exact names and never through a link (kOpenWorkingFile), so that
// every open of one shares one cached handle.
int32_t OpenDirectoryFile(uint8_t directory, uint16_t kind, uint32_t flags, FileHandle* handle);

// Whether name (without folder) is prefix, one or more decimal digits and
// extension, ignoring letter case: the form of the files the library names
// by number ("F12.DAT"), so that "Forecast.dat" is never taken for one.
bool IsNumberedFileName(const std::string& name, const std::string& prefix,
                        const std::string& extension);

// Whether name (without folder) is one of the temporary names the library
// gives its own files (scratch files, master files and data files being
// rebuilt).
bool IsLibraryTemporaryName(const std::string& name);

// The renumbering journal of the open directory number: while the last user
// moves data files to new numbers, it lists the moves and how far they got,
// so that a write-back cut short by a crash is finished by the next user.
// It has no file kind (kinds are part of the interface); only a directory
// that can be written has one.
inline constexpr const char* kJournalFileName = "~ZARQ.JNL";
int32_t BuildJournalFileName(uint8_t directory, std::string* name);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_FILE_NAMING_H_
