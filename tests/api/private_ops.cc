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

ZarqCopyCleanTextFn CopyCleanTextOp() {
  return ByOrdinal<ZarqCopyCleanTextFn>(ZARQ_ORDINAL_COPY_CLEAN_TEXT);
}
ZarqCountBitsFn CountBitsOp() { return ByOrdinal<ZarqCountBitsFn>(ZARQ_ORDINAL_COUNT_BITS); }
ZarqGetRootPathFn GetRootPathOp() {
  return ByOrdinal<ZarqGetRootPathFn>(ZARQ_ORDINAL_GET_ROOT_PATH);
}
ZarqIeeeToMbfFn IeeeToMbfOp() { return ByOrdinal<ZarqIeeeToMbfFn>(ZARQ_ORDINAL_IEEE_TO_MBF); }
ZarqIsPlaceholderRecordFn IsPlaceholderRecordOp() {
  return ByOrdinal<ZarqIsPlaceholderRecordFn>(ZARQ_ORDINAL_IS_PLACEHOLDER_RECORD);
}
ZarqMbfToIeeeFn MbfToIeeeOp() { return ByOrdinal<ZarqMbfToIeeeFn>(ZARQ_ORDINAL_MBF_TO_IEEE); }
ZarqPadTextFn PadTextOp() { return ByOrdinal<ZarqPadTextFn>(ZARQ_ORDINAL_PAD_TEXT); }
ZarqSanitizeFloatFn SanitizeFloatOp() {
  return ByOrdinal<ZarqSanitizeFloatFn>(ZARQ_ORDINAL_SANITIZE_FLOAT);
}
ZarqValidateDateFn ValidateDateOp() {
  return ByOrdinal<ZarqValidateDateFn>(ZARQ_ORDINAL_VALIDATE_DATE);
}
ZarqValidateTimeFn ValidateTimeOp() {
  return ByOrdinal<ZarqValidateTimeFn>(ZARQ_ORDINAL_VALIDATE_TIME);
}
ZarqGetFormatLevelsFn GetFormatLevelsOp() {
  return ByOrdinal<ZarqGetFormatLevelsFn>(ZARQ_ORDINAL_GET_FORMAT_LEVELS);
}
ZarqLibraryLockFn LibraryLockOp() {
  return ByOrdinal<ZarqLibraryLockFn>(ZARQ_ORDINAL_LIBRARY_LOCK);
}
#else
ZarqCopyCleanTextFn CopyCleanTextOp() { return &ZARQP_CopyCleanText; }
ZarqCountBitsFn CountBitsOp() { return &ZARQP_CountBits; }
ZarqGetRootPathFn GetRootPathOp() { return &ZARQP_GetRootPath; }
ZarqIeeeToMbfFn IeeeToMbfOp() { return &ZARQP_IeeeToMbf; }
ZarqIsPlaceholderRecordFn IsPlaceholderRecordOp() { return &ZARQP_IsPlaceholderRecord; }
ZarqMbfToIeeeFn MbfToIeeeOp() { return &ZARQP_MbfToIeee; }
ZarqPadTextFn PadTextOp() { return &ZARQP_PadText; }
ZarqSanitizeFloatFn SanitizeFloatOp() { return &ZARQP_SanitizeFloat; }
ZarqValidateDateFn ValidateDateOp() { return &ZARQ1_ValidateDate; }
ZarqValidateTimeFn ValidateTimeOp() { return &ZARQ1_ValidateTime; }
ZarqGetFormatLevelsFn GetFormatLevelsOp() { return &ZARQP_GetFormatLevels; }
ZarqLibraryLockFn LibraryLockOp() { return &ZARQP_LibraryLock; }
#endif

}  // namespace zarq_test
