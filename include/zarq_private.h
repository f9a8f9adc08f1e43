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

#define ZARQ_ORDINAL_COUNT_BITS 201
#define ZARQ_ORDINAL_GET_ROOT_PATH 202
#define ZARQ_ORDINAL_VALIDATE_DATE 208
#define ZARQ_ORDINAL_VALIDATE_TIME 209
#define ZARQ_ORDINAL_LIBRARY_LOCK 217

typedef int32_t(ZARQ_CALL *ZarqCountBitsFn)(uint32_t value);
typedef int32_t(ZARQ_CALL *ZarqGetRootPathFn)(const char *path, char *root);
typedef int32_t(ZARQ_CALL *ZarqValidateDateFn)(int32_t date, int32_t fullForm);
typedef int32_t(ZARQ_CALL *ZarqValidateTimeFn)(int32_t time, int32_t fullForm);
typedef void(ZARQ_CALL *ZarqLibraryLockFn)(uint32_t mode);

#if !defined(_WIN32) || defined(ZARQ_BUILDING)

/* Ordinal 201: the number of bits set in value. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_CountBits(uint32_t value);

/* Ordinal 202: the root of path into root (at least 261 bytes): a drive or
 * share root on Windows, "/" for an absolute path elsewhere; a relative or
 * empty path gives ZARQ_E_BAD_PATH. */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetRootPath(const char *path, char *root);

/* Ordinal 208: 0 when date is valid, else ZARQ_E_BAD_DATE. fullForm nonzero
 * means a ZARQ date (yyyymmdd), zero a short date (yyyymmdd - 19000000). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateDate(int32_t date, int32_t fullForm);

/* Ordinal 209: 0 when time is valid, else ZARQ_E_BAD_TIME. fullForm nonzero
 * means a ZARQ time (hhmmttt), zero a short time (hhmmss). */
ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateTime(int32_t time, int32_t fullForm);

/* Ordinal 217: acquires (1) or releases (0) the library lock, or releases it
 * finally (2), clearing the nesting count. Other modes do nothing. */
ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_LibraryLock(uint32_t mode);

#endif

#ifdef __cplusplus
}
#endif

#endif /* ZARQ_PRIVATE_H_ */
