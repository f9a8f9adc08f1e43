// data_stress.cc: the data-stress mode. Peers, each with an identity of
// its own, keep the sample database open and read and change the price
// data of eight of its daily securities (dataround in tests/peer), whose
// records carry the version of their last committed change
// (stamped_prices.h); every round a quarter of them add and delete
// securities C1..C12 instead (churn), all at once. Now and then a writer
// dies holding its lock with records appended but not committed; its
// identity comes back (open flag 0x04) before the round's checks. After
// every round, with no lock held: each security's data file holds its
// counted records, one version, the one its start and the changes
// reported make (nothing lost, nothing doubled, nothing half applied), in
// order, as the list file's first and last dates say; the list, its index
// and the data files agree; every lock-file record is free. At the end,
// with C1..C12 deleted and everyone closed, the folder must hold the
// sample with those changes and nothing else.

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "tests/harness/harness.h"
#include "tests/harness/invariants.h"
#include "tests/harness/price_files.h"
#include "tests/harness/sample_database.h"
#include "tests/harness/stamped_prices.h"
#include "tests/harness/working_files.h"

namespace zarq_test {
namespace {

using Problems = std::vector<std::string>;

constexpr uint32_t kChurners = 4;  // one peer in so many churns each round
constexpr uint32_t kChurnSecurities = 12;
constexpr int32_t kDied = -9997;
constexpr uint32_t kAllowSameUser = 0x04;

// Gives the sample's daily plain securities of every 23rd file number
// (components of composites aside) stamped data of version 1: days 10,
// 20, ... and the dates to match. Returns their list positions.
std::vector<size_t> StampSample(SampleDatabase* sample) {
  std::set<uint32_t> components;
  for (const zarq::SecurityRecord& r : sample->records) {
    if (r.composite) components.insert({r.primary_file_number, r.secondary_file_number});
  }
  std::vector<size_t> positions;
  for (size_t i = 0; i < sample->records.size(); ++i) {
    zarq::SecurityRecord& r = sample->records[i];
    if (r.composite || r.period != 'D' || r.field_mask != 0x7F || r.file_number % 23 != 1 ||
        components.count(r.file_number)) {
      continue;
    }
    std::vector<uint32_t> days;
    for (uint32_t day = 10; days.size() < 3 + r.file_number % 5; day += 10) days.push_back(day);
    std::vector<ZarqPriceRecord> records = StampedRecords(days, 1);
    r.first_date = r.base_date = records.front().Date;
    r.last_date = records.back().Date;
    sample->data_files[DataFileName(r.file_number)] = PriceFileOf(r, records);
    positions.push_back(i);
  }
  return positions;
}

// The data of the stamped security of record against the version
// expected, into *records; "" or what is wrong.
std::string StampedData(const TempFolder& folder, const zarq::SecurityRecord& record,
                        uint32_t expected, std::vector<ZarqPriceRecord>* records) {
  const std::string name = DataFileName(record.file_number);
  std::string problem = ReadPriceFile(record, folder.ReadFile(name), records);
  uint32_t version = 0;
  std::vector<uint32_t> days;
  if (problem.empty()) problem = CheckStamped(records->data(), records->size(), &version, &days);
  if (problem.empty() && version != expected) {
    problem = "version " + std::to_string(version) + ", not " + std::to_string(expected);
  }
  return problem.empty() ? "" : name + ": " + problem;
}

// What must hold between rounds; versions by data file number.
Problems CheckRound(const TempFolder& folder, const std::map<uint32_t, uint32_t>& versions,
                    std::map<uint32_t, uint32_t>* slot_of_file) {
  Problems problems = ListProblems(folder.path());
  std::vector<zarq::SecurityRecord> listed;
  std::string problem;
  if (!ReadSecurityList(folder.path(), &listed, &problem)) return {problem};
  for (const zarq::SecurityRecord& r : listed) {
    if (!r.deleted && versions.count(r.file_number)) (*slot_of_file)[r.file_number] = r.slot;
  }
  for (const auto& [file_number, version] : versions) {
    auto slot = slot_of_file->find(file_number);
    if (slot == slot_of_file->end()) {
      problems.push_back("the security of file " + std::to_string(file_number) + " is gone");
      continue;
    }
    const zarq::SecurityRecord& record = listed[slot->second - 1];
    std::vector<ZarqPriceRecord> records;
    std::string problem = StampedData(folder, record, version, &records);
    if (problem.empty() &&
        (record.first_date != records.front().Date || record.last_date != records.back().Date)) {
      problem = DataFileName(file_number) + ": listed dates " + std::to_string(record.first_date) +
                ".." + std::to_string(record.last_date) + " for records " +
                std::to_string(records.front().Date) + ".." + std::to_string(records.back().Date);
    }
    if (!problem.empty()) problems.push_back(problem);
  }
  for (const std::string& held : HeldLockRecords(folder.path())) problems.push_back(held);
  return problems;
}

// Deletes C1..C12 (with the composites built on them) as a process of its
// own.
Problems DeleteChurned(const std::string& folder) {
  Peer peer;
  std::string dir, handle;
  if (!StartPeer(&peer, "Data Sweeper") || peer.Call("open " + folder + " 0", &dir) != 0) {
    return {"the sweeper did not start and open"};
  }
  Problems problems;
  for (uint32_t k = 1; k <= kChurnSecurities; ++k) {
    std::string symbol = "C" + std::to_string(k);
    if (peer.Call("lookup " + dir + " " + symbol + " D", &handle) != 0) continue;
    int32_t status = peer.Call("delete " + handle + " 1");
    if (status != 0) problems.push_back("deleting " + symbol + " gave " + std::to_string(status));
  }
  if (peer.Call("close " + dir) != 0) problems.push_back("the sweeper's close failed");
  peer.Exit();
  return problems;
}

bool StartAndOpen(Peer* peer, int number, const std::string& folder, uint32_t flags,
                  std::string* dir) {
  if (StartPeer(peer, "Data P" + std::to_string(number)) &&
      peer->Call("open " + folder + " " + std::to_string(flags), dir) == 0) {
    return true;
  }
  std::printf("data-stress: peer P%d did not start and open\n", number);
  return false;
}

uint32_t PeerSeed(uint32_t seed, size_t peer) {
  return seed * 1000003u + static_cast<uint32_t>(peer) + 11u;
}

}  // namespace

int RunDataStress(const HarnessOptions& options) {
  SampleDatabase sample = MakeSampleDatabase();
  const std::vector<size_t> stressed = StampSample(&sample);
  TempFolder folder;
  WriteSampleDatabase(sample, folder);
  std::printf(
      "data-stress: %d processes, %d rounds of %d locks each, pauses up to %u ms, seed %u, "
      "%zu securities, folder %s\n",
      options.processes, options.rounds, options.ops, options.pause_ms, options.seed,
      stressed.size(), folder.path().c_str());

  std::vector<std::unique_ptr<Peer>> peers;
  std::vector<std::string> dirs;
  for (int i = 1; i <= options.processes; ++i) {
    peers.push_back(std::make_unique<Peer>());
    dirs.emplace_back();
    if (!StartAndOpen(peers.back().get(), i, folder.path(), 0, &dirs.back())) return 2;
  }
  std::map<uint32_t, uint32_t> versions, slot_of_file;  // by data file number
  for (size_t position : stressed) versions[sample.records[position].file_number] = 1;
  Problems problems = CheckRound(folder, versions, &slot_of_file);
  std::string slots;
  std::map<uint32_t, uint32_t> file_of_slot;
  for (const auto& [file_number, slot] : slot_of_file) {
    slots += " " + std::to_string(slot);
    file_of_slot[slot] = file_number;
  }
  uint64_t conflicts = 0, reads = 0, commits = 0, reopens = 0, deaths = 0, added = 0, deleted = 0;
  const auto start = std::chrono::steady_clock::now();
  int round = 1;
  for (; round <= options.rounds && problems.empty(); ++round) {
    auto churns = [&](size_t i) { return (i + static_cast<size_t>(round)) % kChurners == 0; };
    for (size_t i = 0; i < peers.size(); ++i) {
      const std::string seed =
          std::to_string(PeerSeed(options.seed, i) + static_cast<uint32_t>(round));
      peers[i]->Send(churns(i) ? "churn " + dirs[i] + " " + std::to_string(options.ops) + " " + seed
                               : "dataround " + folder.path() + " " + dirs[i] + " " +
                                     std::to_string(options.ops) + " " +
                                     std::to_string(options.pause_ms) + " " + seed + slots);
    }
    for (size_t i = 0; i < peers.size(); ++i) {
      std::string rest;
      int32_t status = peers[i]->Answer(&rest, 120000);
      std::string problem;
      if (churns(i)) {
        std::istringstream in(rest);
        uint64_t a = 0, d = 0;
        in >> a >> d;
        added += a;
        deleted += d;
      } else {
        RoundResult result = ParseRound(status, rest);
        dirs[i] = std::to_string(result.dir);
        conflicts += result.conflicts;
        reads += result.reads;
        reopens += result.reopens;
        for (const auto& [slot, count] : result.writes) {
          commits += count;
          versions[file_of_slot[slot]] += count;
        }
        problem = result.problem;
      }
      if (status == kDied && !churns(i)) {
        ++deaths;
        peers[i]->Exit();
        peers[i] = std::make_unique<Peer>();
        if (!StartAndOpen(peers[i].get(), static_cast<int>(i + 1), folder.path(), kAllowSameUser,
                          &dirs[i])) {
          return 2;
        }
      } else if (status != 0) {
        problems.push_back("P" + std::to_string(i + 1) + (churns(i) ? ": churn" : ": dataround") +
                           " gave " + std::to_string(status) + ": " + problem);
      }
    }
    Problems found = CheckRound(folder, versions, &slot_of_file);
    problems.insert(problems.end(), found.begin(), found.end());
  }
  for (size_t i = 0; i < peers.size(); ++i) {
    int32_t status = peers[i]->Call("close " + dirs[i]);
    if (status != 0 && problems.empty()) {
      problems.push_back("P" + std::to_string(i + 1) + ": close gave " + std::to_string(status));
    }
    peers[i]->Exit();
  }
  if (problems.empty()) problems = DeleteChurned(folder.path());
  if (problems.empty()) {
    // The sample as the committed changes left it.
    SampleDatabase expected = sample;
    for (size_t position : stressed) {
      zarq::SecurityRecord& r = expected.records[position];
      std::vector<ZarqPriceRecord> records;
      std::string problem = StampedData(folder, r, versions[r.file_number], &records);
      if (!problem.empty()) {
        problems.push_back(problem);
        continue;
      }
      r.first_date = r.base_date = records.front().Date;
      r.last_date = records.back().Date;
      expected.data_files[DataFileName(r.file_number)] = PriceFileOf(r, records);
    }
    Problems found = CheckInvariants(folder.path(), expected);
    problems.insert(problems.end(), found.begin(), found.end());
  }
  if (!problems.empty()) {
    std::printf("data-stress: FAILED in round %d:\n", round - 1);
    for (const std::string& problem : problems) std::printf("  %s\n", problem.c_str());
    std::printf("folder:\n%s", DescribeDatabaseFolder(folder.path(), sample).c_str());
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "data-stress: passed: %d processes x %d rounds in %.1f s; read locks %llu, committed "
      "changes %llu, closes with a lock held %llu, deaths holding one %llu, conflicts (-321) "
      "%llu; securities added %llu, deleted %llu\n",
      options.processes, options.rounds, seconds, static_cast<unsigned long long>(reads),
      static_cast<unsigned long long>(commits), static_cast<unsigned long long>(reopens),
      static_cast<unsigned long long>(deaths), static_cast<unsigned long long>(conflicts),
      static_cast<unsigned long long>(added), static_cast<unsigned long long>(deleted));
  return 0;
}

}  // namespace zarq_test
