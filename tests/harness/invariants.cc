// invariants.cc: checking a closed sample database folder.

#include "tests/harness/invariants.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>

#include "src/directory/user_file_format.h"
#include "src/format/field_mask.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/xmaster_file.h"
#include "tests/harness/folder_files.h"
#include "tests/harness/price_files.h"

namespace zarq_test {
namespace {

namespace fs = std::filesystem;
using zarq::SecurityRecord;

constexpr size_t kMasterEntries = 255;
constexpr int kShownPositions = 3;  // differing positions reported per file

std::optional<std::string> ReadAll(const std::string& folder, const std::string& name) {
  std::ifstream in(fs::path(folder) / name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const uint8_t* Raw(const std::string& bytes, size_t offset) {
  return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

// A text field as text (other bytes escaped); any other field as hex.
std::string Printable(const uint8_t* bytes, int length, bool text) {
  std::string out;
  for (int i = 0; i < length; ++i) {
    char hex[8];
    if (text && std::isprint(bytes[i])) {
      out += static_cast<char>(bytes[i]);
    } else {
      std::snprintf(hex, sizeof(hex), text ? "\\x%02X" : i > 0 ? " %02X" : "%02X", bytes[i]);
      out += hex;
    }
  }
  return text ? "\"" + out + "\"" : out;
}

template <typename T>
std::string Number(T value) {
  std::ostringstream text;
  text << +value;
  return text.str();
}

std::string Quoted(const char* text) { return "\"" + std::string(text) + "\""; }

// The fields of a decoded EMASTER or XMASTER entry that must survive, as
// name and text.
std::vector<std::pair<const char*, std::string>> FieldTexts(const SecurityRecord& r) {
  return {{"symbol", Quoted(r.symbol)},
          {"name", Quoted(r.name)},
          {"period", std::string(1, r.period)},
          {"interval", Number(r.interval)},
          {"file number", Number(r.file_number)},
          {"field mask", Number(r.field_mask)},
          {"base date", Number(r.base_date)},
          {"first date", Number(r.first_date)},
          {"last date", Number(r.last_date)},
          {"first time", Number(r.first_time)},
          {"last time", Number(r.last_time)},
          {"start time", Number(r.start_time)},
          {"end time", Number(r.end_time)},
          {"composite", Number(r.composite)},
          {"symbol2", Quoted(r.symbol2)},
          {"operator", Number(r.op)},
          {"primary factor", Number(r.primary_factor)},
          {"secondary factor", Number(r.secondary_factor)},
          {"primary file number", Number(r.primary_file_number)},
          {"secondary file number", Number(r.secondary_file_number)},
          {"extra code", Number(r.extra_code)},
          {"extra date", Number(r.extra_date)},
          {"extra value", Number(r.extra_value)},
          {"flagged", Number(r.flagged)},
          {"deleted", Number(r.deleted)}};
}

// The fields of a MASTER entry, compared as bytes with the entry the
// sample record encodes to.
struct ByteField {
  const char* name;
  int offset, length;
  bool text;
};
const ByteField kMasterFields[] = {
    {"file number", zarq::master_offset::kFileNumber, 1, false},
    {"tag", zarq::master_offset::kTag, 2, false},
    {"record length", zarq::master_offset::kRecordLength, 1, false},
    {"field count", zarq::master_offset::kFieldCount, 1, false},
    {"name", zarq::master_offset::kName, zarq::kMasterNameLength, true},
    {"first date", zarq::master_offset::kFirstDate, 4, false},
    {"last date", zarq::master_offset::kLastDate, 4, false},
    {"period", zarq::master_offset::kPeriod, 1, true},
    {"interval", zarq::master_offset::kInterval, 2, false},
    {"symbol", zarq::master_offset::kSymbol, zarq::kMasterSymbolLength, true},
    {"flag", zarq::master_offset::kFlag, 1, true},
};

std::string MasterIdentity(const uint8_t* entry) {
  std::string symbol(reinterpret_cast<const char*>(entry + zarq::master_offset::kSymbol),
                     zarq::kMasterSymbolLength);
  symbol.erase(symbol.find_last_not_of(' ') + 1);
  return symbol + " (file " + std::to_string(entry[zarq::master_offset::kFileNumber]) + ")";
}

// Collects the differences of one master file, position by position.
class FileReport {
 public:
  FileReport(const char* file, std::vector<std::string>* out) : file_(file), out_(out) {}
  ~FileReport() {
    if (positions_ > kShownPositions) {
      out_->push_back("(a) " + file_ + ": " + std::to_string(positions_) + " positions differ");
    }
  }
  void Add(const std::string& what) { out_->push_back("(a) " + file_ + ": " + what); }
  // Reports the differences of one position (list position, 1-based).
  void Position(size_t position, const std::vector<std::string>& differences) {
    if (differences.empty() || ++positions_ > kShownPositions) return;
    std::string text = "position " + std::to_string(position) + ":";
    for (const std::string& d : differences) text += " " + d + ";";
    Add(text);
  }

 private:
  std::string file_;
  std::vector<std::string>* out_;
  int positions_ = 0;
};

std::string Identity(const SecurityRecord& r) {
  return std::string(r.symbol) + (r.composite ? std::string(1, r.op) + r.symbol2 : "") + " (file " +
         std::to_string(r.file_number) + ")";
}

}  // namespace

// Another security in a position is reported as such, not field by field.
std::vector<std::string> RecordDifferences(const SecurityRecord& actual,
                                           const SecurityRecord& expected) {
  if (Identity(actual) != Identity(expected)) {
    return {"holds " + Identity(actual) + ", not " + Identity(expected)};
  }
  std::vector<std::string> differences;
  auto is = FieldTexts(actual), was = FieldTexts(expected);
  for (size_t i = 0; i < is.size(); ++i) {
    if (is[i] != was[i]) {
      differences.push_back(std::string(is[i].first) + " " + is[i].second + " not " +
                            was[i].second);
    }
  }
  return differences;
}

namespace {

// Whether bytes holds a header and count entries of record_size; reports
// the size otherwise. Returns the whole entries there are, up to count.
size_t EntriesPresent(const std::string& bytes, size_t record_size, size_t count,
                      FileReport* report) {
  if (bytes.size() != (count + 1) * record_size) {
    report->Add("size " + std::to_string(bytes.size()) + ", not " +
                std::to_string((count + 1) * record_size));
  }
  return bytes.size() < record_size ? 0 : std::min(count, bytes.size() / record_size - 1);
}

void CheckMaster(const std::string& bytes, const SampleDatabase& sample,
                 std::vector<std::string>* out) {
  FileReport report("MASTER", out);
  size_t present = EntriesPresent(bytes, zarq::kMasterRecordSize, kMasterEntries, &report);
  if (bytes.size() < static_cast<size_t>(zarq::kMasterRecordSize)) return;
  zarq::MasterHeader header;
  zarq::DecodeMasterHeader(Raw(bytes, 0), &header);
  if (header.entry_count != static_cast<int16_t>(kMasterEntries)) {
    report.Add("header counts " + std::to_string(header.entry_count) + " entries");
  }
  for (size_t i = 1; i <= present; ++i) {
    uint8_t expected[zarq::kMasterRecordSize];
    zarq::EncodeMasterEntry(sample.records[i - 1], expected);
    const uint8_t* actual = Raw(bytes, i * zarq::kMasterRecordSize);
    std::string is = MasterIdentity(actual), was = MasterIdentity(expected);
    if (is != was) {
      report.Position(i, {"holds " + is + ", not " + was});
      continue;
    }
    std::vector<std::string> differences;
    for (const ByteField& f : kMasterFields) {
      if (std::memcmp(actual + f.offset, expected + f.offset, static_cast<size_t>(f.length))) {
        differences.push_back(std::string(f.name) + " " +
                              Printable(actual + f.offset, f.length, f.text) + " not " +
                              Printable(expected + f.offset, f.length, f.text));
      }
    }
    report.Position(i, differences);
  }
}

void CheckEmaster(const std::string& bytes, const SampleDatabase& sample,
                  std::vector<std::string>* out) {
  FileReport report("EMASTER", out);
  size_t present = EntriesPresent(bytes, zarq::kEmasterRecordSize, kMasterEntries, &report);
  if (bytes.size() < static_cast<size_t>(zarq::kEmasterRecordSize)) return;
  zarq::MasterHeader header;
  zarq::DecodeEmasterHeader(Raw(bytes, 0), &header);
  if (header.entry_count != static_cast<int16_t>(kMasterEntries)) {
    report.Add("header counts " + std::to_string(header.entry_count) + " entries");
  }
  for (size_t i = 1; i <= present; ++i) {
    SecurityRecord actual;
    uint16_t level = 0;
    if (zarq::DecodeEmasterEntry(Raw(bytes, i * zarq::kEmasterRecordSize), kSampleSecurities,
                                 &actual, &level) != 0) {
      report.Position(i, {"undecodable"});
    } else {
      report.Position(i, RecordDifferences(actual, sample.records[i - 1]));
    }
  }
}

void CheckXmaster(const std::string& bytes, const SampleDatabase& sample,
                  std::vector<std::string>* out) {
  FileReport report("XMASTER", out);
  const size_t count = sample.records.size() - kMasterEntries;
  size_t present = EntriesPresent(bytes, zarq::kXmasterRecordSize, count, &report);
  if (bytes.size() < static_cast<size_t>(zarq::kXmasterRecordSize)) return;
  zarq::XmasterHeader header;
  if (zarq::DecodeXmasterHeader(Raw(bytes, 0), &header) != 0) report.Add("bad header");
  if (header.entry_count != count || header.entry_count2 != count) {
    report.Add("header counts " + std::to_string(header.entry_count) + "/" +
               std::to_string(header.entry_count2) + " entries");
  }
  // A number handed out before must never be handed out again.
  if (header.next_file_number <= sample.records.size()) {
    report.Add("next file number " + std::to_string(header.next_file_number));
  }
  for (size_t i = 1; i <= present; ++i) {
    SecurityRecord actual;
    uint16_t level = 0;
    zarq::DecodeXmasterEntry(Raw(bytes, i * zarq::kXmasterRecordSize),
                             static_cast<uint32_t>(kMasterEntries + i), &actual, &level);
    report.Position(kMasterEntries + i,
                    RecordDifferences(actual, sample.records[kMasterEntries + i - 1]));
  }
}

bool IsDataFileName(const std::string& name) {
  return name.size() > 1 && (name[0] == 'F' || name[0] == 'f') &&
         std::isdigit(static_cast<unsigned char>(name[1]));
}

// What the headers of the user file and the security list say.
std::string WorkingFileHeader(const std::string& folder, const std::string& name) {
  std::optional<std::string> bytes = ReadAll(folder, name);
  if (name == "~ZARQ.USR" && bytes && bytes->size() >= zarq::kUserRecordSize) {
    zarq::UserFileHeader users = zarq::DecodeUserFileHeader(Raw(*bytes, 0));
    return "  (users " + std::to_string(users.users) + ", records " +
           std::to_string(users.records) + ")";
  }
  zarq::SecurityListHeader list;
  if (name == "~ZARQ.SEC" && bytes && bytes->size() >= zarq::kSecurityRecordSize &&
      zarq::DecodeSecurityListHeader(Raw(*bytes, 0), &list) == 0) {
    return "  (slots " + std::to_string(list.slot_count) + ", live " +
           std::to_string(list.live_count) + ")";
  }
  return "";
}

}  // namespace

std::vector<std::string> CheckInvariants(const std::string& folder, const SampleDatabase& sample) {
  std::vector<std::string> out;
  using Check = void (*)(const std::string&, const SampleDatabase&, std::vector<std::string>*);
  const std::pair<const char*, Check> masters[] = {
      {"MASTER", CheckMaster}, {"EMASTER", CheckEmaster}, {"XMASTER", CheckXmaster}};
  for (const auto& [name, check] : masters) {
    std::optional<std::string> bytes = ReadAll(folder, name);
    if (!bytes) {
      out.push_back(std::string("(a) ") + name + " missing");
      continue;
    }
    check(*bytes, sample, &out);
    fs::perms perms = fs::status(fs::path(folder) / name).permissions();
    if ((perms & fs::perms::owner_write) == fs::perms::none) {
      out.push_back(std::string("(a) ") + name + " left read-only");
    }
  }

  for (const auto& [name, bytes] : sample.data_files) {
    std::optional<std::string> now = ReadAll(folder, name);
    if (!now) {
      out.push_back("(b) " + name + " missing");
    } else if (now->compare(0, bytes.size(), bytes) != 0) {
      auto differ = std::mismatch(bytes.begin(), bytes.end(), now->begin(), now->end()).first;
      out.push_back("(b) " + name + " changed: " + std::to_string(now->size()) + " bytes, were " +
                    std::to_string(bytes.size()) + ", first at byte " +
                    std::to_string(differ - bytes.begin()));
    }
  }
  std::vector<std::string> expected = sample.FileNames();
  const std::set<std::string> known(expected.begin(), expected.end());
  for (const std::string& name : FolderNames(folder)) {
    if (known.count(name)) continue;
    if (IsDataFileName(name)) {
      out.push_back("(b) unexpected data file " + name);
    } else if (StartsWithNoCase(name, "~ZARQ")) {
      out.push_back("(c) working file " + name + " left");
    } else if (EndsWithNoCase(name, ".TMP")) {
      out.push_back("(c) temporary file " + name + " left");
    } else {
      out.push_back("(c) new file " + name);
    }
  }
  return out;
}

SampleDatabase SnapshotOf(const std::string& folder) {
  SampleDatabase snapshot;
  std::string emaster = ReadAll(folder, "EMASTER").value_or("");
  std::string xmaster = ReadAll(folder, "XMASTER").value_or("");
  zarq::MasterHeader header;
  zarq::XmasterHeader xheader;
  if (emaster.size() >= zarq::kEmasterRecordSize)
    zarq::DecodeEmasterHeader(Raw(emaster, 0), &header);
  if (xmaster.size() < zarq::kXmasterRecordSize ||
      zarq::DecodeXmasterHeader(Raw(xmaster, 0), &xheader) != 0) {
    xheader.entry_count = 0;
  }
  auto entries = [](const std::string& bytes, size_t record_size, size_t count) {
    return std::min(count, bytes.size() < record_size ? 0 : bytes.size() / record_size - 1);
  };
  const size_t in_master = entries(emaster, zarq::kEmasterRecordSize,
                                   static_cast<size_t>(std::max<int16_t>(header.entry_count, 0)));
  const size_t in_xmaster = entries(xmaster, zarq::kXmasterRecordSize, xheader.entry_count);
  const uint32_t length = static_cast<uint32_t>(in_master + in_xmaster);
  uint16_t level = 0;
  for (size_t i = 1; i <= in_master; ++i) {
    snapshot.records.emplace_back();
    zarq::DecodeEmasterEntry(Raw(emaster, i * zarq::kEmasterRecordSize), length,
                             &snapshot.records.back(), &level);
  }
  for (size_t i = 1; i <= in_xmaster; ++i) {
    snapshot.records.emplace_back();
    zarq::DecodeXmasterEntry(Raw(xmaster, i * zarq::kXmasterRecordSize),
                             static_cast<uint32_t>(in_master + i), &snapshot.records.back(),
                             &level);
  }
  for (const SecurityRecord& r : snapshot.records) {
    std::string name = DataFileName(r.file_number);
    std::optional<std::string> bytes = ReadAll(folder, name);
    std::vector<ZarqPriceRecord> prices;
    if (r.composite || !bytes || !ReadPriceFile(r, *bytes, &prices).empty()) continue;
    snapshot.data_files[name] =
        bytes->substr(0, (prices.size() + 1) * zarq::StoredRecordSize(r.field_mask));
  }
  return snapshot;
}

std::string DescribeDatabaseFolder(const std::string& folder, const SampleDatabase& sample) {
  std::string text;
  int unchanged = 0;
  for (const std::string& name : FolderNames(folder)) {
    auto data = sample.data_files.find(name);
    if (data != sample.data_files.end() && ReadAll(folder, name) == data->second) {
      ++unchanged;
      continue;
    }
    std::error_code error;
    fs::path path = fs::path(folder) / name;
    text += "  " + name + "  " +
            (fs::is_directory(path, error) ? std::string("<folder>")
                                           : std::to_string(fs::file_size(path, error))) +
            WorkingFileHeader(folder, name) + "\n";
  }
  return text + "  (and " + std::to_string(unchanged) + " unchanged data files)\n";
}

}  // namespace zarq_test
