// xmaster_file.h: the XMASTER file: a header and one 150-byte entry for
// each security after the first 255 of the list.
//
// An entry is the data part of the security record without its slot, so
// every field from the symbol on sits 4 bytes lower; dates stay ZARQ dates
// and the four times are record times stored as integers.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_MASTER_XMASTER_FILE_H_
#define ZARQ_SRC_MASTER_XMASTER_FILE_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

inline constexpr int kXmasterRecordSize = 150;
inline constexpr uint32_t kXmasterMagic = 0x4D58FE5Du;

// Levels of the XMASTER header: every entry fits the narrow layout, some
// does not, more than 2000 securities in the list.
inline constexpr uint16_t kXmasterLevelNarrow = 200;
inline constexpr uint16_t kXmasterLevelWide = 651;
inline constexpr uint16_t kXmasterLevelLarge = 800;

namespace xmaster_offset {
// Header (record 0).
inline constexpr int kMagic = 0;
inline constexpr int kFormatLevel = 4;
inline constexpr int kStamp = 6;
inline constexpr int kEntryCount = 10;
inline constexpr int kEntryCount2 = 14;
inline constexpr int kNextFileNumber = 18;
inline constexpr int kNotice = 22;
// Entries: a security record's data part moved down by the 4 slot bytes.
inline constexpr int kInUse = 0;
inline constexpr int kSymbol = 1;
inline constexpr int kName = 16;
inline constexpr int kPeriod = 62;
inline constexpr int kInterval = 63;
inline constexpr int kFileNumber = 65;
inline constexpr int kExtraCode = 69;
inline constexpr int kFieldMask = 70;
inline constexpr int kSymbol2 = 72;
inline constexpr int kOperator = 87;
inline constexpr int kPrimaryFactor = 88;
inline constexpr int kSecondaryFactor = 92;
inline constexpr int kPrimaryFileNumber = 96;
inline constexpr int kSecondaryFileNumber = 100;
inline constexpr int kBaseDate = 104;
inline constexpr int kFirstDate = 108;
inline constexpr int kFirstTime = 112;
inline constexpr int kLastDate = 116;
inline constexpr int kLastTime = 120;
inline constexpr int kStartTime = 124;
inline constexpr int kEndTime = 128;
inline constexpr int kExtraDate = 132;
inline constexpr int kExtraValue = 136;
inline constexpr int kComposite = 140;
inline constexpr int kFlagged = 141;
inline constexpr int kDeleted = 142;
inline constexpr int kLongDataFlag = 143;
inline constexpr int kImportBytes = 144;
}  // namespace xmaster_offset

struct XmasterHeader {
  uint32_t magic = kXmasterMagic;
  uint16_t format_level = kXmasterLevelNarrow;
  uint32_t stamp = 0;
  uint32_t entry_count = 0;
  uint32_t entry_count2 = 0;  // a reader takes 0 here as an empty XMASTER
  uint32_t next_file_number = 0;

  bool operator==(const XmasterHeader&) const = default;
};

// What the XMASTER header level depends on, gathered over the entries.
struct XmasterLevelFacts {
  bool wide_entry = false;  // some entry does not fit the narrow layout

  void Note(const SecurityRecord& record);
};

// The header level for a list of list_length securities.
uint16_t XmasterHeaderLevel(const XmasterLevelFacts& facts, uint32_t list_length);

// Writes the kXmasterRecordSize bytes of the header, with the notice.
void EncodeXmasterHeader(const XmasterHeader& header, uint8_t* out);
// 0; ZARQ_E_BAD_XMASTER for a wrong magic; ZARQ_E_BAD_VERSION for a level
// above 800. The header is filled in every case.
int32_t DecodeXmasterHeader(const uint8_t* in, XmasterHeader* header);

// Writes the kXmasterRecordSize bytes of the XMASTER entry of record.
void EncodeXmasterEntry(const SecurityRecord& record, uint8_t* out);

// Builds the data part of a security record from an entry (slot and links
// 0). The entry's Deleted flag is kept, and a missing file number or a
// composite of one file twice marks it Deleted too. position is the
// entry's place in the whole list (the count of securities up to and
// including it): *level (below 800) rises to FormatLevelFor(record,
// position).
void DecodeXmasterEntry(const uint8_t* in, uint32_t position, SecurityRecord* record,
                        uint16_t* level);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_XMASTER_FILE_H_
