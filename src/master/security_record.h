// security_record.h: the security list file ("~ZARQ.SEC"): its header
// record and the 178-byte security record, one per slot.
//
// A security record has a data part (bytes 0..153) and a link part (bytes
// 154..177: six slot numbers that chain the list and the composites),
// which the record store updates on its own. Integers are little-endian and
// unaligned; strings are NUL-terminated in fields one byte longer than
// their longest text, zero after the NUL. Dates and times are ZARQ values.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_MASTER_SECURITY_RECORD_H_
#define ZARQ_SRC_MASTER_SECURITY_RECORD_H_

#include <cstdint>

namespace zarq {

inline constexpr int kSecurityRecordSize = 178;
inline constexpr int kSecurityDataPartSize = 154;
inline constexpr uint32_t kSecurityListMagic = 0x4D15FE5Du;
// The version the working files are written with; a newer one is refused.
inline constexpr uint16_t kWorkingFileVersion = 800;
inline constexpr int kNoticeSize = 44;
inline constexpr uint32_t kMaxSlots = 6000;

// The notice written into the headers of the working and master files.
extern const char kNoticeText[kNoticeSize];

// Offsets of the security record.
namespace security_offset {
inline constexpr int kInUse = 0;
inline constexpr int kSlot = 1;
inline constexpr int kSymbol = 5;
inline constexpr int kName = 20;
inline constexpr int kPeriod = 66;
inline constexpr int kInterval = 67;
inline constexpr int kFileNumber = 69;
inline constexpr int kExtraCode = 73;
inline constexpr int kFieldMask = 74;
inline constexpr int kSymbol2 = 76;
inline constexpr int kOperator = 91;
inline constexpr int kPrimaryFactor = 92;
inline constexpr int kSecondaryFactor = 96;
inline constexpr int kPrimaryFileNumber = 100;
inline constexpr int kSecondaryFileNumber = 104;
inline constexpr int kBaseDate = 108;
inline constexpr int kFirstDate = 112;
inline constexpr int kFirstTime = 116;
inline constexpr int kLastDate = 120;
inline constexpr int kLastTime = 124;
inline constexpr int kStartTime = 128;
inline constexpr int kEndTime = 132;
inline constexpr int kExtraDate = 136;
inline constexpr int kExtraValue = 140;
inline constexpr int kComposite = 144;
inline constexpr int kFlagged = 145;
inline constexpr int kDeleted = 146;
inline constexpr int kLongDataFlag = 147;
inline constexpr int kImportBytes = 148;
inline constexpr int kPrimarySlot = 154;
inline constexpr int kSecondarySlot = 158;
inline constexpr int kPrevSlot = 162;
inline constexpr int kNextSlot = 166;
inline constexpr int kNextPrimaryUser = 170;
inline constexpr int kNextSecondaryUser = 174;
}  // namespace security_offset

// Offsets of the security list file header (record 0).
namespace security_list_offset {
inline constexpr int kMagic = 0;
inline constexpr int kFileVersion = 4;
inline constexpr int kStamp = 6;
inline constexpr int kSlotCount = 10;
inline constexpr int kLiveCount = 14;
inline constexpr int kFirstSlot = 18;
inline constexpr int kLastSlot = 22;
inline constexpr int kNextFileNumber = 26;
inline constexpr int kNotice = 30;
inline constexpr int kFormatLevel = 75;
}  // namespace security_list_offset

inline constexpr int kImportBytesSize = 6;

// One security, as the security list file holds it.
struct SecurityRecord {
  uint8_t in_use = 0;
  uint32_t slot = 0;
  char symbol[15] = {};
  char name[46] = {};
  char period = 0;  // 'D', 'W', 'M' or 'I'
  uint16_t interval = 0;
  uint32_t file_number = 0;
  uint8_t extra_code = 0;
  uint16_t field_mask = 0;
  char symbol2[15] = {};
  char op = 0;  // '+', '-', '*' or '/' for a composite
  float primary_factor = 0;
  float secondary_factor = 0;
  uint32_t primary_file_number = 0;
  uint32_t secondary_file_number = 0;
  int32_t base_date = 0;
  int32_t first_date = 0;
  int32_t first_time = 0;
  int32_t last_date = 0;
  int32_t last_time = 0;
  int32_t start_time = 0;
  int32_t end_time = 0;
  int32_t extra_date = 0;
  uint32_t extra_value = 0;
  uint8_t composite = 0;
  uint8_t flagged = 0;
  uint8_t deleted = 0;
  uint8_t long_data_flag = 0;
  uint8_t import_bytes[kImportBytesSize] = {};
  // The link part.
  uint32_t primary_slot = 0;
  uint32_t secondary_slot = 0;
  uint32_t prev_slot = 0;
  uint32_t next_slot = 0;
  uint32_t next_primary_user = 0;
  uint32_t next_secondary_user = 0;

  bool operator==(const SecurityRecord&) const = default;
};

struct SecurityListHeader {
  uint32_t magic = kSecurityListMagic;
  uint16_t file_version = kWorkingFileVersion;
  uint32_t stamp = 0;
  uint32_t slot_count = 0;
  uint32_t live_count = 0;
  uint32_t first_slot = 0;
  uint32_t last_slot = 0;
  uint32_t next_file_number = 1;
  uint16_t format_level = 400;

  bool operator==(const SecurityListHeader&) const = default;
};

// Writes the kSecurityRecordSize bytes of record to out.
void EncodeSecurityRecord(const SecurityRecord& record, uint8_t* out);
// Writes only the link part (bytes 154..177) of record into a record's bytes.
void EncodeSecurityLinks(const SecurityRecord& record, uint8_t* out);
// Reads kSecurityRecordSize bytes. Text fields are cut to their longest
// text when a file lacks the NUL, so the record's strings always end.
void DecodeSecurityRecord(const uint8_t* in, SecurityRecord* record);

// Writes the kSecurityRecordSize bytes of the header, with the notice.
void EncodeSecurityListHeader(const SecurityListHeader& header, uint8_t* out);
// Reads the header. 0; ZARQ_E_BAD_LIST_FILE for a wrong magic;
// ZARQ_E_BAD_VERSION for a version above 800. The header is filled in every
// case; comparing the stamp with the directory's is the caller's
// (ZARQ_E_STAMP_MISMATCH).
int32_t DecodeSecurityListHeader(const uint8_t* in, SecurityListHeader* header);

// Reads a text field of size bytes into out (size bytes): at most
// size - 1 characters up to the field's NUL, then zeros.
void GetTextField(const uint8_t* in, int size, char* out);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_RECORD_H_
