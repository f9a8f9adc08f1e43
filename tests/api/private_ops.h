// private_ops.h: the library's private operations for API tests: by
// ordinal from the loaded zarq.dll on Windows, by name elsewhere.

#ifndef ZARQ_TESTS_API_PRIVATE_OPS_H_
#define ZARQ_TESTS_API_PRIVATE_OPS_H_

#include "zarq_private.h"

#ifdef _WIN32
#include <windows.h>
#define ZARQ_TEST_OP(op, type, ordinal, name)                                      \
  inline type op() {                                                               \
    return reinterpret_cast<type>(reinterpret_cast<void*>(                         \
        GetProcAddress(GetModuleHandleA("zarq.dll"), MAKEINTRESOURCEA(ordinal)))); \
  }
#else
#define ZARQ_TEST_OP(op, type, ordinal, name) \
  inline type op() { return &name; }
#endif

namespace zarq_test {

ZARQ_TEST_OP(CopyCleanTextOp, ZarqCopyCleanTextFn, ZARQ_ORDINAL_COPY_CLEAN_TEXT,
             ZARQP_CopyCleanText)
ZARQ_TEST_OP(CountBitsOp, ZarqCountBitsFn, ZARQ_ORDINAL_COUNT_BITS, ZARQP_CountBits)
ZARQ_TEST_OP(GetRootPathOp, ZarqGetRootPathFn, ZARQ_ORDINAL_GET_ROOT_PATH, ZARQP_GetRootPath)
ZARQ_TEST_OP(IeeeToMbfOp, ZarqIeeeToMbfFn, ZARQ_ORDINAL_IEEE_TO_MBF, ZARQP_IeeeToMbf)
ZARQ_TEST_OP(IsPlaceholderRecordOp, ZarqIsPlaceholderRecordFn, ZARQ_ORDINAL_IS_PLACEHOLDER_RECORD,
             ZARQP_IsPlaceholderRecord)
ZARQ_TEST_OP(MbfToIeeeOp, ZarqMbfToIeeeFn, ZARQ_ORDINAL_MBF_TO_IEEE, ZARQP_MbfToIeee)
ZARQ_TEST_OP(PadTextOp, ZarqPadTextFn, ZARQ_ORDINAL_PAD_TEXT, ZARQP_PadText)
ZARQ_TEST_OP(SanitizeFloatOp, ZarqSanitizeFloatFn, ZARQ_ORDINAL_SANITIZE_FLOAT, ZARQP_SanitizeFloat)
ZARQ_TEST_OP(ValidateDateOp, ZarqValidateDateFn, ZARQ_ORDINAL_VALIDATE_DATE, ZARQ1_ValidateDate)
ZARQ_TEST_OP(ValidateTimeOp, ZarqValidateTimeFn, ZARQ_ORDINAL_VALIDATE_TIME, ZARQ1_ValidateTime)
ZARQ_TEST_OP(GetFormatLevelsOp, ZarqGetFormatLevelsFn, ZARQ_ORDINAL_GET_FORMAT_LEVELS,
             ZARQP_GetFormatLevels)
ZARQ_TEST_OP(ParseSecuritySymbolOp, ZarqParseSecuritySymbolFn, ZARQ_ORDINAL_PARSE_SECURITY_SYMBOL,
             ZARQP_ParseSecuritySymbol)
ZARQ_TEST_OP(GetTradingBarOp, ZarqGetTradingBarFn, ZARQ_ORDINAL_GET_TRADING_BAR,
             ZARQP_GetTradingBar)
ZARQ_TEST_OP(ReadBackConvertedRecsOp, ZarqReadBackConvertedRecsFn,
             ZARQ_ORDINAL_READ_BACK_CONVERTED_RECS, ZARQ2_ReadBackConvertedRecs)
ZARQ_TEST_OP(ReadConvertedRecsByDatesOp, ZarqReadConvertedRecsByDatesFn,
             ZARQ_ORDINAL_READ_CONVERTED_RECS_BY_DATES, ZARQ2_ReadConvertedRecsByDates)
ZARQ_TEST_OP(LibraryLockOp, ZarqLibraryLockFn, ZARQ_ORDINAL_LIBRARY_LOCK, ZARQP_LibraryLock)

}  // namespace zarq_test

#endif  // ZARQ_TESTS_API_PRIVATE_OPS_H_
