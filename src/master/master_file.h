// master_file.h: the MASTER file, the oldest of the three master files
// that other programs read: a header and one 53-byte entry for each of the
// first 255 securities of the list.
//
// An entry keeps the symbol (14) and the first 16 characters of the name
// as space-padded fields without NUL, the first and last date as MBF
// singles of record dates, and the period in lower case for a composite.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_MASTER_MASTER_FILE_H_
#define ZARQ_SRC_MASTER_MASTER_FILE_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

inline constexpr int kMasterRecordSize = 53;
inline constexpr uint16_t kMasterEntryTag = 0x0065;

namespace master_offset {
// Header (record 0).
inline constexpr int kEntryCount = 0;
inline constexpr int kHighestFileNumber = 2;
inline constexpr int kStamp = 49;
// Entries.
inline constexpr int kFileNumber = 0;
inline constexpr int kTag = 1;
inline constexpr int kRecordLength = 3;
inline constexpr int kFieldCount = 4;
inline constexpr int kName = 7;
inline constexpr int kFirstDate = 25;
inline constexpr int kLastDate = 29;
inline constexpr int kPeriod = 33;
inline constexpr int kInterval = 34;
inline constexpr int kSymbol = 36;
inline constexpr int kSpace = 50;
inline constexpr int kFlag = 51;
}  // namespace master_offset

inline constexpr int kMasterNameLength = 16;
inline constexpr int kMasterSymbolLength = 14;

// Header of MASTER, and of EMASTER, which shares its first 53 bytes.
struct MasterHeader {
  int16_t entry_count = 0;  // at most 255 in a file the library writes
  uint16_t highest_file_number = 0;
  uint32_t stamp = 0;

  bool operator==(const MasterHeader&) const = default;
};

// Writes the kMasterRecordSize bytes of the header.
void EncodeMasterHeader(const MasterHeader& header, uint8_t* out);
void DecodeMasterHeader(const uint8_t* in, MasterHeader* header);

// Bounds a header read from a file to what the loader uses: a count above
// 255 becomes 255 with highest file number 255, a negative count 0 with 0.
void LimitMasterHeader(MasterHeader* header);

// Writes the kMasterRecordSize bytes of the MASTER entry of record.
void EncodeMasterEntry(const SecurityRecord& record, uint8_t* out);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_FILE_H_
