// master_write_back.cc: the master files written back from the security
// list.
//
// Thread-safety: callers hold the library lock.

#include "src/master/master_write_back.h"

#include <algorithm>
#include <map>
#include <set>
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
#include "src/master/master_files.h"
#include "src/master/renumber_journal.h"
#include "src/master/security_list.h"
#include "src/master/xmaster_file.h"

namespace zarq {
namespace {

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

std::string Bytes(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

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
      PlanMove(p, from, to);
      return true;
    });
    if (!plan_.moves.empty()) {
      plan_.stamp = entry_->user_file_stamp;
      for (uint32_t slot : changed_) {
        const SecurityRecord& record = list_->at(slot);
        plan_.records.push_back({slot, record.file_number, record.primary_file_number,
                                 record.secondary_file_number});
      }
      int32_t status = CarryOutRenumbering(entry_, plan_);
      if (status != ZARQ_OK) return status;
    }

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

    int32_t status = ReplaceMasterFile(entry_->number, kKindMaster, Bytes(images_.master));
    if (status == ZARQ_OK) {
      status = ReplaceMasterFile(entry_->number, kKindEmaster, Bytes(images_.emaster));
    }
    if (status == ZARQ_OK && n > kMasterNumberLimit) {
      status = ReplaceMasterFile(entry_->number, kKindXmaster, Bytes(images_.xmaster));
    }
    if (status == ZARQ_OK) *count = n;
    return status;
  }

 private:
  SecurityRecord& Record(uint32_t position) { return list_->at(positions_[position - 1]); }

  // Whether a file of kind exists for number once the moves planned so far
  // are made: a number given up by one move may be taken by a later one.
  bool WillExist(uint16_t kind, uint32_t number) {
    auto& files = kind == kKindData ? data_files_ : field_list_files_;
    auto known = files.find(number);
    if (known != files.end()) return known->second;
    std::string name;
    bool exists = BuildFileName(entry_->number, number, &name, kind) == ZARQ_OK &&
                  IsExistingFile(name);
    files[number] = exists;
    return exists;
  }

  // Plans position p's move from one number to another: its files, the
  // images, the security record and every composite that uses the number.
  void PlanMove(uint32_t p, uint32_t from, uint32_t to) {
    JournalMove move{positions_[p - 1], from, to, 0};
    for (uint16_t kind : {kKindData, kKindFieldList}) {
      bool exists = WillExist(kind, from);
      if (exists) move.files |= kind == kKindData ? kJournalDataFile : kJournalFieldListFile;
      auto& files = kind == kKindData ? data_files_ : field_list_files_;
      files[to] = exists;
      files[from] = false;
    }
    plan_.moves.push_back(move);
    if (p <= kMasterNumberLimit) {
      images_.Master(p)[master_offset::kFileNumber] = static_cast<uint8_t>(to);
      PutU16(images_.Emaster(p) + emaster_offset::kFileNumber, static_cast<uint16_t>(to));
    } else {
      PutU32(images_.Xmaster(p) + xmaster_offset::kFileNumber, to);
    }
    Record(p).file_number = to;
    changed_.insert(positions_[p - 1]);
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
      changed_.insert(positions_[q - 1]);
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
  }

  DirectoryEntry* entry_;
  SecurityList* list_;
  std::vector<uint32_t> positions_;  // position p is slot positions_[p - 1]
  Images images_;
  XmasterLevelFacts level_facts_;
  RenumberPlan plan_;
  std::set<uint32_t> changed_;  // slots whose numbers the plan changes
  std::map<uint32_t, bool> data_files_;
  std::map<uint32_t, bool> field_list_files_;
};

}  // namespace

int32_t WriteBackMasterFiles(DirectoryEntry* entry, uint32_t* count) {
  *count = 0;
  // A journal left by a write-back cut short is finished before the list
  // is read: it may still have numbers to set in it.
  int32_t status = FinishRenumbering(entry);
  SecurityList list;
  if (status == ZARQ_OK) status = ReadSecurityList(entry, &list);
  if (status != ZARQ_OK) return status;
  return WriteBack(entry, &list).Run(count);
}

}  // namespace zarq
