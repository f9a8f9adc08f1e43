// harness.h: the modes of zarq_harness, the driver that proves the open
// and close of a shared directory reliable: many processes opening and
// closing one directory at once (stress), and a process that dies at every
// file-changing call of an open or a close (crash points). Both run real
// peer processes (tests/peer) against the sample database and check the
// folder's invariants (invariants.h) whenever nobody has it open.
//
// Thread-safety: single-threaded programs.

#ifndef ZARQ_TESTS_HARNESS_HARNESS_H_
#define ZARQ_TESTS_HARNESS_HARNESS_H_

#include <cstdint>
#include <string>

#include "tests/support/peer.h"

namespace zarq_test {

struct HarnessOptions {
  int processes = 4;
  int rounds = 20;
  uint32_t pause_ms = 10;  // the longest random pause before an open and a close
  uint32_t seed = 0;
  int every = 1;     // crash points: try only every n-th call (and the last)
  int scenario = 0;  // crash points: only this scenario (0: all)
};

// Each returns the program's exit code: 0 when every invariant held, 1 on
// a violation, 2 when the harness itself could not run.
int RunStress(const HarnessOptions& options);
int RunCrashPoints(const HarnessOptions& options);

// Starts a peer and initialises the library there as identity
// ("<application> <user>"); false when it does not answer so.
bool StartPeer(Peer* peer, const std::string& identity);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_HARNESS_H_
