// locked_data.h: the security a price data operation works on, taken from
// its lock slot once per operation: the working copy (record count, field
// mask, cached first and last moments), the data file reached through it,
// and the commit of what the operation changed.
//
// A moment is a ZARQ date and time. Moments are compared date first, and
// by time only for a timed (intraday, period 'I') security; differences
// saturate, so no stored or given value can overflow a comparison.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_LOCKED_DATA_H_
#define ZARQ_SRC_DATA_LOCKED_DATA_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/platform/platform.h"
#include "src/security/lock_table.h"

namespace zarq {

inline constexpr uint32_t kMaxMultipleRecords = 65500;

struct Moment {
  int32_t date = 0;
  int32_t time = 0;
};

// < 0 when a comes first, 0 for the same moment, > 0 when b comes first.
int32_t CompareMoments(const Moment& a, const Moment& b, bool timed);

struct LockedData {
  uint32_t handle = 0;
  LockedSecurityView view;
  uint16_t mask = 0;         // the security's field mask
  uint16_t record_size = 0;  // bytes of a stored record (12..32)
  bool timed = false;        // intraday: times take part in comparisons
  bool has_time = false;     // its records store a time

  uint16_t count() const { return view.record_count; }
  bool composite() const { return view.record.composite != 0; }
  Moment first() const { return {view.record.first_date, view.record.first_time}; }
  Moment last() const { return {view.record.last_date, view.record.last_time}; }
  // The moment of a caller's record as this security keeps it (time 0
  // unless it stores times).
  Moment MomentOf(const ZarqPriceRecord& record) const {
    return {record.Date, has_time ? record.Time : 0};
  }
};

// The working copy of handle's security, which this process must hold
// locked at level or above (-319 weaker, -320 not locked, -363).
int32_t LoadLockedData(uint32_t handle, uint8_t level, LockedData* data);

// The security's data file, open (cached by the file layer).
int32_t OpenDataFile(const LockedData& data, FileHandle* file);

// The moment of data record k.
int32_t ReadMoment(const LockedData& data, FileHandle file, uint32_t k, Moment* moment);

// Records a change of the security's first or last moment (the time only
// for a security that stores times).
void SetFirstMoment(LockedData* data, const Moment& first);
void SetLastMoment(LockedData* data, const Moment& last);

// Commits data's record count and cached values to the lock slot (they
// reach the files when the security is unlocked). BaseDate, which never
// lies after FirstDate while there are records, follows FirstDate when it
// would.
int32_t CommitLockedData(const LockedData& data);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_LOCKED_DATA_H_
