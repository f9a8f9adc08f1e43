// security_info.cc: security record <-> ZarqSecurityInfo.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_info.h"

#include <cstring>

#include "src/fileio/directory_entry.h"
#include "src/fileio/security_handle.h"
#include "src/frame/ascii_text.h"
#include "src/master/locked_records.h"
#include "src/master/record_rules.h"
#include "src/master/security_store.h"
#include "src/master/text_rules.h"

namespace zarq {
namespace {

constexpr int kNameLength = sizeof(SecurityRecord::name) - 1;

// record with the link part of links.
SecurityRecord WithLinksOf(SecurityRecord record, const SecurityRecord& links) {
  record.primary_slot = links.primary_slot;
  record.secondary_slot = links.secondary_slot;
  record.prev_slot = links.prev_slot;
  record.next_slot = links.next_slot;
  record.next_primary_user = links.next_primary_user;
  record.next_secondary_user = links.next_secondary_user;
  return record;
}

void FillInfo(const SecurityRecord& r, uint32_t handle, ZarqSecurityInfo* info) {
  info->Handle = handle;
  std::memcpy(info->Name, r.name, sizeof(info->Name));
  std::memcpy(info->Symbol, r.symbol, sizeof(info->Symbol));
  info->Period = r.period;
  info->Interval = r.interval;
  info->Composite = r.composite;
  info->Flagged = r.flagged;
  info->ExtraCode = r.extra_code;
  std::memcpy(info->Symbol2, r.symbol2, sizeof(info->Symbol2));
  info->Operator = r.op;
  info->PrimaryFactor = r.primary_factor;
  info->SecondaryFactor = r.secondary_factor;
  info->FirstDate = r.first_date;
  info->LastDate = r.last_date;
  info->FirstTime = r.first_time;
  info->LastTime = r.last_time;
  info->StartTime = r.start_time;
  info->EndTime = r.end_time;
  info->BaseDate = r.base_date;
  info->ExtraDate = r.extra_date;
  info->ExtraValue = r.extra_value;
  info->FieldMask = r.field_mask;
}

}  // namespace

int32_t RecordToInfo(uint32_t handle, uint32_t* prev_slot, uint32_t* next_slot,
                     ZarqSecurityInfo* info) {
  if (prev_slot != nullptr) *prev_slot = 0;
  if (next_slot != nullptr) *next_slot = 0;
  if (info == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  std::memset(info, 0, sizeof(*info));
  info->Size = kSecurityInfoSize;
  if (handle == 0) return ZARQ_E_NO_SUCH_SECURITY;
  uint8_t directory = DirectoryOfHandle(handle);
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;

  SecurityRecord stored;
  int32_t status = AccessSecurityRecord(handle, &stored, SecurityAccess::kRead);
  if (status != ZARQ_OK) return status;
  return DescribeRecord(handle, stored, prev_slot, next_slot, info);
}

int32_t DescribeRecord(uint32_t handle, const SecurityRecord& stored, uint32_t* prev_slot,
                       uint32_t* next_slot, ZarqSecurityInfo* info) {
  std::memset(info, 0, sizeof(*info));
  info->Size = kSecurityInfoSize;
  if (prev_slot != nullptr) *prev_slot = 0;
  if (next_slot != nullptr) *next_slot = 0;
  // The slot asked for, not the record's own Slot field: a damaged field
  // must not bring another security's working copy in.
  uint32_t slot = SlotOfHandle(handle);
  uint32_t own_handle = MakeSecurityHandle(DirectoryOfHandle(handle), slot, stored.composite != 0);
  SecurityRecord record = stored;
  SecurityRecord locked;
  int32_t status = FetchLockedRecord(own_handle, &locked);
  if (status == ZARQ_OK) {
    record = WithLinksOf(locked, stored);
  } else if (status != ZARQ_E_NOT_LOCKED) {
    return status;
  }

  FillInfo(record, own_handle, info);
  if (prev_slot != nullptr) *prev_slot = record.prev_slot;
  if (next_slot != nullptr) *next_slot = record.next_slot;
  return record.deleted != 0 ? ZARQ_E_NO_SUCH_SECURITY : ZARQ_OK;
}

int32_t InfoToRecord(uint32_t slot, uint32_t primary, uint32_t secondary,
                     const ZarqSecurityInfo& info, uint32_t file_number, SecurityRecord* record) {
  if (record == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *record = SecurityRecord{};
  SecurityRecord& r = *record;
  r.in_use = 1;
  r.slot = slot;
  NormalizeSymbol(info.Symbol, r.symbol);
  CopyCleanText(r.name, info.Name, kNameLength);
  r.period = AsciiUpper(info.Period);
  if (r.period == 'I') {
    r.interval = info.Interval;
    r.first_time = info.FirstTime;
    r.last_time = info.LastTime;
    r.start_time = info.StartTime;
    r.end_time = info.EndTime;
  }
  r.file_number = file_number;
  r.extra_code = info.ExtraCode;
  r.field_mask = info.FieldMask;
  r.first_date = info.FirstDate;
  r.last_date = info.LastDate;
  r.base_date = info.BaseDate;
  r.extra_date = info.ExtraDate;
  r.extra_value = info.ExtraValue;
  r.composite = info.Composite != 0 ? 1 : 0;
  r.flagged = info.Flagged != 0 ? 1 : 0;

  if (r.composite != 0) {
    r.primary_factor = info.PrimaryFactor;
    r.secondary_factor = info.SecondaryFactor;
    r.op = info.Operator;
    NormalizeSymbol(info.Symbol2, r.symbol2);
    SecurityRecord component;
    int32_t status = FetchLockedRecord(primary, &component);
    if (status != ZARQ_OK) return status;
    r.primary_slot = SlotOfHandle(primary);
    r.primary_file_number = component.file_number;
    r.first_date = component.first_date;
    r.last_date = component.last_date;
    r.field_mask = component.field_mask;
    status = FetchLockedRecord(secondary, &component);
    if (status != ZARQ_OK) return status;
    r.secondary_slot = SlotOfHandle(secondary);
    r.secondary_file_number = component.file_number;
    r.field_mask &= component.field_mask;
  }
  return ValidateSecurityRecord(record);
}

}  // namespace zarq
