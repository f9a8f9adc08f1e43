// security_index.h: the security index file ("~ZARQ.INX"): a header and
// 38-byte entries, one per live security, kept sorted by
// CompareIndexEntries so that a symbol is found by binary search.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_MASTER_SECURITY_INDEX_H_
#define ZARQ_SRC_MASTER_SECURITY_INDEX_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

inline constexpr int kIndexRecordSize = 38;
inline constexpr uint32_t kSecurityIndexMagic = 0x4D1DFE5Du;

namespace index_offset {
// Header (record 0).
inline constexpr int kMagic = 0;
inline constexpr int kFileVersion = 4;
inline constexpr int kStamp = 6;
inline constexpr int kEntryCount = 10;
// Entries.
inline constexpr int kSymbol = 0;
inline constexpr int kSymbol2 = 15;
inline constexpr int kOperator = 30;
inline constexpr int kPeriod = 31;
inline constexpr int kInterval = 32;
inline constexpr int kSlot = 34;
}  // namespace index_offset

struct IndexHeader {
  uint32_t magic = kSecurityIndexMagic;
  uint16_t file_version = kWorkingFileVersion;
  uint32_t stamp = 0;
  uint32_t entry_count = 0;

  bool operator==(const IndexHeader&) const = default;
};

// The identity of one security and its slot.
struct IndexEntry {
  char symbol[15] = {};
  char symbol2[15] = {};
  char op = 0;  // 0 for a plain security
  char period = 0;
  uint16_t interval = 0;
  uint32_t slot = 0;

  bool operator==(const IndexEntry&) const = default;
};

void EncodeIndexHeader(const IndexHeader& header, uint8_t* out);
// 0; ZARQ_E_BAD_INDEX_FILE for a wrong magic; ZARQ_E_BAD_VERSION above 800.
// The stamp is the caller's to compare (ZARQ_E_STAMP_MISMATCH).
int32_t DecodeIndexHeader(const uint8_t* in, IndexHeader* header);

void EncodeIndexEntry(const IndexEntry& entry, uint8_t* out);
// Text fields are cut to 14 characters when a file lacks the NUL.
void DecodeIndexEntry(const uint8_t* in, IndexEntry* entry);

// The entry of a security record: a plain security's entry has no second
// symbol and operator 0 whatever the record holds there.
IndexEntry IndexEntryFor(const SecurityRecord& record);

// The index order, a before b (< 0), same identity (0), or after (> 0):
// the first symbol character as a signed byte, then the symbol bytewise
// unsigned, the period, the interval; then a plain security before a
// composite, and two composites by second symbol and operator. Letter case
// counts. A total order for entries whose operator is 0 or one of "+-*/".
int32_t CompareIndexEntries(const IndexEntry& a, const IndexEntry& b);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_INDEX_H_
