// Security record validation (order, corrections) and format levels.

#include "src/master/record_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "include/zarq.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

using Change = std::function<void(SecurityRecord&)>;

TEST(RecordRulesTest, FirstFailureWins) {
  const struct {
    const char* what;
    Change change;
    int32_t want;
  } cases[] = {
      {"valid", [](SecurityRecord&) {}, ZARQ_OK},
      {"lower-case period", [](SecurityRecord& r) { r.period = 'd'; }, ZARQ_E_BAD_PERIOD},
      {"no period", [](SecurityRecord& r) { r.period = 0; }, ZARQ_E_BAD_PERIOD},
      {"period before all",
       [](SecurityRecord& r) {
         r.period = 'Q';
         r.interval = 5000;
         r.first_date = 0;
       },
       ZARQ_E_BAD_PERIOD},
      {"interval 1440", [](SecurityRecord& r) { r.interval = 1440; }, ZARQ_E_BAD_INTERVAL},
      {"interval before operator",
       [](SecurityRecord& r) {
         r.interval = 1440;
         r.composite = 1;
       },
       ZARQ_E_BAD_INTERVAL},
      {"composite without operator", [](SecurityRecord& r) { r.composite = 1; },
       ZARQ_E_BAD_OPERATOR},
      {"plain security ignores operator", [](SecurityRecord& r) { r.op = '%'; }, ZARQ_OK},
      {"operator before extra code",
       [](SecurityRecord& r) {
         r.composite = 1;
         r.op = '%';
         r.extra_code = 200;
       },
       ZARQ_E_BAD_OPERATOR},
      {"extra code 129", [](SecurityRecord& r) { r.extra_code = 129; }, ZARQ_E_BAD_EXTRA_CODE},
      {"extra code before mask",
       [](SecurityRecord& r) {
         r.extra_code = 129;
         r.field_mask = 0;
       },
       ZARQ_E_BAD_EXTRA_CODE},
      {"daily with 8 fields", [](SecurityRecord& r) { r.field_mask = 0xFF; },
       ZARQ_E_BAD_FIELD_MASK},
      {"daily with TIME", [](SecurityRecord& r) { r.field_mask = 0x87; }, ZARQ_E_BAD_FIELD_MASK},
      {"3 fields", [](SecurityRecord& r) { r.field_mask = 0x07; }, ZARQ_E_BAD_FIELD_MASK},
      {"not canonical", [](SecurityRecord& r) { r.field_mask = 0x2F; }, ZARQ_E_BAD_FIELD_MASK},
      {"daily 4 fields", [](SecurityRecord& r) { r.field_mask = 0x0F; }, ZARQ_OK},
      {"intraday 8 fields",
       [](SecurityRecord& r) {
         r.period = 'I';
         r.field_mask = 0xFF;
       },
       ZARQ_OK},
      {"intraday without TIME",
       [](SecurityRecord& r) {
         r.period = 'I';
         r.field_mask = 0x7F;
       },
       ZARQ_E_BAD_FIELD_MASK},
      {"mask before dates",
       [](SecurityRecord& r) {
         r.field_mask = 0xFF;
         r.first_date = 0;
       },
       ZARQ_E_BAD_FIELD_MASK},
      {"first date", [](SecurityRecord& r) { r.first_date = 20090230; }, ZARQ_E_BAD_DATE},
      {"last date", [](SecurityRecord& r) { r.last_date = 17991231; }, ZARQ_E_BAD_DATE},
      {"dates before times",
       [](SecurityRecord& r) {
         r.period = 'I';
         r.field_mask = 0xFF;
         r.last_date = 0;
         r.end_time = 2400000;
       },
       ZARQ_E_BAD_DATE},
      {"intraday bad time",
       [](SecurityRecord& r) {
         r.period = 'I';
         r.field_mask = 0xFF;
         r.start_time = 1260000;
       },
       ZARQ_E_BAD_TIME},
      {"daily times are cleared, not checked",
       [](SecurityRecord& r) {
         r.first_time = -5;
         r.end_time = 9999999;
       },
       ZARQ_OK},
      {"invalid base date is no error", [](SecurityRecord& r) { r.base_date = 3; }, ZARQ_OK},
  };
  for (const auto& c : cases) {
    SecurityRecord r = zarq_test::DailyRecord();
    c.change(r);
    EXPECT_EQ(ValidateSecurityRecord(&r), c.want) << c.what;
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

  r = zarq_test::DailyRecord();
  r.base_date = 20090230;  // invalid
  r.extra_date = 0;
  r.extra_value = 9;  // no value without a date
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r.base_date, 19900102);
  EXPECT_EQ(r.extra_value, 0u);

  r = zarq_test::DailyRecord();
  SecurityRecord before = r;
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r, before);  // a valid record is left as it is

  r = zarq_test::IntradayComposite();
  before = r;
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r, before);  // intraday times stay
}

TEST(RecordRulesTest, FormatLevels) {
  SecurityRecord daily = zarq_test::DailyRecord();
  SecurityRecord late = daily;
  late.last_date = 20000103;
  SecurityRecord early = daily;
  early.first_date = 18991231;
  SecurityRecord long_data = daily;
  long_data.long_data_flag = 1;
  SecurityRecord intraday = zarq_test::IntradayComposite();
  SecurityRecord deleted = intraday;
  deleted.deleted = 1;
  const struct {
    const SecurityRecord* record;
    uint32_t n;
    uint16_t want;
  } cases[] = {
      {&daily, 1, 400},     {&daily, 255, 400},    {&daily, 256, 600},     {&daily, 2000, 600},
      {&daily, 2001, 800},  {&late, 10, 651},      {&early, 10, 651},      {&long_data, 10, 651},
      {&intraday, 10, 651}, {&intraday, 300, 651}, {&intraday, 2001, 800}, {&deleted, 10, 400},
      {&deleted, 256, 600}, {&deleted, 2001, 800},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatLevelFor(*c.record, c.n), c.want) << c.record->symbol << " n " << c.n;
  }
  EXPECT_TRUE(FitsNarrowLayout(daily));
  EXPECT_FALSE(FitsNarrowLayout(late));
  EXPECT_FALSE(FitsNarrowLayout(long_data));
}

}  // namespace
}  // namespace zarq
