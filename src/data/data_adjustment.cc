// data_adjustment.cc: adjusting price values and changing a security's
// fields, each through a rebuilt data file.
//
// Thread-safety: callers hold the library lock.

#include "src/data/data_adjustment.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "src/data/data_cursor.h"
#include "src/data/data_rebuild.h"
#include "src/data/date_search.h"
#include "src/data/record_writing.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/security/lock_table.h"

namespace zarq {
namespace {

double Adjusted(double value, char op, double operand) {
  switch (op) {
    case '+':
      return value + operand;
    case '-':
      return value - operand;
    case '/':
      return value / operand;
    default:
      return value * operand;
  }
}

// The data file's header record, record_size bytes.
int32_t ReadHeader(FileHandle file, uint16_t record_size, uint8_t* header) {
  int32_t status = FileSeek(file, record_size, 0, kSeekRecord);
  return status == ZARQ_OK ? FileRead(file, record_size, header) : status;
}

}  // namespace

void ApplyAdjustment(ZarqPriceRecord* record, const ZarqAdjustSpec& adjustment) {
  if (IsPlaceholderRecord(*record)) return;
  struct Field {
    uint16_t bit;
    char op;
    float operand;
    float* value;
  };
  const Field fields[] = {
      {kFieldClose, adjustment.CloseOperator, adjustment.CloseOperand, &record->Close},
      {kFieldHigh, adjustment.HighOperator, adjustment.HighOperand, &record->High},
      {kFieldLow, adjustment.LowOperator, adjustment.LowOperand, &record->Low},
      {kFieldOpenInterest, adjustment.OpenInterestOperator, adjustment.OpenInterestOperand,
       &record->OpenInterest},
      {kFieldOpen, adjustment.OpenOperator, adjustment.OpenOperand, &record->Open},
      {kFieldVolume, adjustment.VolumeOperator, adjustment.VolumeOperand, &record->Volume},
  };
  for (const Field& field : fields) {
    if (field.operand == 0.0f || !(record->FieldMask & field.bit)) continue;
    double value = Adjusted(*field.value, field.op, field.operand);
    if (field.bit == kFieldVolume) value = std::floor(value);
    *field.value = static_cast<float>(value);
  }
}

bool AdjustOperandsFinite(const ZarqAdjustSpec& adjustment) {
  for (float operand :
       {adjustment.CloseOperand, adjustment.HighOperand, adjustment.LowOperand,
        adjustment.OpenOperand, adjustment.OpenInterestOperand, adjustment.VolumeOperand}) {
    if (!std::isfinite(operand)) return false;
  }
  return true;
}

int32_t AdjustData(uint32_t handle, const ZarqDateTimePair& from, const ZarqDateTimePair& to,
                   const ZarqAdjustSpec& adjustment) {
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK) return status;
  if (!AdjustOperandsFinite(adjustment)) return ZARQ_E_INVALID_ARGUMENT;
  int32_t date = from.Date, time = from.Time;
  uint16_t a = 0, b = 0;
  status = FindRecord(handle, &date, &time, &a, kFindAtOrAfter, true);
  if (status < 0) return status;
  date = to.Date;
  time = to.Time;
  status = FindRecord(handle, &date, &time, &b, kFindAtOrBefore, true);
  if (status < 0) return status;
  if (a > b || uint32_t{b} - a + 1 > kMaxMultipleRecords) return ZARQ_E_BAD_RECORD_COUNT;

  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  const uint16_t size = data.record_size;
  uint32_t room = ChunkRecords(size);
  HeapBuffer buffer = AllocRecordBuffer(&room, size, std::min<uint32_t>(room, 10));
  if (status == ZARQ_OK && buffer == nullptr) status = ZARQ_E_OUT_OF_MEMORY;
  if (status == ZARQ_OK) status = ReadHeader(file, size, buffer.get());
  DataFileRebuild rebuild(data, size);
  if (status == ZARQ_OK) status = rebuild.Begin(buffer.get());
  StoredRecordReader reader(file, size, data.count());
  reader.Use(buffer.get(), room);
  for (uint32_t at = 1, n = 1; status == ZARQ_OK && n > 0; at += n) {
    status = reader.Next(&n);
    for (uint32_t k = std::max(at, uint32_t{a}); status == ZARQ_OK && k < at + n && k <= b; ++k) {
      uint8_t* stored = buffer.get() + size_t{k - at} * size;
      ZarqPriceRecord record;
      DecodePriceRecord(stored, data.mask, &record);
      ApplyAdjustment(&record, adjustment);
      EncodePriceRecord(record, stored);
    }
    if (status == ZARQ_OK) status = rebuild.Append(buffer.get(), n);
  }
  if (status == ZARQ_OK) status = rebuild.SwapIn();
  if (status == ZARQ_OK) status = CommitRebuilt(&data, rebuild);
  return status;
}

int32_t ChangeFieldsInData(uint32_t handle, uint16_t mask) {
  if (IsCompositeHandle(handle)) return ZARQ_E_IS_COMPOSITE;
  LockedData data;
  int32_t status = LoadLockedData(handle, kFullLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) return ZARQ_E_IS_COMPOSITE;
  if (mask == data.mask) return ZARQ_OK;
  const int32_t fields = CountBits(mask);
  // Outside 4..8 fields there is no canonical mask to compare with (0
  // would match 0 and empty every record).
  if (fields < kMinFieldCount || fields > kMaxFieldCount ||
      mask != FieldMaskForCount(fields, data.view.record.period)) {
    return ZARQ_E_BAD_FIELD_MASK;
  }
  const uint16_t old_size = data.record_size;
  const uint16_t new_size = static_cast<uint16_t>(StoredRecordSize(mask));
  const bool adds_open = !(data.mask & kFieldOpen) && (mask & kFieldOpen);

  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  uint32_t room = ChunkRecords(std::max(old_size, new_size));
  HeapBuffer old_records = AllocRecordBuffer(&room, old_size, std::min<uint32_t>(room, 10));
  std::vector<uint8_t> converted(size_t{room} * new_size);
  if (status == ZARQ_OK && old_records == nullptr) status = ZARQ_E_OUT_OF_MEMORY;
  // The header keeps its first words; a longer record pads it with zeros,
  // a shorter one cuts its tail.
  uint8_t header[kMaxStoredRecordSize] = {};
  if (status == ZARQ_OK) status = ReadHeader(file, old_size, header);
  DataFileRebuild rebuild(data, new_size);
  if (status == ZARQ_OK) status = rebuild.Begin(header);
  StoredRecordReader reader(file, old_size, data.count());
  reader.Use(old_records.get(), room);
  float previous_close = 0.0f;
  for (uint32_t n = 1; status == ZARQ_OK && n > 0;) {
    status = reader.Next(&n);
    for (uint32_t k = 0; status == ZARQ_OK && k < n; ++k) {
      ZarqPriceRecord record;
      DecodePriceRecord(old_records.get() + size_t{k} * old_size, data.mask, &record);
      record.FieldMask = mask;
      if (adds_open) {
        // A placeholder's close marks missing data, no price to open at.
        const bool placeholder = IsPlaceholderRecord(record);
        record.Open = std::min(record.High, std::max(previous_close, record.Low));
        if (!placeholder) previous_close = record.Close;
      }
      EncodePriceRecord(record, converted.data() + size_t{k} * new_size);
    }
    if (status == ZARQ_OK) status = rebuild.Append(converted.data(), n);
  }
  if (status == ZARQ_OK) status = rebuild.SwapIn();
  if (status != ZARQ_OK) return status;
  WriteFieldListFile(handle, mask);
  data.view.record.field_mask = mask;
  // The list record learns the new mask at once: the file under the name
  // already has records of the new size.
  return CommitRebuilt(&data, rebuild);
}

}  // namespace zarq
