// private_ops.cc: lookup of the private operations.

#include "tests/api/private_ops.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zarq_test {

#ifdef _WIN32
namespace {
template <typename Fn>
Fn ByOrdinal(int ordinal) {
  HMODULE module = GetModuleHandleA("zarq.dll");
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}
}  // namespace

ZarqCountBitsFn CountBitsOp() { return ByOrdinal<ZarqCountBitsFn>(ZARQ_ORDINAL_COUNT_BITS); }
ZarqGetRootPathFn GetRootPathOp() {
  return ByOrdinal<ZarqGetRootPathFn>(ZARQ_ORDINAL_GET_ROOT_PATH);
}
ZarqValidateDateFn ValidateDateOp() {
  return ByOrdinal<ZarqValidateDateFn>(ZARQ_ORDINAL_VALIDATE_DATE);
}
ZarqValidateTimeFn ValidateTimeOp() {
  return ByOrdinal<ZarqValidateTimeFn>(ZARQ_ORDINAL_VALIDATE_TIME);
}
ZarqLibraryLockFn LibraryLockOp() {
  return ByOrdinal<ZarqLibraryLockFn>(ZARQ_ORDINAL_LIBRARY_LOCK);
}
#else
ZarqCountBitsFn CountBitsOp() { return &ZARQP_CountBits; }
ZarqGetRootPathFn GetRootPathOp() { return &ZARQP_GetRootPath; }
ZarqValidateDateFn ValidateDateOp() { return &ZARQ1_ValidateDate; }
ZarqValidateTimeFn ValidateTimeOp() { return &ZARQ1_ValidateTime; }
ZarqLibraryLockFn LibraryLockOp() { return &ZARQP_LibraryLock; }
#endif

}  // namespace zarq_test
