// data_cursor.h: the data cursor of a locked security, kept in its lock
// slot: the record word names the next data record to read (1 the first,
// count + 1 past the end, 0 not yet positioned, which reads as 1); the
// second word is a composite's position in its second component and is
// carried unchanged for a plain security.
//
// A composite whose record word is 0 is placed at the start of its common
// range; every change of a composite's cursor restarts its read state
// (composite_seam.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_DATA_CURSOR_H_
#define ZARQ_SRC_DATA_DATA_CURSOR_H_

#include <cstdint>

#include "src/security/lock_table.h"

namespace zarq {

// The cursor as stored (a record word of 0 stays 0).
int32_t PeekCursor(uint32_t handle, DataCursor* cursor);

// The cursor to work from: a record word of 0 reads as 1 for a plain
// security; a composite is placed at its start position (stored).
int32_t GetCursor(uint32_t handle, DataCursor* cursor);

// Stores both words.
int32_t SetCursor(uint32_t handle, DataCursor cursor);

// Stores the record word, keeping the second one.
int32_t SetCursorRecord(uint32_t handle, uint16_t record);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_CURSOR_H_
