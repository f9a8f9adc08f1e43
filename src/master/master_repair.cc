// master_repair.cc: MASTER against EMASTER, byte by byte.
//
// Thread-safety: see master_repair.h.

#include "src/master/master_repair.h"

#include <cstring>

#include "src/format/mbf.h"
#include "src/format/stored_values.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/record_rules.h"
#include "src/master/text_rules.h"

namespace zarq {
namespace {

namespace m = master_offset;
namespace e = emaster_offset;

char* TextAt(uint8_t* p) { return reinterpret_cast<char*>(p); }

bool SameBytes(const uint8_t* a, const uint8_t* b, size_t size) {
  return std::memcmp(a, b, size) == 0;
}

}  // namespace

bool IsEmptyMasterEntry(const uint8_t* master) {
  return master[m::kFileNumber] == 0 && master[m::kRecordLength] == 0 && master[m::kName] == 0;
}

void CleanMasterEntry(uint8_t* master) {
  // The padded fields have no NUL: copy each out with room for one.
  char symbol[kMasterSymbolLength + 1] = {};
  std::memcpy(symbol, master + m::kSymbol, kMasterSymbolLength);
  char clean_symbol[kSymbolFieldSize];
  NormalizeSymbol(symbol, clean_symbol);
  std::memcpy(master + m::kSymbol, clean_symbol, kMasterSymbolLength);

  char name[kMasterNameLength + 1] = {};
  std::memcpy(name, master + m::kName, kMasterNameLength);
  char clean_name[kMasterNameLength + 1];
  CopyCleanText(clean_name, name, kMasterNameLength);
  std::memcpy(master + m::kName, clean_name, kMasterNameLength);

  PutF32(master + m::kFirstDate, MbfToIeee(master + m::kFirstDate, kClampSigned));
  PutF32(master + m::kLastDate, MbfToIeee(master + m::kLastDate, kClampSigned));
}

uint8_t CompareMasterEmaster(const uint8_t* master, const uint8_t* emaster) {
  uint8_t mismatch = 0;
  if (!SameBytes(master + m::kSymbol, emaster + e::kSymbol, kMasterSymbolLength)) {
    mismatch |= kMismatchSymbol;
  }
  if (master[m::kPeriod] != emaster[e::kPeriod]) mismatch |= kMismatchPeriod;
  if (GetU16(master + m::kInterval) != GetU16(emaster + e::kInterval)) {
    mismatch |= kMismatchInterval;
  }
  if (master[m::kFieldCount] != emaster[e::kFieldCount]) mismatch |= kMismatchFieldCount;
  if (!SameBytes(master + m::kName, emaster + e::kName, kMasterNameLength)) {
    mismatch |= kMismatchName;
  }
  if (master[m::kFileNumber] != GetU16(emaster + e::kFileNumber)) mismatch |= kMismatchFileNumber;
  if (GetU32(master + m::kFirstDate) != GetU32(emaster + e::kFirstDate)) {
    mismatch |= kMismatchFirstDate;
  }
  if (GetU32(master + m::kLastDate) != GetU32(emaster + e::kLastDate)) {
    mismatch |= kMismatchLastDate;
  }
  return mismatch;
}

void CopyMasterFields(const uint8_t* master, uint8_t* emaster, uint8_t mismatch) {
  // The cleaned MASTER texts need not end within their fields.
  char text[kMasterNameLength + 1] = {};
  if (mismatch & kMismatchSymbol) {
    std::memcpy(text, master + m::kSymbol, kMasterSymbolLength);
    CopyCleanText(TextAt(emaster + e::kSymbol), text, kSymbolLength);
  }
  if (mismatch & kMismatchName) {
    std::memcpy(text, master + m::kName, kMasterNameLength);
    CopyCleanText(TextAt(emaster + e::kName), text, kEmasterNameLength);
  }
  if (mismatch & kMismatchPeriod) emaster[e::kPeriod] = master[m::kPeriod];
  if (mismatch & kMismatchFieldCount) emaster[e::kFieldCount] = master[m::kFieldCount];
  if (mismatch & kMismatchInterval) {
    std::memcpy(emaster + e::kInterval, master + m::kInterval, 2);
  }
  if (mismatch & kMismatchFirstDate) {
    std::memcpy(emaster + e::kFirstDate, master + m::kFirstDate, 4);
  }
  if (mismatch & kMismatchLastDate) std::memcpy(emaster + e::kLastDate, master + m::kLastDate, 4);
  if (mismatch & kMismatchFileNumber) PutU16(emaster + e::kFileNumber, master[m::kFileNumber]);
  emaster[e::kFlag] = master[m::kFlag];
}

void EmasterFromMaster(const uint8_t* master, uint8_t* emaster) {
  std::memset(emaster, 0, kEmasterRecordSize);
  PutU16(emaster + e::kFileNumber, master[m::kFileNumber]);
  emaster[e::kFieldCount] = master[m::kFieldCount];
  emaster[e::kFlag] = master[m::kFlag];
  std::memcpy(emaster + e::kInterval, master + m::kInterval, 2);

  char text[kMasterNameLength + 1] = {};
  std::memcpy(text, master + m::kSymbol, kMasterSymbolLength);
  char symbol[kSymbolFieldSize];
  NormalizeSymbol(text, symbol);
  std::memcpy(emaster + e::kSymbol, symbol, kSymbolFieldSize);
  std::memcpy(text, master + m::kName, kMasterNameLength);
  CopyCleanText(TextAt(emaster + e::kName), text, kEmasterNameLength);

  char period = static_cast<char>(master[m::kPeriod]);
  emaster[e::kPeriod] = static_cast<uint8_t>(period);
  if (period >= 'a' && period <= 'z') PutU16(emaster + e::kComposite, 1);

  std::memcpy(emaster + e::kFirstDate, master + m::kFirstDate, 4);
  std::memcpy(emaster + e::kLastDate, master + m::kLastDate, 4);
  int32_t first_date = ZarqDateFromRecordFloat(GetF32(master + m::kFirstDate));
  int32_t last_date = ZarqDateFromRecordFloat(GetF32(master + m::kLastDate));
  PutI32(emaster + e::kBaseDate, first_date);
  bool intraday = period == 'I' || period == 'i';
  PutU16(emaster + e::kMarker,
         !intraday && DatesFitNarrowLayout(first_date, last_date) ? kMarkerNarrow : kMarkerWide);
}

}  // namespace zarq
