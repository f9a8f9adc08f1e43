// sample_records.h: valid security records for the directory file tests.

#ifndef ZARQ_TESTS_MASTER_SAMPLE_RECORDS_H_
#define ZARQ_TESTS_MASTER_SAMPLE_RECORDS_H_

#include <cstring>

#include "src/master/security_record.h"

namespace zarq_test {

inline void SetText(char* field, size_t size, const char* text) {
  std::memset(field, 0, size);
  std::memcpy(field, text, strnlen(text, size - 1));
}

// clang-format off
// A daily security of the 1990s.
inline zarq::SecurityRecord DailyRecord() {
  return {.in_use = 1, .slot = 12, .symbol = "IBM", .name = "Intl Business Machines",
          .period = 'D', .file_number = 17, .extra_code = 5, .field_mask = 0x7F,
          .base_date = 19900102, .first_date = 19900102, .last_date = 19991231,
          .extra_date = 19950615, .extra_value = 77, .flagged = 1,
          .import_bytes = {0xA1, 0, 0, 0, 0, 0xF6}};
}

// An intraday composite with a long name, times and links.
inline zarq::SecurityRecord IntradayComposite() {
  return {.in_use = 1, .slot = 300, .symbol = "SPREAD14CHARSX",
          .name = "A composite with a name longer than sixteen", .period = 'I', .interval = 5,
          .file_number = 4711, .field_mask = 0xFF, .symbol2 = "MSFT", .op = '/',
          .primary_factor = 2.5f, .secondary_factor = -0.75f, .primary_file_number = 301,
          .secondary_file_number = 302, .base_date = 20080101, .first_date = 20080102,
          .first_time = 930015, .last_date = 20091231, .last_time = 1600999,
          .start_time = 930000, .end_time = 1600000, .composite = 1, .long_data_flag = 1,
          .primary_slot = 301, .secondary_slot = 302, .prev_slot = 299, .next_slot = 301,
          .next_primary_user = 5, .next_secondary_user = 6};
}
// clang-format on

}  // namespace zarq_test

#endif  // ZARQ_TESTS_MASTER_SAMPLE_RECORDS_H_
