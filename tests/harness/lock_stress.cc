// lock_stress.cc: the lock-stress mode. Peers, each with an identity of
// its own, keep the sample database open and lock its plain securities
// that carry an extra date (whose ExtraValue the master files keep) at
// random levels with random pauses, adding 1 to ExtraValue under every
// lock of WriteLock or more, now and then closing the directory with the
// lock held and opening it again (lockround in tests/peer). After every
// round, with no lock held, the list file must hold every security as the
// sample has it with ExtraValue raised by exactly the changes reported
// (nothing lost, nothing doubled), and every lock-file record must be
// free; at the end, with everyone closed, the folder must hold the sample
// so changed and nothing else.

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "tests/harness/harness.h"
#include "tests/harness/invariants.h"
#include "tests/harness/sample_database.h"
#include "tests/harness/working_files.h"

namespace zarq_test {
namespace {

using Problems = std::vector<std::string>;

// The list positions of the securities the peers lock.
std::vector<size_t> LockablePositions(const SampleDatabase& sample) {
  std::vector<size_t> positions;
  for (size_t i = 0; i < sample.records.size(); ++i) {
    const zarq::SecurityRecord& r = sample.records[i];
    if (!r.composite && r.extra_date != 0) positions.push_back(i);
  }
  return positions;
}

// The list file against the expected records (found by data file number,
// which is unique in the sample), and the lock file free.
Problems CheckWorkingFiles(const std::string& folder, const SampleDatabase& expected,
                           std::map<uint32_t, uint32_t>* slot_of_file) {
  Problems problems;
  std::vector<zarq::SecurityRecord> listed;
  std::string problem;
  if (!ReadSecurityList(folder, &listed, &problem)) return {problem};
  std::map<uint32_t, const zarq::SecurityRecord*> by_file;
  for (const zarq::SecurityRecord& r : listed) {
    if (r.in_use && !r.deleted) by_file[r.file_number] = &r;
  }
  for (const zarq::SecurityRecord& want : expected.records) {
    auto found = by_file.find(want.file_number);
    if (found == by_file.end()) {
      problems.push_back("~ZARQ.SEC lacks the security of file " +
                         std::to_string(want.file_number));
      continue;
    }
    (*slot_of_file)[want.file_number] = found->second->slot;
    std::string text;
    for (const std::string& d : RecordDifferences(*found->second, want)) text += " " + d + ";";
    if (!text.empty()) {
      problems.push_back("~ZARQ.SEC slot " + std::to_string(found->second->slot) + ":" + text);
    }
  }
  if (by_file.size() != expected.records.size()) {
    problems.push_back("~ZARQ.SEC lists " + std::to_string(by_file.size()) + " securities");
  }
  for (const std::string& held : HeldLockRecords(folder)) problems.push_back(held);
  return problems;
}

uint32_t PeerSeed(uint32_t seed, size_t peer) {
  return seed * 1000003u + static_cast<uint32_t>(peer) + 7u;
}

}  // namespace

RoundResult ParseRound(int32_t status, const std::string& rest) {
  RoundResult result;
  result.status = status;
  std::istringstream in(rest);
  in >> result.dir >> result.conflicts >> result.reads >> result.reopens;
  std::string word;
  while (in >> word && word != "|") {
    size_t colon = word.find(':');
    if (colon == std::string::npos) continue;
    result.writes[static_cast<uint32_t>(std::stoul(word.substr(0, colon)))] +=
        static_cast<uint32_t>(std::stoul(word.substr(colon + 1)));
  }
  std::getline(in >> std::ws, result.problem);
  return result;
}

int RunLockStress(const HarnessOptions& options) {
  const SampleDatabase sample = MakeSampleDatabase();
  SampleDatabase expected = sample;
  const std::vector<size_t> lockable = LockablePositions(sample);
  TempFolder folder;
  WriteSampleDatabase(sample, folder);
  std::printf(
      "lock-stress: %d processes, %d rounds of %d locks each, pauses up to %u ms, "
      "seed %u, %zu securities locked, folder %s\n",
      options.processes, options.rounds, options.ops, options.pause_ms, options.seed,
      lockable.size(), folder.path().c_str());

  std::vector<std::unique_ptr<Peer>> peers;
  std::vector<uint32_t> dirs;
  for (int i = 1; i <= options.processes; ++i) {
    peers.push_back(std::make_unique<Peer>());
    std::string dir;
    if (!StartPeer(peers.back().get(), "Locker P" + std::to_string(i)) ||
        peers.back()->Call("open " + folder.path() + " 0", &dir) != 0) {
      std::printf("lock-stress: peer P%d did not start and open\n", i);
      return 2;
    }
    dirs.push_back(static_cast<uint32_t>(std::stoul(dir)));
  }
  std::map<uint32_t, uint32_t> slot_of_file;
  Problems problems = CheckWorkingFiles(folder.path(), expected, &slot_of_file);
  std::string slots;
  std::map<uint32_t, size_t> position_of_slot;
  for (size_t position : lockable) {
    uint32_t slot = slot_of_file[sample.records[position].file_number];
    slots += " " + std::to_string(slot);
    position_of_slot[slot] = position;
  }
  uint64_t conflicts = 0, reads = 0, writes = 0, reopens = 0;
  const auto start = std::chrono::steady_clock::now();
  int round = 1;
  for (; round <= options.rounds && problems.empty(); ++round) {
    for (size_t i = 0; i < peers.size(); ++i) {
      peers[i]->Send("lockround " + folder.path() + " " + std::to_string(dirs[i]) + " " +
                     std::to_string(options.ops) + " " + std::to_string(options.pause_ms) + " " +
                     std::to_string(PeerSeed(options.seed, i)) + slots);
    }
    for (size_t i = 0; i < peers.size(); ++i) {
      std::string rest;
      int32_t status = peers[i]->Answer(&rest, 120000);
      RoundResult result = ParseRound(status, rest);
      dirs[i] = result.dir;
      conflicts += result.conflicts;
      reads += result.reads;
      reopens += result.reopens;
      for (const auto& [slot, count] : result.writes) {
        writes += count;
        expected.records[position_of_slot[slot]].extra_value += count;
      }
      if (status != 0) {
        problems.push_back("P" + std::to_string(i + 1) + ": lockround gave " +
                           std::to_string(status) + ": " + result.problem);
      }
    }
    Problems found = CheckWorkingFiles(folder.path(), expected, &slot_of_file);
    problems.insert(problems.end(), found.begin(), found.end());
  }
  for (size_t i = 0; i < peers.size(); ++i) {
    int32_t status = peers[i]->Call("close " + std::to_string(dirs[i]));
    if (status != 0 && problems.empty()) {
      problems.push_back("P" + std::to_string(i + 1) + ": close gave " + std::to_string(status));
    }
    peers[i]->Exit();
  }
  if (problems.empty()) problems = CheckInvariants(folder.path(), expected);
  if (!problems.empty()) {
    std::printf("lock-stress: FAILED in round %d:\n", round - 1);
    for (const std::string& problem : problems) std::printf("  %s\n", problem.c_str());
    std::printf("folder:\n%s", DescribeDatabaseFolder(folder.path(), sample).c_str());
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "lock-stress: passed: %d processes x %d rounds in %.1f s; read locks %llu, changes under "
      "write locks %llu, closes with a lock held %llu, conflicts (-321) %llu\n",
      options.processes, options.rounds, seconds, static_cast<unsigned long long>(reads),
      static_cast<unsigned long long>(writes), static_cast<unsigned long long>(reopens),
      static_cast<unsigned long long>(conflicts));
  return 0;
}

}  // namespace zarq_test
