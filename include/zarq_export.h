/* zarq_export.h: calling convention and export macros of the zarq C interface.
 *
 * ZARQ_CALL is the calling convention of every exported function: __stdcall on
 * 32-bit Windows, the platform default elsewhere.
 * ZARQ_API marks a named export. ZARQ_PRIVATE_API marks an operation that
 * Windows exports by ordinal only (through win32/zarq.def), so it carries no
 * dllexport there; other systems export it by name.
 */
#ifndef ZARQ_EXPORT_H_
#define ZARQ_EXPORT_H_

#if defined(_WIN32) && !defined(_WIN64)
#define ZARQ_CALL __stdcall
#else
#define ZARQ_CALL
#endif

#if defined(_WIN32)
#if defined(ZARQ_BUILDING)
#define ZARQ_API __declspec(dllexport)
#else
#define ZARQ_API __declspec(dllimport)
#endif
#define ZARQ_PRIVATE_API
#else
#define ZARQ_API __attribute__((visibility("default")))
#define ZARQ_PRIVATE_API __attribute__((visibility("default")))
#endif

#endif /* ZARQ_EXPORT_H_ */
