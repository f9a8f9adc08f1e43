// emaster_file.cc: byte codec of EMASTER.
//
// Thread-safety: see emaster_file.h.

#include "src/master/emaster_file.h"

#include <algorithm>
#include <cstring>

#include "include/zarq.h"
#include "src/format/field_mask.h"
#include "src/format/mbf.h"
#include "src/format/stored_values.h"
#include "src/datetime/date_rules.h"
#include "src/frame/count_bits.h"
#include "src/frame/little_endian.h"
#include "src/master/record_rules.h"
#include "src/master/text_rules.h"

namespace zarq {
namespace {

char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char* TextAt(uint8_t* p) { return reinterpret_cast<char*>(p); }
const char* TextAt(const uint8_t* p) { return reinterpret_cast<const char*>(p); }

int32_t TimeAt(const uint8_t* in) {
  return ZarqTimeFromRecordFloat(SanitizeFloat(GetF32(in), kClampSigned));
}

int32_t DateAt(const uint8_t* in) {
  return ZarqDateFromRecordFloat(SanitizeFloat(GetF32(in), kClampSigned));
}

}  // namespace

void EncodeEmasterHeader(const MasterHeader& header, uint8_t* out) {
  std::memset(out, 0, kEmasterRecordSize);
  EncodeMasterHeader(header, out);
  std::memcpy(out + emaster_offset::kNotice, kNoticeText, kNoticeSize);
}

void DecodeEmasterHeader(const uint8_t* in, MasterHeader* header) {
  DecodeMasterHeader(in, header);
}

void EncodeEmasterEntry(const SecurityRecord& r, uint8_t* out) {
  namespace o = emaster_offset;
  std::memset(out, 0, kEmasterRecordSize);
  PutU16(out + o::kMarker, FitsNarrowLayout(r) ? kMarkerNarrow : kMarkerWide);
  CopyCleanText(TextAt(out + o::kSymbol), r.symbol, kSymbolLength);
  if (strnlen(r.name, sizeof(r.name) - 1) > static_cast<size_t>(kEmasterNameLength)) {
    CopyCleanText(TextAt(out + o::kFullName), r.name, kEmasterFullNameLength);
  }
  CopyCleanText(TextAt(out + o::kName), r.name, kEmasterNameLength);
  CopyCleanText(TextAt(out + o::kSymbol2), r.symbol2, kSymbolLength);
  PutU16(out + o::kFileNumber, static_cast<uint16_t>(r.file_number));
  out[o::kFieldCount] = static_cast<uint8_t>(CountBits(r.field_mask));
  PutU16(out + o::kFieldMask, r.field_mask);
  PutU16(out + o::kInterval, r.interval);
  out[o::kPeriod] = static_cast<uint8_t>(r.composite != 0 ? LowerCase(r.period) : r.period);
  PutF32(out + o::kFirstDate, RecordDateAsFloat(r.first_date));
  PutF32(out + o::kFirstTime, RecordTimeAsFloat(r.first_time));
  PutF32(out + o::kLastDate, RecordDateAsFloat(r.last_date));
  PutF32(out + o::kLastTime, RecordTimeAsFloat(r.last_time));
  PutF32(out + o::kStartTime, RecordTimeAsFloat(r.start_time));
  PutF32(out + o::kEndTime, RecordTimeAsFloat(r.end_time));
  out[o::kOperator] = static_cast<uint8_t>(r.op);
  PutF32(out + o::kPrimaryFactor, r.primary_factor);
  PutF32(out + o::kSecondaryFactor, r.secondary_factor);
  PutU16(out + o::kPrimaryFileNumber, static_cast<uint16_t>(r.primary_file_number));
  PutU16(out + o::kSecondaryFileNumber, static_cast<uint16_t>(r.secondary_file_number));
  out[o::kExtraCode] = r.extra_code;
  PutI32(out + o::kBaseDate, r.base_date);
  PutI32(out + o::kExtraDate, r.extra_date);
  PutU32(out + o::kExtraValue, r.extra_value);
  std::memcpy(out + o::kImportBytes, r.import_bytes, kImportBytesSize);
  if (r.composite != 0) PutU16(out + o::kComposite, 1);
  out[o::kLongDataFlag] = r.long_data_flag;
  out[o::kFlag] = r.flagged != 0 ? '*' : ' ';
}

int32_t DecodeEmasterEntry(const uint8_t* in, uint32_t list_length, SecurityRecord* r,
                           uint16_t* level) {
  namespace o = emaster_offset;
  *r = SecurityRecord();
  r->in_use = 1;
  if (GetU16(in + o::kMarker) > kMarkerWide) return ZARQ_E_BAD_VERSION;

  NormalizeSymbol(TextAt(in + o::kSymbol), r->symbol);
  // The full name counts only when it continues the short one: a program
  // that knows only the short name may have renamed the security since.
  const char* short_name = TextAt(in + o::kName);
  const char* full_name = TextAt(in + o::kFullName);
  size_t short_length = strnlen(short_name, kEmasterNameLength);
  size_t full_length = strnlen(full_name, kEmasterFullNameLength + 1);
  if (full_length > static_cast<size_t>(kEmasterNameLength) &&
      std::memcmp(full_name, short_name, short_length) == 0) {
    CopyCleanText(r->name, full_name, kEmasterFullNameLength);
  } else {
    CopyCleanText(r->name, short_name, kEmasterNameLength);
  }

  char period = static_cast<char>(in[o::kPeriod]);
  r->period = UpperCase(period);
  if (r->period == 'I') {
    r->interval = GetU16(in + o::kInterval);
    r->first_time = TimeAt(in + o::kFirstTime);
    r->last_time = TimeAt(in + o::kLastTime);
    r->start_time = TimeAt(in + o::kStartTime);
    r->end_time = TimeAt(in + o::kEndTime);
  }
  if (GetU16(in + o::kComposite) != 0) {
    r->composite = 1;
    NormalizeSymbol(TextAt(in + o::kSymbol2), r->symbol2);
    r->op = static_cast<char>(in[o::kOperator]);
    r->primary_file_number = GetU16(in + o::kPrimaryFileNumber);
    r->secondary_file_number = GetU16(in + o::kSecondaryFileNumber);
    if (r->primary_file_number == r->secondary_file_number) r->deleted = 1;
    r->primary_factor = SanitizeFloat(GetF32(in + o::kPrimaryFactor), kClampNone);
    r->secondary_factor = SanitizeFloat(GetF32(in + o::kSecondaryFactor), kClampNone);
  }
  r->file_number = GetU16(in + o::kFileNumber);
  if (r->file_number == 0) r->deleted = 1;
  r->field_mask = FieldMaskForCount(in[o::kFieldCount], period);
  uint8_t extra_code = in[o::kExtraCode];
  r->extra_code = (extra_code >= 1 && extra_code <= kMaxExtraCode) ? extra_code : 0;
  r->first_date = DateAt(in + o::kFirstDate);
  r->last_date = DateAt(in + o::kLastDate);
  int32_t base_date = GetI32(in + o::kBaseDate);
  r->base_date =
      (base_date >= kFirstValidDate && base_date <= r->first_date) ? base_date : r->first_date;
  int32_t extra_date = GetI32(in + o::kExtraDate);
  if (extra_date != 0 && ValidateDate(extra_date, true) == ZARQ_OK) {
    r->extra_date = extra_date;
    r->extra_value = GetU32(in + o::kExtraValue);
  }
  r->flagged = in[o::kFlag] == '*' ? 1 : 0;
  r->long_data_flag = in[o::kLongDataFlag];
  std::memcpy(r->import_bytes, in + o::kImportBytes, kImportBytesSize);
  if (*level < kFormatLevelLarge) *level = std::max(*level, FormatLevelFor(*r, list_length));
  return ZARQ_OK;
}

}  // namespace zarq
