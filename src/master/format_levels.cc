// format_levels.cc: FormatLevel upkeep and report.
//
// Thread-safety: callers hold the library lock.

#include "src/master/format_levels.h"

#include "include/zarq.h"
#include "src/master/record_rules.h"
#include "src/master/security_store.h"

namespace zarq {
namespace {

// The first two values describe the reporting interface itself; the last
// is the highest level this library writes.
constexpr uint16_t kLevelReportKind = 8;
constexpr uint16_t kLevelReportSpare = 0;

}  // namespace

int32_t RaiseFormatLevel(uint8_t directory, const SecurityRecord& record) {
  SecurityHeaderLock lock;
  int32_t status = lock.Acquire(directory);
  if (status != ZARQ_OK) return status;
  SecurityListHeader header;
  status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
  if (status == ZARQ_OK) {
    uint16_t level = FormatLevelFor(record, header.live_count);
    if (level > header.format_level) {
      header.format_level = level;
      status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kWrite);
    }
  }
  int32_t released = lock.Release();
  return status != ZARQ_OK ? status : released;
}

int32_t GetFormatLevels(uint8_t directory, uint16_t levels[4]) {
  if (levels == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  levels[0] = levels[1] = levels[2] = levels[3] = 0;
  SecurityListHeader header;
  int32_t status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
  if (status != ZARQ_OK) return status;
  levels[0] = kLevelReportKind;
  levels[1] = kLevelReportSpare;
  levels[2] = header.format_level;
  levels[3] = kFormatLevelLarge;
  return ZARQ_OK;
}

}  // namespace zarq
