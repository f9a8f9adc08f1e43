// working_files.cc: decoding the list file and the lock file with the
// library's codecs.

#include "tests/harness/working_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "src/directory/lock_file.h"

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
