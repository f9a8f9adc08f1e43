// emaster_file.h: the EMASTER file: a header and one 192-byte entry for
// each security that MASTER describes, entry i beside MASTER entry i. It
// carries what MASTER cannot: the full name, times, composite parts, the
// field mask and the extra values.
//
// Dates and times are IEEE singles of record dates and record times. An
// entry starts with a two-character layout marker: "41" for a security
// that the narrow layout describes fully (not intraday, no long data,
// dates in 1900..1999), "66" for every other; a marker above "66" names a
// layout this library does not know.
//
// Thread-safety: pure, except that decoding may draw an "INVALID<n>"
// symbol (text_rules.h).

#ifndef ZARQ_SRC_MASTER_EMASTER_FILE_H_
#define ZARQ_SRC_MASTER_EMASTER_FILE_H_

#include <cstdint>

#include "src/master/master_file.h"
#include "src/master/security_record.h"

namespace zarq {

inline constexpr int kEmasterRecordSize = 192;

namespace emaster_offset {
// Header (record 0): MASTER's 53 header bytes, then the notice.
inline constexpr int kNotice = 53;
// Entries.
inline constexpr int kMarker = 0;
inline constexpr int kFileNumber = 2;
inline constexpr int kFieldCount = 6;
inline constexpr int kFieldMask = 7;
inline constexpr int kFlag = 9;
inline constexpr int kSymbol = 11;
inline constexpr int kName = 32;
inline constexpr int kPeriod = 60;
inline constexpr int kInterval = 62;
inline constexpr int kFirstDate = 64;
inline constexpr int kFirstTime = 68;
inline constexpr int kLastDate = 72;
inline constexpr int kLastTime = 76;
inline constexpr int kStartTime = 80;
inline constexpr int kEndTime = 84;
inline constexpr int kComposite = 88;
inline constexpr int kSymbol2 = 90;
inline constexpr int kOperator = 111;
inline constexpr int kPrimaryFactor = 114;
inline constexpr int kSecondaryFactor = 118;
inline constexpr int kPrimaryFileNumber = 122;
inline constexpr int kSecondaryFileNumber = 124;
inline constexpr int kBaseDate = 126;
inline constexpr int kExtraCode = 130;
inline constexpr int kExtraDate = 131;
inline constexpr int kExtraValue = 135;
inline constexpr int kFullName = 139;
inline constexpr int kLongDataFlag = 185;
inline constexpr int kImportBytes = 186;
}  // namespace emaster_offset

inline constexpr int kEmasterNameLength = 16;
inline constexpr int kEmasterFullNameLength = 45;

// Layout markers, as the u16 their two characters make.
inline constexpr uint16_t kMarkerNarrow = 0x3134;  // "41"
inline constexpr uint16_t kMarkerWide = 0x3636;    // "66"

// Writes the kEmasterRecordSize bytes of the header (with the notice).
void EncodeEmasterHeader(const MasterHeader& header, uint8_t* out);
// The header fields shared with MASTER.
void DecodeEmasterHeader(const uint8_t* in, MasterHeader* header);

// Writes the kEmasterRecordSize bytes of the EMASTER entry of record.
void EncodeEmasterEntry(const SecurityRecord& record, uint8_t* out);

// Builds the data part of a security record from an entry of a list of
// list_length securities (slot and links stay 0): texts cleaned, period
// upper-cased, times only for intraday, a missing file number or a
// composite of one file twice marked Deleted, the field mask rebuilt from
// the field count and dates and values checked. Raises *level (below 800)
// to FormatLevelFor(record, list_length). 0, or ZARQ_E_BAD_VERSION for a
// marker above "66" (record cleared, level unchanged).
int32_t DecodeEmasterEntry(const uint8_t* in, uint32_t list_length, SecurityRecord* record,
                           uint16_t* level);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_EMASTER_FILE_H_
