// peer.h: a peer process (tests/peer) that shares data directories with the
// test, driven line by line through pipes to its standard input and from its
// standard output.

#ifndef ZARQ_TESTS_SUPPORT_PEER_H_
#define ZARQ_TESTS_SUPPORT_PEER_H_

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>

namespace zarq_test {

class Peer {
 public:
  Peer() = default;
  ~Peer();
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
  int32_t Answer(std::string* rest = nullptr, uint32_t timeout_ms = 30000) {
    std::string line;
    if (!ReadLine(&line, timeout_ms) || line.size() < 2 || line[0] != '=') return -9999;
    std::istringstream in(line.substr(1));
    int32_t status = -9999;
    in >> status;
    if (rest != nullptr) std::getline(in >> std::ws, *rest);
    return status;
  }
  // Ends the process at once, as a crash would.
  void Kill();
  // Ends it normally; its exit code, or -1 when it did not end.
  int Exit() {
    Send("exit");
    return Wait(30000);
  }

 private:
  // Appends what the process wrote to pending_; false on timeout or end.
  bool ReadMore(uint32_t timeout_ms);
  int Wait(uint32_t timeout_ms);
  bool ReadLine(std::string* line, uint32_t timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (pending_.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadMore(static_cast<uint32_t>(left.count()))) return false;
    }
    size_t end = pending_.find('\n');
    *line = pending_.substr(0, end > 0 && pending_[end - 1] == '\r' ? end - 1 : end);
    pending_.erase(0, end + 1);
    return true;
  }

  bool running_ = false;
  intptr_t process_ = 0;
  intptr_t to_child_ = -1;
  intptr_t from_child_ = -1;
  std::string pending_;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PEER_H_
