// file_table.cc: the cache of open files: opening through the cache,
// closing by selection, the written marks, and starting and stopping the
// table.
//
// Thread-safety: callers hold the library lock; the table itself is
// guarded by the file table lock (see file_table.h).

#include "src/fileio/file_table.h"

#include <algorithm>

#include "include/zarq.h"
#include "src/fileio/directory_facts.h"
#include "src/fileio/file_table_state.h"
#include "src/fileio/path_services.h"
#include "src/fileio/system_error_map.h"
#include "src/frame/ascii_text.h"
#include "src/frame/library_state.h"
#include "src/platform/no_destructor.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

// Moves slot from to position to, shifting the slots between by one.
void MoveSlot(std::vector<FileSlot>& slots, int from, int to) {
  if (from > to) {
    std::rotate(slots.begin() + to, slots.begin() + from, slots.begin() + from + 1);
  } else if (from < to) {
    std::rotate(slots.begin() + from, slots.begin() + from + 1, slots.begin() + to + 1);
  }
}

bool HandleHoldsRegionLock(const FileTableState& table, FileHandle handle) {
  for (const RegionLock& region : table.regions) {
    if (region.used && region.handle == handle) return true;
  }
  return false;
}

// Closes the slot's handle; a handle that cannot be closed damages the
// library for the rest of the process.
int32_t CloseSlot(FileSlot& slot) {
  if (Os().CloseFile(slot.handle) != 0) {
    SetLibraryState(ZARQ_STATE_DAMAGED);
    return ZARQ_STATE_DAMAGED;
  }
  slot = FileSlot{};
  return ZARQ_OK;
}

bool SlotSelected(const FileSlot& slot, uint8_t directory, uint64_t key, int mode) {
  switch (mode) {
    case kCloseAll:
      return true;
    case kCloseDirectory:
      return slot.directory == directory;
    case kCloseDirectoryTag:
      return slot.directory == directory && slot.tag == (key & 0xFFFF);
    case kCloseHandle:
      return static_cast<uint64_t>(slot.handle) == key;
    default:
      return false;
  }
}

// Opens path in the victim slot and makes it slot 0. The victim is the last
// slot, unless its handle holds a region lock: then the nearest slot before
// it that holds none. There are more slots than region locks, so one always
// exists.
int32_t OpenIntoSlot(FileTableState& table, uint8_t directory, const char* path,
                     const std::string& name, uint32_t flags, OpenDisposition disposition,
                     FileHandle* handle, uint32_t* system_error = nullptr) {
  std::vector<FileSlot>& slots = table.slots;
  int last = static_cast<int>(slots.size()) - 1;
  int victim = last;
  while (victim > 0 && slots[victim].used() && HandleHoldsRegionLock(table, slots[victim].handle)) {
    --victim;
  }
  if (slots[victim].used() && Os().CloseFile(slots[victim].handle) != 0) {
    SetLibraryState(ZARQ_STATE_DAMAGED);
    return ZARQ_STATE_DAMAGED;
  }
  slots[victim] = FileSlot{};
  MoveSlot(slots, victim, last);

  uint32_t options = (flags & kOpenWorkingFile) ? kNameExact | kNameNoFollow : 0;
  FileHandle opened = kNoFileHandle;
  uint32_t error =
      Os().OpenFile(path, (flags & kOpenReadOnly) != 0, disposition, options, &opened);
  if (system_error != nullptr) *system_error = error;
  if (error != 0) return MapSystemError(error, ZARQ_E_OPEN_FAILED);

  MoveSlot(slots, last, 0);
  FileSlot& fresh = slots[0];
  fresh.name = name;
  fresh.directory = directory;
  fresh.handle = opened;
  fresh.flags = flags;
  fresh.tag = 0;
  fresh.written = false;
  *handle = opened;
  return ZARQ_OK;
}

// A path of at most kMaxFilePath characters and an out handle, set to none.
int32_t CheckOpenArguments(const char* path, FileHandle* handle) {
  if (handle == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *handle = kNoFileHandle;
  if (path == nullptr || path[0] == '\0' || strnlen(path, kMaxFilePath + 1) > kMaxFilePath) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  return ZARQ_OK;
}

}  // namespace

FileTableState& TheFileTable() {
  static NoDestructor<FileTableState> table;
  return *table;
}

int FindSlotOfHandle(const FileTableState& table, FileHandle handle) {
  for (size_t i = 0; i < table.slots.size() && table.slots[i].used(); ++i) {
    if (table.slots[i].handle == handle) return static_cast<int>(i);
  }
  return -1;
}

int32_t FileOpen(uint8_t directory, const char* path, FileHandle* handle, uint32_t flags) {
  int32_t checked = CheckOpenArguments(path, handle);
  if (checked != ZARQ_OK) return checked;
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (table.slots.empty()) return ZARQ_STATE_UNINITIALIZED;

  std::string_view full(path);
  size_t cut = full.rfind(kPathSeparator);
  std::string_view folder =
      cut == std::string_view::npos ? std::string_view() : full.substr(0, cut + 1);
  std::string name(cut == std::string_view::npos ? full : full.substr(cut + 1));

  DirectoryFacts* facts = FindDirectoryFacts(directory);
  if (facts == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (facts->read_only && EqualsIgnoringCase(folder, facts->path)) flags |= kOpenReadOnly;

  std::vector<FileSlot>& slots = table.slots;
  for (size_t i = 0; i < slots.size() && slots[i].used(); ++i) {
    FileSlot& slot = slots[i];
    if (slot.directory != directory || (slot.flags ^ flags) >= 4 ||
        !EqualsIgnoringCase(slot.name, name)) {
      continue;
    }
    MoveSlot(slots, static_cast<int>(i), 0);
    if (flags & kOpenTruncate) {
      int32_t status = FileSetSize(slots[0].handle, 0);
      if (status != ZARQ_OK) return status;
    }
    *handle = slots[0].handle;
    return ZARQ_OK;
  }

  // The library's own working files are found by the open itself: no
  // attribute check, which would look for other spellings of the name.
  if (flags & kOpenWorkingFile) {
    OpenDisposition disposition = (flags & kOpenTruncate) ? OpenDisposition::kCreateAlways
                                  : (flags & kOpenCreate) ? OpenDisposition::kOpenAlways
                                                          : OpenDisposition::kOpenExisting;
    return OpenIntoSlot(table, directory, path, name, flags, disposition, handle);
  }
  uint32_t attributes = 0;
  bool create = false;
  int32_t status = FileAttributes(path, &attributes, kGetAttributes);
  if (status == ZARQ_E_FILE_NOT_FOUND) {
    if (!(flags & kOpenCreate)) return status;
    create = true;
  } else if (status != ZARQ_OK) {
    return status;
  } else if ((attributes & kAttributeReadOnly) && !(flags & kOpenReadOnly)) {
    return ZARQ_E_ACCESS_DENIED;
  }

  // A file that appeared since the attribute check is opened, not emptied:
  // it may be another process's fresh file.
  OpenDisposition disposition = (flags & kOpenTruncate) ? OpenDisposition::kCreateAlways
                                : create                ? OpenDisposition::kOpenAlways
                                                        : OpenDisposition::kOpenExisting;
  return OpenIntoSlot(table, directory, path, name, flags, disposition, handle);
}

namespace {

std::string NameOf(std::string_view path) {
  size_t cut = path.rfind(kPathSeparator);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// Closes the directory's cached slots of that name that hold no lock.
int32_t CloseSlotsNamed(FileTableState& table, uint8_t directory, const std::string& name) {
  std::vector<FileSlot>& slots = table.slots;
  size_t i = 0;
  while (i < slots.size() && slots[i].used()) {
    if (slots[i].directory != directory || !EqualsIgnoringCase(slots[i].name, name) ||
        HandleHoldsRegionLock(table, slots[i].handle)) {
      ++i;
      continue;
    }
    if (CloseSlot(slots[i]) != ZARQ_OK) return ZARQ_STATE_DAMAGED;
    MoveSlot(slots, static_cast<int>(i), static_cast<int>(slots.size()) - 1);
  }
  return ZARQ_OK;
}

}  // namespace

int32_t FileCloseNamed(uint8_t directory, const std::string& path) {
  int32_t state = RequireInitialized();
  if (state != ZARQ_OK) return state;
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  return CloseSlotsNamed(table, directory, NameOf(path));
}

int32_t FileCreateNew(uint8_t directory, const char* path, FileHandle* handle, bool* existed) {
  *existed = false;
  int32_t checked = CheckOpenArguments(path, handle);
  if (checked != ZARQ_OK) return checked;
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (table.slots.empty()) return ZARQ_STATE_UNINITIALIZED;
  std::string name = NameOf(path);
  if (FindDirectoryFacts(directory) == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  int32_t closed = CloseSlotsNamed(table, directory, name);
  if (closed != ZARQ_OK) return closed;
  uint32_t error = 0;
  int32_t status = OpenIntoSlot(table, directory, path, name, kOpenWorkingFile,
                                OpenDisposition::kCreateNew, handle, &error);
  if (error == kErrorFileExists || error == kErrorAlreadyExists) {
    *existed = true;
    status = ZARQ_E_FILE_QUERY;
  }
  return status;
}

int32_t FileFlush(FileHandle handle) {
  uint32_t error = Os().FlushFile(handle);
  return error == 0 ? ZARQ_OK : MapSystemError(error, ZARQ_E_WRITE_FAILED);
}

int32_t FileCloseMatching(uint8_t directory, uint64_t key, int mode) {
  int32_t state = RequireInitialized();
  if (state != ZARQ_OK) return state;
  if (mode < kCloseAll || mode > kCloseHandle) return ZARQ_OK;
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  std::vector<FileSlot>& slots = table.slots;
  size_t i = 0;
  while (i < slots.size() && slots[i].used()) {
    if (!SlotSelected(slots[i], directory, key, mode)) {
      ++i;
      continue;
    }
    if (CloseSlot(slots[i]) != ZARQ_OK) return ZARQ_STATE_DAMAGED;
    MoveSlot(slots, static_cast<int>(i), static_cast<int>(slots.size()) - 1);
  }
  return ZARQ_OK;
}

void FileMarkWritten(FileHandle handle) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  int slot = FindSlotOfHandle(table, handle);
  if (slot >= 0) table.slots[slot].written = true;
}

void FileTagLatest(uint32_t tag) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (!table.slots.empty() && table.slots[0].used() && table.slots[0].tag == 0) {
    table.slots[0].tag = tag;
  }
}

bool FileHasLocks(FileHandle handle) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  return HandleHoldsRegionLock(table, handle);
}

int32_t StartRegionLockTable() {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  table.regions.assign(kRegionLockCount, RegionLock{});
  return ZARQ_OK;
}

void StopRegionLockTable() {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  table.regions.clear();
}

int32_t StartFileTable(int slot_count) {
  if (slot_count < kMinFileSlotCount) return ZARQ_E_FILE_TABLE_TOO_SMALL;
  FileTableState& table = TheFileTable();
  {
    MutexLock guard(&table.lock);
    table.slots.assign(static_cast<size_t>(slot_count), FileSlot{});
  }
  table.worker = StartFlushWorker(&table);
  if (table.worker == nullptr) {
    MutexLock guard(&table.lock);
    table.slots.clear();
    return ZARQ_E_OUT_OF_MEMORY;
  }
  return ZARQ_OK;
}

void StopFileTable() {
  FileTableState& table = TheFileTable();
  // The worker takes the file table lock itself: stop it before taking it.
  if (table.worker != nullptr) {
    StopFlushWorker(table.worker);
    table.worker = nullptr;
  }
  MutexLock guard(&table.lock);
  for (FileSlot& slot : table.slots) {
    if (slot.used()) Os().CloseFile(slot.handle);
  }
  table.slots.clear();
}

Platform* InstallPlatformForTesting(Platform* platform) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  return SetPlatformForTesting(platform);
}

int FileTableUsedSlots() {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  int used = 0;
  while (used < static_cast<int>(table.slots.size()) && table.slots[used].used()) ++used;
  return used;
}

std::string FileTableSlotName(int slot) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (slot < 0 || slot >= static_cast<int>(table.slots.size())) return std::string();
  return table.slots[slot].name;
}

FileHandle FileTableSlotHandle(int slot) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (slot < 0 || slot >= static_cast<int>(table.slots.size())) return kNoFileHandle;
  return table.slots[slot].handle;
}

}  // namespace zarq
