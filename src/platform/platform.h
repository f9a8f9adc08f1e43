// platform.h: the library's one boundary to the operating system.
//
// Every system call of the library goes through the Platform interface. One
// implementation per system (src/platform/posix, src/platform/win32) is chosen
// by the build; tests install a double (usually a PlatformWrapper that
// overrides one method) to inject faults. System failures cross this boundary
// as Windows error numbers (system_errors.h), so the library maps them to
// status codes with one table on every system.
//
// Thread-safety: implementations are thread-safe. Installing a double is
// meant for tests, between library calls.

#ifndef ZARQ_SRC_PLATFORM_PLATFORM_H_
#define ZARQ_SRC_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "src/platform/regional_values.h"

namespace zarq {

// The system's folder separator (a folder path kept by the library ends
// with it), and whether the system's paths ignore letter case.
// Whether a file deleted while other handles hold it open keeps its name
// (refusing every open) until the last of them is closed.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr bool kPathsIgnoreCase = true;
inline constexpr bool kDeletedFilesLinger = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kPathsIgnoreCase = false;
inline constexpr bool kDeletedFilesLinger = false;
#endif

// An open file of the system (a descriptor or a Windows handle).
using FileHandle = intptr_t;
inline constexpr FileHandle kNoFileHandle = -1;

// Attribute bits, in the Windows layout on every system.
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeNormal = 0x80;

// Drive types, in the Windows layout on every system.
enum DriveType : uint32_t {
  kDriveUnknown = 0,
  kDriveNoRootDirectory = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdRom = 5,
  kDriveRamDisk = 6,
};

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// How OpenFile treats an existing or missing file.
enum class OpenDisposition {
  kOpenExisting,  // the file must exist
  kOpenAlways,    // open it, creating it when missing
  kCreateAlways,  // create it, emptying an existing one
  kCreateNew,     // create it; an existing name (even a link) is error 80
};

// Options of OpenFile and ReplaceFile (bits).
enum NameOptions : uint32_t {
  // Use the name as spelt: never a name of the folder that differs from it
  // only in letter case.
  kNameExact = 0x1,
  // The last part of the name must not be a symbolic link (error 5).
  kNameNoFollow = 0x2,
};

// Identifies one file of a volume, whatever name it has now.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The local wall-clock time, as the system reports it.
struct LocalDateTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t millisecond = 0;
};

// The error mode that suppresses the system's critical-error dialogs.
inline constexpr uint32_t kFailCriticalErrors = 1;

// An open file of message texts, each under a numeric identifier (a
// resource-only DLL's string table on Windows, a message catalog on POSIX).
// Closed when destroyed. Thread-safe.
class MessageFile {
 public:
  virtual ~MessageFile() = default;
  // The text stored under identifier; false when the file has none.
  virtual bool Text(uint32_t identifier, std::string* text) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Process services ------------------------------------------------------

  // Milliseconds since an arbitrary start; wraps at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual LocalDateTime LocalTime() = 0;
  // The system version in the Windows layout: low byte major version, next
  // byte minor version, top byte flags (0x80 for the old consumer line).
  virtual uint32_t SystemVersion() = 0;
  // Sets the process error mode and returns the previous one.
  virtual uint32_t SetErrorMode(uint32_t mode) = 0;
  virtual uint32_t ProcessId() = 0;
  // The configured last year of the two-digit-year window as text (for
  // example "2049"); false when none is configured.
  virtual bool TwoDigitYearMax(std::string* text) = 0;

  // Files. Every call returns 0 or a Windows error number.
  //
  // Opens path for reading (and writing unless read_only; a file that may
  // be created is always opened for writing), sharing it with every other
  // handle, which may also delete or rename it. Where names are
  // case-sensitive, a missing exact name is matched without regard to case
  // among the names of its folder (folders copied from Windows) unless
  // options has kNameExact; new files get the exact name. options:
  // NameOptions; kCreateNew implies both.
  virtual uint32_t OpenFile(const std::string& path, bool read_only, OpenDisposition disposition,
                            uint32_t options, FileHandle* handle) = 0;
  virtual uint32_t CloseFile(FileHandle handle) = 0;
  virtual uint32_t ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* done) = 0;
  virtual uint32_t WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                             uint32_t* done) = 0;
  virtual uint32_t SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin,
                            uint64_t* position) = 0;
  virtual uint32_t GetFileSize(FileHandle handle, uint64_t* size) = 0;
  // Makes the file size bytes long; bytes added read as zero.
  virtual uint32_t SetFileSize(FileHandle handle, uint64_t size) = 0;
  virtual uint32_t FlushFile(FileHandle handle) = 0;
  // Byte-range locks that belong to the handle: another handle, of this or
  // another process, cannot lock an overlapping range. A range held
  // elsewhere is error 33 (lock violation). Never waits.
  virtual uint32_t LockRange(FileHandle handle, uint64_t offset, uint64_t length) = 0;
  virtual uint32_t UnlockRange(FileHandle handle, uint64_t offset, uint64_t length) = 0;

  // Names and folders.
  virtual uint32_t GetAttributes(const std::string& path, uint32_t* attributes) = 0;
  virtual uint32_t SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual uint32_t RemoveFile(const std::string& path) = 0;
  // Renames without replacing an existing file.
  virtual uint32_t RenameFile(const std::string& from, const std::string& to) = 0;
  // Gives file from the name to in one step, replacing a file of that name
  // (under the name as its folder spells it, unless options has
  // kNameExact): at every moment the name holds the old or the new file.
  // The data of from reach the disk before the name changes.
  virtual uint32_t ReplaceFile(const std::string& from, const std::string& to,
                               uint32_t options) = 0;
  // The name of an existing file as its folder spells it (path itself, or
  // the one name that matches it without regard to case); error 2 when
  // there is none, error 5 when the name is a folder's.
  virtual uint32_t ActualName(const std::string& path, std::string* actual) = 0;
  // The identity of the file open through handle, and of the file that
  // path names now (a symbolic link itself, not its target).
  virtual uint32_t IdentityOfHandle(FileHandle handle, FileIdentity* identity) = 0;
  virtual uint32_t IdentityOfName(const std::string& path, FileIdentity* identity) = 0;
  virtual uint32_t CreateFolder(const std::string& path) = 0;
  virtual uint32_t RemoveFolder(const std::string& path) = 0;
  // The names (without folder) in the folder of pattern that match its last
  // part, where '*' and '?' are wildcards; error 2 or 18 when none match.
  virtual uint32_t ListFolder(const std::string& pattern, std::vector<std::string>* names) = 0;

  // Paths and volumes.
  //
  // The absolute form of path; where the system has symbolic links, they
  // are resolved as far as the path exists.
  virtual uint32_t AbsolutePath(const std::string& path, std::string* absolute) = 0;
  // The root of an absolute path (a drive or share root on Windows, "/"
  // elsewhere); false when path has no valid root.
  virtual bool RootOf(const std::string& path, std::string* root) = 0;
  virtual uint32_t DriveTypeOf(const std::string& path, uint32_t* type) = 0;
  virtual uint32_t GetVolumeInfo(const std::string& path, std::string* label, uint32_t* serial) = 0;
  virtual uint32_t GetFreeBytes(const std::string& path, uint64_t* free_bytes) = 0;
  virtual uint32_t TempFolder(std::string* path) = 0;
  // The folder of this user's private files below parent (which ends with
  // the separator), created when missing; error 5 when the name is taken
  // by anything but a folder that only this user can enter. The result
  // ends with the separator.
  virtual uint32_t PrivateFolder(const std::string& parent, std::string* folder) = 0;

  // Message texts.
  //
  // Where the shared message file of base name stem is installed: the
  // system's common files folder on Windows, $ZARQ_COMMON_FILES (else the
  // installation's data folder) elsewhere, with the system's file suffix.
  virtual std::string MessageFilePath(const std::string& stem) = 0;
  // Opens the message file at path: 0, or a Windows error number.
  virtual uint32_t OpenMessageFile(const std::string& path, std::unique_ptr<MessageFile>* file) = 0;
  // A text of the library's own module (module: its handle, or null for
  // the program's); false when it has none.
  virtual bool ModuleText(void* module, uint32_t identifier, std::string* text) = 0;
  // Tells the user that a message file could not be opened: a message box
  // on Windows, one line on standard error elsewhere. what names the file;
  // error is the Windows error number.
  virtual void ReportMessageFileFailure(const std::string& what, uint32_t error) = 0;

  // Locale.
  //
  // The user's regional values for date and time text. The same object
  // comes back while their sources are unchanged, so that callers may keep
  // what they derive from it until the pointer changes.
  virtual std::shared_ptr<const RegionalValues> Regional() = 0;
  // The user's short-date text of a valid date, and the user's text of a
  // valid time of day with or without its seconds, as the system renders
  // them: 0 or a Windows error number.
  virtual uint32_t FormatShortDate(const PictureFields& date, std::string* text) = 0;
  virtual uint32_t FormatTimeOfDay(const PictureFields& time, bool with_seconds,
                                   std::string* text) = 0;
};

// Forwards every call to another Platform; tests derive from it and
// override the calls they want to fail.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform* target) : target_(target) {}
  Platform* target() const { return target_; }

  uint32_t TickCount() override { return target_->TickCount(); }
  void Sleep(uint32_t milliseconds) override { target_->Sleep(milliseconds); }
  LocalDateTime LocalTime() override { return target_->LocalTime(); }
  uint32_t SystemVersion() override { return target_->SystemVersion(); }
  uint32_t SetErrorMode(uint32_t mode) override { return target_->SetErrorMode(mode); }
  uint32_t ProcessId() override { return target_->ProcessId(); }
  bool TwoDigitYearMax(std::string* text) override { return target_->TwoDigitYearMax(text); }

  uint32_t OpenFile(const std::string& path, bool read_only, OpenDisposition disposition,
                    uint32_t options, FileHandle* handle) override {
    return target_->OpenFile(path, read_only, disposition, options, handle);
  }
  uint32_t CloseFile(FileHandle handle) override { return target_->CloseFile(handle); }
  uint32_t ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* done) override {
    return target_->ReadFile(handle, buffer, count, done);
  }
  uint32_t WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override {
    return target_->WriteFile(handle, buffer, count, done);
  }
  uint32_t SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin,
                    uint64_t* position) override {
    return target_->SeekFile(handle, distance, origin, position);
  }
  uint32_t GetFileSize(FileHandle handle, uint64_t* size) override {
    return target_->GetFileSize(handle, size);
  }
  uint32_t SetFileSize(FileHandle handle, uint64_t size) override {
    return target_->SetFileSize(handle, size);
  }
  uint32_t FlushFile(FileHandle handle) override { return target_->FlushFile(handle); }
  uint32_t LockRange(FileHandle handle, uint64_t offset, uint64_t length) override {
    return target_->LockRange(handle, offset, length);
  }
  uint32_t UnlockRange(FileHandle handle, uint64_t offset, uint64_t length) override {
    return target_->UnlockRange(handle, offset, length);
  }
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
    return target_->GetAttributes(path, attributes);
  }
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override {
    return target_->SetAttributes(path, attributes);
  }
  uint32_t RemoveFile(const std::string& path) override { return target_->RemoveFile(path); }
  uint32_t RenameFile(const std::string& from, const std::string& to) override {
    return target_->RenameFile(from, to);
  }
  uint32_t ReplaceFile(const std::string& from, const std::string& to,
                       uint32_t options) override {
    return target_->ReplaceFile(from, to, options);
  }
  uint32_t ActualName(const std::string& path, std::string* actual) override {
    return target_->ActualName(path, actual);
  }
  uint32_t IdentityOfHandle(FileHandle handle, FileIdentity* identity) override {
    return target_->IdentityOfHandle(handle, identity);
  }
  uint32_t IdentityOfName(const std::string& path, FileIdentity* identity) override {
    return target_->IdentityOfName(path, identity);
  }
  uint32_t CreateFolder(const std::string& path) override { return target_->CreateFolder(path); }
  uint32_t RemoveFolder(const std::string& path) override { return target_->RemoveFolder(path); }
  uint32_t ListFolder(const std::string& pattern, std::vector<std::string>* names) override {
    return target_->ListFolder(pattern, names);
  }
  uint32_t AbsolutePath(const std::string& path, std::string* absolute) override {
    return target_->AbsolutePath(path, absolute);
  }
  bool RootOf(const std::string& path, std::string* root) override {
    return target_->RootOf(path, root);
  }
  uint32_t DriveTypeOf(const std::string& path, uint32_t* type) override {
    return target_->DriveTypeOf(path, type);
  }
  uint32_t GetVolumeInfo(const std::string& path, std::string* label, uint32_t* serial) override {
    return target_->GetVolumeInfo(path, label, serial);
  }
  uint32_t GetFreeBytes(const std::string& path, uint64_t* free_bytes) override {
    return target_->GetFreeBytes(path, free_bytes);
  }
  uint32_t TempFolder(std::string* path) override { return target_->TempFolder(path); }
  uint32_t PrivateFolder(const std::string& parent, std::string* folder) override {
    return target_->PrivateFolder(parent, folder);
  }
  std::string MessageFilePath(const std::string& stem) override {
    return target_->MessageFilePath(stem);
  }
  uint32_t OpenMessageFile(const std::string& path, std::unique_ptr<MessageFile>* file) override {
    return target_->OpenMessageFile(path, file);
  }
  bool ModuleText(void* module, uint32_t identifier, std::string* text) override {
    return target_->ModuleText(module, identifier, text);
  }
  void ReportMessageFileFailure(const std::string& what, uint32_t error) override {
    target_->ReportMessageFileFailure(what, error);
  }
  std::shared_ptr<const RegionalValues> Regional() override { return target_->Regional(); }
  uint32_t FormatShortDate(const PictureFields& date, std::string* text) override {
    return target_->FormatShortDate(date, text);
  }
  uint32_t FormatTimeOfDay(const PictureFields& time, bool with_seconds,
                           std::string* text) override {
    return target_->FormatTimeOfDay(time, with_seconds, text);
  }

 private:
  Platform* target_;
};

// The platform in use: the system's own unless a test installed a double.
Platform& Os();

// The system's own implementation; created on first use, never destroyed.
Platform* SystemPlatform();

// Installs a double (nullptr reinstalls the system's own) and returns the
// one it replaces. The caller keeps ownership of the double.
Platform* SetPlatformForTesting(Platform* platform);

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_PLATFORM_H_
