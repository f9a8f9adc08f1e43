// price_batch.cc: the specialised batch codecs of price records.
//
// Each instance follows the general codec field by field; the conversions
// are its own inlined forms of the MBF and record-date/time conversions
// (mbf.cc, stored_values.cc), and a test holds every instance to the
// general codec over all masks and arbitrary stored bytes.
//
// Thread-safety: pure.

#include "src/format/price_batch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "src/datetime/date_rules.h"
#include "src/datetime/record_time.h"
#include "src/format/field_mask.h"

namespace zarq {
namespace {

// The optional fields; bit i of a codec index stands for kOptional[i].
constexpr uint16_t kOptional[] = {kFieldTime, kFieldOpen, kFieldHigh, kFieldLow,
                                  kFieldOpenInterest};
constexpr size_t kCodecCount = size_t{1} << std::size(kOptional);

constexpr uint16_t FieldsOfIndex(size_t index) {
  uint16_t fields = kRequiredFields;
  for (size_t i = 0; i < std::size(kOptional); ++i) {
    if ((index >> i) & 1) fields |= kOptional[i];
  }
  return fields;
}

size_t IndexOfMask(uint16_t mask) {
  uint16_t fields = CodecFields(mask);
  size_t index = 0;
  for (size_t i = 0; i < std::size(kOptional); ++i) {
    if (fields & kOptional[i]) index |= size_t{1} << i;
  }
  return index;
}

// Stored words and the caller's fields are both little-endian, as on
// every target: the codecs move whole words (a big-endian target would
// swap them here).
static_assert(std::endian::native == std::endian::little);
inline uint32_t LoadWord(const uint8_t* at) {
  uint32_t word;
  std::memcpy(&word, at, 4);
  return word;
}
inline void StoreWord(uint8_t* at, uint32_t word) { std::memcpy(at, &word, 4); }

// No record time exceeds 9235999; the bound keeps a damaged value's
// arithmetic in range (as ZarqTimeFromRecordValue does).
constexpr int32_t kRecordTimeBound = 99999999;

// The IEEE bits of a stored MBF word: exponents 0..2 read as +0.0, and
// every other one gives a normal finite single, which needs no cleaning.
inline uint32_t IeeeBits(uint32_t word) {
  uint32_t exponent = word >> 24;
  uint32_t bits = ((word & 0x00800000u) << 8) | ((exponent - 2) << 23) | (word & 0x007FFFFFu);
  return exponent > 2 ? bits : 0;
}

// A date or time field clamped into 32 bits and truncated toward zero.
inline int32_t StoredInteger(uint32_t word) {
  double value = std::bit_cast<float>(IeeeBits(word));
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

inline int32_t StoredDate(uint32_t word) {
  int64_t date = static_cast<int64_t>(StoredInteger(word)) + kShortDateOffset;
  return date > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                    : static_cast<int32_t>(date);
}

inline int32_t StoredTime(uint32_t word) {
  int32_t value = StoredInteger(word);
  if (value > kRecordTimeBound) value = kRecordTimeBound;
  if (value < -kRecordTimeBound) value = -kRecordTimeBound;
  return RecordTimeToZarq(value);
}

// The MBF word of the bits of an IEEE single: zero, denormals and
// magnitudes of 2^127 and above are stored as 0. Branch-free, so that a
// loop of them runs in vector lanes.
inline uint32_t MbfWord(uint32_t bits) {
  uint32_t exponent = (bits >> 23) & 0xFF;
  uint32_t word = (bits & 0x007FFFFFu) | ((bits >> 8) & 0x00800000u) | ((exponent + 2) << 24);
  return exponent - 1 < 253 ? word : 0;
}

inline float RecordDate(int32_t zarq_date) {
  // Every date from 0 on is simply 19000000 lower; the others take the
  // general rule, in 64 bits (the far negative ones would overflow).
  if (zarq_date >= 0) return static_cast<float>(zarq_date - kShortDateOffset);
  int64_t date = zarq_date;
  int64_t rest = date % 10000;
  return static_cast<float>((date / 10000 - 1900) * 10000 + (rest < 0 ? -rest : rest));
}

// Where a decoded record's fields go.
constexpr size_t kDateAt = offsetof(ZarqPriceRecord, Date);
constexpr size_t kTimeAt = offsetof(ZarqPriceRecord, Time);
constexpr size_t kOpenAt = offsetof(ZarqPriceRecord, Open);
constexpr size_t kHighAt = offsetof(ZarqPriceRecord, High);
constexpr size_t kLowAt = offsetof(ZarqPriceRecord, Low);
constexpr size_t kCloseAt = offsetof(ZarqPriceRecord, Close);
constexpr size_t kVolumeAt = offsetof(ZarqPriceRecord, Volume);
constexpr size_t kOpenInterestAt = offsetof(ZarqPriceRecord, OpenInterest);
constexpr size_t kMaskAt = offsetof(ZarqPriceRecord, FieldMask);
static_assert(offsetof(ZarqPriceRecord, Reserved) == kMaskAt + 2);

template <size_t kIndex>
void DecodeInPlace(ZarqPriceRecord* records, size_t count, uint16_t mask) {
  constexpr uint16_t kFields = FieldsOfIndex(kIndex);
  constexpr size_t kWords = std::popcount(kFields);
  uint8_t* bytes = reinterpret_cast<uint8_t*>(records);
  for (size_t i = count; i-- > 0;) {
    // Every stored word is loaded before the first byte of the record's
    // output is stored: the output may cover its own stored bytes (never
    // those of an earlier record).
    uint32_t word[kWords];
    for (size_t k = 0; k < kWords; ++k) word[k] = LoadWord(bytes + (i * kWords + k) * 4);
    uint8_t* out = bytes + i * sizeof(ZarqPriceRecord);
    size_t k = 0;
    StoreWord(out + kDateAt, static_cast<uint32_t>(StoredDate(word[k++])));
    StoreWord(out + kTimeAt,
              static_cast<uint32_t>((kFields & kFieldTime) != 0 ? StoredTime(word[k++]) : 0));
    StoreWord(out + kOpenAt, (kFields & kFieldOpen) != 0 ? IeeeBits(word[k++]) : 0);
    StoreWord(out + kHighAt, (kFields & kFieldHigh) != 0 ? IeeeBits(word[k++]) : 0);
    StoreWord(out + kLowAt, (kFields & kFieldLow) != 0 ? IeeeBits(word[k++]) : 0);
    StoreWord(out + kCloseAt, IeeeBits(word[k++]));
    StoreWord(out + kVolumeAt, IeeeBits(word[k++]));
    StoreWord(out + kOpenInterestAt, (kFields & kFieldOpenInterest) != 0 ? IeeeBits(word[k++]) : 0);
    StoreWord(out + kMaskAt, mask);  // and Reserved 0
  }
}

// The words of a caller's record, and where its prices lie among them.
constexpr size_t kRecordWords = sizeof(ZarqPriceRecord) / 4;
constexpr size_t kOpenWord = kOpenAt / 4;
constexpr size_t kHighWord = kHighAt / 4;
constexpr size_t kLowWord = kLowAt / 4;
constexpr size_t kCloseWord = kCloseAt / 4;
constexpr size_t kVolumeWord = kVolumeAt / 4;
constexpr size_t kOpenInterestWord = kOpenInterestAt / 4;
constexpr uint16_t kPriceFields[] = {kFieldOpen,  kFieldHigh,   kFieldLow,
                                     kFieldClose, kFieldVolume, kFieldOpenInterest};

// The prices a set of fields stores, when they follow each other in the
// caller's record as they do in the stored one (so for every canonical
// mask but 0x0F and 0x8F): the first word and the number of them.
struct PriceRun {
  size_t first = 0;
  size_t length = 0;
};
constexpr PriceRun RunOf(uint16_t fields) {
  size_t first = std::size(kPriceFields), last = 0, count = 0;
  for (size_t i = 0; i < std::size(kPriceFields); ++i) {
    if ((fields & kPriceFields[i]) == 0) continue;
    first = std::min(first, i);
    last = i;
    ++count;
  }
  return count == last - first + 1 ? PriceRun{kOpenWord + first, count} : PriceRun{};
}

// Four words side by side, in vector lanes where the target has them
// (GCC and Clang lower them to scalar code elsewhere).
using Words4 = uint32_t __attribute__((vector_size(16)));

inline Words4 MbfWords(Words4 bits) {
  const Words4 exponent = (bits >> 23) & 0xFFu;
  const Words4 word = (bits & 0x007FFFFFu) | ((bits >> 8) & 0x00800000u) | ((exponent + 2) << 24);
  return word & reinterpret_cast<Words4>(exponent - 1 < 253u);
}

// Stores the date (and time) words of record at at; the next free byte.
template <uint16_t kFields>
inline uint8_t* StoreMoment(const ZarqPriceRecord& record, uint8_t* at) {
  StoreWord(at, MbfWord(std::bit_cast<uint32_t>(RecordDate(record.Date))));
  if constexpr ((kFields & kFieldTime) == 0) return at + 4;
  float time = static_cast<float>(ZarqTimeToRecord(record.Time));
  StoreWord(at + 4, MbfWord(std::bit_cast<uint32_t>(time)));
  return at + 8;
}

// Prices in a run of four or more: two overlapping vectors per record,
// loaded from the caller's record and stored into the stored one (neither
// reaches past its record).
template <uint16_t kFields>
void EncodeRuns(const ZarqPriceRecord* records, size_t count, uint8_t* out) {
  constexpr PriceRun kRun = RunOf(kFields);
  static_assert(kRun.length >= 4);
  constexpr size_t kSize = 4 * std::popcount(kFields);
  constexpr size_t kLast = 4 * (kRun.length - 4);  // where the second vector goes
  const uint8_t* in = reinterpret_cast<const uint8_t*>(records);
  for (size_t i = 0; i < count; ++i, in += sizeof(ZarqPriceRecord), out += kSize) {
    uint8_t* prices = StoreMoment<kFields>(records[i], out);
    Words4 low, high;
    std::memcpy(&low, in + 4 * kRun.first, sizeof(low));
    std::memcpy(&high, in + 4 * kRun.first + kLast, sizeof(high));
    low = MbfWords(low);
    high = MbfWords(high);
    std::memcpy(prices, &low, sizeof(low));
    std::memcpy(prices + kLast, &high, sizeof(high));
  }
}

// Any other set: every word of a batch of records converted in one
// straight loop, the prices then picked from it.
template <uint16_t kFields>
void EncodeBatches(const ZarqPriceRecord* records, size_t count, uint8_t* out) {
  constexpr size_t kBatch = 64;
  constexpr size_t kSize = 4 * std::popcount(kFields);
  uint32_t words[kBatch * kRecordWords];
  for (size_t base = 0; base < count; base += kBatch) {
    const size_t n = std::min(kBatch, count - base);
    const uint8_t* in = reinterpret_cast<const uint8_t*>(records + base);
    for (size_t j = 0; j < n * kRecordWords; ++j) words[j] = MbfWord(LoadWord(in + 4 * j));
    for (size_t i = 0; i < n; ++i) {
      const uint32_t* price = words + i * kRecordWords;
      uint8_t* at = StoreMoment<kFields>(records[base + i], out + (base + i) * kSize);
      for (size_t w = kOpenWord; w <= kOpenInterestWord; ++w) {
        if ((kFields & kPriceFields[w - kOpenWord]) == 0) continue;
        StoreWord(at, price[w]);
        at += 4;
      }
    }
  }
}

template <size_t kIndex>
void Encode(const ZarqPriceRecord* records, size_t count, uint8_t* out) {
  constexpr uint16_t kFields = FieldsOfIndex(kIndex);
  if constexpr (RunOf(kFields).length >= 4) {
    EncodeRuns<kFields>(records, count, out);
  } else {
    EncodeBatches<kFields>(records, count, out);
  }
}

using Decoder = void (*)(ZarqPriceRecord*, size_t, uint16_t);
using Encoder = void (*)(const ZarqPriceRecord*, size_t, uint8_t*);

template <size_t... kIndex>
constexpr std::array<Decoder, kCodecCount> MakeDecoders(std::index_sequence<kIndex...>) {
  return {&DecodeInPlace<kIndex>...};
}
template <size_t... kIndex>
constexpr std::array<Encoder, kCodecCount> MakeEncoders(std::index_sequence<kIndex...>) {
  return {&Encode<kIndex>...};
}

constexpr auto kDecoders = MakeDecoders(std::make_index_sequence<kCodecCount>());
constexpr auto kEncoders = MakeEncoders(std::make_index_sequence<kCodecCount>());

}  // namespace

void DecodeStoredRecordsInPlace(ZarqPriceRecord* records, size_t count, uint16_t mask) {
  kDecoders[IndexOfMask(mask)](records, count, mask);
}

void EncodePriceRecords(const ZarqPriceRecord* records, size_t count, uint16_t mask, uint8_t* out) {
  kEncoders[IndexOfMask(mask)](records, count, out);
}

}  // namespace zarq
