// record_rules.cc: security record validation and format levels.
//
// Thread-safety: pure.

#include "src/master/record_rules.h"

#include <cstring>
#include <initializer_list>

#include "include/zarq.h"
#include "src/format/field_mask.h"
#include "src/datetime/date_rules.h"
#include "src/frame/count_bits.h"

namespace zarq {
namespace {

constexpr int32_t kNarrowFirstDate = 19000101;
constexpr int32_t kNarrowLastDate = 19991231;

bool IsOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

}  // namespace

int32_t ValidateSecurityRecord(SecurityRecord* r) {
  if (!IsOneOf(r->period, "IDWM")) return ZARQ_E_BAD_PERIOD;
  if (r->interval > kMaxInterval) return ZARQ_E_BAD_INTERVAL;
  if (r->composite != 0 && !IsOneOf(r->op, "+-*/")) return ZARQ_E_BAD_OPERATOR;
  if (r->period != 'I') {
    r->first_time = r->last_time = r->start_time = r->end_time = 0;
  }
  if (r->extra_code > kMaxExtraCode) return ZARQ_E_BAD_EXTRA_CODE;
  int32_t fields = CountBits(r->field_mask);
  if (fields < kMinFieldCount || fields > kMaxFieldCount ||
      r->field_mask != FieldMaskForCount(fields, r->period)) {
    return ZARQ_E_BAD_FIELD_MASK;
  }
  if (ValidateDate(r->first_date, true) != ZARQ_OK || ValidateDate(r->last_date, true) != ZARQ_OK) {
    return ZARQ_E_BAD_DATE;
  }
  for (int32_t time : {r->first_time, r->last_time, r->start_time, r->end_time}) {
    if (ValidateTime(time, true) != ZARQ_OK) return ZARQ_E_BAD_TIME;
  }
  if (ValidateDate(r->base_date, true) != ZARQ_OK || r->base_date > r->first_date) {
    r->base_date = r->first_date;
  }
  if (r->extra_date == 0 || ValidateDate(r->extra_date, true) != ZARQ_OK) {
    r->extra_date = 0;
    r->extra_value = 0;
  }
  return ZARQ_OK;
}

bool DatesFitNarrowLayout(int32_t first_date, int32_t last_date) {
  return first_date >= kNarrowFirstDate && first_date <= kNarrowLastDate &&
         last_date <= kNarrowLastDate;
}

bool FitsNarrowLayout(const SecurityRecord& r) {
  return r.period != 'I' && r.long_data_flag == 0 &&
         DatesFitNarrowLayout(r.first_date, r.last_date);
}

uint16_t FormatLevelFor(const SecurityRecord& r, uint32_t list_length) {
  uint16_t level = list_length > kMasterEntryLimit ? kFormatLevelExtended : kFormatLevelBase;
  if (r.deleted == 0 && (r.period == 'I' || r.long_data_flag != 0 ||
                         r.first_date < kNarrowFirstDate || r.last_date > kNarrowLastDate)) {
    level = kFormatLevelWide;
  }
  if (list_length > kLargeListLength) level = kFormatLevelLarge;
  return level;
}

}  // namespace zarq
