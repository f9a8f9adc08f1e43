// master_repair.h: the byte operations that bring EMASTER back in line
// with MASTER when another program changed one and not the other.
//
// They work on a MASTER entry after CleanMasterEntry: symbol and name
// cleaned and NUL-filled, dates turned into IEEE singles in place, so that
// its fields compare byte for byte with EMASTER's.
//
// Thread-safety: pure, except that cleaning may draw an "INVALID<n>"
// symbol (text_rules.h).

#ifndef ZARQ_SRC_MASTER_MASTER_REPAIR_H_
#define ZARQ_SRC_MASTER_MASTER_REPAIR_H_

#include <cstdint>

namespace zarq {

// Differences between a MASTER and an EMASTER entry.
inline constexpr uint8_t kMismatchLastDate = 1;
inline constexpr uint8_t kMismatchFirstDate = 2;
inline constexpr uint8_t kMismatchFileNumber = 4;
inline constexpr uint8_t kMismatchName = 8;
inline constexpr uint8_t kMismatchSymbol = 16;
inline constexpr uint8_t kMismatchFieldCount = 32;
inline constexpr uint8_t kMismatchInterval = 64;
inline constexpr uint8_t kMismatchPeriod = 128;

// True when the MASTER entry is past the end of the used entries (its file
// number, record length and first name byte are all zero).
bool IsEmptyMasterEntry(const uint8_t* master);

// Cleans a MASTER entry (kMasterRecordSize bytes) in place: the symbol
// through NormalizeSymbol, the name through CopyCleanText (both then
// NUL-filled instead of space-padded), and the two MBF dates converted to
// IEEE singles with the signed clamp.
void CleanMasterEntry(uint8_t* master);

// The mismatch bits between a cleaned MASTER entry and an EMASTER entry:
// symbol (14 bytes), period, interval, field count, name (16 bytes), file
// number (MASTER byte against EMASTER u16), first and last date (as 32-bit
// values).
uint8_t CompareMasterEmaster(const uint8_t* master, const uint8_t* emaster);

// Copies into the EMASTER entry the fields of the cleaned MASTER entry that
// mismatch names, and always the flag character.
void CopyMasterFields(const uint8_t* master, uint8_t* emaster, uint8_t mismatch);

// Builds a new EMASTER entry from a cleaned MASTER entry: composite when
// the period is a lower-case letter, the base date the first date, and the
// layout marker by the period and the dates.
void EmasterFromMaster(const uint8_t* master, uint8_t* emaster);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_REPAIR_H_
