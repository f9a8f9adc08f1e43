// peer.h: a peer process (tests/peer) that shares data directories with the
// test. It reads commands line by line from a pipe and appends its answers
// to a file, which the test reads as they come.

#ifndef ZARQ_TESTS_SUPPORT_PEER_H_
#define ZARQ_TESTS_SUPPORT_PEER_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/support/temp_folder.h"

namespace zarq_test {

class Peer {
 public:
  Peer() = default;
  ~Peer() { Kill(); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool Start();
  // Sends a command and returns its status (the first value of the answer);
  // extra values of the answer go to *rest. -9999 when no answer came.
  int32_t Call(const std::string& command, std::string* rest = nullptr) {
    return Send(command) ? Answer(rest) : -9999;
  }
  // Sends a command without waiting for its answer (collect it with Answer).
  bool Send(const std::string& command);
  // The next answer; -9999 at once when the process ended without giving
  // one, or after timeout_ms.
  int32_t Answer(std::string* rest = nullptr, uint32_t timeout_ms = 30000);
  // Ends the process at once, as a crash would.
  void Kill();
  // Ends it normally (or waits for it, when it ended by itself); its exit
  // code, or -1.
  int Exit();

 private:
  bool Ended() const;

  TempFolder folder_;  // holds the file of answers
  std::FILE* commands_ = nullptr;
  uint32_t process_id_ = 0;
  size_t answered_ = 0;  // the bytes of answers read
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PEER_H_
