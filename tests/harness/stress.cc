// stress.cc: the stress mode. Several peers, each with an identity of its
// own, open and close the sample database at the same moments over many
// rounds, with random pauses in between; after every round, with all of
// them closed, the folder must still hold exactly the sample.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "tests/harness/harness.h"
#include "tests/harness/invariants.h"
#include "tests/harness/sample_database.h"

namespace zarq_test {
namespace {

// Opens refused because the directory was busy; the processes just try
// again next round.
bool BusyStatus(int32_t status) { return status == -364 || status == -366; }

// A seed of its own for each peer's pauses.
uint32_t PeerSeed(uint32_t seed, size_t peer) {
  return seed * 1000003u + static_cast<uint32_t>(peer);
}

struct CycleResult {
  int32_t open = -9999;
  int32_t close = -9999;
};

CycleResult CollectCycle(Peer* peer) {
  CycleResult result;
  std::string rest;
  result.open = peer->Answer(&rest, 60000);
  if (result.open != -9999 && !rest.empty()) {
    result.close = static_cast<int32_t>(std::strtol(rest.c_str(), nullptr, 10));
  }
  return result;
}

}  // namespace

int RunStress(const HarnessOptions& options) {
  const SampleDatabase sample = MakeSampleDatabase();
  TempFolder folder;
  WriteSampleDatabase(sample, folder);
  if (!CheckInvariants(folder.path(), sample).empty()) {
    std::printf("the sample database fails its own checks\n");
    return 2;
  }
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 1; i <= options.processes; ++i) {
    peers.push_back(std::make_unique<Peer>());
    if (!StartPeer(peers.back().get(), "Stress P" + std::to_string(i))) {
      std::printf("stress: peer P%d did not start\n", i);
      return 2;
    }
  }
  std::printf("stress: %d processes, %d rounds, pauses up to %u ms, seed %u, folder %s\n",
              options.processes, options.rounds, options.pause_ms, options.seed,
              folder.path().c_str());

  std::map<std::string, int> seen;  // "open <status>" / "close <status>" -> count
  const auto start = std::chrono::steady_clock::now();
  for (int round = 1; round <= options.rounds; ++round) {
    for (size_t i = 0; i < peers.size(); ++i) {
      peers[i]->Send("cycle " + folder.path() + " 0 " + std::to_string(options.pause_ms) + " " +
                     std::to_string(PeerSeed(options.seed, i)));
    }
    std::vector<std::string> problems;
    std::string outcomes;
    for (size_t i = 0; i < peers.size(); ++i) {
      CycleResult result = CollectCycle(peers[i].get());
      std::string who = "P" + std::to_string(i + 1);
      outcomes +=
          " " + who + " " + std::to_string(result.open) + "/" + std::to_string(result.close);
      ++seen["open " + std::to_string(result.open)];
      if (result.open == 0) ++seen["close " + std::to_string(result.close)];
      if (result.open != 0 && !BusyStatus(result.open)) {
        problems.push_back(who + ": open gave " + std::to_string(result.open));
      } else if (result.open == 0 && result.close != 0) {
        problems.push_back(who + ": close gave " + std::to_string(result.close));
      }
    }
    std::vector<std::string> violations = CheckInvariants(folder.path(), sample);
    problems.insert(problems.end(), violations.begin(), violations.end());
    if (!problems.empty()) {
      std::printf("stress: FAILED in round %d (open/close per process:%s)\n", round,
                  outcomes.c_str());
      for (const std::string& problem : problems) std::printf("  %s\n", problem.c_str());
      std::printf("folder:\n%s", DescribeDatabaseFolder(folder.path(), sample).c_str());
      for (auto& peer : peers) peer->Exit();
      return 1;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("stress: passed: %d processes x %d rounds in %.1f s;", options.processes,
              options.rounds, seconds);
  for (const auto& [what, count] : seen) std::printf(" %s: %d;", what.c_str(), count);
  std::printf("\n");
  for (auto& peer : peers) peer->Exit();
  return 0;
}

}  // namespace zarq_test
