// xmaster_file.cc: byte codec of XMASTER.
//
// Thread-safety: pure.

#include "src/master/xmaster_file.h"

#include <algorithm>
#include <cstring>

#include "include/zarq.h"
#include "src/data/stored_values.h"
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

void EncodeXmasterEntry(const SecurityRecord& r, uint8_t* out) {
  namespace o = xmaster_offset;
  std::memset(out, 0, kXmasterRecordSize);
  out[o::kInUse] = r.in_use;
  PutText(out + o::kSymbol, sizeof(r.symbol), r.symbol);
  PutText(out + o::kName, sizeof(r.name), r.name);
  out[o::kPeriod] = static_cast<uint8_t>(r.period);
  PutU16(out + o::kInterval, r.interval);
  PutU32(out + o::kFileNumber, r.file_number);
  out[o::kExtraCode] = r.extra_code;
  PutU16(out + o::kFieldMask, r.field_mask);
  PutText(out + o::kSymbol2, sizeof(r.symbol2), r.symbol2);
  out[o::kOperator] = static_cast<uint8_t>(r.op);
  PutF32(out + o::kPrimaryFactor, r.primary_factor);
  PutF32(out + o::kSecondaryFactor, r.secondary_factor);
  PutU32(out + o::kPrimaryFileNumber, r.primary_file_number);
  PutU32(out + o::kSecondaryFileNumber, r.secondary_file_number);
  PutI32(out + o::kBaseDate, r.base_date);
  PutI32(out + o::kFirstDate, r.first_date);
  PutI32(out + o::kFirstTime, ZarqTimeToRecord(r.first_time));
  PutI32(out + o::kLastDate, r.last_date);
  PutI32(out + o::kLastTime, ZarqTimeToRecord(r.last_time));
  PutI32(out + o::kStartTime, ZarqTimeToRecord(r.start_time));
  PutI32(out + o::kEndTime, ZarqTimeToRecord(r.end_time));
  PutI32(out + o::kExtraDate, r.extra_date);
  PutU32(out + o::kExtraValue, r.extra_value);
  out[o::kComposite] = r.composite;
  out[o::kFlagged] = r.flagged;
  out[o::kDeleted] = r.deleted;
  out[o::kLongDataFlag] = r.long_data_flag;
  std::memcpy(out + o::kImportBytes, r.import_bytes, kImportBytesSize);
}

void DecodeXmasterEntry(const uint8_t* in, uint32_t position, SecurityRecord* r, uint16_t* level) {
  namespace o = xmaster_offset;
  *r = SecurityRecord();
  r->in_use = in[o::kInUse];
  GetTextField(in + o::kSymbol, sizeof(r->symbol), r->symbol);
  GetTextField(in + o::kName, sizeof(r->name), r->name);
  r->period = static_cast<char>(in[o::kPeriod]);
  r->interval = GetU16(in + o::kInterval);
  r->file_number = GetU32(in + o::kFileNumber);
  r->extra_code = in[o::kExtraCode];
  r->field_mask = GetU16(in + o::kFieldMask);
  GetTextField(in + o::kSymbol2, sizeof(r->symbol2), r->symbol2);
  r->op = static_cast<char>(in[o::kOperator]);
  r->primary_factor = GetF32(in + o::kPrimaryFactor);
  r->secondary_factor = GetF32(in + o::kSecondaryFactor);
  r->primary_file_number = GetU32(in + o::kPrimaryFileNumber);
  r->secondary_file_number = GetU32(in + o::kSecondaryFileNumber);
  r->base_date = GetI32(in + o::kBaseDate);
  r->first_date = GetI32(in + o::kFirstDate);
  r->first_time = ZarqTimeFromRecordValue(GetI32(in + o::kFirstTime));
  r->last_date = GetI32(in + o::kLastDate);
  r->last_time = ZarqTimeFromRecordValue(GetI32(in + o::kLastTime));
  r->start_time = ZarqTimeFromRecordValue(GetI32(in + o::kStartTime));
  r->end_time = ZarqTimeFromRecordValue(GetI32(in + o::kEndTime));
  r->extra_date = GetI32(in + o::kExtraDate);
  r->extra_value = GetU32(in + o::kExtraValue);
  r->composite = in[o::kComposite];
  r->flagged = in[o::kFlagged];
  r->deleted = in[o::kDeleted];
  r->long_data_flag = in[o::kLongDataFlag];
  std::memcpy(r->import_bytes, in + o::kImportBytes, kImportBytesSize);
  if (r->file_number == 0 ||
      (r->composite != 0 && r->primary_file_number == r->secondary_file_number)) {
    r->deleted = 1;
  }
  if (*level < kFormatLevelLarge) *level = std::max(*level, FormatLevelFor(*r, position));
}

}  // namespace zarq
