// security_update.cc: ZARQ1_UpdateSecurity, changing the descriptive
// fields of a security the caller holds at DefinitionLock or more.
//
// Thread-safety: callers hold the library lock.

#include <algorithm>
#include <cstring>

#include "src/fileio/security_handle.h"
#include "src/master/index_store.h"
#include "src/master/record_rules.h"
#include "src/master/security_store.h"
#include "src/master/text_rules.h"
#include "src/security/lock_table.h"
#include "src/security/security_changes.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

constexpr int32_t kNameLength = sizeof(SecurityRecord::name) - 1;

// The flagged values of update that need no decision, applied to r.
void ApplyPlainChanges(const ZarqSecurityUpdate& u, SecurityRecord* r) {
  if (u.ChangeFlagged) r->flagged = u.Flagged != 0 ? 1 : 0;
  if (u.ChangeName) CopyCleanText(r->name, u.Name, kNameLength);
  if (u.ChangeExtraCode) r->extra_code = u.ExtraCode;
  if (u.ChangeEndTime) r->end_time = u.EndTime;
  if (u.ChangeStartTime) r->start_time = u.StartTime;
  if (u.ChangeExtraDate) r->extra_date = u.ExtraDate;
  if (u.ChangeExtraValue) r->extra_value = u.ExtraValue;
  // A plain security has no factors: their changes are ignored.
  if (r->composite != 0) {
    if (u.ChangePrimaryFactor) r->primary_factor = u.PrimaryFactor;
    if (u.ChangeSecondaryFactor) r->secondary_factor = u.SecondaryFactor;
  }
}

// Writes symbol into the stored record of handle's security (locked here
// at DefinitionLock or more), leaving its other fields as stored.
int32_t StoreSymbol(uint32_t handle, const char* symbol) {
  SecurityRecord stored;
  int32_t status = AccessSecurityRecord(handle, &stored, SecurityAccess::kRead);
  if (status != ZARQ_OK) return status;
  std::memcpy(stored.symbol, symbol, sizeof(stored.symbol));
  return AccessSecurityRecord(handle, &stored, SecurityAccess::kWriteData);
}

}  // namespace

int32_t UpdateSecurity(uint32_t handle, const ZarqSecurityUpdate& update) {
  int32_t status = CheckSecurityHandle(handle);
  if (status != ZARQ_OK) return status;
  status = RequireLockLevel(handle, kDefinitionLock);
  if (status != ZARQ_OK) return status;
  LockedSecurityView view;
  status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  const SecurityRecord kept = view.record;
  SecurityRecord& r = view.record;
  const bool composite = r.composite != 0;
  ApplyPlainChanges(update, &r);

  if (update.ChangeBaseDate) {
    if (composite) return ZARQ_E_IS_COMPOSITE;
    // Without price records the new date is the whole range; with them
    // the base date never ends later than the first record.
    if (view.record_count == 0) {
      r.base_date = r.first_date = r.last_date = update.BaseDate;
    } else {
      r.base_date = std::min(update.BaseDate, r.first_date);
    }
  }
  status = ValidateSecurityRecord(&r);
  if (status != ZARQ_OK) return status;
  const bool changed = !(r == kept);

  if (update.ChangeSymbol) {
    if (composite) return ZARQ_E_IS_COMPOSITE;
    char symbol[kSymbolFieldSize];
    status = NormalizeSymbol(update.Symbol, symbol);
    if (status != ZARQ_OK) return status;
    if (std::memcmp(symbol, r.symbol, sizeof(symbol)) != 0) {
      SecurityRecord renamed = kept;
      std::memcpy(renamed.symbol, symbol, sizeof(symbol));
      status = ReplaceInIndex(DirectoryOfHandle(handle), kept, renamed);
      if (status != ZARQ_OK) return status;
      // The index names the security by its new symbol at once; so does its
      // record, lest a process ending before the unlock leave the two apart
      // (and the old symbol free to be added a second time).
      status = StoreSymbol(handle, symbol);
      if (status != ZARQ_OK) {
        ReplaceInIndex(DirectoryOfHandle(handle), renamed, kept);
        return status;
      }
      status = UpdateLockedSecuritySymbol(handle, symbol);
      if (status != ZARQ_OK) return status;
      std::memcpy(r.symbol, symbol, sizeof(symbol));
    }
  }
  return changed ? UpdateLockedSecurity(handle, view) : ZARQ_OK;
}

}  // namespace zarq
