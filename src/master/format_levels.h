// format_levels.h: upkeep and report of the security list file's
// FormatLevel, the oldest layout of master files that can still describe
// the list (400, 600, 651 or 800). It only ever rises.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_FORMAT_LEVELS_H_
#define ZARQ_SRC_MASTER_FORMAT_LEVELS_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

// Raises the header's FormatLevel, under the header lock, to what record
// asks of a list of LiveCount securities (FormatLevelFor); the header is
// written only when the level rises.
int32_t RaiseFormatLevel(uint8_t directory, const SecurityRecord& record);

// levels[0..3] = 8, 0, the header's FormatLevel, 800; all four 0 and the
// status when the header cannot be read.
int32_t GetFormatLevels(uint8_t directory, uint16_t levels[4]);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_FORMAT_LEVELS_H_
