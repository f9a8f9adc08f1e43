// Price data between real processes: a writer's insert reaches a reader
// exactly, and only after the writer's unlock; a writer killed while it
// holds its locks loses only what it never unlocked.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/zarq.h"
#include "tests/data/data_fixture.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

class SharingTest : public DataTest {
 protected:
  std::string PeerHandle(zarq_test::Peer* peer, const std::string& dir, uint32_t slot) {
    std::string handle;
    const char* period = MaskOf(slot) & kFieldTime ? " I 1" : " D";
    EXPECT_EQ(peer->Call("lookup " + dir + " M" + std::to_string(slot) + period, &handle), 0);
    return handle;
  }
};

TEST_F(SharingTest, AReaderSeesAWritersInsertExactlyAndOnlyAfterItsUnlock) {
  const std::vector<ZarqPriceRecord> series = zarq_test::Series(0, 43);
  WriteData(kIntraday, {series.begin(), series.begin() + 40});
  const SecurityRecord before = ListRecord(kIntraday);
  // An insert inside the data stands at once: the data file is made anew
  // with it, counted by its header, and the list record follows; the
  // appends wait for the unlock.
  std::string header = DataFile(kIntraday).substr(0, SizeOf(kIntraday));
  PutU16(reinterpret_cast<uint8_t*>(&header[2]), 40 + 5 + 1);
  SecurityRecord inserted = before;
  inserted.first_date = inserted.base_date = series[0].Date;
  inserted.first_time = series[0].Time;
  inserted.last_date = series[39].Date;
  inserted.last_time = series[39].Time;
  zarq_test::Peer writer;
  const std::string h = PeerHandle(&writer, StartPeer(&writer, "Writer W"), kIntraday);
  ASSERT_EQ(writer.Call("seclock " + h + " 32"), ZARQ_OK);
  ASSERT_EQ(writer.Call("recinsert " + h + " 10 5 7"), ZARQ_OK);  // before record 11
  ASSERT_EQ(writer.Call("recappend " + h + " 40 3 0"), ZARQ_OK);

  EXPECT_EQ(ZARQ1_LockSecurity(Handle(kIntraday), ZARQ_READ_LOCK), ZARQ_E_LOCK_CONFLICT);
  EXPECT_EQ(DataFile(kIntraday).substr(0, SizeOf(kIntraday)), header);
  EXPECT_EQ(ListRecord(kIntraday), inserted);
  ASSERT_EQ(writer.Call("secunlock " + h), ZARQ_OK);

  std::vector<ZarqPriceRecord> want(series.begin(), series.begin() + 10);
  for (uint32_t i = 10; i < 15; ++i) {
    ZarqPriceRecord inserted = zarq_test::SeriesRecord(i, 7);
    inserted.Date = series[10].Date;
    inserted.Time = series[10].Time;
    want.push_back(inserted);
  }
  want.insert(want.end(), series.begin() + 10, series.end());
  EXPECT_TRUE(SameRecords(Locked(kIntraday), AsRead(kIntraday, want)));
  EXPECT_EQ(DataFile(kIntraday), FileBytes(kIntraday, want));
  SecurityRecord after = inserted;
  after.last_date = series[42].Date;
  after.last_time = series[42].Time;
  EXPECT_EQ(ListRecord(kIntraday), after);
  EXPECT_EQ(writer.Exit(), 0);
}

// The writer commits appends to one security and appends to another, then
// goes on under new locks, appending to the first and deleting from the
// second, and is killed. After its identity takes its place over, the
// first holds exactly the committed records (the header decides), and the
// second the committed records less those deleted (the file was cut, and
// whole records count): nothing else is lost or damaged.
TEST_F(SharingTest, AKilledWriterLosesOnlyWhatItNeverUnlocked) {
  constexpr uint32_t kAppended = kDaily, kDeleted = 4;
  zarq_test::Peer writer;
  const std::string dir = StartPeer(&writer, "Writer W");
  const std::string a = PeerHandle(&writer, dir, kAppended);
  const std::string d = PeerHandle(&writer, dir, kDeleted);
  for (const std::string& command :
       {"seclock " + a + " 32", "recappend " + a + " 0 300 0", "secunlock " + a,
        "seclock " + d + " 32", "recappend " + d + " 0 300 1", "secunlock " + d,
        "seclock " + a + " 32", "recappend " + a + " 300 100 0", "seclock " + d + " 32",
        "recdelete " + d + " 100 50"}) {
    ASSERT_EQ(writer.Call(command), ZARQ_OK) << command;
  }
  writer.Kill();
  zarq_test::Peer heir;
  ASSERT_EQ(heir.Call("close " + StartPeer(&heir, "Writer W", ZARQ_OPEN_ALLOW_SAME_USER)), 0);

  EXPECT_TRUE(SameRecords(Locked(kAppended), AsRead(kAppended, zarq_test::Series(0, 300, 0))));
  EXPECT_EQ(HeaderCount(kAppended), 300);
  std::vector<ZarqPriceRecord> kept = zarq_test::Series(0, 100, 1);
  std::vector<ZarqPriceRecord> rest = zarq_test::Series(150, 150, 1);
  kept.insert(kept.end(), rest.begin(), rest.end());
  EXPECT_TRUE(SameRecords(Locked(kDeleted), AsRead(kDeleted, kept)));
  EXPECT_EQ(heir.Exit(), 0);
}

}  // namespace
}  // namespace zarq
