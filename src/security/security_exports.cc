// security_exports.cc: the exported functions of securities: lookup,
// enumeration, changes, sorting and copying, locking, and GetHandleFromInfo
// (ordinal 212).
//
// Thread-safety: each export runs in the entry frame.

#include <cstring>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/entry_frame.h"
#include "src/master/security_info.h"
#include "src/security/composite_locking.h"
#include "src/security/security_changes.h"
#include "src/security/security_copying.h"
#include "src/security/security_enumeration.h"
#include "src/security/security_locking.h"
#include "src/security/security_lookup.h"
#include "src/security/security_sorting.h"

namespace {

constexpr int32_t kNullArgument = ZARQ_E_INVALID_ARGUMENT;

// Runs walk for an info the caller gave: cleared (size set) even when the
// library is not initialised, whose state is the result unless by_number
// (the directory lookup then finds no directory: -370).
template <typename Walk>
int32_t WithInfo(ZarqSecurityInfo* info, Walk walk, bool by_number = false) {
  return zarq::EnterAnyState([&] {
    if (info == nullptr) return kNullArgument;
    std::memset(info, 0, sizeof(*info));
    info->Size = zarq::kSecurityInfoSize;
    int32_t state = zarq::RequireInitialized();
    return state != ZARQ_OK && !by_number ? state : walk();
  });
}

}  // namespace

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityHandle(const ZarqSecurityId* id, uint32_t* handle) {
  return zarq::EnterAnyState([&] {
    if (handle != nullptr) *handle = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (id == nullptr || handle == nullptr) return kNullArgument;
    return zarq::GetSecurityHandle(*id, handle);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_GetSecurityHandles(uint8_t dir, uint32_t start, uint32_t maxCount,
                                                    uint32_t* handles, uint32_t* count) {
  return zarq::EnterAnyState([&] {
    if (count != nullptr) *count = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (count == nullptr || (handles == nullptr && maxCount > 0)) return kNullArgument;
    return zarq::GetSecurityHandles(dir, start, maxCount, handles, count);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirNumberFromHandle(uint32_t handle, uint8_t* dir) {
  return zarq::EnterAnyState([&] {
    if (dir == nullptr) return kNullArgument;
    return zarq::GetDirNumberFromHandle(handle, dir);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityID(uint32_t handle, ZarqSecurityId* id) {
  return zarq::EnterAnyState([&] {
    if (id == nullptr) return kNullArgument;
    std::memset(id, 0, sizeof(*id));
    id->Size = sizeof(ZarqSecurityId);
    int32_t state = zarq::RequireInitialized();
    return state != ZARQ_OK ? state : zarq::GetSecurityId(handle, id);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityCount(uint8_t dir, uint32_t* count) {
  return zarq::EnterAnyState([&] {
    if (count != nullptr) *count = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (count == nullptr) return kNullArgument;
    return zarq::GetSecurityCount(dir, count);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  return WithInfo(info, [&] { return zarq::GetSecurityInfo(handle, info); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetFirstSecurityInfo(uint8_t dir, ZarqSecurityInfo* info) {
  return WithInfo(
      info, [&] { return zarq::GetFirstSecurityInfo(dir, info); }, true);
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastSecurityInfo(uint8_t dir, ZarqSecurityInfo* info) {
  return WithInfo(
      info, [&] { return zarq::GetLastSecurityInfo(dir, info); }, true);
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetNextSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  return WithInfo(info, [&] { return zarq::GetNextSecurityInfo(handle, info); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetPrevSecurityInfo(uint32_t handle, ZarqSecurityInfo* info) {
  return WithInfo(info, [&] { return zarq::GetPrevSecurityInfo(handle, info); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_AddSecurity(uint8_t dir, ZarqSecurityInfo* info, uint32_t anchor) {
  return zarq::EnterInitialized([&] {
    if (info == nullptr) return kNullArgument;
    return zarq::AddSecurity(dir, info, anchor);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_UpdateSecurity(uint32_t handle, const ZarqSecurityUpdate* update) {
  return zarq::EnterInitialized([&] {
    if (update == nullptr) return kNullArgument;
    return zarq::UpdateSecurity(handle, *update);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_DeleteSecurity(uint32_t handle, int32_t cascade) {
  return zarq::EnterInitialized([&] { return zarq::DeleteSecurity(handle, cascade); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_LockSecurity(uint32_t handle, uint32_t level) {
  return zarq::EnterInitialized([&] { return zarq::LockSecurity(handle, level); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_UnlockSecurity(uint32_t handle) {
  return zarq::EnterInitialized([&] { return zarq::UnlockSecurity(handle); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetSecurityLockedStatus(uint32_t handle, uint32_t* status,
                                                         uint32_t* level) {
  // Cleared before the library lock is even taken.
  if (status != nullptr) *status = 0;
  if (level != nullptr) *level = 0;
  return zarq::EnterInitialized([&] {
    if (status == nullptr || level == nullptr) return kNullArgument;
    return zarq::GetSecurityLockedStatus(handle, status, level);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastFailedLockInfo(char* application, char* user,
                                                       uint32_t* count, uint32_t* level) {
  return zarq::EnterAnyState([&] {
    if (application != nullptr) application[0] = '\0';
    if (user != nullptr) user[0] = '\0';
    if (count != nullptr) *count = 0;
    if (level != nullptr) *level = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (application == nullptr || user == nullptr || count == nullptr || level == nullptr) {
      return kNullArgument;
    }
    return zarq::GetLastFailedLockInfo(application, user, count, level);
  });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetHandleFromInfo(uint8_t dir,
                                                           const ZarqSecurityInfo* info,
                                                           uint32_t* handle) {
  return zarq::EnterAnyState([&] {
    if (handle != nullptr) *handle = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (info == nullptr || handle == nullptr) return kNullArgument;
    return zarq::GetHandleFromInfo(dir, *info, handle);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_SortSecurities(uint32_t first, uint32_t last) {
  return zarq::EnterInitialized([&] { return zarq::SortSecurities(first, last); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_CopySecurity(uint32_t source, uint8_t dir, int32_t charts,
                                              uint32_t replace) {
  return zarq::EnterInitialized([&] { return zarq::CopySecurity(source, dir, charts, replace); });
}

}  // extern "C"
