/* zarq_private.h: the library's private operations.
 *
 * Windows exports these by ordinal only (no name); fetch them with
 * GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) and the pointer types
 * below. Other systems export them by name, as declared at the end.
 */
#ifndef ZARQ_PRIVATE_H_
#define ZARQ_PRIVATE_H_

#include "zarq.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Modes of the library lock (ordinal 217). */
#define ZARQ_LOCK_RELEASE 0
#define ZARQ_LOCK_ACQUIRE 1
#define ZARQ_LOCK_RELEASE_FINAL 2

/* Clamp modes of the stored-float conversions (ordinals 205 and 207). */
#define ZARQ_CLAMP_NONE 0     /* only clean up denormals, NaN, infinities */
#define ZARQ_CLAMP_SIGNED 1   /* and bound into [-2^31, 2^31 - 1] */
#define ZARQ_CLAMP_UNSIGNED 2 /* and bound into [0, 2^32 - 1]; also any other mode */

#define ZARQ_ORDINAL_COPY_CLEAN_TEXT 200
#define ZARQ_ORDINAL_COUNT_BITS 201
#define ZARQ_ORDINAL_GET_ROOT_PATH 202
#define ZARQ_ORDINAL_IEEE_TO_MBF 203
#define ZARQ_ORDINAL_IS_PLACEHOLDER_RECORD 204
#define ZARQ_ORDINAL_MBF_TO_IEEE 205
#define ZARQ_ORDINAL_PAD_TEXT 206
#define ZARQ_ORDINAL_SANITIZE_FLOAT 207
#define ZARQ_ORDINAL_VALIDATE_DATE 208
#define ZARQ_ORDINAL_VALIDATE_TIME 209
#define ZARQ_ORDINAL_BUILD_SECURITY_FILE_NAME 210
#define ZARQ_ORDINAL_GET_FORMAT_LEVELS 211
#define ZARQ_ORDINAL_GET_HANDLE_FROM_INFO 212
#define ZARQ_ORDINAL_PARSE_SECURITY_SYMBOL 213
#define ZARQ_ORDINAL_GET_TRADING_BAR 214
#define ZARQ_ORDINAL_READ_BACK_CONVERTED_RECS 215
#define ZARQ_ORDINAL_READ_CONVERTED_RECS_BY_DATES 216
#define ZARQ_ORDINAL_LIBRARY_LOCK 217

typedef void(ZARQ_CALL *ZarqCopyCleanTextFn)(char *dst, const char *src, int32_t maxLength);
typedef int32_t(ZARQ_CALL *ZarqCountBitsFn)(uint32_t value);
typedef int32_t(ZARQ_CALL *ZarqGetRootPathFn)(const char *path, char *root);
typedef void(ZARQ_CALL *ZarqIeeeToMbfFn)(uint8_t *out4, const float *value);
typedef int32_t(ZARQ_CALL *ZarqIsPlaceholderRecordFn)(const ZarqPriceRecord *rec);
typedef void(ZARQ_CALL *ZarqMbfToIeeeFn)(float *out, const uint8_t *in4, int32_t clampMode);
typedef void(ZARQ_CALL *ZarqPadTextFn)(char *text, char fill, int32_t length);
typedef void(ZARQ_CALL *ZarqSanitizeFloatFn)(float *value, int32_t clampMode);
typedef int32_t(ZARQ_CALL *ZarqValidateDateFn)(int32_t date, int32_t fullForm);
typedef int32_t(ZARQ_CALL *ZarqValidateTimeFn)(int32_t time, int32_t fullForm);
typedef int32_t(ZARQ_CALL *ZarqBuildSecurityFileNameFn)(uint32_t handle, char *name,
                                                         uint16_t kind);
typedef int32_t(ZARQ_CALL *ZarqGetFormatLevelsFn)(uint8_t dir, uint16_t *levels4);
typedef int32_t(ZARQ_CALL *ZarqGetHandleFromInfoFn)(uint8_t dir, const ZarqSecurityInfo *info,
                                                     uint32_t *handle);
typedef int32_t(ZARQ_CALL *ZarqParseSecuritySymbolFn)(char *symbol15, char *second15, char *op,
                                                       const char *text);
typedef int32_t(ZARQ_CALL *ZarqGetTradingBarFn)(int32_t start, int32_t end, uint32_t length,
                                                 const ZarqDateTimePair *moment,
                                                 ZarqDateTimePair *barStart,
                                                 ZarqDateTimePair *barRef,
                                                 ZarqDateTimePair *barEnd, int32_t hourAligned);
typedef int32_t(ZARQ_CALL *ZarqReadBackConvertedRecsFn)(uint32_t handle, ZarqPriceRecord *out,
                                                         const ZarqDateTimePair *end,
                                                         uint16_t *count, uint32_t mode,
                                                         char target, uint32_t n, int32_t fill);
typedef int32_t(ZARQ_CALL *ZarqReadConvertedRecsByDatesFn)(
    uint32_t handle, ZarqPriceRecord *out, const ZarqDateTimePair *start,
    const ZarqDateTimePair *end, uint16_t *count, uint32_t mode, char target, uint32_t n,
    int32_t fill);
typedef void(ZARQ_CALL *ZarqLibraryLockFn)(uint32_t mode);

#if !defined(_WIN32) || defined(ZARQ_BUILDING)

/* Ordinal 200: copies to dst the characters of src (at most maxLength, up
 * to its NUL) that are not control characters, without trailing spaces.
 * dst receives maxLength + 1 bytes: the text, then zeros. src and dst may
 * overlap. Nothing happens for a null dst or a negative maxLength; a null
 * src gives an empty text. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_CopyCleanText(char *dst, const char *src,
                                                    int32_t maxLength);

/* Ordinal 201: the number of bits set in value. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_CountBits(uint32_t value);

/* Ordinal 202: the root of path into root (at least 261 bytes): a drive or
 * share root on Windows, "/" for an absolute path elsewhere; a relative or
 * empty path gives ZARQ_E_BAD_PATH. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetRootPath(const char *path, char *root);
/* Ordinal 203: the 4 stored (MBF) bytes of *value. Zero, denormals and
 * magnitudes of 2^127 and above (infinities, NaN) give four zero bytes.
 * Nothing happens for a null pointer. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_IeeeToMbf(uint8_t *out4, const float *value);

/* Ordinal 204: 1 when rec marks missing data (32767.0 in place of the
 * prices), else 0; 0 for a null rec. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_IsPlaceholderRecord(const ZarqPriceRecord *rec);

/* Ordinal 205: the IEEE single of 4 stored (MBF) bytes, cleaned and bounded
 * as ZARQP_SanitizeFloat does with clampMode. Nothing happens for a null
 * pointer. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_MbfToIeee(float *out, const uint8_t *in4,
                                                int32_t clampMode);

/* Ordinal 206: fills text with fill from its end (its NUL) up to length
 * characters, without adding a NUL; reads at most length bytes of text.
 * Nothing happens for a null text or a length of 0 or less. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_PadText(char *text, char fill, int32_t length);

/* Ordinal 207: cleans *value: a denormal or NaN becomes 0.0, an infinity
 * the largest finite single of its sign; then ZARQ_CLAMP_SIGNED or
 * ZARQ_CLAMP_UNSIGNED bounds it. Nothing happens for a null pointer. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_SanitizeFloat(float *value, int32_t clampMode);

/* Ordinal 208: 0 when date is valid, else ZARQ_E_BAD_DATE. fullForm nonzero
 * means a ZARQ date (yyyymmdd), zero a short date (yyyymmdd - 19000000). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateDate(int32_t date, int32_t fullForm);

/* Ordinal 209: 0 when time is valid, else ZARQ_E_BAD_TIME. fullForm nonzero
 * means a ZARQ time (hhmmttt), zero a short time (hhmmss). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateTime(int32_t time, int32_t fullForm);

/* Ordinal 210: the full name (at least 261 bytes) of a file of a security
 * this process holds locked: kind 3 its data file, 4 its field-list file,
 * 1 and 2 a composite's components' data files, and the other file kinds
 * of its directory. The number part is 0 for a security not locked here.
 * ZARQ_E_INVALID_ARGUMENT for a kind above 15 or a null name;
 * ZARQ_E_DIRECTORY_NOT_OPEN. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_BuildSecurityFileName(uint32_t handle, char *name,
                                                               uint16_t kind);

/* Ordinal 211: the format levels of the open directory dir's security
 * list: levels4[0..3] = 8, 0, the list's FormatLevel (400, 600, 651 or
 * 800), 800. On failure all four are 0 and the status is returned
 * (ZARQ_E_DIRECTORY_NOT_OPEN, the list file's header and file errors;
 * ZARQ_E_INVALID_ARGUMENT for a null levels4). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetFormatLevels(uint8_t dir, uint16_t *levels4);

/* Ordinal 212: the handle of the security whose identity info gives (as
 * ZARQ1_GetSecurityHandle does for that identity in directory dir). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetHandleFromInfo(uint8_t dir,
                                                           const ZarqSecurityInfo *info,
                                                           uint32_t *handle);

/* Ordinal 213: splits a symbol text (at most its first 31 characters) into
 * symbol15 and second15 (15 bytes each, cleared first) and *op: a plain
 * symbol of 1 to 14 characters, or a composite's 0xDB, symbol, 0xB3,
 * second symbol and operator (+ - * /). ZARQ_E_BAD_SYMBOL_TEXT for any other
 * text; ZARQ_E_INVALID_ARGUMENT for a null pointer. Works in every state. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_ParseSecuritySymbol(char *symbol15, char *second15,
                                                             char *op, const char *text);

/* Ordinal 214: the intraday bar of length minutes that holds *moment in the
 * trading window from start to end (ZARQ times; an end not later than the
 * start lies on the next day, and such a session's bars carry the date it
 * began): its start, its reference (its start; the window end for a moment
 * outside the window) and its end (never past the window end, nor, with
 * hourAligned, past the next full hour; bars then count from the full
 * hour). ZARQ_E_INVALID_ARGUMENT for a length of 0 or a null pointer. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetTradingBar(int32_t start, int32_t end,
                                                       uint32_t length,
                                                       const ZarqDateTimePair *moment,
                                                       ZarqDateTimePair *barStart,
                                                       ZarqDateTimePair *barRef,
                                                       ZarqDateTimePair *barEnd,
                                                       int32_t hourAligned);

/* Ordinal 215: up to *count (1..65500) bars of the target period ending at
 * the last record at or before *end, in time order: 'W', 'M', 'Q', 'Y' of
 * daily or longer data, 'D' and those of intraday data, 'N' (or 'I') bars
 * of n minutes of intraday data, 'O' bars of n records. The security's own
 * period is the plain ZARQ2_ReadBackMultipleRecs (with mode); a shorter one
 * is ZARQ_E_PERIOD_NOT_LONGER. fill asks for bars of n minutes missing
 * within a session (close of the bar before, no volume). 0, or
 * ZARQ_FEWER_READ when fewer bars exist. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ2_ReadBackConvertedRecs(uint32_t handle,
                                                               ZarqPriceRecord *out,
                                                               const ZarqDateTimePair *end,
                                                               uint16_t *count, uint32_t mode,
                                                               char target, uint32_t n,
                                                               int32_t fill);

/* Ordinal 216: the bars holding the records from *start to *end, as 215
 * (the plain read is ZARQ2_ReadMultipleRecsByDates). ZARQ_BUFFER_FILLED
 * when out filled while bars of the range remain. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ2_ReadConvertedRecsByDates(
    uint32_t handle, ZarqPriceRecord *out, const ZarqDateTimePair *start,
    const ZarqDateTimePair *end, uint16_t *count, uint32_t mode, char target, uint32_t n,
    int32_t fill);

/* Ordinal 217: acquires (1) or releases (0) the library lock, or releases it
 * finally (2), clearing the nesting count. Other modes do nothing. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_LibraryLock(uint32_t mode);

#endif

#ifdef __cplusplus
}
#endif

#endif /* ZARQ_PRIVATE_H_ */
