// decoders_fuzz.cc: feeds arbitrary bytes to every decoder of the stored
// formats and to the record rules, in buffers of exactly the documented
// size so that the sanitizers see any read past a record. Besides not
// crashing, it checks properties that hold for any input: stored values
// survive a decode/encode round trip, the security record codec is stable,
// validation is idempotent, orders are antisymmetric, and a repaired
// EMASTER entry agrees with its MASTER entry.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "include/zarq.h"
#include "src/format/field_mask.h"
#include "src/format/mbf.h"
#include "src/format/price_codec.h"
#include "src/format/record_buffer.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/master_repair.h"
#include "src/master/record_rules.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "src/master/text_rules.h"
#include "src/master/xmaster_file.h"

namespace {

using namespace zarq;

#define CHECK(condition) \
  ((condition) ? (void)0 : (__builtin_printf("failed at line %d\n", __LINE__), std::abort()))

std::vector<uint8_t> Take(FuzzedDataProvider& in, size_t size) {
  std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(size);
  bytes.resize(size);
  return bytes;
}

bool Terminated(const char* text, size_t size) { return strnlen(text, size) < size; }

// A stored float goes back to its bytes; one of a tiny exponent reads as 0.
bool SameFloat(const uint8_t* stored, const uint8_t* again) {
  static const uint8_t kZero[4] = {};
  return std::memcmp(again, stored[3] >= 3 ? stored : kZero, 4) == 0;
}

bool Antisymmetric(int32_t ab, int32_t ba) {
  return (ab < 0) == (ba > 0) && (ab == 0) == (ba == 0);
}

void FuzzValues(FuzzedDataProvider& in) {
  std::vector<uint8_t> mbf = Take(in, kMbfSize);
  int32_t mode = in.ConsumeIntegral<int32_t>();
  uint8_t back[kMbfSize];
  IeeeToMbf(MbfToIeee(mbf.data(), kClampNone), back);
  CHECK(std::isfinite(MbfToIeee(mbf.data(), mode)) && SameFloat(mbf.data(), back));
  float clean = SanitizeFloat(std::bit_cast<float>(in.ConsumeIntegral<uint32_t>()), mode);
  CHECK(std::isfinite(clean) && std::fpclassify(clean) != FP_SUBNORMAL);
  if (mode == kClampSigned) CHECK(clean >= -2147483648.0f && clean <= 2147483648.0f);
  if (mode != kClampNone && mode != kClampSigned) CHECK(clean >= 0.0f && clean <= 4294967296.0f);

  uint16_t mask = in.ConsumeIntegral<uint16_t>();
  const size_t size = static_cast<size_t>(StoredRecordSize(mask));
  CHECK(size >= 12 && size <= static_cast<size_t>(kMaxStoredRecordSize));
  std::vector<uint8_t> stored = Take(in, size), again(size), other = Take(in, size);
  ZarqPriceRecord record;
  DecodePriceRecord(stored.data(), mask, &record);
  EncodePriceRecord(record, again.data());
  const bool timed = (CodecFields(mask) & kFieldTime) != 0;
  for (size_t f = timed ? 2 : 1; f < size / 4; ++f) CHECK(SameFloat(&stored[4 * f], &again[4 * f]));
  int32_t date = 0, time = 0;
  RecordToZarqDateTime(stored.data(), &date, &time, timed);
  CHECK(record.FieldMask == mask && date == record.Date && time == record.Time);
  (void)IsPlaceholderRecord(record);
  bool by_time = in.ConsumeBool();
  CHECK(Antisymmetric(CompareStoredRecords(stored.data(), other.data(), by_time),
                      CompareStoredRecords(other.data(), stored.data(), by_time)));
  // In place, a buffer of stored records becomes the decoded records.
  std::vector<ZarqPriceRecord> buffer(2);
  std::memcpy(buffer.data(), stored.data(), size);
  std::memcpy(reinterpret_cast<uint8_t*>(buffer.data()) + size, other.data(), size);
  DecodePriceRecordsInPlace(buffer.data(), 2, mask);
  CHECK(std::memcmp(&record, &buffer[0], sizeof(record)) == 0);
}

void FuzzSecurityFiles(FuzzedDataProvider& in) {
  std::vector<uint8_t> bytes = Take(in, kSecurityRecordSize);
  SecurityRecord record, back;
  DecodeSecurityRecord(bytes.data(), &record);
  CHECK(Terminated(record.symbol, sizeof(record.symbol)) &&
        Terminated(record.name, sizeof(record.name)));
  uint8_t first[kSecurityRecordSize], second[kSecurityRecordSize];
  EncodeSecurityRecord(record, first);
  DecodeSecurityRecord(first, &back);
  EncodeSecurityRecord(back, second);
  CHECK(std::memcmp(first, second, kSecurityRecordSize) == 0);
  if (ValidateSecurityRecord(&record) == ZARQ_OK) {
    back = record;
    CHECK(ValidateSecurityRecord(&record) == ZARQ_OK && record == back);
  }
  (void)FormatLevelFor(record, in.ConsumeIntegral<uint32_t>());
  SecurityListHeader header;
  if (DecodeSecurityListHeader(bytes.data(), &header) == ZARQ_OK) {
    EncodeSecurityListHeader(header, first);
  }
  IndexEntry a, b;
  IndexHeader index_header;
  (void)DecodeIndexHeader(Take(in, kIndexRecordSize).data(), &index_header);
  DecodeIndexEntry(Take(in, kIndexRecordSize).data(), &a);
  DecodeIndexEntry(Take(in, kIndexRecordSize).data(), &b);
  a.op = std::strchr("+-*/", a.op) ? a.op : 0;  // validated records hold no other operators
  b.op = std::strchr("+-*/", b.op) ? b.op : 0;
  CHECK(Terminated(a.symbol, sizeof(a.symbol)) &&
        Antisymmetric(CompareIndexEntries(a, b), CompareIndexEntries(b, a)));
}

void FuzzMasterFiles(FuzzedDataProvider& in) {
  std::vector<uint8_t> master = Take(in, kMasterRecordSize);
  std::vector<uint8_t> emaster = Take(in, kEmasterRecordSize);
  std::vector<uint8_t> xmaster = Take(in, kXmasterRecordSize);
  uint32_t length = in.ConsumeIntegral<uint32_t>();
  uint16_t level = in.ConsumeIntegral<uint16_t>(), before = level;
  MasterHeader master_header;
  DecodeMasterHeader(master.data(), &master_header);
  LimitMasterHeader(&master_header);
  CHECK(master_header.entry_count >= 0 && master_header.entry_count <= 255);
  DecodeEmasterHeader(emaster.data(), &master_header);
  XmasterHeader xmaster_header;
  (void)DecodeXmasterHeader(xmaster.data(), &xmaster_header);

  SecurityRecord record;
  int32_t status = DecodeEmasterEntry(emaster.data(), length, &record, &level);
  CHECK(status == ZARQ_OK || status == ZARQ_E_BAD_VERSION);
  if (status == ZARQ_OK) {
    CHECK(Terminated(record.name, sizeof(record.name)) && record.symbol[0] != '\0');
    CHECK(level >= before);
  }
  (void)ValidateSecurityRecord(&record);
  DecodeXmasterEntry(xmaster.data(), length, &record, &level);
  (void)ValidateSecurityRecord(&record);
  // The record through every master layout.
  EncodeMasterEntry(record, master.data());
  EncodeEmasterEntry(record, emaster.data());
  EncodeXmasterEntry(record, xmaster.data());
  CHECK(DecodeEmasterEntry(emaster.data(), 255, &record, &level) == ZARQ_OK);
  DecodeXmasterEntry(xmaster.data(), 300, &record, &level);

  master = Take(in, kMasterRecordSize);
  (void)IsEmptyMasterEntry(master.data());
  CleanMasterEntry(master.data());
  CopyMasterFields(master.data(), emaster.data(),
                   CompareMasterEmaster(master.data(), emaster.data()));
  CHECK(CompareMasterEmaster(master.data(), emaster.data()) == 0);
  EmasterFromMaster(master.data(), emaster.data());
  CHECK(CompareMasterEmaster(master.data(), emaster.data()) == 0);
  CHECK(DecodeEmasterEntry(emaster.data(), length, &record, &level) == ZARQ_OK);
}

size_t g_allocation_limit = 0;
void* FakeAllocate(size_t bytes) { return bytes <= g_allocation_limit ? std::malloc(1) : nullptr; }

void FuzzTextAndBuffers(FuzzedDataProvider& in) {
  int32_t n = in.ConsumeIntegralInRange<int32_t>(-2, 64);
  std::vector<uint8_t> raw = Take(in, in.ConsumeIntegralInRange<size_t>(0, 70));
  raw.push_back(0);  // a source is a C string
  const char* source = reinterpret_cast<const char*>(raw.data());
  std::vector<char> out(n >= 0 ? n + 1 : 0);
  CopyCleanText(n >= 0 ? out.data() : nullptr, source, n);
  CHECK(n < 0 || out[n] == '\0');
  char symbol[kSymbolFieldSize];
  CHECK(NormalizeSymbol(source, symbol) == ZARQ_OK && symbol[0] != '\0' && symbol[14] == '\0');
  PadText(reinterpret_cast<char*>(raw.data()), in.ConsumeIntegral<char>(),
          in.ConsumeIntegralInRange<int32_t>(-1, static_cast<int32_t>(raw.size())));
  CHECK(FieldMaskForCount(in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<char>()) <= 0xFF);

  g_allocation_limit = in.ConsumeIntegral<uint32_t>();
  uint32_t count = in.ConsumeIntegral<uint32_t>(), asked = count;
  uint16_t size = in.ConsumeIntegral<uint16_t>();
  uint32_t min = in.ConsumeIntegral<uint32_t>(), bytes = in.ConsumeIntegral<uint32_t>();
  HeapBuffer buffer = AllocRecordBuffer(&count, size, min, FakeAllocate);
  CHECK((buffer == nullptr) == (count == 0) && count <= asked &&
        static_cast<uint64_t>(count) * size <= kMaxBufferBytes);
  buffer = AllocByteBuffer(&bytes, min, FakeAllocate);
  CHECK((buffer == nullptr) == (bytes == 0) && bytes <= kMaxBufferBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  void (*const targets[])(FuzzedDataProvider&) = {FuzzValues, FuzzSecurityFiles, FuzzMasterFiles,
                                                  FuzzTextAndBuffers};
  targets[in.ConsumeIntegralInRange<size_t>(0, 3)](in);
  return 0;
}
