// peer.h: drives a peer process (tests/peer) that shares data directories
// with the test, line by line.

#ifndef ZARQ_TESTS_SUPPORT_PEER_H_
#define ZARQ_TESTS_SUPPORT_PEER_H_

#include <cstdint>
#include <sstream>
#include <string>

#include "tests/support/subprocess.h"

namespace zarq_test {

class Peer {
 public:
  bool Start() {
#ifdef _WIN32
    return process_.Start(ProgramFolder() + "\\zarq_peer.exe", {});
#else
    return process_.Start(ProgramFolder() + "/zarq_peer", {});
#endif
  }

  // Sends a command and returns its status (the first value of the answer);
  // extra values of the answer go to *rest. -9999 when no answer came.
  int32_t Call(const std::string& command, std::string* rest = nullptr,
               uint32_t timeout_ms = 30000) {
    if (!process_.WriteLine(command)) return -9999;
    return Answer(rest, timeout_ms);
  }

  // Sends a command without waiting for its answer (collect it with Answer).
  bool Send(const std::string& command) { return process_.WriteLine(command); }

  int32_t Answer(std::string* rest = nullptr, uint32_t timeout_ms = 30000) {
    std::string line;
    if (!process_.ReadLine(&line, timeout_ms) || line.size() < 2 || line[0] != '=') return -9999;
    std::istringstream in(line.substr(1));
    int32_t status = -9999;
    in >> status;
    if (rest != nullptr) std::getline(in >> std::ws, *rest);
    return status;
  }

  void Kill() { process_.Kill(); }
  int Exit() {
    process_.WriteLine("exit");
    return process_.Wait(30000);
  }

 private:
  Subprocess process_;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PEER_H_
