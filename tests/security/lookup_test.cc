// Finding securities: handles from identities (by ZARQ1_GetSecurityHandle
// and by GetHandleFromInfo, ordinal 212), index entries that name no
// security, and the file names of a locked security (ordinal 210).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/little_endian.h"
#include "src/master/security_index.h"
#include "tests/security/security_fixture.h"

namespace zarq {
namespace {

class LookupTest : public SecurityTest {
 protected:
  std::vector<SecurityRecord> Records() override {
    SecurityRecord weekly = zarq_test::DailySecurity("S1", 2);
    weekly.period = 'W';
    SecurityRecord intraday = zarq_test::DailySecurity("IBM", 3);
    intraday.period = 'I';
    intraday.interval = 5;
    intraday.field_mask = 0xFF;
    return {zarq_test::DailySecurity("S1", 1),
            weekly,
            intraday,
            zarq_test::DailySecurity("AB", 4),
            zarq_test::CompositeSecurity("AB", "S1", '-', 4, 1, 5),
            zarq_test::CompositeSecurity("AB", "S1", '+', 4, 1, 6),
            zarq_test::DailySecurity("BIG", 300)};
  }
};

TEST_F(LookupTest, IdentitiesAndTheirHandles) {
  constexpr uint32_t kComposite = kCompositeHandleBit;
  const struct {
    const char* what;
    const char* symbol;
    char period;
    uint16_t interval;
    uint32_t composite;
    const char* symbol2;
    char op;
    uint32_t found;  // the slot and composite flag of the handle; 0 for none
  } cases[] = {
      {"period in either case", "S1", 'd', 0, 0, "", 0, 1},
      {"interval ignored unless intraday", "S1", 'D', 99, 0, "", 0, 1},
      {"another period", "S1", 'W', 0, 0, "", 0, 2},
      {"letter case of the symbol counts", "s1", 'D', 0, 0, "", 0, 0},
      {"intraday", "IBM", 'i', 5, 0, "", 0, 3},
      {"intraday, another interval", "IBM", 'I', 15, 0, "", 0, 0},
      {"composite", "AB", 'D', 0, 1, "S1", '-', 5 | kComposite},
      {"composite, another operator", "AB", 'D', 0, 7, "S1", '+', 6 | kComposite},
      {"composite, another second symbol", "AB", 'D', 0, 1, "S2", '-', 0},
      {"second symbol of a plain lookup ignored", "AB", 'D', 0, 0, "S1", '-', 4},
      {"composite flag from the entry found", "AB", 'D', 0, 1, "", 0, 4},
      {"unknown", "ZZ", 'D', 0, 0, "", 0, 0},
  };
  for (const auto& c : cases) {
    auto identify = [&](auto* id) {  // a ZarqSecurityId or a ZarqSecurityInfo
      std::strcpy(id->Symbol, c.symbol);
      id->Period = c.period;
      id->Interval = c.interval;
      id->Composite = c.composite;
      std::strcpy(id->Symbol2, c.symbol2);
      id->Operator = c.op;
    };
    ZarqSecurityId id = {};
    id.DirNumber = dir_;
    identify(&id);
    ZarqSecurityInfo info = {};
    identify(&info);
    const int32_t status = c.found != 0 ? ZARQ_OK : ZARQ_E_NO_SUCH_SECURITY;
    const uint32_t want = c.found != 0 ? (static_cast<uint32_t>(dir_) << 24 | c.found) : 0;
    uint32_t handle = 99, from_info = 99;
    EXPECT_EQ(ZARQ1_GetSecurityHandle(&id, &handle), status) << c.what;
    EXPECT_EQ(handle, want) << c.what;
    EXPECT_EQ(ZARQP_GetHandleFromInfo(dir_, &info, &from_info), status) << c.what;
    EXPECT_EQ(from_info, want) << c.what;
    if (c.found == 0) continue;
    const bool composite = (c.found & kComposite) != 0;
    ZarqSecurityId found;
    ASSERT_EQ(ZARQ1_GetSecurityID(handle, &found), ZARQ_OK) << c.what;
    EXPECT_EQ(std::make_tuple(found.DirNumber, std::string(found.Symbol),
                              std::string(found.Symbol2), found.Composite != 0),
              std::make_tuple(dir_, std::string(c.symbol), std::string(composite ? c.symbol2 : ""),
                              composite))
        << c.what;
  }
  uint32_t count = 0;
  EXPECT_EQ(ZARQ1_GetSecurityCount(dir_, &count), ZARQ_OK);
  EXPECT_EQ(count, 7u);
}

TEST_F(LookupTest, AnIndexEntryNamingNoSlotOfTheListFindsNothing) {
  std::string index = folder_.ReadFile("~ZARQ.INX");
  size_t s1 = 0;  // the entry of S1, daily
  for (size_t at = kIndexRecordSize; at + kIndexRecordSize <= index.size();
       at += kIndexRecordSize) {
    if (std::string(index.c_str() + at) == "S1" && index[at + index_offset::kPeriod] == 'D') {
      s1 = at;
    }
  }
  ASSERT_NE(s1, 0u);
  for (uint32_t slot : {0u, 8u, 6001u}) {  // the list has 7 slots
    PutU32(reinterpret_cast<uint8_t*>(&index[s1 + index_offset::kSlot]), slot);
    folder_.WriteFile("~ZARQ.INX", index);
    ZarqSecurityId id = {};
    id.DirNumber = dir_;
    std::strcpy(id.Symbol, "S1");
    id.Period = 'D';
    uint32_t handle = 99;
    EXPECT_EQ(ZARQ1_GetSecurityHandle(&id, &handle), ZARQ_E_NO_SUCH_SECURITY) << slot;
    EXPECT_EQ(handle, 0u) << slot;
  }
}

TEST_F(LookupTest, FileNamesOfALockedSecurity) {
  char folder[300];
  ASSERT_EQ(ZARQ1_GetDataPath(dir_, folder, 0), ZARQ_OK);
  const std::string in = folder;
  const std::string sub = std::string("ZQSmart") + zarq_test::Separator();
  // Master files number data files up to 255: the list takes a larger one.
  EditList([](SecurityList& list) { list.at(7).file_number = 300; });
  const uint32_t big = Handle(7);
  ASSERT_EQ(ZARQ1_LockSecurity(big, ZARQ_READ_LOCK), ZARQ_OK);
  const struct {
    uint32_t handle;
    uint16_t kind;
    int32_t status;
    std::string name;
  } cases[] = {
      {big, 3, ZARQ_OK, in + "F300.MWD"},
      {big, 1, ZARQ_OK, in + "F300.MWD"},  // a plain security's own for every kind
      {big, 4, ZARQ_OK, in + "F300.DOP"},
      {big, 3 | 0x4000, ZARQ_OK, in + "F300.TMP"},
      {big, 12, ZARQ_OK, in + sub + "C300.CHT"},
      {big, 15, ZARQ_OK, in + sub + "C300.MWS"},
      {big, 13, ZARQ_OK, in + "S300.TMP"},
      {big, 11, ZARQ_OK, in + "~ZARQ300.SEC"},
      {Handle(1), 3, ZARQ_OK, in + "F.DAT"},  // not locked here: no number
      {big, 16, ZARQ_E_INVALID_ARGUMENT, ""},
      {MakeSecurityHandle(dir_ + 1, 7, false), 3, ZARQ_E_DIRECTORY_NOT_OPEN, ""},
  };
  for (const auto& c : cases) {
    char name[300] = "junk";
    EXPECT_EQ(ZARQP_BuildSecurityFileName(c.handle, name, c.kind), c.status) << c.kind;
    EXPECT_EQ(name, c.name) << c.kind;
  }
  EXPECT_EQ(ZARQP_BuildSecurityFileName(big, nullptr, 3), ZARQ_E_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace zarq
