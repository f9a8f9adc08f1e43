// master_file.cc: byte codec of MASTER.
//
// Thread-safety: pure.

#include "src/master/master_file.h"

#include <cstring>

#include "src/format/mbf.h"
#include "src/format/stored_values.h"
#include "src/frame/count_bits.h"
#include "src/frame/little_endian.h"
#include "src/master/record_rules.h"

namespace zarq {
namespace {

// Copies text into a padded field: at most length characters, then spaces.
void PutPadded(uint8_t* out, int length, const char* text) {
  size_t used = strnlen(text, static_cast<size_t>(length));
  std::memcpy(out, text, used);
  std::memset(out + used, ' ', static_cast<size_t>(length) - used);
}

char LowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void EncodeMasterHeader(const MasterHeader& h, uint8_t* out) {
  namespace o = master_offset;
  std::memset(out, 0, kMasterRecordSize);
  PutI16(out + o::kEntryCount, h.entry_count);
  PutU16(out + o::kHighestFileNumber, h.highest_file_number);
  PutU32(out + o::kStamp, h.stamp);
}

void DecodeMasterHeader(const uint8_t* in, MasterHeader* h) {
  namespace o = master_offset;
  h->entry_count = GetI16(in + o::kEntryCount);
  h->highest_file_number = GetU16(in + o::kHighestFileNumber);
  h->stamp = GetU32(in + o::kStamp);
}

void LimitMasterHeader(MasterHeader* h) {
  if (h->entry_count > static_cast<int16_t>(kMasterEntryLimit)) {
    h->entry_count = static_cast<int16_t>(kMasterEntryLimit);
    h->highest_file_number = static_cast<uint16_t>(kMasterEntryLimit);
  } else if (h->entry_count < 0) {
    h->entry_count = 0;
    h->highest_file_number = 0;
  }
}

void EncodeMasterEntry(const SecurityRecord& r, uint8_t* out) {
  namespace o = master_offset;
  std::memset(out, 0, kMasterRecordSize);
  uint8_t fields = static_cast<uint8_t>(CountBits(r.field_mask));
  out[o::kFileNumber] = static_cast<uint8_t>(r.file_number);
  PutU16(out + o::kTag, kMasterEntryTag);
  out[o::kRecordLength] = static_cast<uint8_t>(4 * fields);
  out[o::kFieldCount] = fields;
  PutPadded(out + o::kName, kMasterNameLength, r.name);
  IeeeToMbf(RecordDateAsFloat(r.first_date), out + o::kFirstDate);
  IeeeToMbf(RecordDateAsFloat(r.last_date), out + o::kLastDate);
  out[o::kPeriod] = static_cast<uint8_t>(r.composite != 0 ? LowerCase(r.period) : r.period);
  PutU16(out + o::kInterval, r.interval);
  PutPadded(out + o::kSymbol, kMasterSymbolLength, r.symbol);
  out[o::kSpace] = ' ';
  out[o::kFlag] = r.flagged != 0 ? '*' : ' ';
}

}  // namespace zarq
