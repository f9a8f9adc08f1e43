// subprocess.h: a child process with a pipe to its standard input and one
// from its standard output, for tests that need real second processes.

#ifndef ZARQ_TESTS_SUPPORT_SUBPROCESS_H_
#define ZARQ_TESTS_SUPPORT_SUBPROCESS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zarq_test {

class Subprocess {
 public:
  Subprocess() = default;
  ~Subprocess();
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  bool Start(const std::string& program, const std::vector<std::string>& arguments);
  bool WriteLine(const std::string& line);
  // One line of output without its line end; false on timeout or end.
  bool ReadLine(std::string* line, uint32_t timeout_ms);
  // Ends the process at once, as a crash would.
  void Kill();
  // Waits for the process to end; its exit code, or -1 on timeout.
  int Wait(uint32_t timeout_ms);
  bool running() const { return running_; }

 private:
  bool ReadMore(uint32_t timeout_ms);

  bool running_ = false;
  intptr_t process_ = 0;
  intptr_t to_child_ = -1;
  intptr_t from_child_ = -1;
  std::string pending_;
};

// The folder of the running test program (ends without separator).
std::string ProgramFolder();

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_SUBPROCESS_H_
