// locked_records.cc: the installed answers about locked securities, and
// the defaults used until the locking layer installs its own.
//
// Thread-safety: see locked_records.h.

#include "src/master/locked_records.h"

#include "include/zarq.h"

namespace zarq {
namespace {

int32_t NothingLocked(uint32_t, SecurityRecord*) { return ZARQ_E_NOT_LOCKED; }
void NoCopyToRefresh(uint32_t, const SecurityRecord&) {}

constinit LockedRecordHooks g_hooks = {&NothingLocked, &NoCopyToRefresh};

}  // namespace

LockedRecordHooks SetLockedRecordHooks(const LockedRecordHooks& hooks) {
  LockedRecordHooks previous = g_hooks;
  g_hooks.locked_record = hooks.locked_record != nullptr ? hooks.locked_record : &NothingLocked;
  g_hooks.refresh_links = hooks.refresh_links != nullptr ? hooks.refresh_links : &NoCopyToRefresh;
  return previous;
}

int32_t FetchLockedRecord(uint32_t handle, SecurityRecord* record) {
  return g_hooks.locked_record(handle, record);
}

void RefreshLockedLinks(uint32_t handle, const SecurityRecord& record) {
  g_hooks.refresh_links(handle, record);
}

}  // namespace zarq
