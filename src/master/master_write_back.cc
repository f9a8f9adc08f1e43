// master_write_back.cc: the master files written back from the security
// list.
//
// Thread-safety: callers hold the library lock.

#include "src/master/master_write_back.h"

#include <algorithm>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/little_endian.h"
#include "src/master/data_file_numbers.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/security_list.h"
#include "src/master/xmaster_file.h"

namespace zarq {
namespace {

constexpr uint32_t kNormalAttributes = 0x80;

// The positions of the list in list order: the slots of the live records
// along the chain from FirstSlot. A damaged chain (a loop, a slot beyond
// the list) ends the walk; live records it did not reach follow in slot
// order, so that no security is lost from the master files.
std::vector<uint32_t> LivePositions(SecurityList& list) {
  std::vector<uint32_t> positions;
  std::vector<bool> seen(list.size() + 1, false);
  uint32_t slot = list.header.first_slot;
  while (slot >= 1 && slot <= list.size() && !seen[slot]) {
    seen[slot] = true;
    if (!list.at(slot).deleted) positions.push_back(slot);
    slot = list.at(slot).next_slot;
  }
  for (uint32_t s = 1; s <= list.size(); ++s) {
    if (!seen[s] && !list.at(s).deleted) positions.push_back(s);
  }
  return positions;
}

struct Images {
  std::vector<uint8_t> master;  // header + entries
  std::vector<uint8_t> emaster;
  std::vector<uint8_t> xmaster;

  uint8_t* Master(uint32_t p) { return &master[p * kMasterRecordSize]; }
  uint8_t* Emaster(uint32_t p) { return &emaster[p * kEmasterRecordSize]; }
  uint8_t* Xmaster(uint32_t p) { return &xmaster[(p - kMasterNumberLimit) * kXmasterRecordSize]; }
};

class WriteBack {
 public:
  WriteBack(DirectoryEntry* entry, SecurityList* list) : entry_(entry), list_(list) {}

  int32_t Run(uint32_t* count) {
    positions_ = LivePositions(*list_);
    uint32_t n = static_cast<uint32_t>(positions_.size());
    uint32_t in_master = std::min(n, kMasterNumberLimit);
    images_.master.assign((in_master + 1) * kMasterRecordSize, 0);
    images_.emaster.assign((in_master + 1) * kEmasterRecordSize, 0);
    images_.xmaster.assign((n - in_master + 1) * kXmasterRecordSize, 0);
    FileNumberMap used;
    std::vector<uint32_t> numbers;
    for (uint32_t p = 1; p <= n; ++p) {
      const SecurityRecord& record = Record(p);
      numbers.push_back(record.file_number);
      used.Set(record.file_number);
      if (p <= kMasterNumberLimit) {
        EncodeMasterEntry(record, images_.Master(p));
        EncodeEmasterEntry(record, images_.Emaster(p));
      } else {
        EncodeXmasterEntry(record, images_.Xmaster(p));
        level_facts_.Note(record);
      }
    }
    RenumberPositions(&numbers, &used, [this](uint32_t p, uint32_t from, uint32_t to) {
      return Renumber(p, from, to);
    });
    if (status_ != ZARQ_OK) return status_;

    uint32_t highest_low = 0, highest_high = 0;
    for (uint32_t p = 1; p <= n; ++p) {
      uint32_t& highest = p <= kMasterNumberLimit ? highest_low : highest_high;
      highest = std::max(highest, numbers[p - 1]);
    }
    MasterHeader header;
    header.entry_count = static_cast<int16_t>(in_master);
    header.highest_file_number = static_cast<uint16_t>(highest_low);
    header.stamp = entry_->user_file_stamp;
    EncodeMasterHeader(header, images_.master.data());
    EncodeEmasterHeader(header, images_.emaster.data());
    XmasterHeader xheader;
    xheader.format_level = XmasterHeaderLevel(level_facts_, n);
    xheader.stamp = entry_->user_file_stamp;
    xheader.entry_count = xheader.entry_count2 = n - in_master;
    xheader.next_file_number = highest_high + 1;
    EncodeXmasterHeader(xheader, images_.xmaster.data());

    int32_t status = WriteTemporary(kKindMaster, images_.master);
    if (status == ZARQ_OK) status = WriteTemporary(kKindEmaster, images_.emaster);
    if (status == ZARQ_OK) status = WriteTemporary(kKindXmaster, images_.xmaster);
    for (uint16_t kind : {kKindMaster, kKindEmaster, kKindXmaster}) {
      if (status == ZARQ_OK) status = ReplaceWithTemporary(entry_, kind);
    }
    if (status == ZARQ_OK) *count = n;
    return status;
  }

 private:
  SecurityRecord& Record(uint32_t position) { return list_->at(positions_[position - 1]); }

  // Moves the position's data and field-list files to the new number and
  // patches the images, the composites that use it and the security list
  // file, which stays the true description until the master files replace
  // it.
  bool Renumber(uint32_t p, uint32_t from, uint32_t to) {
    if (status_ != ZARQ_OK) return false;
    if (!MoveSecurityFile(kKindData, from, to)) return false;
    MoveSecurityFile(kKindFieldList, from, to);
    if (p <= kMasterNumberLimit) {
      images_.Master(p)[master_offset::kFileNumber] = static_cast<uint8_t>(to);
      PutU16(images_.Emaster(p) + emaster_offset::kFileNumber, static_cast<uint16_t>(to));
    } else {
      PutU32(images_.Xmaster(p) + xmaster_offset::kFileNumber, to);
    }
    std::vector<uint32_t> changed = {positions_[p - 1]};
    Record(p).file_number = to;
    for (uint32_t q = 1; q <= positions_.size(); ++q) {
      SecurityRecord& composite = Record(q);
      if (!composite.composite) continue;
      bool touched = false;
      if (composite.primary_file_number == from) {
        composite.primary_file_number = to;
        touched = true;
      }
      if (composite.secondary_file_number == from) {
        composite.secondary_file_number = to;
        touched = true;
      }
      if (!touched) continue;
      changed.push_back(positions_[q - 1]);
      if (q <= kMasterNumberLimit) {
        PutU16(images_.Emaster(q) + emaster_offset::kPrimaryFileNumber,
               static_cast<uint16_t>(composite.primary_file_number));
        PutU16(images_.Emaster(q) + emaster_offset::kSecondaryFileNumber,
               static_cast<uint16_t>(composite.secondary_file_number));
      } else {
        PutU32(images_.Xmaster(q) + xmaster_offset::kPrimaryFileNumber,
               composite.primary_file_number);
        PutU32(images_.Xmaster(q) + xmaster_offset::kSecondaryFileNumber,
               composite.secondary_file_number);
      }
    }
    status_ = WriteRecords(changed);
    return status_ == ZARQ_OK;
  }

  bool MoveSecurityFile(uint16_t kind, uint32_t from, uint32_t to) {
    std::string old_name, new_name;
    if (BuildFileName(entry_->number, from, &old_name, kind) != ZARQ_OK ||
        BuildFileName(entry_->number, to, &new_name, kind) != ZARQ_OK) {
      return false;
    }
    // Cached handles of either number would keep Windows from renaming.
    FileCloseMatching(entry_->number, from, kCloseDirectoryTag);
    FileCloseMatching(entry_->number, to, kCloseDirectoryTag);
    // A file under the new number belongs to no security: it is stale.
    if (IsExistingFile(new_name)) DeleteFileByName(new_name);
    if (!IsExistingFile(old_name)) return true;
    return MoveFileByName(old_name, new_name) == ZARQ_OK;
  }

  int32_t WriteRecords(const std::vector<uint32_t>& slots) {
    std::string name;
    int32_t status = BuildDirFileName(entry_->number, &name, kKindSecurityList);
    FileHandle file = kNoFileHandle;
    if (status == ZARQ_OK) status = FileOpen(entry_->number, name.c_str(), &file, 0);
    for (uint32_t slot : slots) {
      uint8_t bytes[kSecurityRecordSize];
      EncodeSecurityRecord(list_->at(slot), bytes);
      if (status == ZARQ_OK)
        status = FileSeek(file, kSecurityRecordSize, static_cast<int32_t>(slot), kSeekRecord);
      if (status == ZARQ_OK) status = FileWrite(file, kSecurityRecordSize, bytes);
    }
    return status;
  }

  int32_t WriteTemporary(uint16_t kind, const std::vector<uint8_t>& bytes) {
    std::string name;
    int32_t status = BuildDirFileName(entry_->number, &name, kind | kKindTemporary);
    FileHandle file = kNoFileHandle;
    if (status == ZARQ_OK)
      status = FileOpen(entry_->number, name.c_str(), &file, kOpenCreate | kOpenTruncate);
    if (status == ZARQ_OK)
      status = FileWrite(file, static_cast<uint32_t>(bytes.size()), bytes.data());
    if (file != kNoFileHandle) {
      int32_t closed = FileCloseMatching(entry_->number, static_cast<uint64_t>(file), kCloseHandle);
      if (status == ZARQ_OK) status = closed;
    }
    return status;
  }

  DirectoryEntry* entry_;
  SecurityList* list_;
  std::vector<uint32_t> positions_;  // position p is slot positions_[p - 1]
  Images images_;
  XmasterLevelFacts level_facts_;
  int32_t status_ = ZARQ_OK;
};

}  // namespace

int32_t WriteBackMasterFiles(DirectoryEntry* entry, uint32_t* count) {
  *count = 0;
  SecurityList list;
  int32_t status = ReadSecurityList(entry, &list);
  if (status != ZARQ_OK) return status;
  return WriteBack(entry, &list).Run(count);
}

int32_t ReplaceWithTemporary(DirectoryEntry* entry, uint16_t kind) {
  std::string master, temporary;
  int32_t status = BuildDirFileName(entry->number, &master, kind);
  if (status == ZARQ_OK)
    status = BuildDirFileName(entry->number, &temporary, kind | kKindTemporary);
  if (status != ZARQ_OK) return status;
  std::string aside;
  if (IsExistingFile(master)) {
    uint32_t attributes = kNormalAttributes;
    FileAttributes(master, &attributes, kSetAttributes);
    status = BuildDirFileName(entry->number, &aside, kKindScratchOrAll | kKindTemporary);
    if (status == ZARQ_OK) status = MoveFileByName(master, aside);
    if (status != ZARQ_OK) return status;
  }
  status = MoveFileByName(temporary, master);
  if (status != ZARQ_OK) {
    // Never leave the directory without its master file.
    if (!aside.empty()) MoveFileByName(aside, master);
    return status;
  }
  if (!aside.empty()) DeleteFileByName(aside);
  return ZARQ_OK;
}

}  // namespace zarq
