// master_load.cc: loading and repairing MASTER and EMASTER.
//
// Thread-safety: callers hold the library lock.

#include "src/master/master_load.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_replacement.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/little_endian.h"
#include "src/master/master_files.h"
#include "src/master/master_repair.h"

namespace zarq {
namespace {

constexpr uint32_t kNormalAttributes = 0x80;

void SetNormalAttributes(const std::string& name) {
  uint32_t attributes = kNormalAttributes;
  FileAttributes(name, &attributes, kSetAttributes);
}

// Loads one master file of record size: the header into header (cleared
// first) and count entries into image. A count beyond 255 is read as 255;
// entries the file is too short for read as zeros. Nothing is written.
int32_t LoadOne(uint8_t directory, const std::string& name, int record_size, uint8_t* header,
                uint8_t* header_as_read, uint8_t* image, int* count, uint64_t* size) {
  std::memset(header, 0, kEmasterRecordSize);
  std::memset(image, 0, static_cast<size_t>(kMaxMasterEntries) * record_size);
  *count = 0;
  *size = 0;
  FileHandle file = kNoFileHandle;
  int32_t status = FileOpen(directory, name.c_str(), &file, 0);
  uint32_t bytes = 0;
  if (status == ZARQ_OK) status = FileGetSize(file, &bytes);
  if (status != ZARQ_OK) return status;
  *size = bytes;
  if (bytes < static_cast<uint32_t>(record_size)) return ZARQ_OK;
  status = FileSeek(file, static_cast<uint16_t>(record_size), 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, record_size, header);
  if (status != ZARQ_OK) return status;
  std::memcpy(header_as_read, header, record_size);
  MasterHeader decoded;
  DecodeMasterHeader(header, &decoded);
  LimitMasterHeader(&decoded);
  PutI16(header + master_offset::kEntryCount, decoded.entry_count);
  PutU16(header + master_offset::kHighestFileNumber, decoded.highest_file_number);
  *count = decoded.entry_count;
  uint32_t wanted = static_cast<uint32_t>(*count) * record_size;
  uint32_t present = std::min(wanted, bytes - record_size);
  return present == 0 ? ZARQ_OK : FileRead(file, present, image);
}

std::string MasterBytes(const uint8_t* header, int header_size, const uint8_t* entries,
                        int record_size, int count) {
  std::string bytes(reinterpret_cast<const char*>(header), header_size);
  bytes.append(reinterpret_cast<const char*>(entries), static_cast<size_t>(count) * record_size);
  return bytes;
}


int DifferingItems(uint8_t mismatch) {
  return std::popcount(
      static_cast<unsigned>(mismatch & (kMismatchSymbol | kMismatchName | kMismatchFileNumber)));
}

// The repair by swapping: an EMASTER entry that matches MASTER entry i in
// period, interval and field count (and in symbol, unless that is all that
// differs) is moved to position i, preferring those that differ in fewer
// of symbol, name and file number. Returns whether anything was repaired.
bool RepairBySwapping(MasterImages* images, std::vector<uint8_t>* mismatch) {
  bool repaired = false;
  for (int pass = 0; pass <= 2; ++pass) {
    for (int i = 1; i <= images->count; ++i) {
      uint8_t m = (*mismatch)[i];
      if (m == 0) continue;
      if (m <= kMismatchFirstDate) {
        CopyMasterFields(images->Master(i), images->Emaster(i), m);
        (*mismatch)[i] = 0;
        repaired = true;
        continue;
      }
      for (int j = 1; j <= images->count; ++j) {
        if ((*mismatch)[j] == 0) continue;
        uint8_t value = CompareMasterEmaster(images->Master(i), images->Emaster(j));
        if (value > kMismatchSymbol || DifferingItems(value) != pass) continue;
        if (j != i) {
          std::swap_ranges(images->Emaster(i), images->Emaster(i) + kEmasterRecordSize,
                           images->Emaster(j));
          // The entry now at j is another one: judge it afresh.
          (*mismatch)[j] = CompareMasterEmaster(images->Master(j), images->Emaster(j));
        }
        CopyMasterFields(images->Master(i), images->Emaster(i), value);
        (*mismatch)[i] = 0;
        repaired = true;
        break;
      }
    }
    if (std::all_of(mismatch->begin(), mismatch->end(), [](uint8_t m) { return m == 0; })) break;
  }
  return repaired;
}

}  // namespace

int32_t LoadMasterFiles(DirectoryEntry* entry, MasterImages* images) {
  bool read_only = entry->read_only();
  MasterFileName master, emaster;
  int32_t status = LocateMasterFile(entry->number, kKindMaster, &master);
  if (status == ZARQ_OK) status = LocateMasterFile(entry->number, kKindEmaster, &emaster);
  if (status != ZARQ_OK) return status;
  if (!master.present) return ZARQ_E_FILE_NOT_FOUND;
  if (!read_only) SetNormalAttributes(master.name);

  // A writable directory without EMASTER gets one built from MASTER when
  // the images are written back.
  images->emaster_present = emaster.present;
  if (!emaster.present && read_only) entry->flags &= ~kDirEmasterInUse;
  if (emaster.present && !read_only) SetNormalAttributes(emaster.name);
  if (emaster.present && entry->Has(kDirEmasterInUse)) {
    int emaster_count = 0;
    status = LoadOne(entry->number, emaster.name, kEmasterRecordSize, images->header,
                     images->emaster_header_as_read, images->emaster.data(), &emaster_count,
                     &images->emaster_size);
    if (status != ZARQ_OK) return status;
  }
  status = LoadOne(entry->number, master.name, kMasterRecordSize, images->header,
                   images->master_header_as_read, images->master.data(), &images->count,
                   &images->master_size);
  if (status != ZARQ_OK) return status;
  images->master_as_read = images->master;
  return ZARQ_OK;
}

int32_t SyncMasterImages(DirectoryEntry* entry, MasterImages* images) {
  int cleaned = 0;
  uint16_t highest = 0;
  while (cleaned < images->count && !IsEmptyMasterEntry(images->Master(cleaned + 1))) {
    uint8_t* master = images->Master(++cleaned);
    CleanMasterEntry(master);
    highest = std::max<uint16_t>(highest, master[master_offset::kFileNumber]);
  }
  images->count = cleaned;
  PutI16(images->header + master_offset::kEntryCount, static_cast<int16_t>(cleaned));
  PutU16(images->header + master_offset::kHighestFileNumber, highest);

  std::vector<uint8_t> mismatch(static_cast<size_t>(cleaned) + 1, 0);
  bool any = false;
  for (int i = 1; i <= cleaned; ++i) {
    mismatch[i] = CompareMasterEmaster(images->Master(i), images->Emaster(i));
    any |= mismatch[i] != 0;
  }
  bool repaired = any && RepairBySwapping(images, &mismatch);
  for (int i = 1; i <= cleaned; ++i) {
    if (mismatch[i] != 0) {
      EmasterFromMaster(images->Master(i), images->Emaster(i));
      repaired = true;
    }
  }
  if (entry->read_only()) return ZARQ_OK;

  // Each file is written only when it would change: EMASTER gets MASTER's
  // header with the notice (and its entries when repaired), MASTER its
  // header with the count of entries in use; both end after their last
  // entry.
  int32_t status = ZARQ_OK;
  if (entry->Has(kDirEmasterInUse)) {
    uint8_t header[kEmasterRecordSize] = {};
    std::memcpy(header, images->header, kMasterRecordSize);
    PutText(header + emaster_offset::kNotice, kNoticeSize, kNoticeText);
    bool same = images->emaster_present && !repaired &&
                images->emaster_size == static_cast<uint64_t>(cleaned + 1) * kEmasterRecordSize &&
                std::memcmp(header, images->emaster_header_as_read, kEmasterRecordSize) == 0;
    if (!same) {
      status = ReplaceMasterFile(entry->number, kKindEmaster,
                             MasterBytes(header, kEmasterRecordSize, images->emaster.data(),
                                         kEmasterRecordSize, cleaned));
    }
  }
  bool same = images->master_size == static_cast<uint64_t>(cleaned + 1) * kMasterRecordSize &&
              std::memcmp(images->header, images->master_header_as_read, kMasterRecordSize) == 0;
  if (status == ZARQ_OK && !same) {
    status = ReplaceMasterFile(entry->number, kKindMaster,
                           MasterBytes(images->header, kMasterRecordSize,
                                       images->master_as_read.data(), kMasterRecordSize, cleaned));
  }
  return status;
}

}  // namespace zarq
