// decoders_fuzz.cc: feeds arbitrary bytes to every decoder of the stored
// formats and to the record rules, in buffers of exactly the documented
// size so that the sanitizers see any read past a record. Besides not
// crashing, it checks properties that must hold for any input: stored
// prices survive a decode/encode round trip, the security record codec is
// stable, validation is idempotent, the index order is antisymmetric and
// transitive, and a repaired EMASTER entry agrees with its MASTER entry.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "include/zarq.h"
#include "src/data/field_mask.h"
#include "src/data/mbf.h"
#include "src/data/price_codec.h"
#include "src/data/record_buffer.h"
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

#define CHECK(condition)                                                       \
  do {                                                                         \
    if (!(condition)) {                                                        \
      __builtin_printf("check failed at line %d: %s\n", __LINE__, #condition); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

std::vector<uint8_t> Take(FuzzedDataProvider& in, size_t size) {
  std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(size);
  bytes.resize(size);
  return bytes;
}

bool Terminated(const char* text, size_t size) { return strnlen(text, size) < size; }

void FuzzFloats(FuzzedDataProvider& in) {
  std::vector<uint8_t> mbf = Take(in, kMbfSize);
  int32_t mode = in.ConsumeIntegral<int32_t>();
  float value = MbfToIeee(mbf.data(), mode);
  CHECK(std::isfinite(value));
  uint8_t back[kMbfSize];
  IeeeToMbf(MbfToIeee(mbf.data(), kClampNone), back);
  if (mbf[3] >= 3) {
    CHECK(std::memcmp(back, mbf.data(), kMbfSize) == 0);
  } else {
    CHECK(back[0] == 0 && back[1] == 0 && back[2] == 0 && back[3] == 0);
  }
  float raw = in.ConsumeFloatingPoint<float>();
  uint32_t bits = in.ConsumeIntegral<uint32_t>();
  std::memcpy(&raw, &bits, sizeof(raw));
  float clean = SanitizeFloat(raw, mode);
  CHECK(std::isfinite(clean) && std::fpclassify(clean) != FP_SUBNORMAL);
  if (mode == kClampSigned) CHECK(clean >= -2147483648.0f && clean <= 2147483648.0f);
  if (mode != kClampNone && mode != kClampSigned) CHECK(clean >= 0.0f && clean <= 4294967296.0f);
}

void FuzzPriceRecords(FuzzedDataProvider& in) {
  uint16_t mask = in.ConsumeIntegral<uint16_t>();
  const size_t size = static_cast<size_t>(StoredRecordSize(mask));
  CHECK(size >= 12 && size <= static_cast<size_t>(kMaxStoredRecordSize));
  std::vector<uint8_t> stored = Take(in, size);
  ZarqPriceRecord record;
  DecodePriceRecord(stored.data(), mask, &record);
  CHECK(record.FieldMask == mask);

  // Prices go back to their stored bytes (those with a tiny exponent as 0).
  std::vector<uint8_t> again(size);
  EncodePriceRecord(record, again.data());
  int fields = static_cast<int>(size / 4);
  int first_price = (CodecFields(mask) & kFieldTime) ? 2 : 1;
  for (int f = first_price; f < fields; ++f) {
    const uint8_t* a = &stored[4 * f];
    const uint8_t* b = &again[4 * f];
    if (a[3] >= 3) {
      CHECK(std::memcmp(a, b, 4) == 0);
    } else {
      CHECK(b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0);
    }
  }

  int32_t date = 0, time = 0;
  RecordToZarqDateTime(stored.data(), &date, &time, (CodecFields(mask) & kFieldTime) != 0);
  CHECK(date == record.Date && time == record.Time);
  (void)IsPlaceholderRecord(record);

  std::vector<uint8_t> other = Take(in, size);
  bool timed = in.ConsumeBool();
  int32_t ab = CompareStoredRecords(stored.data(), other.data(), timed);
  int32_t ba = CompareStoredRecords(other.data(), stored.data(), timed);
  CHECK((ab < 0) == (ba > 0) && (ab == 0) == (ba == 0));

  // In-place decoding of a few records agrees with decoding each alone.
  size_t count = in.ConsumeIntegralInRange<size_t>(0, 8);
  std::vector<ZarqPriceRecord> buffer(count);
  std::vector<uint8_t> packed = Take(in, count * size);
  if (count > 0) std::memcpy(buffer.data(), packed.data(), packed.size());
  DecodePriceRecordsInPlace(buffer.data(), count, mask);
  for (size_t i = 0; i < count; ++i) {
    ZarqPriceRecord alone;
    DecodePriceRecord(&packed[i * size], mask, &alone);
    CHECK(std::memcmp(&alone, &buffer[i], sizeof(alone)) == 0);
  }
}

void FuzzSecurityRecord(FuzzedDataProvider& in) {
  std::vector<uint8_t> bytes = Take(in, kSecurityRecordSize);
  SecurityRecord record;
  DecodeSecurityRecord(bytes.data(), &record);
  CHECK(Terminated(record.symbol, sizeof(record.symbol)));
  CHECK(Terminated(record.name, sizeof(record.name)));
  uint8_t first[kSecurityRecordSize], second[kSecurityRecordSize];
  EncodeSecurityRecord(record, first);
  SecurityRecord back;
  DecodeSecurityRecord(first, &back);
  EncodeSecurityRecord(back, second);
  CHECK(std::memcmp(first, second, kSecurityRecordSize) == 0);

  if (ValidateSecurityRecord(&record) == ZARQ_OK) {
    EncodeSecurityRecord(record, first);
    CHECK(ValidateSecurityRecord(&record) == ZARQ_OK);
    EncodeSecurityRecord(record, second);
    CHECK(std::memcmp(first, second, kSecurityRecordSize) == 0);
  }
  (void)FormatLevelFor(record, in.ConsumeIntegral<uint32_t>());

  // The record through every master layout.
  uint8_t master[kMasterRecordSize], emaster[kEmasterRecordSize], xmaster[kXmasterRecordSize];
  EncodeMasterEntry(record, master);
  EncodeEmasterEntry(record, emaster);
  EncodeXmasterEntry(record, xmaster);
  uint16_t level = kFormatLevelBase;
  CHECK(DecodeEmasterEntry(emaster, 255, &back, &level) == ZARQ_OK);
  DecodeXmasterEntry(xmaster, 300, &back, &level);

  SecurityListHeader header;
  (void)DecodeSecurityListHeader(bytes.data(), &header);
  EncodeSecurityListHeader(header, first);
}

void FuzzIndex(FuzzedDataProvider& in) {
  IndexEntry e[3];
  for (IndexEntry& entry : e) {
    std::vector<uint8_t> bytes = Take(in, kIndexRecordSize);
    DecodeIndexEntry(bytes.data(), &entry);
    CHECK(Terminated(entry.symbol, sizeof(entry.symbol)));
    // Validated records hold no other operators.
    if (!std::strchr("+-*/", entry.op)) entry.op = 0;
  }
  for (int i = 0; i < 3; ++i) {
    CHECK(CompareIndexEntries(e[i], e[i]) == 0);
    for (int j = 0; j < 3; ++j) {
      int32_t ij = CompareIndexEntries(e[i], e[j]);
      int32_t ji = CompareIndexEntries(e[j], e[i]);
      CHECK((ij < 0) == (ji > 0) && (ij == 0) == (ji == 0));
      for (int k = 0; k < 3; ++k) {
        if (ij < 0 && CompareIndexEntries(e[j], e[k]) < 0) {
          CHECK(CompareIndexEntries(e[i], e[k]) < 0);
        }
      }
    }
  }
  IndexHeader header;
  std::vector<uint8_t> bytes = Take(in, kIndexRecordSize);
  (void)DecodeIndexHeader(bytes.data(), &header);
}

void FuzzMasterFiles(FuzzedDataProvider& in) {
  std::vector<uint8_t> master = Take(in, kMasterRecordSize);
  std::vector<uint8_t> emaster = Take(in, kEmasterRecordSize);
  std::vector<uint8_t> xmaster = Take(in, kXmasterRecordSize);
  uint32_t length = in.ConsumeIntegral<uint32_t>();
  uint16_t level = in.ConsumeIntegral<uint16_t>();

  MasterHeader master_header;
  DecodeMasterHeader(master.data(), &master_header);
  LimitMasterHeader(&master_header);
  CHECK(master_header.entry_count >= 0 && master_header.entry_count <= 255);
  DecodeEmasterHeader(emaster.data(), &master_header);
  XmasterHeader xmaster_header;
  (void)DecodeXmasterHeader(xmaster.data(), &xmaster_header);

  SecurityRecord record;
  uint16_t before = level;
  int32_t status = DecodeEmasterEntry(emaster.data(), length, &record, &level);
  CHECK(status == ZARQ_OK || status == ZARQ_E_BAD_VERSION);
  if (status == ZARQ_OK) {
    CHECK(Terminated(record.name, sizeof(record.name)) && record.symbol[0] != '\0');
    CHECK(level >= before);
    (void)ValidateSecurityRecord(&record);
  }
  DecodeXmasterEntry(xmaster.data(), length, &record, &level);
  (void)ValidateSecurityRecord(&record);

  (void)IsEmptyMasterEntry(master.data());
  CleanMasterEntry(master.data());
  uint8_t mismatch = CompareMasterEmaster(master.data(), emaster.data());
  CopyMasterFields(master.data(), emaster.data(), mismatch);
  CHECK(CompareMasterEmaster(master.data(), emaster.data()) == 0);
  std::vector<uint8_t> built(kEmasterRecordSize);
  EmasterFromMaster(master.data(), built.data());
  CHECK(CompareMasterEmaster(master.data(), built.data()) == 0);
  CHECK(DecodeEmasterEntry(built.data(), length, &record, &level) == ZARQ_OK);
}

void FuzzText(FuzzedDataProvider& in) {
  int32_t n = in.ConsumeIntegralInRange<int32_t>(-2, 64);
  std::vector<uint8_t> raw = Take(in, in.ConsumeIntegralInRange<size_t>(0, 70));
  raw.push_back(0);  // a source is a C string
  const char* source = reinterpret_cast<const char*>(raw.data());
  std::vector<char> out(n >= 0 ? n + 1 : 0);
  CopyCleanText(n >= 0 ? out.data() : nullptr, source, n);
  if (n >= 0) CHECK(out[n] == '\0');
  char symbol[kSymbolFieldSize];
  CHECK(NormalizeSymbol(source, symbol) == ZARQ_OK && symbol[0] != '\0' && symbol[14] == '\0');
  std::vector<char> text(raw.begin(), raw.end());
  int32_t length = in.ConsumeIntegralInRange<int32_t>(-1, static_cast<int32_t>(text.size()));
  PadText(text.data(), in.ConsumeIntegral<char>(), length);
  CHECK(FieldMaskForCount(in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<char>()) <= 0xFF);
}

size_t allocation_limit = 0;
void* FakeAllocate(size_t bytes) { return bytes <= allocation_limit ? std::malloc(1) : nullptr; }

void FuzzBuffers(FuzzedDataProvider& in) {
  allocation_limit = in.ConsumeIntegral<uint32_t>();
  uint32_t count = in.ConsumeIntegral<uint32_t>();
  uint32_t asked = count;
  uint16_t size = in.ConsumeIntegral<uint16_t>();
  uint32_t min = in.ConsumeIntegral<uint32_t>();
  HeapBuffer buffer = AllocRecordBuffer(&count, size, min, FakeAllocate);
  CHECK((buffer == nullptr) == (count == 0));
  CHECK(count <= asked && static_cast<uint64_t>(count) * size <= kMaxBufferBytes);
  uint32_t bytes = in.ConsumeIntegral<uint32_t>();
  buffer = AllocByteBuffer(&bytes, min, FakeAllocate);
  CHECK((buffer == nullptr) == (bytes == 0) && bytes <= kMaxBufferBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
      FuzzFloats(in);
      break;
    case 1:
      FuzzPriceRecords(in);
      break;
    case 2:
      FuzzSecurityRecord(in);
      break;
    case 3:
      FuzzIndex(in);
      break;
    case 4:
      FuzzMasterFiles(in);
      break;
    case 5:
      FuzzText(in);
      break;
    default:
      FuzzBuffers(in);
      break;
  }
  return 0;
}
