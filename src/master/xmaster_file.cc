// xmaster_file.cc: byte codec of XMASTER.
//
// Thread-safety: pure.

#include "src/master/xmaster_file.h"

#include <algorithm>
#include <cstring>

#include "include/zarq.h"
#include "src/format/stored_values.h"
#include "src/datetime/record_time.h"
#include "src/frame/little_endian.h"
#include "src/master/record_rules.h"

namespace zarq {

void XmasterLevelFacts::Note(const SecurityRecord& record) {
  if (!FitsNarrowLayout(record)) wide_entry = true;
}

uint16_t XmasterHeaderLevel(const XmasterLevelFacts& facts, uint32_t list_length) {
  if (list_length > kLargeListLength) return kXmasterLevelLarge;
  return facts.wide_entry ? kXmasterLevelWide : kXmasterLevelNarrow;
}

void EncodeXmasterHeader(const XmasterHeader& h, uint8_t* out) {
  namespace o = xmaster_offset;
  std::memset(out, 0, kXmasterRecordSize);
  PutU32(out + o::kMagic, h.magic);
  PutU16(out + o::kFormatLevel, h.format_level);
  PutU32(out + o::kStamp, h.stamp);
  PutU32(out + o::kEntryCount, h.entry_count);
  PutU32(out + o::kEntryCount2, h.entry_count2);
  PutU32(out + o::kNextFileNumber, h.next_file_number);
  std::memcpy(out + o::kNotice, kNoticeText, kNoticeSize);
}

int32_t DecodeXmasterHeader(const uint8_t* in, XmasterHeader* h) {
  namespace o = xmaster_offset;
  h->magic = GetU32(in + o::kMagic);
  h->format_level = GetU16(in + o::kFormatLevel);
  h->stamp = GetU32(in + o::kStamp);
  h->entry_count = GetU32(in + o::kEntryCount);
  h->entry_count2 = GetU32(in + o::kEntryCount2);
  h->next_file_number = GetU32(in + o::kNextFileNumber);
  if (h->magic != kXmasterMagic) return ZARQ_E_BAD_XMASTER;
  if (h->format_level > kXmasterLevelLarge) return ZARQ_E_BAD_VERSION;
  return ZARQ_OK;
}

// An entry is the data part of a security record without its slot field,
// with the times as record times: it is coded through the record's codec.
constexpr int kSlotFieldEnd = security_offset::kSymbol;
constexpr int kEntryDataBytes = kSecurityDataPartSize - kSlotFieldEnd;
static_assert(xmaster_offset::kSymbol + kEntryDataBytes == kXmasterRecordSize);

void EncodeXmasterEntry(const SecurityRecord& r, uint8_t* out) {
  SecurityRecord stored = r;
  stored.first_time = ZarqTimeToRecord(r.first_time);
  stored.last_time = ZarqTimeToRecord(r.last_time);
  stored.start_time = ZarqTimeToRecord(r.start_time);
  stored.end_time = ZarqTimeToRecord(r.end_time);
  uint8_t bytes[kSecurityRecordSize];
  EncodeSecurityRecord(stored, bytes);
  out[xmaster_offset::kInUse] = bytes[security_offset::kInUse];
  std::memcpy(out + xmaster_offset::kSymbol, bytes + kSlotFieldEnd, kEntryDataBytes);
}

void DecodeXmasterEntry(const uint8_t* in, uint32_t position, SecurityRecord* r, uint16_t* level) {
  uint8_t bytes[kSecurityRecordSize] = {};
  bytes[security_offset::kInUse] = in[xmaster_offset::kInUse];
  std::memcpy(bytes + kSlotFieldEnd, in + xmaster_offset::kSymbol, kEntryDataBytes);
  DecodeSecurityRecord(bytes, r);
  r->first_time = ZarqTimeFromRecordValue(r->first_time);
  r->last_time = ZarqTimeFromRecordValue(r->last_time);
  r->start_time = ZarqTimeFromRecordValue(r->start_time);
  r->end_time = ZarqTimeFromRecordValue(r->end_time);
  if (r->file_number == 0 ||
      (r->composite != 0 && r->primary_file_number == r->secondary_file_number)) {
    r->deleted = 1;
  }
  if (*level < kFormatLevelLarge) *level = std::max(*level, FormatLevelFor(*r, position));
}

}  // namespace zarq
