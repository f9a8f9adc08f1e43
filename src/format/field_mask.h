// field_mask.h: the fields a stored price record holds, their stored
// order, and the size of a stored record.
//
// A field mask is a 16-bit set of which only the low 8 bits name fields.
// Every mask holds DATE, CLOSE and VOL; a security has TIME exactly when it
// is intraday (period 'I'). A stored record is 4 bytes per field, each an
// MBF single (mbf.h), in the order DATE, TIME, OPEN, HIGH, LOW, CLOSE, VOL,
// OI whatever the bit values.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FORMAT_FIELD_MASK_H_
#define ZARQ_SRC_FORMAT_FIELD_MASK_H_

#include <cstdint>

#include "src/frame/count_bits.h"

namespace zarq {

inline constexpr uint16_t kFieldDate = 0x01;
inline constexpr uint16_t kFieldClose = 0x02;
inline constexpr uint16_t kFieldVolume = 0x04;
inline constexpr uint16_t kFieldHigh = 0x08;
inline constexpr uint16_t kFieldLow = 0x10;
inline constexpr uint16_t kFieldOpen = 0x20;
inline constexpr uint16_t kFieldOpenInterest = 0x40;
inline constexpr uint16_t kFieldTime = 0x80;

// The fields every record holds, and the bits that name fields at all.
inline constexpr uint16_t kRequiredFields = kFieldDate | kFieldClose | kFieldVolume;
inline constexpr uint16_t kFieldBits = 0xFF;

// The stored order of the fields.
inline constexpr uint16_t kStoredFieldOrder[8] = {kFieldDate,   kFieldTime,        kFieldOpen,
                                                  kFieldHigh,   kFieldLow,         kFieldClose,
                                                  kFieldVolume, kFieldOpenInterest};

inline constexpr int32_t kMinFieldCount = 4;
inline constexpr int32_t kMaxFieldCount = 8;
// The largest stored record (eight fields).
inline constexpr int32_t kMaxStoredRecordSize = 32;

// The mask that count fields stand for with the period character (either
// case): the count lowest bits, with TIME in place of the highest of them
// for 'I' and without TIME otherwise. 0 for a count outside 4..8. Count 8
// gives 0x7F (seven fields) for a period other than 'I'.
uint16_t FieldMaskForCount(int32_t count, char period);

// The fields the record codec reads and writes for mask: the named bits
// and always the three required ones. Equal to mask for every valid mask.
inline uint16_t CodecFields(uint16_t mask) {
  return static_cast<uint16_t>((mask & kFieldBits) | kRequiredFields);
}

// Bytes of a stored record of mask (16 to 32): 4 per field of
// CodecFields(mask), so that a damaged mask can never make the codec reach
// past a record. Equal to 4 x CountBits(mask) for every valid mask.
inline int32_t StoredRecordSize(uint16_t mask) { return 4 * CountBits(CodecFields(mask)); }

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_FIELD_MASK_H_
