// Security record validation (its order and corrections) and format levels.

#include "src/master/record_rules.h"

#include <gtest/gtest.h>

#include "include/zarq.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

// A daily record with the changes of one case; 0 fields stay as they are.
struct Change {
  char period = 0;
  uint16_t interval = 0;
  uint8_t composite = 0;
  char op = 0;
  uint8_t extra_code = 0;
  uint16_t field_mask = 0;
  int32_t first_date = 0;
  int32_t start_time = 0;
};

SecurityRecord Changed(const Change& c) {
  SecurityRecord r = zarq_test::DailyRecord();
  if (c.period) r.period = c.period;
  if (c.interval) r.interval = c.interval;
  if (c.composite) r.composite = c.composite;
  if (c.op) r.op = c.op;
  if (c.extra_code) r.extra_code = c.extra_code;
  if (c.field_mask) r.field_mask = c.field_mask;
  if (c.first_date) r.first_date = c.first_date;
  if (c.start_time) r.start_time = c.start_time;
  return r;
}

TEST(RecordRulesTest, FirstFailureWins) {
  const struct {
    Change change;
    int32_t want;
  } cases[] = {
      {{}, ZARQ_OK},
      {{.period = 'd'}, ZARQ_E_BAD_PERIOD},  // case-sensitive
      {{.period = 'Q', .interval = 5000, .first_date = -1}, ZARQ_E_BAD_PERIOD},
      {{.interval = 1440, .composite = 1}, ZARQ_E_BAD_INTERVAL},
      {{.composite = 1, .extra_code = 200}, ZARQ_E_BAD_OPERATOR},
      {{.op = '%'}, ZARQ_OK},  // a plain security's operator is not checked
      {{.extra_code = 129, .field_mask = 0x07}, ZARQ_E_BAD_EXTRA_CODE},
      {{.field_mask = 0xFF, .first_date = -1}, ZARQ_E_BAD_FIELD_MASK},  // daily, 8 fields
      {{.field_mask = 0x87}, ZARQ_E_BAD_FIELD_MASK},                    // daily with TIME
      {{.field_mask = 0x2F}, ZARQ_E_BAD_FIELD_MASK},                    // not canonical
      {{.field_mask = 0x0F}, ZARQ_OK},
      {{.period = 'I', .field_mask = 0xFF}, ZARQ_OK},
      {{.period = 'I', .field_mask = 0x7F}, ZARQ_E_BAD_FIELD_MASK},
      {{.period = 'I', .field_mask = 0xFF, .first_date = 20090230, .start_time = -1},
       ZARQ_E_BAD_DATE},
      {{.period = 'I', .field_mask = 0xFF, .start_time = 1260000}, ZARQ_E_BAD_TIME},
      {{.start_time = 1260000}, ZARQ_OK},  // a daily record's times are cleared, not checked
  };
  for (const auto& c : cases) {
    SecurityRecord r = Changed(c.change);
    EXPECT_EQ(ValidateSecurityRecord(&r), c.want)
        << r.period << " mask " << std::hex << r.field_mask << " op " << r.op;
  }
}

TEST(RecordRulesTest, SilentCorrections) {
  SecurityRecord r = zarq_test::DailyRecord();
  r.first_time = r.last_time = r.start_time = r.end_time = 930000;
  r.base_date = 19900103;  // after the first date
  r.extra_date = 20090230;
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r.first_time + r.last_time + r.start_time + r.end_time, 0);
  EXPECT_EQ(r.base_date, 19900102);
  EXPECT_EQ(r.extra_date, 0);
  EXPECT_EQ(r.extra_value, 0u);

  r.base_date = 3;  // invalid
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r.base_date, 19900102);

  for (const SecurityRecord& valid : {zarq_test::DailyRecord(), zarq_test::IntradayComposite()}) {
    r = valid;
    ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
    EXPECT_EQ(r, valid);  // nothing to correct
  }
}

TEST(RecordRulesTest, FormatLevels) {
  SecurityRecord daily = zarq_test::DailyRecord();
  SecurityRecord late = daily, early = daily, intraday = zarq_test::IntradayComposite();
  late.last_date = 20000103;
  early.first_date = 18991231;
  SecurityRecord deleted = intraday;
  deleted.deleted = 1;
  const struct {
    const SecurityRecord& record;
    uint32_t n;
    uint16_t want;
  } cases[] = {
      {daily, 255, 400}, {daily, 256, 600},    {daily, 2001, 800}, {late, 10, 651},
      {early, 10, 651},  {intraday, 300, 651}, {deleted, 10, 400}, {deleted, 256, 600},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatLevelFor(c.record, c.n), c.want) << c.record.first_date << " n " << c.n;
  }
}

}  // namespace
}  // namespace zarq
