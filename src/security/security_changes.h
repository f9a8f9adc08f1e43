// security_changes.h: adding, updating and deleting securities.
//
// An addition or a deletion changes the list under the security list
// header lock, held from the first list change to the last, which
// serialises list changes across processes. Each is whole or not at all:
// a step that fails takes back every earlier one (index entry, links,
// composite chains, files, the lock), and the list header, written last,
// counts only a security that is complete. An update changes the working
// copy of a security the caller holds at DefinitionLock or more; the
// changes reach the list at the unlock, a new symbol reaches the index and
// the stored record at once.
//
// Lock order (doc/directory-lifecycle.md): a lock-file record, then the
// user file's header, then the list header, then a list record, then the
// index header. A lock of a security holds its lock-file record while it
// loads the security from the list, so a list change, which holds the
// list header throughout, must not wait for a lock-file record another
// process may hold while waiting for that header. So:
// - a deletion locks its security (and each composite its cascade
//   deletes) before it takes the list header;
// - an addition holds a composite's components before it takes the list
//   header, and takes the new slot's lock-file record without waiting:
//   when that is busy, it gives everything up, pauses and starts again
//   (for up to 10 s, then ZARQ_E_RANGE_LOCKED);
// - under the list header, a list change waits only for lock-file records
//   that carry its own FullLock or DefinitionLock (its unlock; taking an
//   addition back): any other process that takes such a record finds a
//   conflict and lets go without reaching for the list.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_CHANGES_H_
#define ZARQ_SRC_SECURITY_SECURITY_CHANGES_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// ZARQ1_AddSecurity: the security info describes enters directory before
// the live security anchor (at the end when anchor is 0, of another
// directory, deleted or beyond the list), with an empty data file (and a
// field-list file where the directory keeps them); on success *info is
// filled as ZARQ1_GetSecurityInfo gives it. -370; -367; -361 read-only;
// -248; -190 with 6000 live securities or no free file number; a
// composite's -197, -196, -225 and its components' lock failures; -198
// when the identity exists; validation failures; file failures (nothing of
// the security is left behind); the failure of the final unlock (the
// security then exists, still locked here).
int32_t AddSecurity(uint8_t directory, ZarqSecurityInfo* info, uint32_t anchor);

// ZARQ1_UpdateSecurity: applies the flagged values of update to the
// working copy of handle's security, which this process holds at
// DefinitionLock or more (else -319, -320, -363). A composite's factors
// only (ignored for a plain security); a base date or symbol change for a
// composite is -193. A new base date without price records sets the first
// and last date too; with records it is kept no later than the first
// date. Validation failures and -198 (a symbol that exists) change
// nothing.
int32_t UpdateSecurity(uint32_t handle, const ZarqSecurityUpdate& update);

// ZARQ1_DeleteSecurity: deletes handle's security (FullLock; a composite at
// DefinitionLock), its files and its index entry; the record stays in the
// list chain, marked deleted. A security composites are built on gives
// -195, unless cascade: each composite is deleted first. The lock failure
// (-321 while another process holds it); -191 for a deleted one; file
// failures, after which nothing is changed. The security's lock and the
// list header lock are released on every path.
int32_t DeleteSecurity(uint32_t handle, int32_t cascade);

// Takes out of the list a plain security this process holds at FullLock
// that the index does not list: the later copy of a security listed twice,
// whose identity the first copy keeps. Its record is stored deleted and
// LiveCount counts it out; its files go unless keep_files (the first copy
// has the same data file). The unlock writes nothing more. -319, -320.
int32_t RetireDuplicateSecurity(uint32_t handle, bool keep_files);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_CHANGES_H_
