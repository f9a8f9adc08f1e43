// record_rules.h: what makes a security record valid, and the format
// level a record asks of the files that hold it.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_MASTER_RECORD_RULES_H_
#define ZARQ_SRC_MASTER_RECORD_RULES_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

// Format levels of the security list file: the plain layout, more than 255
// securities, dates outside the 1900s / intraday / long data, and more than
// 2000 securities.
inline constexpr uint16_t kFormatLevelBase = 400;
inline constexpr uint16_t kFormatLevelExtended = 600;
inline constexpr uint16_t kFormatLevelWide = 651;
inline constexpr uint16_t kFormatLevelLarge = 800;

// Securities that MASTER and EMASTER describe; those after them go to
// XMASTER.
inline constexpr uint32_t kMasterEntryLimit = 255;
inline constexpr uint32_t kLargeListLength = 2000;

inline constexpr uint16_t kMaxInterval = 1439;
inline constexpr uint8_t kMaxExtraCode = 128;

// Checks record, first failure winning: period one of "IDWM"
// (ZARQ_E_BAD_PERIOD); interval at most 1439 (ZARQ_E_BAD_INTERVAL); a
// composite's operator one of "+-*/" (ZARQ_E_BAD_OPERATOR); extra code at
// most 128 (ZARQ_E_BAD_EXTRA_CODE); the canonical field mask of 4..8 fields
// for the period (ZARQ_E_BAD_FIELD_MASK); first and last date valid
// (ZARQ_E_BAD_DATE); the four times valid (ZARQ_E_BAD_TIME). On the way it
// corrects silently: a record that is not intraday loses its four times
// (before they are checked); a base date that is invalid or after the first
// date becomes the first date; an invalid extra date clears the extra date
// and value. Returns 0 or the failure; corrections made before a failure
// stay.
int32_t ValidateSecurityRecord(SecurityRecord* record);

// The level that record asks of a list of list_length securities: 400;
// 600 above 255 securities; for a live record 651 when it is intraday, has
// long data, or has dates outside 19000101..19991231; 800 above 2000
// securities.
uint16_t FormatLevelFor(const SecurityRecord& record, uint32_t list_length);

// True when the first date lies in 19000101..19991231 and the last date
// is no later than 19991231.
bool DatesFitNarrowLayout(int32_t first_date, int32_t last_date);

// True when the record's dates lie in 19000101..19991231 (the last date no
// later than 19991231), it is not intraday and has no long data: the
// layout that the oldest readers of the master files understand.
bool FitsNarrowLayout(const SecurityRecord& record);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_RECORD_RULES_H_
