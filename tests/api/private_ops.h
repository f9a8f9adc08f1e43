// private_ops.h: the library's private operations for API tests: by
// ordinal from the loaded zarq.dll on Windows, by name elsewhere.

#ifndef ZARQ_TESTS_API_PRIVATE_OPS_H_
#define ZARQ_TESTS_API_PRIVATE_OPS_H_

#include "zarq_private.h"

namespace zarq_test {

ZarqCopyCleanTextFn CopyCleanTextOp();
ZarqCountBitsFn CountBitsOp();
ZarqGetRootPathFn GetRootPathOp();
ZarqIeeeToMbfFn IeeeToMbfOp();
ZarqIsPlaceholderRecordFn IsPlaceholderRecordOp();
ZarqMbfToIeeeFn MbfToIeeeOp();
ZarqPadTextFn PadTextOp();
ZarqSanitizeFloatFn SanitizeFloatOp();
ZarqValidateDateFn ValidateDateOp();
ZarqValidateTimeFn ValidateTimeOp();
ZarqGetFormatLevelsFn GetFormatLevelsOp();
ZarqLibraryLockFn LibraryLockOp();

}  // namespace zarq_test

#endif  // ZARQ_TESTS_API_PRIVATE_OPS_H_
