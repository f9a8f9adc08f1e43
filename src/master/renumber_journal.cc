// renumber_journal.cc: writing, carrying out and finishing the journal of
// data file moves.
//
// Thread-safety: callers hold the library lock and the directory's gate.

#include "src/master/renumber_journal.h"

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_replacement.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/little_endian.h"
#include "src/master/security_record.h"

namespace zarq {
namespace {

constexpr uint16_t kJournalVersion = 800;
constexpr int kMagic = 0;
constexpr int kVersion = 4;
constexpr int kStamp = 6;
constexpr int kMoveCount = 10;
constexpr int kRecordCount = 14;
constexpr int kDone = 18;
constexpr int kChecksum = 22;
constexpr int kHeaderSize = 26;
constexpr int kMoveSize = 13;
constexpr int kRecordSize = 16;

uint32_t Checksum(const std::string& bytes) {
  // FNV-1a over everything but the count of moves done and the checksum.
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i >= kDone && i < kHeaderSize) continue;
    hash = (hash ^ static_cast<uint8_t>(bytes[i])) * 16777619u;
  }
  return hash;
}

uint8_t* At(std::string& bytes, size_t offset) {
  return reinterpret_cast<uint8_t*>(bytes.data()) + offset;
}

const uint8_t* At(const std::string& bytes, size_t offset) {
  return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

// Sets the numbers of the plan's records in the security list file.
int32_t SetRecordNumbers(DirectoryEntry* entry, const RenumberPlan& plan) {
  if (plan.records.empty()) return ZARQ_OK;
  std::string name;
  int32_t status = BuildDirFileName(entry->number, &name, kKindSecurityList);
  FileHandle file = kNoFileHandle;
  if (status == ZARQ_OK) status = FileOpen(entry->number, name.c_str(), &file, kOpenWorkingFile);
  for (const JournalRecord& change : plan.records) {
    uint8_t bytes[kSecurityRecordSize];
    int32_t index = static_cast<int32_t>(change.slot);
    if (status == ZARQ_OK) status = FileSeek(file, kSecurityRecordSize, index, kSeekRecord);
    if (status == ZARQ_OK) status = FileRead(file, kSecurityRecordSize, bytes);
    if (status != ZARQ_OK) return status;
    SecurityRecord record;
    DecodeSecurityRecord(bytes, &record);
    record.file_number = change.file_number;
    record.primary_file_number = change.primary_file_number;
    record.secondary_file_number = change.secondary_file_number;
    EncodeSecurityRecord(record, bytes);
    status = FileSeek(file, kSecurityRecordSize, index, kSeekRecord);
    if (status == ZARQ_OK) status = FileWrite(file, kSecurityRecordSize, bytes);
  }
  return status == ZARQ_OK ? FileFlush(file) : status;
}

// One file of a move. A file under the new number belongs to no security:
// it is stale. Made again after a crash, the move finds its file moved
// already; only the first move not counted done can be half made, so the
// names tell how far it got.
int32_t MoveOne(DirectoryEntry* entry, uint16_t kind, const JournalMove& move, bool existed) {
  std::string old_name, new_name;
  int32_t status = BuildFileName(entry->number, move.from, &old_name, kind);
  if (status == ZARQ_OK) status = BuildFileName(entry->number, move.to, &new_name, kind);
  if (status != ZARQ_OK) return status;
  // Cached handles of either number would keep Windows from renaming.
  FileCloseMatching(entry->number, move.from, kCloseDirectoryTag);
  FileCloseMatching(entry->number, move.to, kCloseDirectoryTag);
  bool old_there = IsExistingFile(old_name);
  if (existed && !old_there) return ZARQ_OK;
  if (IsExistingFile(new_name)) {
    status = DeleteFileByName(new_name);
    if (status != ZARQ_OK) return status;
  }
  return existed ? MoveFileByName(old_name, new_name) : ZARQ_OK;
}

int32_t MakeMoves(DirectoryEntry* entry, const RenumberPlan& plan, uint32_t done,
                  FileHandle journal) {
  for (uint32_t k = done; k < plan.moves.size(); ++k) {
    const JournalMove& move = plan.moves[k];
    int32_t status = MoveOne(entry, kKindData, move, move.files & kJournalDataFile);
    if (status == ZARQ_OK) {
      status = MoveOne(entry, kKindFieldList, move, move.files & kJournalFieldListFile);
    }
    uint8_t count[4];
    PutU32(count, k + 1);
    if (status == ZARQ_OK) status = FileSeek(journal, 1, kDone, kSeekRecord);
    if (status == ZARQ_OK) status = FileWrite(journal, sizeof(count), count);
    if (status == ZARQ_OK) status = FileFlush(journal);
    if (status != ZARQ_OK) return status;
  }
  return ZARQ_OK;
}

int32_t RemoveJournal(DirectoryEntry* entry, const std::string& name) {
  int32_t status = FileCloseNamed(entry->number, name);
  return status != ZARQ_OK ? status : DeleteFileByName(name);
}

}  // namespace

std::string EncodeJournal(const RenumberPlan& plan, uint32_t done) {
  std::string bytes(kHeaderSize + plan.moves.size() * kMoveSize + plan.records.size() * kRecordSize,
                    '\0');
  PutU32(At(bytes, kMagic), kJournalMagic);
  PutU16(At(bytes, kVersion), kJournalVersion);
  PutU32(At(bytes, kStamp), plan.stamp);
  PutU32(At(bytes, kMoveCount), static_cast<uint32_t>(plan.moves.size()));
  PutU32(At(bytes, kRecordCount), static_cast<uint32_t>(plan.records.size()));
  size_t at = kHeaderSize;
  for (const JournalMove& move : plan.moves) {
    PutU32(At(bytes, at), move.slot);
    PutU32(At(bytes, at + 4), move.from);
    PutU32(At(bytes, at + 8), move.to);
    bytes[at + 12] = static_cast<char>(move.files);
    at += kMoveSize;
  }
  for (const JournalRecord& record : plan.records) {
    PutU32(At(bytes, at), record.slot);
    PutU32(At(bytes, at + 4), record.file_number);
    PutU32(At(bytes, at + 8), record.primary_file_number);
    PutU32(At(bytes, at + 12), record.secondary_file_number);
    at += kRecordSize;
  }
  PutU32(At(bytes, kChecksum), Checksum(bytes));
  PutU32(At(bytes, kDone), done);
  return bytes;
}

bool DecodeJournal(const std::string& bytes, RenumberPlan* plan, uint32_t* done) {
  *plan = RenumberPlan{};
  *done = 0;
  if (bytes.size() < kHeaderSize || GetU32(At(bytes, kMagic)) != kJournalMagic ||
      GetU16(At(bytes, kVersion)) != kJournalVersion) {
    return false;
  }
  uint64_t moves = GetU32(At(bytes, kMoveCount));
  uint64_t records = GetU32(At(bytes, kRecordCount));
  if (bytes.size() != kHeaderSize + moves * kMoveSize + records * kRecordSize ||
      GetU32(At(bytes, kChecksum)) != Checksum(bytes)) {
    return false;
  }
  plan->stamp = GetU32(At(bytes, kStamp));
  size_t at = kHeaderSize;
  for (uint64_t i = 0; i < moves; ++i, at += kMoveSize) {
    plan->moves.push_back({GetU32(At(bytes, at)), GetU32(At(bytes, at + 4)),
                           GetU32(At(bytes, at + 8)), static_cast<uint8_t>(bytes[at + 12])});
  }
  for (uint64_t i = 0; i < records; ++i, at += kRecordSize) {
    plan->records.push_back({GetU32(At(bytes, at)), GetU32(At(bytes, at + 4)),
                             GetU32(At(bytes, at + 8)), GetU32(At(bytes, at + 12))});
  }
  *done = std::min<uint32_t>(GetU32(At(bytes, kDone)), static_cast<uint32_t>(moves));
  return true;
}

int32_t CarryOutRenumbering(DirectoryEntry* entry, const RenumberPlan& plan) {
  std::string name;
  int32_t status = BuildJournalFileName(entry->number, &name);
  if (status != ZARQ_OK) return status;
  std::string bytes = EncodeJournal(plan, 0);
  status =
      WriteNewFile(entry->number, name, bytes.data(), static_cast<uint32_t>(bytes.size()), true);
  FileHandle journal = kNoFileHandle;
  if (status == ZARQ_OK) status = SetRecordNumbers(entry, plan);
  if (status == ZARQ_OK) status = FileOpen(entry->number, name.c_str(), &journal, kOpenWorkingFile);
  if (status == ZARQ_OK) status = MakeMoves(entry, plan, 0, journal);
  // A journal stays while its plan is unfinished: the next user finishes it.
  return status == ZARQ_OK ? RemoveJournal(entry, name) : status;
}

int32_t FinishRenumbering(DirectoryEntry* entry) {
  std::string name;
  int32_t status = BuildJournalFileName(entry->number, &name);
  if (status != ZARQ_OK || !ExistsExactly(name)) return status;
  FileHandle journal = kNoFileHandle;
  uint32_t size = 0;
  status = FileOpen(entry->number, name.c_str(), &journal, kOpenWorkingFile);
  if (status == ZARQ_OK) status = FileGetSize(journal, &size);
  std::string bytes(size, '\0');
  if (status == ZARQ_OK && size > 0) status = FileSeek(journal, 0, 0, kSeekStart);
  if (status == ZARQ_OK && size > 0) status = FileRead(journal, size, bytes.data());
  if (status != ZARQ_OK) return status;
  RenumberPlan plan;
  uint32_t done = 0;
  if (DecodeJournal(bytes, &plan, &done)) {
    // Without the list file there is no record to set (it goes only after
    // the journal, so only another program can have removed it).
    std::string list;
    status = BuildDirFileName(entry->number, &list, kKindSecurityList);
    if (status == ZARQ_OK && ExistsExactly(list)) status = SetRecordNumbers(entry, plan);
    if (status == ZARQ_OK) status = MakeMoves(entry, plan, done, journal);
    if (status != ZARQ_OK) return status;
  }
  return RemoveJournal(entry, name);
}

}  // namespace zarq
