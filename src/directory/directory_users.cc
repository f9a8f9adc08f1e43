// directory_users.cc: registering in and leaving the directory user file.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_users.h"

#include <vector>

#include "include/zarq.h"
#include "src/directory/user_file_format.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/ascii_text.h"
#include "src/frame/library_state.h"
#include "src/platform/no_destructor.h"

namespace zarq {
namespace {

constexpr uint8_t kMaxStampCounter = 15;
constinit uint8_t g_stamp_counter = 1;
constinit DirectoryLocksReleaser g_locks_releaser = nullptr;

std::string& FailedOpenText() {
  static NoDestructor<std::string> text;
  return *text;
}

int32_t OpenUserFile(DirectoryEntry* entry, uint32_t flags, FileHandle* file) {
  return OpenDirectoryFile(entry->number, kKindUsers, flags, file);
}

int32_t LockHeaderOf(FileHandle file, bool lock) {
  int32_t status = FileSeek(file, kUserRecordSize, 0, kSeekRecord);
  if (status != ZARQ_OK) return status;
  status = FileLockRegion(file, lock ? kLockRegionWaiting : kUnlockRegion, kUserRecordSize);
  return (lock && status == ZARQ_E_LOCK_FAILED) ? ZARQ_E_USER_FILE_LOCKED : status;
}

int32_t WriteRecord(FileHandle file, uint16_t index, const uint8_t* bytes) {
  int32_t status = FileSeek(file, kUserRecordSize, index, kSeekRecord);
  return status != ZARQ_OK ? status : FileWrite(file, kUserRecordSize, bytes);
}

int32_t ReadHeader(FileHandle file, UserFileHeader* header) {
  uint8_t bytes[kUserRecordSize];
  int32_t status = FileSeek(file, kUserRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, kUserRecordSize, bytes);
  if (status != ZARQ_OK) return status;
  *header = DecodeUserFileHeader(bytes);
  if (header->magic != kUserFileMagic) return ZARQ_E_BAD_USER_FILE;
  return ZARQ_OK;
}

int32_t WriteHeader(FileHandle file, const UserFileHeader& header) {
  uint8_t bytes[kUserRecordSize];
  EncodeUserFileHeader(header, bytes);
  return WriteRecord(file, 0, bytes);
}

UserRecord OwnRecord() {
  UserRecord record;
  record.in_use = true;
  record.instance_tag = InstanceTag();
  CopyBounded(record.identity, sizeof(record.identity), IdentityString());
  return record;
}

// The registration proper, with the header locked; *index is the record
// chosen (0 when none).
int32_t RegisterLocked(DirectoryEntry* entry, FileHandle file, bool* needs_init, bool allow_same,
                       uint16_t* index) {
  uint32_t size = 0;
  int32_t status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  // An empty file, or one cut short inside its header, was left by a first
  // user that did not finish: the working files are built anew.
  if (size < kUserRecordSize) {
    *needs_init = true;
    return ZARQ_OK;
  }
  UserFileHeader header;
  status = ReadHeader(file, &header);
  if (status == ZARQ_E_BAD_USER_FILE && header.magic == 0) {
    *needs_init = true;  // a header never written: as empty
    return ZARQ_OK;
  }
  if (status != ZARQ_OK) return status;
  if (header.version < kUserFileOldestVersion || header.version > kUserFileVersion) {
    return ZARQ_E_BAD_VERSION;
  }
  if (header.users == 0 || header.records == 0) {
    header.users = 0;
    header.records = 0;
    std::string list;
    status = BuildDirFileName(entry->number, &list, kKindSecurityList);
    if (status != ZARQ_OK) return status;
    if (!ExistsExactly(list)) {
      *needs_init = true;
      return WriteHeader(file, header);
    }
  } else if (header.users >= std::min(header.max_users, kMaxUsers)) {
    return ZARQ_E_TOO_MANY_USERS;
  }

  entry->flags |= kDirHoldsDatabase;
  entry->user_file_stamp = header.stamp;
  // Records beyond what the file holds are not read (a header may claim
  // more than a crash left behind).
  uint32_t whole = size / kUserRecordSize - 1;
  uint16_t records = static_cast<uint16_t>(std::min<uint32_t>(header.records, whole));
  std::vector<uint8_t> bytes(static_cast<size_t>(records) * kUserRecordSize);
  if (records > 0) {
    status = FileRead(file, static_cast<uint32_t>(bytes.size()), bytes.data());
    if (status != ZARQ_OK) return status;
  }
  uint16_t free_record = 0;
  uint16_t reused = 0;
  for (uint16_t i = 1; i <= records; ++i) {
    UserRecord record = DecodeUserRecord(&bytes[(i - 1) * kUserRecordSize]);
    if (!record.in_use) {
      if (free_record == 0) free_record = i;
      continue;
    }
    if (EqualsIgnoringCase(record.identity, IdentityString())) {
      if (!allow_same) return ZARQ_E_ALREADY_REGISTERED;
      reused = i;
      break;
    }
  }
  uint16_t chosen = reused != 0 ? reused : free_record;
  uint16_t in_use = 0;
  for (uint16_t i = 1; i <= records; ++i) {
    in_use += DecodeUserRecord(&bytes[(i - 1) * kUserRecordSize]).in_use ? 1 : 0;
  }
  if (reused == 0 || header.users < in_use) ++header.users;
  if (chosen == 0) {
    chosen = static_cast<uint16_t>(records + 1);
    if (chosen > kMaxUsers) return ZARQ_E_TOO_MANY_USERS;
    header.records = chosen;
  }
  uint8_t own[kUserRecordSize];
  EncodeUserRecord(OwnRecord(), own);
  status = WriteRecord(file, chosen, own);
  if (status == ZARQ_OK) status = WriteHeader(file, header);
  if (status == ZARQ_OK) *index = chosen;
  return status;
}

}  // namespace

uint32_t NewUserFileStamp() {
  for (;;) {
    if (++g_stamp_counter > kMaxStampCounter) g_stamp_counter = 1;
    uint32_t stamp =
        ((static_cast<uint32_t>(g_stamp_counter) << 24) + Os().TickCount()) | 0x80402000u;
    bool taken = false;
    for (DirectoryEntry* entry : OpenDirectories()) taken |= entry->user_file_stamp == stamp;
    if (!taken) return stamp;
  }
}

int32_t LockUserHeader(DirectoryEntry* entry, bool lock) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  return status != ZARQ_OK ? status : LockHeaderOf(file, lock);
}

int32_t InspectUserFile(DirectoryEntry* entry, UserFileState* state) {
  *state = UserFileState::kUnbuilt;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status == ZARQ_OK) status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  uint32_t size = 0;
  status = FileGetSize(file, &size);
  UserFileHeader header;
  if (status == ZARQ_OK && size >= kUserRecordSize) {
    status = ReadHeader(file, &header);
    if (status == ZARQ_E_BAD_USER_FILE && header.magic == 0) {
      status = ZARQ_OK;  // a first user died before writing the header
    } else if (status == ZARQ_OK && (header.version < kUserFileOldestVersion ||
                                     header.version > kUserFileVersion)) {
      status = ZARQ_E_BAD_VERSION;
    } else if (status == ZARQ_OK) {
      *state = header.users == 0 || header.records == 0 ? UserFileState::kNoUsers
                                                        : UserFileState::kUsers;
    }
  }
  LockHeaderOf(file, false);
  return status;
}

int32_t CreateUserFile(DirectoryEntry* entry) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, kOpenCreate, &file);
  if (status != ZARQ_OK) return status;
  status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  status = FileSetSize(file, 0);
  if (status != ZARQ_OK) {
    LockHeaderOf(file, false);
    return status;
  }
  entry->user_file_stamp = NewUserFileStamp();
  entry->user_record = 0;
  return ZARQ_OK;
}

int32_t RegisterFirstUser(DirectoryEntry* entry) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status != ZARQ_OK) return status;
  UserFileHeader header;
  header.stamp = entry->user_file_stamp;
  header.users = 1;
  header.records = 1;
  uint8_t own[kUserRecordSize];
  EncodeUserRecord(OwnRecord(), own);
  // The record first: a header never counts a user whose record is missing.
  status = WriteRecord(file, 1, own);
  if (status == ZARQ_OK) status = WriteHeader(file, header);
  if (status == ZARQ_OK) entry->user_record = 1;
  return status;
}

int32_t RegisterUser(DirectoryEntry* entry, bool* needs_init, bool allow_same) {
  *needs_init = false;
  entry->user_record = 0;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status != ZARQ_OK) return status;
  status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  uint16_t index = 0;
  status = RegisterLocked(entry, file, needs_init, allow_same, &index);
  LockHeaderOf(file, false);
  if (status == ZARQ_OK) entry->user_record = index;
  return status;
}

int32_t LeaveUser(DirectoryEntry* entry, bool* was_last) {
  *was_last = false;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status != ZARQ_OK) return status;
  status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  UserFileHeader header;
  status = ReadHeader(file, &header);
  if (status == ZARQ_OK && header.stamp != entry->user_file_stamp) status = ZARQ_E_STAMP_MISMATCH;
  if (status == ZARQ_OK) {
    bool cut = false, cleared = false;
    if (header.users < 2) {
      *was_last = true;
      header.users = 0;
    } else {
      cut = entry->user_record == header.records;
      cleared = !cut && entry->user_record != 0 && entry->user_record < header.records;
      if (cut) --header.records;
      --header.users;
    }
    // The header first: a crash before the record goes leaves a record in
    // use that no user count includes, which is harmless; the other way
    // round it would leave a count no one could ever bring down.
    status = WriteHeader(file, header);
    if (status == ZARQ_OK && cut) {
      status = FileSetSize(file, static_cast<uint32_t>(header.records + 1) * kUserRecordSize);
    }
    if (status == ZARQ_OK && cleared) {
      uint8_t zeros[kUserRecordSize] = {};
      status = WriteRecord(file, entry->user_record, zeros);
    }
  }
  if (!(*was_last && status == ZARQ_OK)) LockHeaderOf(file, false);
  if (status == ZARQ_OK) entry->user_record = 0;
  return status;
}

DirectoryLocksReleaser SetDirectoryLocksReleaser(DirectoryLocksReleaser releaser) {
  DirectoryLocksReleaser previous = g_locks_releaser;
  g_locks_releaser = releaser;
  return previous;
}

bool ReleaseDirectoryLocks(DirectoryEntry* entry) {
  return g_locks_releaser != nullptr && g_locks_releaser(entry);
}

int32_t VerifyUserRecord(DirectoryEntry* entry) {
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_OK;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status == ZARQ_E_FILE_NOT_FOUND) {
    status = ZARQ_E_REGISTRATION_LOST;
  } else if (status == ZARQ_OK) {
    status = LockHeaderOf(file, true);
    if (status != ZARQ_OK) return status;
    UserFileHeader header;
    uint32_t size = 0;
    status = FileGetSize(file, &size);
    // A file without a header is a new one being built: the file this
    // process registered in is gone.
    if (status == ZARQ_OK && size < kUserRecordSize) status = ZARQ_E_REGISTRATION_LOST;
    if (status == ZARQ_OK) status = ReadHeader(file, &header);
    if (status == ZARQ_E_BAD_USER_FILE && header.magic == 0) status = ZARQ_E_REGISTRATION_LOST;
    if (status == ZARQ_OK && header.version > kUserFileVersion) status = ZARQ_E_BAD_VERSION;
    if (status == ZARQ_OK) {
      uint8_t bytes[kUserRecordSize];
      if (header.stamp != entry->user_file_stamp || entry->user_record == 0 ||
          header.records < entry->user_record) {
        status = ZARQ_E_REGISTRATION_LOST;
      } else if (FileSeek(file, kUserRecordSize, entry->user_record, kSeekRecord) != ZARQ_OK ||
                 FileRead(file, kUserRecordSize, bytes) != ZARQ_OK) {
        status = ZARQ_E_REGISTRATION_LOST;  // the record is gone from the file
      } else {
        UserRecord record = DecodeUserRecord(bytes);
        if (!record.in_use || record.instance_tag != InstanceTag()) {
          status = ZARQ_E_REGISTRATION_LOST;
        }
      }
    }
    LockHeaderOf(file, false);
    FileCloseMatching(entry->number, static_cast<uint64_t>(file), kCloseHandle);
  }
  if (status == ZARQ_E_REGISTRATION_LOST) {
    entry->flags |= kDirRegistrationLost;
    ReleaseDirectoryLocks(entry);
  }
  return status;
}

int32_t RejoinUser(DirectoryEntry* entry, uint16_t record) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status == ZARQ_OK) status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  UserFileHeader header;
  status = ReadHeader(file, &header);
  if (status == ZARQ_OK && header.stamp != entry->user_file_stamp) status = ZARQ_E_STAMP_MISMATCH;
  if (status == ZARQ_OK) {
    ++header.users;
    header.records = std::max(header.records, record);
    status = WriteHeader(file, header);
  }
  LockHeaderOf(file, false);
  if (status == ZARQ_OK) entry->user_record = record;
  return status;
}

int32_t ReadUserIdentity(uint8_t directory, uint16_t record, std::string* identity) {
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenUserFile(entry, 0, &file);
  if (status == ZARQ_OK) status = LockHeaderOf(file, true);
  if (status != ZARQ_OK) return status;
  UserFileHeader header;
  status = ReadHeader(file, &header);
  if (status == ZARQ_OK &&
      (header.version < kUserFileOldestVersion || header.version > kUserFileVersion)) {
    status = ZARQ_E_BAD_VERSION;
  }
  if (status == ZARQ_OK && (record == 0 || header.records < record)) status = ZARQ_E_END_OF_FILE;
  uint8_t bytes[kUserRecordSize];
  if (status == ZARQ_OK) status = FileSeek(file, kUserRecordSize, record, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, kUserRecordSize, bytes);
  if (status == ZARQ_OK) {
    UserRecord user = DecodeUserRecord(bytes);
    if (user.in_use) {
      *identity = user.identity;
    } else {
      status = ZARQ_E_END_OF_FILE;
    }
  }
  LockHeaderOf(file, false);
  return status;
}

void ClearLastFailedOpen() { FailedOpenText().clear(); }

void SetLastFailedOpen(const char* text) { FailedOpenText() = text; }

const std::string& LastFailedOpen() { return FailedOpenText(); }

}  // namespace zarq
