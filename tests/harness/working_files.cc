// working_files.cc: decoding the list file and the lock file with the
// library's codecs.

#include "tests/harness/working_files.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "src/directory/lock_file.h"
#include "src/master/security_index.h"
#include "tests/harness/folder_files.h"
#include "tests/harness/sample_database.h"

namespace zarq_test {
namespace {

bool ReadFile(const std::string& folder, const char* name, std::string* bytes) {
  std::ifstream in(std::filesystem::path(folder) / name, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

const uint8_t* At(const std::string& bytes, size_t offset) {
  return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

}  // namespace

bool ReadSecurityList(const std::string& folder, std::vector<zarq::SecurityRecord>* records,
                      std::string* problem) {
  records->clear();
  std::string bytes;
  const size_t size = zarq::kSecurityRecordSize;
  zarq::SecurityListHeader header;
  if (!ReadFile(folder, "~ZARQ.SEC", &bytes)) {
    *problem = "~ZARQ.SEC cannot be read";
  } else if (bytes.size() < size || zarq::DecodeSecurityListHeader(At(bytes, 0), &header) != 0) {
    *problem = "~ZARQ.SEC has no header";
  } else if (bytes.size() != (header.slot_count + 1) * size) {
    *problem = "~ZARQ.SEC is " + std::to_string(bytes.size()) + " bytes for " +
               std::to_string(header.slot_count) + " slots";
  } else {
    for (uint32_t slot = 1; slot <= header.slot_count; ++slot) {
      records->emplace_back();
      zarq::DecodeSecurityRecord(At(bytes, slot * size), &records->back());
      records->back().slot = slot;
    }
    return true;
  }
  return false;
}

std::vector<std::string> ListProblems(const std::string& folder) {
  std::vector<zarq::SecurityRecord> records;
  std::string problem, bytes;
  if (!ReadSecurityList(folder, &records, &problem)) return {problem};
  ReadFile(folder, "~ZARQ.SEC", &bytes);
  zarq::SecurityListHeader header;
  zarq::DecodeSecurityListHeader(At(bytes, 0), &header);
  std::vector<std::string> out;
  auto live = [&](uint32_t slot) {
    return slot >= 1 && slot <= records.size() && !records[slot - 1].deleted;
  };
  std::set<uint32_t> visited, numbers;
  uint32_t previous = 0;
  for (uint32_t slot = header.first_slot; slot != 0; slot = records[slot - 1].next_slot) {
    if (slot > records.size() || !visited.insert(slot).second) {
      out.push_back("~ZARQ.SEC: the chain leaves the list or loops at slot " +
                    std::to_string(slot));
      break;
    }
    const zarq::SecurityRecord& r = records[slot - 1];
    if (r.prev_slot != previous) {
      out.push_back("~ZARQ.SEC: slot " + std::to_string(slot) + " follows " +
                    std::to_string(previous) + " but links back to " + std::to_string(r.prev_slot));
    }
    previous = slot;
    if (!r.deleted && !numbers.insert(r.file_number).second) {
      out.push_back("~ZARQ.SEC: file number " + std::to_string(r.file_number) + " twice");
    }
  }
  size_t live_count = 0, chained = 0;
  for (const zarq::SecurityRecord& r : records) {
    live_count += !r.deleted;
    chained += !r.deleted && visited.count(r.slot);
  }
  if (previous != header.last_slot || chained != live_count || live_count != header.live_count) {
    out.push_back("~ZARQ.SEC: " + std::to_string(live_count) + " live records, " +
                  std::to_string(chained) + " in the chain ending at " + std::to_string(previous) +
                  "; the header says " + std::to_string(header.live_count) + " ending at " +
                  std::to_string(header.last_slot));
  }

  std::string index;
  zarq::IndexHeader index_header;
  if (!ReadFile(folder, "~ZARQ.INX", &index) || index.size() < zarq::kIndexRecordSize ||
      zarq::DecodeIndexHeader(At(index, 0), &index_header) != 0 ||
      index.size() < (index_header.entry_count + 1) * size_t{zarq::kIndexRecordSize}) {
    return {"~ZARQ.INX cannot be read"};
  }
  if (index_header.entry_count != live_count) {
    out.push_back("~ZARQ.INX: " + std::to_string(index_header.entry_count) + " entries");
  }
  zarq::IndexEntry before;
  for (uint32_t i = 1; i <= index_header.entry_count; ++i) {
    zarq::IndexEntry entry;
    zarq::DecodeIndexEntry(At(index, i * size_t{zarq::kIndexRecordSize}), &entry);
    if ((i > 1 && zarq::CompareIndexEntries(before, entry) >= 0) || !live(entry.slot) ||
        !(zarq::IndexEntryFor(records[entry.slot - 1]) == entry)) {
      out.push_back("~ZARQ.INX: entry " + std::to_string(i) + " (" + entry.symbol + ", slot " +
                    std::to_string(entry.slot) + ") out of order or naming no such security");
    }
    before = entry;
  }

  // A composite added here has a data file, one of the sample none.
  std::set<std::string> owned, needed;
  for (const zarq::SecurityRecord& r : records) {
    if (!r.deleted) (r.composite ? owned : needed).insert(DataFileName(r.file_number));
  }
  for (const std::string& name : FolderNames(folder)) {
    bool data = name.size() > 1 && (name[0] == 'F' || name[0] == 'f') &&
                std::isdigit(static_cast<unsigned char>(name[1]));
    if (data && !needed.erase(name) && !owned.count(name)) {
      out.push_back("orphan data file " + name);
    }
  }
  for (const std::string& name : needed) out.push_back("data file " + name + " missing");
  return out;
}

std::vector<std::string> HeldLockRecords(const std::string& folder) {
  std::string bytes;
  const size_t size = zarq::kLockRecordSize;
  if (!ReadFile(folder, "~ZARQ.LCK", &bytes) || bytes.size() < size) {
    return {"~ZARQ.LCK cannot be read"};
  }
  zarq::LockFileHeader header = zarq::DecodeLockFileHeader(At(bytes, 0));
  if (header.magic != zarq::kLockFileMagic || bytes.size() != (header.record_count + 1) * size) {
    return {"~ZARQ.LCK: bad header or " + std::to_string(bytes.size()) + " bytes for " +
            std::to_string(header.record_count) + " records"};
  }
  std::vector<std::string> held;
  for (uint32_t n = 1; n <= header.record_count; ++n) {
    zarq::LockRecord record = zarq::DecodeLockRecord(At(bytes, n * size));
    if (record.level == 0 && !record.AnyUser()) continue;
    held.push_back("~ZARQ.LCK record " + std::to_string(n) + ": level " +
                   std::to_string(record.level) + ", " + std::to_string(record.CountUsers()) +
                   " holders, the first user " + std::to_string(record.FirstUser()));
  }
  return held;
}

}  // namespace zarq_test
