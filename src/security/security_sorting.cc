// security_sorting.cc: relinking a stretch of the list into name order.
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_sorting.h"

#include <algorithm>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/frame/ascii_text.h"
#include "src/master/security_store.h"
#include "src/security/lock_table.h"

namespace zarq {
namespace {

// < 0, 0, > 0 as a comes before, with, after b, letter case aside.
int CompareNames(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char x = static_cast<unsigned char>(AsciiLower(*a));
    const unsigned char y = static_cast<unsigned char>(AsciiLower(*b));
    if (x != y || x == 0) return x - y;
  }
}

// One link part to write: the record as it is, and as it should be.
struct LinkWrite {
  SecurityRecord before;
  SecurityRecord after;
};

class Relinker {
 public:
  explicit Relinker(uint8_t directory) : dir_(directory) {}

  // Writes record's link part when it differs from the file's; on failure
  // everything written so far is put back.
  int32_t Write(const SecurityRecord& before, const SecurityRecord& after) {
    if (before.prev_slot == after.prev_slot && before.next_slot == after.next_slot) {
      return ZARQ_OK;
    }
    SecurityRecord record = after;
    int32_t status = AccessSecurityRecord(Handle(after.slot), &record, SecurityAccess::kWriteLinks);
    if (status != ZARQ_OK) return status;
    UpdateLockedSecurityLinks(Handle(after.slot), after);
    done_.push_back({before, after});
    return ZARQ_OK;
  }
  int32_t WriteHeader(SecurityListHeader header) {
    int32_t status = AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite);
    if (status == ZARQ_OK) header_changed_ = true;
    return status;
  }
  // Best effort: the links as they were, latest first.
  void Undo(const SecurityListHeader& original) {
    for (auto it = done_.rbegin(); it != done_.rend(); ++it) {
      SecurityRecord record = it->before;
      if (AccessSecurityRecord(Handle(record.slot), &record, SecurityAccess::kWriteLinks) ==
          ZARQ_OK) {
        UpdateLockedSecurityLinks(Handle(record.slot), it->before);
      }
    }
    if (header_changed_) {
      SecurityListHeader header = original;
      AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite);
    }
  }

 private:
  uint32_t Handle(uint32_t slot) const { return MakeSecurityHandle(dir_, slot, false); }

  uint8_t dir_;
  std::vector<LinkWrite> done_;
  bool header_changed_ = false;
};

// Every record of the list (index = slot; 0 unused), in one read.
int32_t ReadWholeList(uint8_t directory, uint32_t count, std::vector<SecurityRecord>* records) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  std::vector<uint8_t> bytes(size_t{count + 1} * kSecurityRecordSize);
  if (status == ZARQ_OK) status = FileSeek(file, kSecurityRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, static_cast<uint32_t>(bytes.size()), bytes.data());
  if (status != ZARQ_OK) return status;
  records->assign(count + 1, SecurityRecord{});
  for (uint32_t slot = 1; slot <= count; ++slot) {
    DecodeSecurityRecord(bytes.data() + size_t{slot} * kSecurityRecordSize, &(*records)[slot]);
  }
  return ZARQ_OK;
}

int32_t SortLocked(uint8_t directory, uint32_t first, uint32_t last) {
  SecurityListReader reader;
  int32_t status = reader.Open(directory);
  if (status != ZARQ_OK) return status;
  SecurityListHeader header = reader.header();
  const uint32_t n = header.slot_count;
  if (n < 2) return ZARQ_OK;
  if (first == 0 || first > n || last == 0 || last > n) return ZARQ_E_NO_SUCH_SECURITY;
  std::vector<SecurityRecord> list;
  status = ReadWholeList(directory, n, &list);
  if (status != ZARQ_OK) return status;

  // The stretch, walked at most n steps.
  std::vector<uint32_t> stretch;
  for (uint32_t slot = first;; slot = list[slot].next_slot) {
    if (slot == 0 || slot > n) return ZARQ_E_NO_SUCH_SECURITY;
    if (stretch.size() == n) return ZARQ_E_BAD_LIST_FILE;
    stretch.push_back(slot);
    if (slot == last) break;
  }
  const uint32_t before = list[first].prev_slot, after = list[last].next_slot;
  if ((before > n) || (after > n)) return ZARQ_E_BAD_LIST_FILE;
  std::vector<uint32_t> order = stretch;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (list[a].deleted != list[b].deleted) return list[a].deleted == 0;
    return CompareNames(list[a].name, list[b].name) < 0;
  });
  if (order == stretch) return ZARQ_OK;

  const std::vector<SecurityRecord> was = list;
  const SecurityListHeader original = header;
  Relinker relinker(directory);
  const size_t k = order.size();
  // Forward links, from the stretch's end back to its start: a forward
  // walk that steps onto a rewritten record follows rewritten ones only.
  for (size_t j = k; status == ZARQ_OK && j-- > 0;) {
    SecurityRecord& record = list[order[j]];
    record.next_slot = j + 1 < k ? order[j + 1] : after;
    status = relinker.Write(was[order[j]], record);
  }
  if (status == ZARQ_OK && before == 0) {
    header.first_slot = order.front();
    status = relinker.WriteHeader(header);
  } else if (status == ZARQ_OK) {
    SecurityRecord& record = list[before];
    record.next_slot = order.front();
    status = relinker.Write(was[before], record);
  }
  // Backward links, from its start on: the same for a backward walk.
  for (size_t j = 0; status == ZARQ_OK && j < k; ++j) {
    SecurityRecord& record = list[order[j]];
    record.prev_slot = j > 0 ? order[j - 1] : before;
    SecurityRecord forward = record;
    forward.prev_slot = was[order[j]].prev_slot;
    status = relinker.Write(forward, record);
  }
  if (status == ZARQ_OK && after == 0) {
    header.last_slot = order.back();
    status = relinker.WriteHeader(header);
  } else if (status == ZARQ_OK) {
    SecurityRecord& record = list[after];
    SecurityRecord forward = record;
    record.prev_slot = order.back();
    status = relinker.Write(forward, record);
  }
  if (status != ZARQ_OK) relinker.Undo(original);
  return status;
}

}  // namespace

int32_t SortSecurities(uint32_t first, uint32_t last) {
  if (DirectoryOfHandle(first) != DirectoryOfHandle(last)) return ZARQ_E_INVALID_ARGUMENT;
  const uint8_t directory = DirectoryOfHandle(first);
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (first == last) return ZARQ_OK;
  SecurityHeaderLock lock;
  int32_t status = lock.Acquire(directory);
  if (status != ZARQ_OK) return status;
  status = SortLocked(directory, SlotOfHandle(first), SlotOfHandle(last));
  int32_t released = lock.Release();
  return status != ZARQ_OK ? status : released;
}

}  // namespace zarq
