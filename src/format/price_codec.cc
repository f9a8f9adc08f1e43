// price_codec.cc: stored price records to and from ZarqPriceRecord.
//
// Thread-safety: pure.

#include "src/format/price_codec.h"

#include <bit>
#include <cstring>

#include "src/format/field_mask.h"
#include "src/format/mbf.h"
#include "src/format/price_batch.h"
#include "src/format/stored_values.h"

namespace zarq {
namespace {

static_assert(kMaxStoredRecordSize <= static_cast<int32_t>(sizeof(ZarqPriceRecord)),
              "in-place decoding needs stored records no larger than ZarqPriceRecord");

bool IsMissing(float value) { return std::bit_cast<uint32_t>(value) == kMissingPriceBits; }

int32_t StoredDate(const uint8_t* field) {
  return ZarqDateFromRecordFloat(MbfToIeee(field, kClampSigned));
}

int32_t StoredTime(const uint8_t* field) {
  return ZarqTimeFromRecordFloat(MbfToIeee(field, kClampSigned));
}

}  // namespace

void EncodePriceRecord(const ZarqPriceRecord& record, uint8_t* out) {
  uint16_t fields = CodecFields(record.FieldMask);
  uint8_t* at = out;
  IeeeToMbf(RecordDateAsFloat(record.Date), at);
  at += kMbfSize;
  if (fields & kFieldTime) {
    IeeeToMbf(RecordTimeAsFloat(record.Time), at);
    at += kMbfSize;
  }
  const struct {
    uint16_t bit;
    float value;
  } prices[] = {{kFieldOpen, record.Open},     {kFieldHigh, record.High},
                {kFieldLow, record.Low},       {kFieldClose, record.Close},
                {kFieldVolume, record.Volume}, {kFieldOpenInterest, record.OpenInterest}};
  for (const auto& price : prices) {
    if (!(fields & price.bit)) continue;
    IeeeToMbf(price.value, at);
    at += kMbfSize;
  }
}

void DecodePriceRecord(const uint8_t* stored, uint16_t mask, ZarqPriceRecord* out) {
  uint16_t fields = CodecFields(mask);
  std::memset(out, 0, sizeof(*out));
  out->FieldMask = mask;
  const uint8_t* at = stored;
  out->Date = StoredDate(at);
  at += kMbfSize;
  if (fields & kFieldTime) {
    out->Time = StoredTime(at);
    at += kMbfSize;
  }
  float* const prices[] = {&out->Open,  &out->High,   &out->Low,
                           &out->Close, &out->Volume, &out->OpenInterest};
  const uint16_t bits[] = {kFieldOpen,  kFieldHigh,   kFieldLow,
                           kFieldClose, kFieldVolume, kFieldOpenInterest};
  for (int i = 0; i < 6; ++i) {
    if (!(fields & bits[i])) continue;
    *prices[i] = MbfToIeee(at, kClampNone);
    at += kMbfSize;
  }
}

void DecodePriceRecordsInPlace(ZarqPriceRecord* records, size_t count, uint16_t mask) {
  // The decoder specialised for the mask's fields gives the bytes
  // DecodePriceRecord gives.
  DecodeStoredRecordsInPlace(records, count, mask);
}

void RecordToZarqDateTime(const uint8_t* stored, int32_t* date, int32_t* time, bool has_time) {
  *date = StoredDate(stored);
  *time = has_time ? StoredTime(stored + kMbfSize) : 0;
}

int32_t CompareStoredRecords(const uint8_t* a, const uint8_t* b, bool timed) {
  int32_t date_a = StoredDate(a);
  int32_t date_b = StoredDate(b);
  if (date_a != date_b || !timed) return CompareDateTime(date_a, 0, date_b, 0, false);
  // Compared as ZARQ times: the stored record-time values are not in
  // chronological order (the ticks' hundreds digit sits above the hours).
  return CompareDateTime(date_a, StoredTime(a + kMbfSize), date_b, StoredTime(b + kMbfSize), true);
}

int32_t CompareDateTime(int32_t date_a, int32_t time_a, int32_t date_b, int32_t time_b,
                        bool timed) {
  if (date_a != date_b || !timed) {
    return SaturateToInt32(static_cast<int64_t>(date_a) - date_b);
  }
  return SaturateToInt32(static_cast<int64_t>(time_a) - time_b);
}

bool IsPlaceholderRecord(const ZarqPriceRecord& record) {
  if (IsMissing(record.High) && IsMissing(record.Low) && IsMissing(record.Close)) return true;
  if (IsMissing(record.High) && record.Low == 0.0f && record.Close == 0.0f) return true;
  if (IsMissing(record.Open) && IsMissing(record.High) && IsMissing(record.Low)) return true;
  return IsMissing(record.Open) && record.High == 0.0f && record.Low == 0.0f;
}

}  // namespace zarq
