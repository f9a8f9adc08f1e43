// security_record.cc: byte codec of the security list file.
//
// Thread-safety: pure.

#include "src/master/security_record.h"

#include <cstring>

#include "include/zarq.h"
#include "src/frame/little_endian.h"

namespace zarq {

const char kNoticeText[kNoticeSize] = "zarq security database: change through zarq";
static_assert(sizeof("zarq security database: change through zarq") == kNoticeSize,
              "the notice is 43 characters and its NUL");

void GetTextField(const uint8_t* in, int size, char* out) {
  size_t length = strnlen(reinterpret_cast<const char*>(in), static_cast<size_t>(size - 1));
  std::memcpy(out, in, length);
  std::memset(out + length, 0, static_cast<size_t>(size) - length);
}

void EncodeSecurityRecord(const SecurityRecord& r, uint8_t* out) {
  namespace o = security_offset;
  std::memset(out, 0, kSecurityRecordSize);
  out[o::kInUse] = r.in_use;
  PutU32(out + o::kSlot, r.slot);
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
  PutI32(out + o::kFirstTime, r.first_time);
  PutI32(out + o::kLastDate, r.last_date);
  PutI32(out + o::kLastTime, r.last_time);
  PutI32(out + o::kStartTime, r.start_time);
  PutI32(out + o::kEndTime, r.end_time);
  PutI32(out + o::kExtraDate, r.extra_date);
  PutU32(out + o::kExtraValue, r.extra_value);
  out[o::kComposite] = r.composite;
  out[o::kFlagged] = r.flagged;
  out[o::kDeleted] = r.deleted;
  out[o::kLongDataFlag] = r.long_data_flag;
  std::memcpy(out + o::kImportBytes, r.import_bytes, kImportBytesSize);
  EncodeSecurityLinks(r, out);
}

void EncodeSecurityLinks(const SecurityRecord& r, uint8_t* out) {
  namespace o = security_offset;
  PutU32(out + o::kPrimarySlot, r.primary_slot);
  PutU32(out + o::kSecondarySlot, r.secondary_slot);
  PutU32(out + o::kPrevSlot, r.prev_slot);
  PutU32(out + o::kNextSlot, r.next_slot);
  PutU32(out + o::kNextPrimaryUser, r.next_primary_user);
  PutU32(out + o::kNextSecondaryUser, r.next_secondary_user);
}

void DecodeSecurityRecord(const uint8_t* in, SecurityRecord* r) {
  namespace o = security_offset;
  r->in_use = in[o::kInUse];
  r->slot = GetU32(in + o::kSlot);
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
  r->first_time = GetI32(in + o::kFirstTime);
  r->last_date = GetI32(in + o::kLastDate);
  r->last_time = GetI32(in + o::kLastTime);
  r->start_time = GetI32(in + o::kStartTime);
  r->end_time = GetI32(in + o::kEndTime);
  r->extra_date = GetI32(in + o::kExtraDate);
  r->extra_value = GetU32(in + o::kExtraValue);
  r->composite = in[o::kComposite];
  r->flagged = in[o::kFlagged];
  r->deleted = in[o::kDeleted];
  r->long_data_flag = in[o::kLongDataFlag];
  std::memcpy(r->import_bytes, in + o::kImportBytes, kImportBytesSize);
  r->primary_slot = GetU32(in + o::kPrimarySlot);
  r->secondary_slot = GetU32(in + o::kSecondarySlot);
  r->prev_slot = GetU32(in + o::kPrevSlot);
  r->next_slot = GetU32(in + o::kNextSlot);
  r->next_primary_user = GetU32(in + o::kNextPrimaryUser);
  r->next_secondary_user = GetU32(in + o::kNextSecondaryUser);
}

void EncodeSecurityListHeader(const SecurityListHeader& h, uint8_t* out) {
  namespace o = security_list_offset;
  std::memset(out, 0, kSecurityRecordSize);
  PutU32(out + o::kMagic, h.magic);
  PutU16(out + o::kFileVersion, h.file_version);
  PutU32(out + o::kStamp, h.stamp);
  PutU32(out + o::kSlotCount, h.slot_count);
  PutU32(out + o::kLiveCount, h.live_count);
  PutU32(out + o::kFirstSlot, h.first_slot);
  PutU32(out + o::kLastSlot, h.last_slot);
  PutU32(out + o::kNextFileNumber, h.next_file_number);
  std::memcpy(out + o::kNotice, kNoticeText, kNoticeSize);
  PutU16(out + o::kFormatLevel, h.format_level);
}

int32_t DecodeSecurityListHeader(const uint8_t* in, SecurityListHeader* h) {
  namespace o = security_list_offset;
  h->magic = GetU32(in + o::kMagic);
  h->file_version = GetU16(in + o::kFileVersion);
  h->stamp = GetU32(in + o::kStamp);
  h->slot_count = GetU32(in + o::kSlotCount);
  h->live_count = GetU32(in + o::kLiveCount);
  h->first_slot = GetU32(in + o::kFirstSlot);
  h->last_slot = GetU32(in + o::kLastSlot);
  h->next_file_number = GetU32(in + o::kNextFileNumber);
  h->format_level = GetU16(in + o::kFormatLevel);
  if (h->magic != kSecurityListMagic) return ZARQ_E_BAD_LIST_FILE;
  if (h->file_version > kWorkingFileVersion) return ZARQ_E_BAD_VERSION;
  return ZARQ_OK;
}

}  // namespace zarq
