// harness.h: the modes of zarq_harness, the driver that proves the open
// and close of a shared directory, the locking of its securities and the
// changes of their data and of the list reliable: many processes opening
// and closing one directory at once (stress), many locking and changing
// its securities at once (lock stress), many changing and reading price
// data and adding and deleting securities at once (data stress), and a
// process that dies at every file-changing call of an open, a close, a
// lock, change and unlock, or an addition or deletion (crash points). All
// run real peer processes (tests/peer) against the sample database and
// check the folder's invariants (invariants.h) whenever nobody has it
// open.
//
// Thread-safety: single-threaded programs.

#ifndef ZARQ_TESTS_HARNESS_HARNESS_H_
#define ZARQ_TESTS_HARNESS_HARNESS_H_

#include <cstdint>
#include <map>
#include <string>

#include "tests/support/peer.h"

namespace zarq_test {

struct HarnessOptions {
  int processes = 4;
  int rounds = 20;
  // The longest random pause: stress, before an open and a close; lock
  // stress, before a lock and while holding it.
  uint32_t pause_ms = 10;
  uint32_t seed = 0;
  int ops = 10;            // lock and data stress: locks per process and round
  int every = 1;           // crash points: try only every n-th call (and the last)
  int first_scenario = 0;  // crash points: only scenarios first..last (0: all)
  int last_scenario = 0;
};

// Each returns the program's exit code: 0 when every invariant held, 1 on
// a violation, 2 when the harness itself could not run.
int RunStress(const HarnessOptions& options);
int RunLockStress(const HarnessOptions& options);
int RunDataStress(const HarnessOptions& options);
int RunCrashPoints(const HarnessOptions& options);

// What a peer answers to a round of locks (lockround, dataround):
// "<dir> <conflicts> <reads> <reopens> <slot>:<writes>... [| <problem>]".
struct RoundResult {
  int32_t status = -9999;
  uint32_t dir = 0;
  uint32_t conflicts = 0, reads = 0, reopens = 0;
  std::map<uint32_t, uint32_t> writes;  // slot -> committed changes
  std::string problem;
};
RoundResult ParseRound(int32_t status, const std::string& rest);

// Starts a peer and initialises the library there as identity
// ("<application> <user>"); false when it does not answer so.
bool StartPeer(Peer* peer, const std::string& identity);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_HARNESS_H_
