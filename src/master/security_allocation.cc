// security_allocation.cc: slot and file number allocation.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_allocation.h"

#include <algorithm>
#include <memory>
#include <new>

#include "include/zarq.h"
#include "src/format/record_buffer.h"
#include "src/fileio/file_table.h"
#include "src/master/security_store.h"

namespace zarq {
namespace {

// What a pass over the records found: the file numbers in use by live
// securities (when asked for) and the first deleted slot.
struct SlotSurvey {
  std::unique_ptr<bool[]> number_used;  // indexed 0..kMaxSlots
  uint32_t first_deleted = 0;
};

// Reads records 1..slot_count (never more than 6000) in blocks, without
// locks: the caller's header lock keeps file numbers and deletions still.
// Without want_numbers the pass ends at the first deleted slot.
int32_t SurveySlots(uint8_t directory, uint32_t slot_count, bool want_numbers, SlotSurvey* survey) {
  if (want_numbers) {
    survey->number_used.reset(new (std::nothrow) bool[kMaxSlots + 1]());
    if (survey->number_used == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  }
  uint32_t total = std::min(slot_count, kMaxSlots);
  if (total == 0) return ZARQ_OK;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  if (status != ZARQ_OK) return status;
  uint32_t chunk = std::min<uint32_t>(total, kIoChunkBytes / kSecurityRecordSize);
  HeapBuffer buffer = AllocRecordBuffer(&chunk, kSecurityRecordSize, 1);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;

  status = FileSeek(file, kSecurityRecordSize, 1, kSeekRecord);
  for (uint32_t first = 1; status == ZARQ_OK && first <= total; first += chunk) {
    uint32_t count = std::min(chunk, total - first + 1);
    status = FileRead(file, count * kSecurityRecordSize, buffer.get());
    for (uint32_t i = 0; status == ZARQ_OK && i < count; ++i) {
      SecurityRecord record;
      DecodeSecurityRecord(buffer.get() + i * kSecurityRecordSize, &record);
      if (record.deleted != 0) {
        if (survey->first_deleted == 0) survey->first_deleted = first + i;
        if (!want_numbers) return ZARQ_OK;
      } else if (want_numbers && record.file_number >= 1 && record.file_number <= kMaxSlots) {
        survey->number_used[record.file_number] = true;
      }
    }
  }
  return status;
}

}  // namespace

int32_t AllocateSecurity(uint8_t directory, SecurityListHeader* header, uint32_t* file_number,
                         uint32_t* slot, bool* reused) {
  *file_number = 0;
  *slot = 0;
  *reused = false;
  if (header->live_count >= kMaxSlots) return ZARQ_E_DIRECTORY_FULL;

  SlotSurvey survey;
  bool surveyed = false;
  uint32_t number = header->next_file_number;
  uint32_t next_number = number + 1;
  // Past 6000 the numbers handed out must be searched for. A damaged
  // header's 0 would name no data file at all: search then too.
  if (number < 1 || number > kMaxSlots) {
    int32_t status = SurveySlots(directory, header->slot_count, true, &survey);
    if (status != ZARQ_OK) return status;
    surveyed = true;
    number = 0;
    for (uint32_t k = 1; k <= kMaxSlots && number == 0; ++k) {
      if (!survey.number_used[k]) number = k;
    }
    if (number == 0) return ZARQ_E_DIRECTORY_FULL;
    next_number = header->next_file_number;
  }

  uint32_t slot_count = header->slot_count;
  uint32_t new_slot = 0;
  bool reuse = false;
  if (slot_count < kMaxSlots) {
    new_slot = ++slot_count;
  } else {
    if (!surveyed) {
      int32_t status = SurveySlots(directory, slot_count, false, &survey);
      if (status != ZARQ_OK) return status;
    }
    // LiveCount says a slot is free, but the records may disagree.
    if (survey.first_deleted == 0) return ZARQ_E_DIRECTORY_FULL;
    new_slot = survey.first_deleted;
    reuse = true;
  }

  header->next_file_number = next_number;
  header->slot_count = slot_count;
  ++header->live_count;
  *file_number = number;
  *slot = new_slot;
  *reused = reuse;
  return ZARQ_OK;
}

}  // namespace zarq
