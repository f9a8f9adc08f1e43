// security_index.cc: byte codec and order of the security index file.
//
// Thread-safety: pure.

#include "src/master/security_index.h"

#include <cstring>

#include "include/zarq.h"
#include "src/frame/little_endian.h"

namespace zarq {
namespace {

constexpr int kTextSize = sizeof(IndexEntry::symbol);

// Bytewise unsigned comparison of two strings of a 15-byte field:
// -1, 0 or +1.
int32_t CompareText(const char* a, const char* b) {
  for (int i = 0; i < kTextSize; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

}  // namespace

void EncodeIndexHeader(const IndexHeader& h, uint8_t* out) {
  namespace o = index_offset;
  std::memset(out, 0, kIndexRecordSize);
  PutU32(out + o::kMagic, h.magic);
  PutU16(out + o::kFileVersion, h.file_version);
  PutU32(out + o::kStamp, h.stamp);
  PutU32(out + o::kEntryCount, h.entry_count);
}

int32_t DecodeIndexHeader(const uint8_t* in, IndexHeader* h) {
  namespace o = index_offset;
  h->magic = GetU32(in + o::kMagic);
  h->file_version = GetU16(in + o::kFileVersion);
  h->stamp = GetU32(in + o::kStamp);
  h->entry_count = GetU32(in + o::kEntryCount);
  if (h->magic != kSecurityIndexMagic) return ZARQ_E_BAD_INDEX_FILE;
  if (h->file_version > kWorkingFileVersion) return ZARQ_E_BAD_VERSION;
  return ZARQ_OK;
}

void EncodeIndexEntry(const IndexEntry& e, uint8_t* out) {
  namespace o = index_offset;
  PutText(out + o::kSymbol, sizeof(e.symbol), e.symbol);
  PutText(out + o::kSymbol2, sizeof(e.symbol2), e.symbol2);
  out[o::kOperator] = static_cast<uint8_t>(e.op);
  out[o::kPeriod] = static_cast<uint8_t>(e.period);
  PutU16(out + o::kInterval, e.interval);
  PutU32(out + o::kSlot, e.slot);
}

void DecodeIndexEntry(const uint8_t* in, IndexEntry* e) {
  namespace o = index_offset;
  GetTextField(in + o::kSymbol, sizeof(e->symbol), e->symbol);
  GetTextField(in + o::kSymbol2, sizeof(e->symbol2), e->symbol2);
  e->op = static_cast<char>(in[o::kOperator]);
  e->period = static_cast<char>(in[o::kPeriod]);
  e->interval = GetU16(in + o::kInterval);
  e->slot = GetU32(in + o::kSlot);
}

IndexEntry IndexEntryFor(const SecurityRecord& r) {
  IndexEntry e;
  std::memcpy(e.symbol, r.symbol, sizeof(e.symbol));
  e.symbol[sizeof(e.symbol) - 1] = '\0';
  if (r.composite != 0) {
    std::memcpy(e.symbol2, r.symbol2, sizeof(e.symbol2));
    e.symbol2[sizeof(e.symbol2) - 1] = '\0';
    e.op = r.op;
  }
  e.period = r.period;
  e.interval = r.interval;
  e.slot = r.slot;
  return e;
}

int32_t CompareIndexEntries(const IndexEntry& a, const IndexEntry& b) {
  int32_t first = static_cast<signed char>(a.symbol[0]) - static_cast<signed char>(b.symbol[0]);
  if (first != 0) return first;
  if (int32_t order = CompareText(a.symbol, b.symbol); order != 0) return order;
  if (a.period != b.period) {
    return static_cast<signed char>(a.period) - static_cast<signed char>(b.period);
  }
  if (a.interval != b.interval) return static_cast<int32_t>(a.interval) - b.interval;
  // The second symbol decides only between two composites of the same
  // period and interval: deciding by it before the period would make the
  // order cyclic (D "B*" < W plain < W "A+" < D "B*"), and a sort or a
  // binary search over a cyclic order loses entries.
  if (a.op != 0 && b.op != 0) {
    if (int32_t order = CompareText(a.symbol2, b.symbol2); order != 0) return order;
  }
  return static_cast<signed char>(a.op) - static_cast<signed char>(b.op);
}

}  // namespace zarq
