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
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/little_endian.h"
#include "src/master/master_repair.h"

namespace zarq {
namespace {

constexpr uint32_t kNormalAttributes = 0x80;

int32_t OpenMaster(DirectoryEntry* entry, uint16_t kind, uint32_t flags, FileHandle* file) {
  std::string name;
  int32_t status = BuildDirFileName(entry->number, &name, kind);
  return status != ZARQ_OK ? status : FileOpen(entry->number, name.c_str(), file, flags);
}

void SetNormalAttributes(DirectoryEntry* entry, uint16_t kind) {
  std::string name;
  uint32_t attributes = kNormalAttributes;
  if (BuildDirFileName(entry->number, &name, kind) == ZARQ_OK) {
    FileAttributes(name, &attributes, kSetAttributes);
  }
}

// Loads one master file of record size: the header into header (cleared
// first) and count entries into image. A count beyond 255 is read as 255
// and the file cut to it; tolerated statuses count as success.
int32_t LoadOne(DirectoryEntry* entry, FileHandle file, int record_size, uint8_t* header,
                uint8_t* image, int* count, std::initializer_list<int32_t> tolerated) {
  std::memset(header, 0, kEmasterRecordSize);
  std::memset(image, 0, static_cast<size_t>(kMaxMasterEntries) * record_size);
  *count = 0;
  uint32_t size = 0;
  int32_t status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  if (size < static_cast<uint32_t>(record_size)) return ZARQ_OK;
  status = FileSeek(file, static_cast<uint16_t>(record_size), 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, record_size, header);
  if (status != ZARQ_OK) return status;
  MasterHeader decoded;
  DecodeMasterHeader(header, &decoded);
  LimitMasterHeader(&decoded);
  PutI16(header + master_offset::kEntryCount, decoded.entry_count);
  PutU16(header + master_offset::kHighestFileNumber, decoded.highest_file_number);
  *count = decoded.entry_count;
  // A read-only directory cannot be cut; its extra records are just not read.
  if (!entry->read_only()) {
    status = FileSetSize(file, static_cast<uint32_t>(*count + 1) * record_size);
    if (status != ZARQ_OK) return status;
  }
  status = FileRead(file, static_cast<uint32_t>(*count) * record_size, image);
  for (int32_t ok : tolerated) {
    if (status == ok) return ZARQ_OK;
  }
  return *count == 0 && status == ZARQ_E_END_OF_FILE ? ZARQ_OK : status;
}

int32_t WriteMaster(FileHandle file, int record_size, const uint8_t* header, const uint8_t* entries,
                    int count) {
  int32_t status = FileSeek(file, 0, 0, kSeekStart);
  if (status == ZARQ_OK) status = FileWrite(file, record_size, header);
  if (status == ZARQ_OK && entries != nullptr && count > 0) {
    status = FileWrite(file, static_cast<uint32_t>(count) * record_size, entries);
  }
  if (status == ZARQ_OK) status = FileSetSize(file, static_cast<uint32_t>(count + 1) * record_size);
  return status;
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
  if (!read_only) SetNormalAttributes(entry, kKindMaster);
  FileHandle master = kNoFileHandle;
  int32_t status = OpenMaster(entry, kKindMaster, 0, &master);
  if (status != ZARQ_OK) return status;

  std::string emaster_name;
  status = BuildDirFileName(entry->number, &emaster_name, kKindEmaster);
  if (status != ZARQ_OK) return status;
  FileHandle emaster = kNoFileHandle;
  if (!IsExistingFile(emaster_name)) {
    if (read_only) {
      entry->flags &= ~kDirEmasterInUse;
    } else {
      status = OpenMaster(entry, kKindEmaster, kOpenCreate, &emaster);
      if (status != ZARQ_OK) return status;
    }
  } else if (!read_only) {
    SetNormalAttributes(entry, kKindEmaster);
  }
  if (entry->Has(kDirEmasterInUse)) {
    status = OpenMaster(entry, kKindEmaster, 0, &emaster);
    if (status != ZARQ_OK) return status;
    int emaster_count = 0;
    status = LoadOne(entry, emaster, kEmasterRecordSize, images->header, images->emaster.data(),
                     &emaster_count, {ZARQ_E_END_OF_FILE, ZARQ_E_BEYOND_END, ZARQ_E_SHORT_READ});
    if (status != ZARQ_OK) return status;
  }
  return LoadOne(entry, master, kMasterRecordSize, images->header, images->master.data(),
                 &images->count, {ZARQ_E_SHORT_READ});
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

  int32_t status = ZARQ_OK;
  if (entry->Has(kDirEmasterInUse)) {
    uint8_t header[kEmasterRecordSize] = {};
    std::memcpy(header, images->header, kMasterRecordSize);
    PutText(header + emaster_offset::kNotice, kNoticeSize, kNoticeText);
    FileHandle emaster = kNoFileHandle;
    status = OpenMaster(entry, kKindEmaster, 0, &emaster);
    if (status == ZARQ_OK) {
      status = WriteMaster(emaster, kEmasterRecordSize, header,
                           repaired ? images->emaster.data() : nullptr, cleaned);
    }
  }
  FileHandle master = kNoFileHandle;
  if (status == ZARQ_OK) status = OpenMaster(entry, kKindMaster, 0, &master);
  if (status == ZARQ_OK)
    status = WriteMaster(master, kMasterRecordSize, images->header, nullptr, cleaned);
  return status;
}

}  // namespace zarq
