// list_checks.h: descriptions of new securities for the tests of adding
// and deleting, and the agreement every change must leave between the
// security list file, its index and the data files, read past the library.

#ifndef ZARQ_TESTS_SECURITY_LIST_CHECKS_H_
#define ZARQ_TESTS_SECURITY_LIST_CHECKS_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "include/zarq.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "tests/directory/database_fixture.h"
#include "tests/support/temp_folder.h"

namespace zarq {

// A daily security of seven fields dated through 2010.
inline ZarqSecurityInfo DailyInfo(const char* symbol) {
  ZarqSecurityInfo info = {};
  std::snprintf(info.Symbol, sizeof(info.Symbol), "%s", symbol);
  std::snprintf(info.Name, sizeof(info.Name), "Name of %s", symbol);
  info.Period = 'D';
  info.FieldMask = 0x7F;
  info.FirstDate = info.BaseDate = 20100104;
  info.LastDate = 20101231;
  return info;
}

inline ZarqSecurityInfo CompositeInfo(const char* primary, const char* secondary, char op) {
  ZarqSecurityInfo info = DailyInfo(primary);
  std::snprintf(info.Symbol2, sizeof(info.Symbol2), "%s", secondary);
  info.Composite = 1;
  info.Operator = op;
  info.PrimaryFactor = info.SecondaryFactor = 1.0f;
  return info;
}

// The names of the files in folder, the library's working files aside.
inline std::set<std::string> FolderFiles(const zarq_test::TempFolder& folder) {
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder.path())) {
    std::string name = item.path().filename().string();
    if (name.rfind("~ZARQ", 0) != 0) names.insert(name);
  }
  return names;
}

// Checks that the list and the index agree: the chain from FirstSlot to
// LastSlot visits each slot at most once, with PrevSlot matching, and
// every live record (LiveCount of them); no file number serves two live
// securities; the index holds one entry per live security, in order, each
// naming a live record of its identity; each component's chain of users
// holds exactly the live composites built on it. Returns the live records.
inline std::vector<SecurityRecord> CheckListAgrees(const zarq_test::TempFolder& folder) {
  const std::string list = folder.ReadFile("~ZARQ.SEC");
  SecurityListHeader header;
  EXPECT_EQ(DecodeSecurityListHeader(Raw(list), &header), ZARQ_OK);
  EXPECT_GE(list.size(), (header.slot_count + 1) * size_t{kSecurityRecordSize});
  auto record_at = [&](uint32_t slot) {
    SecurityRecord record;
    DecodeSecurityRecord(Raw(list, slot * size_t{kSecurityRecordSize}), &record);
    return record;
  };
  std::vector<SecurityRecord> live;
  std::set<uint32_t> visited, numbers;
  uint32_t previous = 0;
  for (uint32_t slot = header.first_slot; slot != 0; slot = record_at(slot).next_slot) {
    if (slot > header.slot_count || !visited.insert(slot).second) {
      ADD_FAILURE() << "the chain leaves the list or loops at slot " << slot;
      return live;
    }
    SecurityRecord record = record_at(slot);
    EXPECT_EQ(record.prev_slot, previous) << slot;
    previous = slot;
    if (record.deleted) continue;
    live.push_back(record);
    EXPECT_TRUE(numbers.insert(record.file_number).second) << "file number " << record.file_number;
  }
  EXPECT_EQ(previous, header.last_slot);
  uint32_t live_slots = 0;
  for (uint32_t slot = 1; slot <= header.slot_count; ++slot) live_slots += !record_at(slot).deleted;
  EXPECT_EQ(live_slots, live.size()) << "a live record outside the chain";
  EXPECT_EQ(live.size(), header.live_count);

  const std::string index = folder.ReadFile("~ZARQ.INX");
  IndexHeader index_header;
  EXPECT_EQ(DecodeIndexHeader(Raw(index), &index_header), ZARQ_OK);
  EXPECT_EQ(index_header.entry_count, header.live_count);
  IndexEntry before;
  for (uint32_t i = 1; i <= index_header.entry_count && i * kIndexRecordSize < index.size(); ++i) {
    IndexEntry entry;
    DecodeIndexEntry(Raw(index, i * size_t{kIndexRecordSize}), &entry);
    if (i > 1) {
      EXPECT_LT(CompareIndexEntries(before, entry), 0) << "entry " << i;
    }
    before = entry;
    bool named = entry.slot >= 1 && entry.slot <= header.slot_count &&
                 !record_at(entry.slot).deleted && IndexEntryFor(record_at(entry.slot)) == entry;
    EXPECT_TRUE(named) << "entry " << i << " " << entry.symbol << " slot " << entry.slot;
  }
  // Each component's chain of users holds exactly the live composites on it.
  for (const SecurityRecord& component : live) {
    if (component.composite) continue;  // its chain links are its components' chains
    for (auto [start, field] :
         {std::pair{&SecurityRecord::primary_slot, &SecurityRecord::next_primary_user},
          std::pair{&SecurityRecord::secondary_slot, &SecurityRecord::next_secondary_user}}) {
      size_t users = 0;
      for (uint32_t slot = component.*field; slot != 0 && users <= live.size();
           slot = record_at(slot).*field, ++users) {
        const SecurityRecord user = slot <= header.slot_count ? record_at(slot) : SecurityRecord{};
        EXPECT_TRUE(user.composite && !user.deleted && user.*start == component.slot)
            << "slot " << slot << " in the chain of " << component.symbol;
      }
      size_t built_on = 0;
      for (const SecurityRecord& r : live) built_on += r.composite && r.*start == component.slot;
      EXPECT_EQ(users, built_on) << component.symbol;
    }
  }
  return live;
}

}  // namespace zarq

#endif  // ZARQ_TESTS_SECURITY_LIST_CHECKS_H_
