// sample_database.cc: the harness's 300-security database.

#include "tests/harness/sample_database.h"

#include "src/frame/ascii_text.h"
#include "tests/harness/price_files.h"
#include "tests/support/master_builder.h"

namespace zarq_test {
namespace {

// Composites at these list positions (= file numbers), of two earlier
// daily securities. They sit in MASTER, at its last entry, in XMASTER with
// one component in each file, and in XMASTER with both there.
struct CompositeAt {
  uint32_t position, primary, secondary;
  char op;
};
constexpr CompositeAt kComposites[] = {{60, 12, 20, '/'},
                                       {150, 4, 147, '-'},
                                       {255, 100, 254, '*'},
                                       {270, 8, 260, '+'},
                                       {300, 256, 299, '/'}};

std::string Symbol(uint32_t position) { return "S" + std::to_string(position); }

// Plain securities vary in period, field mask, name length, flags and
// extra values so that every field of the three master files is exercised.
// The composites' components are among the daily ones.
zarq::SecurityRecord PlainSecurity(uint32_t i) {
  zarq::SecurityRecord r = DailySecurity(Symbol(i), i);
  if (i % 7 == 3) {
    r.period = 'W';
    r.field_mask = 0x3F;
  } else if (i % 11 == 5) {
    r.period = 'M';
    r.field_mask = 0x1F;
  } else if (i % 13 == 6) {
    r.period = 'I';
    r.interval = 15;
    r.field_mask = 0xBF;
    r.start_time = r.first_time = 930000;
    r.end_time = r.last_time = 1600000;
  }
  if (i % 5 == 0) {
    std::string name = "Name of " + Symbol(i) + " Holdings Corporation";
    zarq::CopyBounded(r.name, sizeof(r.name), name.c_str());
  }
  if (i % 17 == 0) r.flagged = 1;
  if (i % 9 == 2) {
    r.extra_code = 1;
    r.extra_date = 20010615;
    r.extra_value = 1000 + i;
  }
  r.first_date = r.base_date = 19990104 + static_cast<int32_t>(i % 28);
  return r;
}

}  // namespace

std::string DataFileName(uint32_t file_number) {
  return "F" + std::to_string(file_number) + (file_number < 256 ? ".DAT" : ".MWD");
}

std::vector<std::string> SampleDatabase::FileNames() const {
  std::vector<std::string> names = {"MASTER", "EMASTER", "XMASTER"};
  for (const auto& [name, bytes] : data_files) names.push_back(name);
  return names;
}

SampleDatabase MakeSampleDatabase() {
  SampleDatabase sample;
  for (uint32_t i = 1; i <= kSampleSecurities; ++i) sample.records.push_back(PlainSecurity(i));
  for (const CompositeAt& c : kComposites) {
    sample.records[c.position - 1] = CompositeSecurity(Symbol(c.primary), Symbol(c.secondary), c.op,
                                                       c.primary, c.secondary, c.position);
  }
  for (const zarq::SecurityRecord& r : sample.records) {
    if (r.composite) continue;
    sample.data_files[DataFileName(r.file_number)] =
        PriceFileBytes(r, 2 + static_cast<int>(r.file_number % 4));
  }
  return sample;
}

void WriteSampleDatabase(const SampleDatabase& sample, const TempFolder& folder) {
  WriteMasterFiles(folder, sample.records);
  for (const auto& [name, bytes] : sample.data_files) folder.WriteFile(name, bytes);
}

}  // namespace zarq_test
