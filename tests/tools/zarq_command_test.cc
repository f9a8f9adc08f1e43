// zarq_command_test.cc: the zarq command run as users run it, as a separate
// process on real folders: the bundled sample's round trip, every bad input
// (message, exit status, and database files unchanged), check and repair
// of a damaged folder; and the CSV reading beneath import.

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "gtest/gtest.h"
#include "include/zarq.h"
#include "tests/support/temp_folder.h"
#include "tools/zarq/csv.h"
#include "tools/zarq/database.h"
#include "tools/zarq/import_rows.h"

namespace {

namespace fs = std::filesystem;
const char kSample[] = ZARQ_TEST_DATA "/msft-2000-2001-daily.csv";

struct Result {
  int status = -1;
  std::string out, err;
};

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Run("create " + db_).status, 0); }

  // Runs zarq with arguments (shell words).
  Result Run(const std::string& arguments) {
    const std::string out = folder_.Join("out.txt"), err = folder_.Join("err.txt");
    const std::string line =
        std::string(ZARQ_COMMAND) + " " + arguments + " >" + out + " 2>" + err + " </dev/null";
    Result result;
    const int raw = std::system(line.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = folder_.ReadFile("out.txt");
    result.err = folder_.ReadFile("err.txt");
    return result;
  }

  std::string Csv(const std::string& name, const std::string& text) {
    folder_.WriteFile(name, text);
    return folder_.Join(name);
  }

  zarq_test::TempFolder folder_;
  const std::string db_ = folder_.Join("db");
};

// Every file of a folder and its bytes. With renewed_stamp, the header
// stamp of MASTER and EMASTER is left out: the first user's open of a
// database renews it.
std::map<std::string, std::string> Snapshot(const std::string& path, bool renewed_stamp = false) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(path)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  constexpr size_t kStamp = 49;
  for (const char* name : {"MASTER", "EMASTER"}) {
    if (renewed_stamp && files[name].size() >= kStamp + 4) files[name].replace(kStamp, 4, 4, '\0');
  }
  return files;
}

// The rows of a CSV text below its header, split at sep.
std::vector<std::vector<std::string>> Rows(const std::string& text, char sep) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream parts(line);
    for (std::string cell; std::getline(parts, cell, sep);) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(CommandTest, TheSampleRoundTripsAndAReImportAddsOnlyNewMoments) {
  Result imported = Run("import " + db_ + " " + kSample + " --symbol MSFT --name Microsoft");
  ASSERT_EQ(imported.status, 0) << imported.err;
  Result exported = Run("export " + db_ + " MSFT");
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out.substr(0, exported.out.find('\n')), "Date,Open,High,Low,Close,Volume");
  const auto source = Rows(ReadText(kSample), ';');
  const auto result = Rows(exported.out, ',');
  ASSERT_EQ(result.size(), source.size());
  for (size_t r = 0; r < source.size(); ++r) {
    ASSERT_EQ(result[r].size(), 6u);
    EXPECT_EQ(result[r][0], source[r][0]);
    for (size_t c = 1; c < 6; ++c) {
      const double want = std::stod(source[r][c]), got = std::stod(result[r][c]);
      EXPECT_NEAR(got, want, std::fabs(want) * 1e-7) << "row " << r << " column " << c;
    }
  }

  // Again: nothing new. Then a changed known moment (kept as it was) and two
  // new ones, before the first and inside the history.
  Result again = Run("import " + db_ + " " + kSample + " --symbol MSFT --json");
  EXPECT_NE(again.out.find("\"added\": 0, \"present\": " + std::to_string(source.size())),
            std::string::npos)
      << again.out;
  const std::string more = Csv("more.csv",
                               "date,close,VOLUME\n"
                               "2000-09-27,1.5,7\n"
                               "2000-12-25,2.5,8\n"
                               "2000-09-25,3.5,9\n");
  Result added = Run("import " + db_ + " " + more + " --symbol MSFT --json");
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.out.find("\"added\": 2, \"present\": 1"), std::string::npos) << added.out;
  const auto after = Rows(Run("export " + db_ + " MSFT").out, ',');
  ASSERT_EQ(after.size(), source.size() + 2);
  EXPECT_EQ(after[0][0], "2000-09-25");
  EXPECT_EQ(after[1][4], source[0][4]);  // the known moment kept its close
  EXPECT_NE(Run("show " + db_ + " MSFT --from 2000-12-25 --to 2000-12-25").out.find("2.5"),
            std::string::npos);

  // Weekly bars: the last one closes where the data end.
  const auto weeks = Rows(Run("convert " + db_ + " MSFT --to W --csv").out, ',');
  ASSERT_FALSE(weeks.empty());
  EXPECT_LT(weeks.size(), after.size() / 4);
  EXPECT_EQ(weeks.back()[4], after.back()[4]);
}

TEST_F(CommandTest, BadInputIsRefusedAndChangesNothing) {
  ASSERT_EQ(Run("import " + db_ + " " + kSample + " --symbol MSFT").status, 0);
  std::string big = "Date,Close\n";
  for (int i = 0; i < 65501; ++i) big += "2000-01-01,1\n";
  const std::string empty = folder_.MakeFolder("empty");
  // Only a missing symbol and rows that do not fit an existing security's
  // period are found after the database is open.
  struct Case {
    std::string arguments, message;
    bool opens = false;
  } cases[] = {
      {"list " + empty, "not a zarq database"},
      {"show " + db_ + " NOPE", "does not exist", true},
      {"import " + db_ + " " + Csv("a.csv", "Day;Open\n2000-01-03;1\n") + " --symbol X",
       "no Close column (the header has: Day, Open)"},
      {"import " + db_ + " " + Csv("b.csv", "Close,Volume\n1,2\n") + " --symbol X",
       "no Date column"},
      {"import " + db_ + " " + Csv("c.csv", "Date,Close\n2000-01-03,1\n2000-13-03,2\n") +
           " --symbol MSFT",
       "line 3: not a date: '2000-13-03'"},
      {"import " + db_ + " " + Csv("d.csv", "Date,Close\n2000-01-03,\"1,5\"\n") + " --symbol X",
       "line 2: Close is not a number: '1,5'"},
      {"import " + db_ + " " + Csv("e.csv", big) + " --symbol X", "65501 rows"},
      {"import " + db_ + " " +
           Csv("f.csv", "Date,Time,Close\n2000-01-03,09:30,1\n2000-01-04,,2\n") + " --symbol X",
       "mixed periods: line 2 has a time, line 3 has none"},
      {"import " + db_ + " " + Csv("g.csv", "Date,Close\n2000-01-03,1\n2000-01-05,2\n") +
           " --symbol X --period W",
       "mixed periods: lines 2 and 3 fall in one week"},
      {"import " + db_ + " " + Csv("h.csv", "Date,Time,Close\n2000-01-03,09:30,1\n") +
           " --symbol MSFT",
       "mixed periods: the rows are intraday", true},
  };
  for (const Case& c : cases) {
    const auto before = Snapshot(db_, c.opens), before_empty = Snapshot(empty);
    Result result = Run(c.arguments);
    EXPECT_EQ(result.status, 1) << c.arguments;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
    EXPECT_TRUE(Snapshot(db_, c.opens) == before) << c.arguments;
    EXPECT_TRUE(Snapshot(empty) == before_empty) << c.arguments;
  }

  // A security this process holds: the message names the holder.
  ASSERT_EQ(ZARQ1_Initialize("HoldingTest", "Holder", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  uint8_t dir = 0;
  ASSERT_EQ(ZARQ1_OpenDirectory(db_.c_str(), &dir, 0), ZARQ_OK);
  ZarqSecurityId id{};
  id.DirNumber = dir;
  std::strcpy(id.Symbol, "MSFT");
  id.Period = 'D';
  uint32_t handle = 0;
  ASSERT_EQ(ZARQ1_GetSecurityHandle(&id, &handle), ZARQ_OK);
  ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_FULL_LOCK), ZARQ_OK);
  const auto before = Snapshot(db_);
  Result held = Run("import " + db_ + " " + kSample + " --symbol MSFT");
  EXPECT_EQ(held.status, 1);
  EXPECT_NE(held.err.find("MSFT: The security is locked - held by Holder in HoldingTest"),
            std::string::npos)
      << held.err;
  EXPECT_TRUE(Snapshot(db_) == before);
  ZARQ1_UnlockSecurity(handle);
  ZARQ1_CloseDirectory(dir);
  ZARQ1_Shutdown();
}

TEST_F(CommandTest, CheckReportsDamageAndRepairFixesIt) {
  for (const char* symbol : {"COUNT", "ORDER", "TWICE"}) {
    ASSERT_EQ(Run("import " + db_ + " " + kSample + " --symbol " + symbol).status, 0);
  }
  // Six fields of 4 bytes; F1 to F3 in the order of the imports.
  constexpr size_t kRecord = 24;
  auto damage = [&](const char* file, auto change) {
    std::fstream data(db_ + "/" + file, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(data)), std::istreambuf_iterator<char>());
    change(bytes);
    data.seekp(0);
    data.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  damage("F1.DAT", [](std::string& b) { b[2] = static_cast<char>(255); });
  damage("F2.DAT", [&](std::string& b) {
    std::swap_ranges(b.begin() + 5 * kRecord, b.begin() + 6 * kRecord, b.begin() + 9 * kRecord);
  });
  damage("F3.DAT", [&](std::string& b) {
    std::copy(b.begin() + 10 * kRecord, b.begin() + 11 * kRecord, b.begin() + 11 * kRecord);
  });

  Result found = Run("check " + db_ + " --csv");
  EXPECT_EQ(found.status, 1);
  for (const char* line :
       {"COUNT,record count,", "ORDER,out of order,", "TWICE,duplicate moments,"}) {
    EXPECT_NE(found.out.find(line), std::string::npos) << line << "\n" << found.out;
  }
  Result repaired = Run("check " + db_ + " --repair");
  EXPECT_EQ(repaired.status, 0) << repaired.out << repaired.err;
  EXPECT_EQ(repaired.out.find("failed"), std::string::npos) << repaired.out;
  Result clean = Run("check " + db_);
  EXPECT_EQ(clean.status, 0);
  EXPECT_NE(clean.out.find("3 securities checked, no problems found"), std::string::npos)
      << clean.out;
  EXPECT_EQ(Rows(Run("export " + db_ + " ORDER").out, ',').size(),
            Rows(ReadText(kSample), ';').size());
}

TEST(ImportRowsTest, FindsColumnsByTheirUsualNames) {
  struct Case {
    std::vector<std::string> header;
    int date, time, open, close, volume, oi;
  } cases[] = {
      {{"Date", "Open", "High", "Low", "Close", "Volume"}, 0, -1, 1, 4, 5, -1},
      {{"<DATE>", "<TIME>", "<CLOSE>", "<VOL>", "Open Interest"}, 0, 1, -1, 2, 3, 4},
      {{"\"%Y-%m-%d\"", "open", "last", "OpenInt"}, 0, -1, 1, 2, -1, 3},
      {{"Symbol", "timestamp", "CLOSE", "oi"}, 1, -1, -1, 2, -1, 3},
  };
  for (const Case& c : cases) {
    const zarq_cli::ColumnMap map = zarq_cli::MapColumns(c.header, "x.csv");
    EXPECT_EQ(map.date, c.date);
    EXPECT_EQ(map.time, c.time);
    EXPECT_EQ(map.open, c.open);
    EXPECT_EQ(map.close, c.close);
    EXPECT_EQ(map.volume, c.volume);
    EXPECT_EQ(map.oi, c.oi);
  }
}

TEST(ImportRowsTest, ReadsQuotedFieldsAndSortsRowsFoldingDuplicates) {
  const std::string text =
      "\"Date\";\"Time\";\"Note; with separator\";Close\r\n"
      "2000-01-04;10:05;\"two\nlines\";2\r\n"
      "2000-01-04;10:00;x;1\r\n"
      "\r\n"
      "2000-01-04 ;10:05:00;\"say \"\"hi\"\"\";3\r\n";
  const std::vector<zarq_cli::CsvRow> rows = zarq_cli::ParseCsv(text, "q.csv");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].fields[2], "two\nlines");
  EXPECT_EQ(rows[3].line, 6u);
  EXPECT_EQ(rows[3].fields[2], "say \"hi\"");
  const zarq_cli::ImportedRows read = zarq_cli::ReadRows(rows, "q.csv", 0, 0);
  EXPECT_EQ(read.period, 'I');
  EXPECT_EQ(read.interval, 5);
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[0].Close, 1.0f);
  EXPECT_EQ(read.records[1].Close, 3.0f);  // the later row of 10:05 wins
  EXPECT_EQ(read.duplicates, 1u);
  EXPECT_NE(read.duplicate_example.find("lines 2 and 6"), std::string::npos);
  EXPECT_THROW(zarq_cli::ParseCsv("Date,Close\n\"2000-01-03,1\n", "u.csv"), zarq_cli::CommandError);
}

}  // namespace
