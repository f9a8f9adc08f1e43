// Stored data: the stored float against an independent formula, the
// values it cannot hold, clean-up and clamps; price records (canonical
// masks, the layout of every mask, round trips, order,
// placeholders); the halving buffer allocator; record files (gaps opened
// and closed by block moves, the binary search); and a security's data file
// as a whole (its header count and the repairs of reading it, creation,
// field-list files, copying), with the security's record from a test
// fetcher standing in for the lock table.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/mbf.h"
#include "src/format/price_codec.h"
#include "src/format/record_buffer.h"
#include "src/format/record_gap.h"
#include "src/format/record_search.h"
#include "src/format/stored_values.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/frame/little_endian.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using Bytes = std::array<uint8_t, 4>;

Bytes ToMbf(float value) {
  Bytes out;
  IeeeToMbf(value, out.data());
  return out;
}
uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }
float FromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

TEST(MbfTest, AgreesWithTheFormulaForEveryExponent) {
  std::mt19937 random(20091231);
  for (int exponent = 3; exponent <= 255; ++exponent) {
    for (int i = 0; i < 200; ++i) {
      uint32_t word = random();
      Bytes mbf = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                   static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(exponent)};
      // +-(1 + m / 2^23) x 2^(E - 129)
      double want = std::ldexp(1.0 + (word & 0x7FFFFF) / 8388608.0, exponent - 129);
      if (word & 0x800000) want = -want;
      float value = MbfToIeee(mbf.data(), kClampNone);
      ASSERT_EQ(static_cast<double>(value), want) << exponent << " " << word;
      ASSERT_EQ(ToMbf(value), mbf) << exponent << " " << word;
    }
  }
}

TEST(MbfTest, KnownValuesAndUnstorableOnes) {
  // clang-format off
  const std::pair<float, Bytes> known[] = {
      {1.0f, {0x00, 0x00, 0x00, 0x81}}, {0.5f, {0x00, 0x00, 0x00, 0x80}},
      {-1.0f, {0x00, 0x00, 0x80, 0x81}}, {10.0f, {0x00, 0x00, 0x20, 0x84}},
      {1091231.0f, {0xF8, 0x34, 0x05, 0x95}},  // the record date of 20091231
      {1.5f * 0x1p126f, {0x00, 0x00, 0x40, 0xFF}}};
  // clang-format on
  for (const auto& [value, mbf] : known) {
    EXPECT_EQ(ToMbf(value), mbf) << value;
    EXPECT_EQ(MbfToIeee(mbf.data(), kClampNone), value) << value;
  }
  // Zero of either sign, denormals, 2^127 and above, infinities and NaN.
  for (uint32_t bits : {0x00000000u, 0x80000000u, 0x00000001u, 0x807FFFFFu, 0x7F000000u,
                        0xFF000000u, 0x7F7FFFFFu, 0x7F800000u, 0xFF800000u, 0x7FC00000u}) {
    EXPECT_EQ(ToMbf(FromBits(bits)), (Bytes{0, 0, 0, 0})) << std::hex << bits;
  }
  // The exponent bytes 0..2 read as +0.0 whatever the other bytes.
  for (uint8_t exponent : {0, 1, 2}) {
    Bytes mbf = {0x12, 0x34, 0xFF, exponent};
    EXPECT_EQ(Bits(MbfToIeee(mbf.data(), kClampSigned)), 0u);
  }
  // A record date reads the same whatever the clamp.
  for (int32_t mode : {kClampNone, kClampSigned, kClampUnsigned}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(MbfToIeee(known[4].second.data(), mode)), 20091231);
  }
}

TEST(MbfTest, SanitizeCleansThenClamps) {
  // clang-format off
  const struct { uint32_t in; int32_t mode; float want; } cases[] = {
      {0x00000001u, kClampNone, 0.0f} /* denormal */, {0x7FC00000u, kClampSigned, 0.0f} /* NaN */,
      {0x7F800000u, kClampNone, FromBits(0x7F7FFFFFu)},
      {0xFF800000u, kClampNone, FromBits(0xFF7FFFFFu)},  // -inf keeps its sign
      {0xFF800000u, kClampSigned, -2147483648.0f},
      {Bits(3e9f), kClampSigned, 2147483648.0f},  // 2^31 - 1 stored as a single
      {Bits(5e9f), kClampUnsigned, 4294967296.0f},
      {Bits(5e9f), 7, 4294967296.0f},  // any other mode clamps unsigned
      {Bits(-1.5f), kClampUnsigned, 0.0f}, {Bits(-1.5f), kClampSigned, -1.5f},
      {Bits(1e30f), kClampNone, 1e30f}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Bits(SanitizeFloat(FromBits(c.in), c.mode)), Bits(c.want))
        << std::hex << c.in << " mode " << c.mode;
  }
  // Damaged values saturate instead of overflowing.
  EXPECT_EQ(TruncateToInt32(2147483648.0f), INT32_MAX);
  EXPECT_EQ(TruncateToInt32(std::nanf("")), 0);
  EXPECT_EQ(ZarqDateFromRecordFloat(2147483648.0f), INT32_MAX);
  for (int32_t date : {18000101, 18991231, 20091231, 22001231}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(RecordDateAsFloat(date)), date);
  }
  EXPECT_EQ(RecordDateAsFloat(INT32_MIN), static_cast<float>(-2166476352.0));
  EXPECT_EQ(ZarqTimeFromRecordValue(4123056), 1230456);
  EXPECT_EQ(ZarqTimeFromRecordValue(INT32_MAX), ZarqTimeFromRecordValue(99999999));
}

TEST(PriceCodecTest, CanonicalMasks) {
  // clang-format off
  const struct { int32_t count; char period; uint16_t want; } cases[] = {
      {3, 'D', 0},    {9, 'I', 0},    {4, 'D', 0x0F}, {6, 'M', 0x3F}, {7, 'D', 0x7F},
      {8, 'D', 0x7F}, {4, 'I', 0x87}, {5, 'i', 0x8F}, {7, 'I', 0xBF}, {8, 'I', 0xFF}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(FieldMaskForCount(c.count, c.period), c.want) << c.count << c.period;
  }
}

// clang-format off
ZarqPriceRecord Sample(uint16_t mask) {
  return {20091231, (mask & kFieldTime) ? 1230456 : 0, 10.5f, 12.25f, 9.75f,
          11.0f, 123456.0f, 789.0f, mask, 0};
}
// clang-format on

TEST(PriceCodecTest, EveryCanonicalMaskStoresItsFieldsInOrderAndReadsThemBack) {
  // The canonical masks of 4 to 8 fields, daily and intraday.
  for (uint16_t mask : {0x0F, 0x1F, 0x3F, 0x7F, 0x87, 0x8F, 0x9F, 0xBF, 0xFF}) {
    ZarqPriceRecord in = Sample(mask);
    std::vector<uint8_t> stored(StoredRecordSize(mask));
    EncodePriceRecord(in, stored.data());
    std::vector<float> want = {1091231.0f};
    if (mask & kFieldTime)
      want.push_back(4123056.0f);  // the record time of 12:30 tick 456
                                   // clang-format off
    for (auto [bit, value] : {std::pair{kFieldOpen, in.Open}, {kFieldHigh, in.High},
                              {kFieldLow, in.Low}, {kFieldClose, in.Close},
                              {kFieldVolume, in.Volume}, {kFieldOpenInterest, in.OpenInterest}}) {
      // clang-format on
      if (mask & bit) want.push_back(value);
    }
    ASSERT_EQ(stored.size(), 4 * want.size()) << std::hex << mask;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(MbfToIeee(&stored[4 * i], kClampNone), want[i]) << std::hex << mask << " " << i;
    }

    ZarqPriceRecord out;
    std::memset(&out, 0xAB, sizeof(out));
    DecodePriceRecord(stored.data(), mask, &out);
    ZarqPriceRecord expected = in;
    if (!(mask & kFieldOpen)) expected.Open = 0;
    if (!(mask & kFieldHigh)) expected.High = 0;
    if (!(mask & kFieldLow)) expected.Low = 0;
    if (!(mask & kFieldOpenInterest)) expected.OpenInterest = 0;
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(out)), 0) << std::hex << mask;
  }
  // A damaged mask never gives a record smaller than the fields coded.
  EXPECT_EQ(StoredRecordSize(0x0001), 12);
  EXPECT_EQ(StoredRecordSize(0xFF07), 12);
}

TEST(PriceCodecTest, RecordOrderUsesZarqTimes) {
  uint8_t a[32], b[32];
  ZarqPriceRecord ra = Sample(0x9F), rb = Sample(0x9F);
  rb.Time = 1300000;  // record time 130000, below 12:30 tick 456's 4123056
  EncodePriceRecord(ra, a);
  EncodePriceRecord(rb, b);
  int32_t date = 0, time = 0;
  RecordToZarqDateTime(a, &date, &time, true);
  EXPECT_EQ(std::tie(date, time), std::make_tuple(20091231, 1230456));
  EXPECT_LT(CompareStoredRecords(a, b, true), 0);
  EXPECT_GT(CompareStoredRecords(b, a, true), 0);
  EXPECT_EQ(CompareStoredRecords(a, b, false), 0);
  rb.Date = 20091230;
  EncodePriceRecord(rb, b);
  EXPECT_EQ(CompareStoredRecords(a, b, true), 1);
  EXPECT_GT(CompareDateTime(INT32_MAX, 0, INT32_MIN, 0, false), 0);  // no overflow
  EXPECT_LT(CompareDateTime(7, INT32_MIN, 7, INT32_MAX, true), 0);
}

TEST(PriceCodecTest, PlaceholderRecords) {
  const float m = 32767.0f, below = std::nextafter(m, 0.0f);  // exactly 32767.0 only
  // clang-format off
  const struct { float open, high, low, close; bool want; } cases[] = {
      {1, m, m, m, true}, {0, m, -0.0f, 0, true}, {m, m, m, 1, true}, {m, 0, 0, 5, true},
      {m, m, 5, 0, false}, {1, m, 0, 1, false}, {m, 0, 1, 0, false}, {m, below, 0, 0, false}};
  // clang-format on
  for (const auto& c : cases) {
    ZarqPriceRecord r{0, 0, c.open, c.high, c.low, c.close, 0, 0, 0, 0};
    EXPECT_EQ(IsPlaceholderRecord(r), c.want) << c.open << " " << c.high << " " << c.low;
  }
}

size_t g_limit = 0;
std::vector<size_t> g_requests;

// Refuses requests above g_limit and records what it was asked.
void* Limited(size_t bytes) {
  g_requests.push_back(bytes);
  return bytes <= g_limit ? std::malloc(bytes) : nullptr;
}

TEST(RecordBufferTest, HalvesToWholeRecordsDownToTheMinimum) {
  // clang-format off
  const struct {
    uint32_t count; uint16_t size; uint32_t min; size_t limit;
    uint32_t want_count; std::vector<size_t> want_requests;
  } cases[] = {
      {1000, 100, 1, 30000, 250, {100000, 50000, 25000}},
      {7, 178, 1, 600, 3, {1246, 534}},  // 623 rounds down to 3 records
      {1000, 100, 5, 400, 0, {100000, 50000, 25000, 12500, 6200, 3100, 1500, 700}},
      {3, 100, 10, 100, 0, {300}},                    // the minimum is at most the count
      {100000, 178, 1, 1u << 30, 94254, {16777212}},  // capped to whole records
      {0, 100, 1, 1000, 0, {}}, {10, 100, 0, 0, 0, {1000, 500, 200, 100}}};  // 0 still stops
  // clang-format on
  for (const auto& c : cases) {
    g_limit = c.limit;
    g_requests.clear();
    uint32_t count = c.count;
    HeapBuffer buffer = AllocRecordBuffer(&count, c.size, c.min, Limited);
    EXPECT_EQ(std::tie(count, g_requests), std::tie(c.want_count, c.want_requests))
        << c.count << "x" << c.size << " limit " << c.limit;
    EXPECT_EQ(buffer != nullptr, c.want_count != 0);
  }
  // Byte buffers halve without rounding.
  g_limit = 300;
  g_requests.clear();
  uint32_t bytes = 1001;
  HeapBuffer buffer = AllocByteBuffer(&bytes, 1, Limited);
  EXPECT_EQ(std::tie(bytes, g_requests),
            std::make_tuple(250u, std::vector<size_t>{1001, 500, 250}));
  bytes = 1001;
  EXPECT_EQ(AllocByteBuffer(&bytes, 400, Limited), nullptr);
  EXPECT_EQ(bytes, 0u);
  g_limit = 1u << 30;
  bytes = 0xFFFFFFFFu;
  buffer = AllocByteBuffer(&bytes, 1024, Limited);
  EXPECT_EQ(bytes, kMaxBufferBytes);
}

constexpr uint16_t kSize = 36;
constexpr uint32_t kHeaderMark = 0xEEEEEEEE;

// head, then first..last.
std::vector<uint32_t> Numbers(uint32_t first, uint32_t last, std::vector<uint32_t> head = {}) {
  for (uint32_t i = first; i <= last; ++i) head.push_back(i);
  return head;
}

class RecordFileTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    ASSERT_EQ(FileOpen(dir_, PathOf("records.bin").c_str(), &file_, kOpenCreate), ZARQ_OK);
  }
  // A header of 0xEE bytes and count records, record i holding i in every
  // 4 bytes.
  void Fill(uint32_t count) {
    std::vector<uint8_t> bytes((count + 1) * kSize, 0xEE);
    for (uint32_t at = kSize; at < bytes.size(); at += 4) PutU32(&bytes[at], at / kSize);
    ASSERT_EQ(FileSetSize(file_, 0), ZARQ_OK);
    ASSERT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  }
  uint32_t Size() {
    uint32_t size = 0;
    EXPECT_EQ(FileGetSize(file_, &size), ZARQ_OK);
    return size;
  }
  // What each record of the file holds, checking that each is uniform.
  std::vector<uint32_t> Contents() {
    std::vector<uint8_t> data(Size());
    EXPECT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    EXPECT_EQ(FileRead(file_, static_cast<uint32_t>(data.size()), data.data()), ZARQ_OK);
    std::vector<uint32_t> records;
    for (size_t at = 0; at < data.size() / kSize * kSize; at += 4) {
      if (at % kSize == 0) records.push_back(GetU32(&data[at]));
      EXPECT_EQ(GetU32(&data[at]), records.back()) << "record " << at / kSize;
    }
    return records;
  }
  FileHandle file_ = kNoFileHandle;
};

TEST_F(RecordFileTest, GapsOpenAndCloseByMovingTheTailInBlocks) {
  Fill(3000);  // 108000 bytes of records: more than one block
  {
    zarq_test::InstalledFaults os;
    ASSERT_EQ(OpenRecordGap(file_, 3000, 10, 5, kSize), ZARQ_OK);
    EXPECT_EQ(os.write_sizes.size(), 2u);
    for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
  }
  EXPECT_EQ(Size(), (3000 + 5 + 1) * kSize);
  std::vector<uint32_t> contents = Contents();
  EXPECT_EQ(std::vector(contents.begin(), contents.begin() + 10), Numbers(1, 9, {kHeaderMark}));
  EXPECT_EQ(std::vector(contents.begin() + 15, contents.end()), Numbers(10, 3000));

  Fill(3000);
  zarq_test::InstalledFaults os;
  ASSERT_EQ(CloseRecordGap(file_, 3000, 5, 6, kSize), ZARQ_OK);
  EXPECT_EQ(os.write_sizes.size(), 2u);
  for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
  EXPECT_EQ(Size(), 3001u * kSize);  // the caller cuts the file
  contents = Contents();
  std::vector<uint32_t> want = Numbers(7, 3000, {kHeaderMark, 1, 2, 3, 4});
  EXPECT_EQ(std::vector(contents.begin(), contents.begin() + 2999), want);
}

void* SmallBuffers(size_t bytes) { return bytes > 600 ? nullptr : std::malloc(bytes); }
void* NoBuffers(size_t) { return nullptr; }

TEST_F(RecordFileTest, SmallBuffersMoveTheSameRecords) {
  Fill(100);
  ASSERT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark, 1, 2, 3}));
  ASSERT_EQ(CloseRecordGap(file_, 103, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  ASSERT_EQ(FileSetSize(file_, 101 * kSize), ZARQ_OK);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark}));
  EXPECT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(CloseRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark}));
}

TEST_F(RecordFileTest, RecordsOutsideTheRangeAreRefused) {
  Fill(10);
  // clang-format off
  const struct { bool open; uint32_t count, a, b; int32_t want; } cases[] = {  // open: position, n
      {true, 10, 0, 1, ZARQ_E_BAD_RECORD_COUNT},             // would move the header
      {true, 10, 11, 1, ZARQ_E_BAD_RECORD_COUNT},            // beyond the records
      {true, 0, 5, 1, ZARQ_OK}, {true, 10, 3, 0, ZARQ_OK},   // nothing to move
      {true, 10, 1, 0xFFFFFFF0u, ZARQ_E_BAD_RECORD_COUNT},   // past 4 GB
      {false, 10, 0, 1, ZARQ_E_BAD_RECORD_COUNT},            // close: first, last
      {false, 10, 4, 3, ZARQ_E_BAD_RECORD_COUNT}, {false, 10, 4, 11, ZARQ_E_BAD_RECORD_COUNT},
      {false, 10, 9, 10, ZARQ_OK}};                          // nothing after the range
  // clang-format on
  for (const auto& c : cases) {
    int32_t status = c.open ? OpenRecordGap(file_, c.count, c.a, c.b, kSize)
                            : CloseRecordGap(file_, c.count, c.a, c.b, kSize);
    EXPECT_EQ(status, c.want) << (c.open ? "open " : "close ") << c.a << " " << c.b;
    EXPECT_EQ(Contents(), Numbers(1, 10, {kHeaderMark}));
  }
  EXPECT_EQ(OpenRecordGap(file_, 10, 1, 1, 0), ZARQ_E_BAD_RECORD_COUNT);
}

int32_t CompareKey(const void* key, const uint8_t* record) {
  uint32_t a = *static_cast<const uint32_t*>(key), b = GetU32(record);
  return a < b ? -1 : (a > b ? 1 : 0);
}

TEST_F(RecordFileTest, BinarySearchFindsRecordsAndInsertionPlaces) {
  // Keys 10, 20, ..., 100 in records 1..10 of 8 bytes.
  std::vector<uint8_t> bytes(11 * 8, 0);
  for (uint32_t i = 1; i <= 10; ++i) PutU32(&bytes[i * 8], i * 10);
  ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  for (uint32_t count : {0u, 1u, 2u, 7u, 10u}) {
    for (uint32_t key = 5; key <= 105; key += 5) {
      uint32_t index = 99;
      int32_t exact = SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kExact, &index);
      if (key % 10 == 0 && key / 10 <= count) {
        EXPECT_EQ(std::tie(exact, index), std::make_tuple(ZARQ_OK, key / 10));
        continue;
      }
      EXPECT_EQ(std::tie(exact, index), std::make_tuple(ZARQ_E_INDEX_ENTRY_MISSING, 0)) << key;
      int32_t near =
          SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kInsertion, &index);
      EXPECT_EQ(std::tie(near, index),
                std::make_tuple(ZARQ_NEAR_MATCH, std::min(count, key / 10) + 1))
          << "key " << key << " count " << count;
    }
  }
  // A count beyond the file ends in the read failure.
  uint32_t key = 50, index = 0;
  EXPECT_EQ(SearchRecords(file_, 8, 1000, &key, &CompareKey, SearchMode::kExact, &index),
            ZARQ_E_END_OF_FILE);
}

constexpr uint16_t kSevenFields = 0x7F;  // 28-byte records

class DataFileTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    security_ = MakeSecurityHandle(dir_, 3, false);
    previous_ = SetSecurityFactsFetcher([](uint32_t, SecurityFileFacts* facts) {
      facts->file_number = 12;
      facts->record_size = 28;
      return int32_t{ZARQ_OK};
    });
  }
  void TearDown() override {
    SetSecurityFactsFetcher(previous_);
    OpenFolderTest::TearDown();
  }
  // A data file whose header claims in_file records and that holds bytes.
  void WriteDataFile(uint16_t in_file, size_t bytes) {
    std::string content(bytes, '\x11');
    content[0] = content[1] = '\0';
    PutU16(reinterpret_cast<uint8_t*>(&content[2]), in_file);
    folder_.WriteFile("F12.DAT", content);
    FileCloseMatching(dir_, 0, kCloseDirectory);
  }
  uint32_t security_ = 0;
  SecurityFactsFetcher previous_ = nullptr;
};

TEST_F(DataFileTest, ReadingTheCountRepairsWhatTheFileCannotBack) {
  // clang-format off
  const struct { uint16_t in_file; size_t bytes; uint16_t want; bool damaged; } cases[] = {
      {6, 28 * 10, 5, false},             // more bytes than the header says: fine
      {11, 28 * 9 + 5, 8, true},          // header claims 11 records, 9 whole present
      {0, 28, 0, false},
      {65535, 28u * 65535, 65500, true},  // more than 65500 records
      {1, 20, 0, true}};                  // shorter than one record: made anew
  // clang-format on
  for (const auto& c : cases) {
    WriteDataFile(c.in_file, c.bytes);
    uint16_t count = 9;
    bool damaged = !c.damaged;
    ASSERT_EQ(ReadDataRecordCount(security_, &count, kSevenFields, &damaged), ZARQ_OK);
    EXPECT_EQ(std::tie(count, damaged), std::tie(c.want, c.damaged)) << c.in_file << " " << c.bytes;
  }
  EXPECT_EQ(folder_.ReadFile("F12.DAT").size(), 28u);
  FileCloseMatching(dir_, 0, kCloseDirectory);  // Windows keeps open files
  std::remove(PathOf("F12.DAT").c_str());
  uint16_t count = 0;
  bool damaged = false;
  EXPECT_EQ(ReadDataRecordCount(security_, &count, kSevenFields, &damaged), ZARQ_E_FILE_NOT_FOUND);
}

TEST_F(DataFileTest, CreatingAndWritingTheCount) {
  const std::string chart = std::string("ZQSmart") + zarq_test::Separator() + "C12.CHT";
  folder_.MakeFolder("ZQSmart");
  folder_.WriteFile(chart, "old");
  ASSERT_EQ(CreateDataFile(security_), ZARQ_OK);  // one empty header record
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), std::string("\0\0\1\0", 4) + std::string(24, '\0'));
  EXPECT_FALSE(folder_.Exists(chart));

  WriteDataFile(1, 28 * 4);
  ASSERT_EQ(WriteDataRecordCount(security_, 3), ZARQ_OK);
  std::string bytes = folder_.ReadFile("F12.DAT");
  EXPECT_EQ(bytes, std::string("\0\0\4\0", 4) + std::string(28 * 4 - 4, '\x11'));
  EXPECT_EQ(WriteDataRecordCount(security_, 65501), ZARQ_E_BAD_RECORD_COUNT);
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), bytes);
}

TEST_F(DataFileTest, FieldListFilesOnlyWhereTheDirectoryKeepsThem) {
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  EXPECT_FALSE(folder_.Exists("F12.DOP"));
  FindDirectory(dir_)->flags |= kDirFieldListFiles;
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("F12.DOP"),
            "\"DATE\",0,0\r\n\"OPEN\",5,5\r\n\"HIGH\",5,5\r\n\"LOW\",5,5\r\n"
            "\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\"OI\",0,0\r\n\x1A");
  EXPECT_EQ(FieldListText(0x87),
            "\"DATE\",0,0\r\n\"TIME\",5,5\r\n\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\x1A");
}

TEST_F(DataFileTest, CopyingAFileInChunks) {
  std::string content(200000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
  folder_.WriteFile("source", content);
  folder_.WriteFile("target", std::string(300000, 'x'));
  FileHandle source = kNoFileHandle, target = kNoFileHandle;
  ASSERT_EQ(FileOpen(dir_, PathOf("source").c_str(), &source, 0), ZARQ_OK);
  ASSERT_EQ(FileOpen(dir_, PathOf("target").c_str(), &target, 0), ZARQ_OK);
  ASSERT_EQ(CopyFileContents(source, target), ZARQ_OK);
  FileCloseMatching(dir_, 0, kCloseDirectory);
  EXPECT_EQ(folder_.ReadFile("target"), content);
}

}  // namespace
}  // namespace zarq
