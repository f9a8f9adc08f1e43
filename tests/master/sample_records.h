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

// A daily security of the 1990s with every field of the data part set.
inline zarq::SecurityRecord DailyRecord() {
  zarq::SecurityRecord r;
  r.in_use = 1;
  r.slot = 12;
  SetText(r.symbol, sizeof(r.symbol), "IBM");
  SetText(r.name, sizeof(r.name), "Intl Business Machines");
  r.period = 'D';
  r.file_number = 17;
  r.extra_code = 5;
  r.field_mask = 0x7F;
  r.primary_factor = 1.0f;
  r.secondary_factor = 1.0f;
  r.base_date = 19900102;
  r.first_date = 19900102;
  r.last_date = 19991231;
  r.extra_date = 19950615;
  r.extra_value = 77;
  r.flagged = 1;
  r.import_bytes[0] = 0xA1;
  r.import_bytes[5] = 0xF6;
  return r;
}

// An intraday composite with times and links.
inline zarq::SecurityRecord IntradayComposite() {
  zarq::SecurityRecord r;
  r.in_use = 1;
  r.slot = 300;
  SetText(r.symbol, sizeof(r.symbol), "SPREAD14CHARSX");
  SetText(r.name, sizeof(r.name), "A composite with a name longer than sixteen");
  r.period = 'I';
  r.interval = 5;
  r.file_number = 4711;
  r.field_mask = 0xFF;
  SetText(r.symbol2, sizeof(r.symbol2), "MSFT");
  r.op = '/';
  r.primary_factor = 2.5f;
  r.secondary_factor = -0.75f;
  r.primary_file_number = 301;
  r.secondary_file_number = 302;
  r.base_date = 20080101;
  r.first_date = 20080102;
  r.first_time = 930015;
  r.last_date = 20091231;
  r.last_time = 1600999;
  r.start_time = 930000;
  r.end_time = 1600000;
  r.composite = 1;
  r.long_data_flag = 1;
  r.primary_slot = 301;
  r.secondary_slot = 302;
  r.prev_slot = 299;
  r.next_slot = 301;
  r.next_primary_user = 5;
  r.next_secondary_user = 6;
  return r;
}

}  // namespace zarq_test

#endif  // ZARQ_TESTS_MASTER_SAMPLE_RECORDS_H_
