// path_services.h: directory paths and volumes, and the name-based file
// operations, with the library's error mapping.
//
// Paths are normalised to absolute form ending, for folders kept by the
// library, with the separator. A drive kind (DriveKind bits) tells what
// holds a path: removable, fixed, remote, CD-ROM (with removable), RAM disk.
//
// Thread-safety: callers hold the library lock (TempDirectory is a
// process-wide value).

#ifndef ZARQ_SRC_FILEIO_PATH_SERVICES_H_
#define ZARQ_SRC_FILEIO_PATH_SERVICES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "src/platform/platform.h"

namespace zarq {

enum DriveKind : uint16_t {
  kDriveKindRemovable = 0x01,
  kDriveKindFixed = 0x02,
  kDriveKindRemote = 0x04,
  kDriveKindCdRom = 0x08,  // always with kDriveKindRemovable
  kDriveKindRamDisk = 0x10,
};

inline constexpr int kDirectoryPathMax = 255;
inline constexpr int kGetAttributes = 15;
inline constexpr int kSetAttributes = 16;

// The root of path (a drive or share root on Windows, "/" elsewhere) with
// its final separator; -374 when path has none.
int32_t GetRootPath(const std::string& path, std::string* root);

// True when path is a root itself.
bool IsRootPath(const std::string& path);

// Makes path absolute (and real, where the system has links); a root keeps
// or gains its final separator, other folders get none. -374 for an empty
// path or one that cannot be made absolute, -124 for one longer than
// kDirectoryPathMax (never cut to another folder's name), -373 when it is
// no existing folder, or a drive error.
int32_t NormalizeDirectoryPath(std::string* path, uint16_t* kind);

// The process's temporary folder, ending with the separator (chosen at
// initialisation; -392 when there is none or it is removable).
int32_t ChooseTempDirectory();
const std::string& TempDirectory();
void ClearTempDirectory();

int32_t GetDriveKind(const std::string& path, uint16_t* kind);
bool IsExistingFile(const std::string& path);
bool IsExistingDirectory(const std::string& path);

// Creates the folder and any missing parents.
int32_t MakeDirectoryPath(const std::string& path);
int32_t RemoveDirectoryPath(const std::string& path);

// Label and serial of the volume of the open directory number.
int32_t GetVolumeInfo(uint8_t number, std::string* label, uint32_t* serial);

// Free bytes of the volume of path, saturated to 32 bits; 0 (and success)
// for a path without a root.
int32_t GetDiskFreeBytes(const std::string& path, uint32_t* free_bytes);

// mode kGetAttributes reads *attributes (0 on failure); kSetAttributes sets
// them; a missing file is -296.
int32_t FileAttributes(const std::string& path, uint32_t* attributes, int mode);

int32_t DeleteFileByName(const std::string& path);
// Deletes every file that the wildcard last part of pattern matches; none
// matching is success.
int32_t DeleteFilesByPattern(const std::string& pattern);
// The names (without folder) of the files that the wildcard last part of
// pattern matches; none matching is success with no name.
int32_t ListFiles(const std::string& pattern, std::vector<std::string>* names);
// Renames without replacing an existing file.
int32_t MoveFileByName(const std::string& from, const std::string& to);

// Gives the file from the name to in one step, replacing the file of that
// name (under the name as its folder spells it, unless exact): the name
// never stands empty, and the new file's data are on the disk first.
int32_t ReplaceFileByName(const std::string& from, const std::string& to, bool exact);

// The name of an existing file as its folder spells it (path itself, or
// the one name that differs from it only in letter case); -296 when none.
int32_t ActualFileName(const std::string& path, std::string* actual);

// Reads up to count bytes from the start of the file path (without the
// file table: a file only looked at), and its size.
int32_t ReadFileStart(const std::string& path, uint32_t count, std::string* bytes, uint64_t* size);

// Whether path names anything under exactly that spelling (a link
// itself counts): for the library's own files, which it always names so.
bool ExistsExactly(const std::string& path);

// Whether path still names the file open through handle (not deleted, not
// replaced by another file since it was opened).
bool HandleStillNamed(FileHandle handle, const std::string& path);

// The folder, private to this user, that holds the working files of
// directories that cannot be written (below the temporary folder, created
// when first needed; ends with the separator). -392 when it cannot be made
// or is not this user's own.
int32_t PrivateWorkFolder(std::string* folder);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_PATH_SERVICES_H_
