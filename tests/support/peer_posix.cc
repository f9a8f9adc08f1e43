// peer_posix.cc: the peer process on POSIX systems.

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/peer.h"

namespace zarq_test {

Peer::~Peer() {
  if (running_) Kill();
  if (to_child_ >= 0) close(static_cast<int>(to_child_));
  if (from_child_ >= 0) close(static_cast<int>(from_child_));
}

bool Peer::Start() {
  char self[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return false;
  std::string program(self, static_cast<size_t>(length));
  program = program.substr(0, program.rfind('/')) + "/zarq_peer";
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_child_ = in[1];
  from_child_ = out[0];
  process_ = pid;
  running_ = true;
  signal(SIGPIPE, SIG_IGN);
  return true;
}

bool Peer::Send(const std::string& command) {
  std::string text = command + "\n";
  return write(static_cast<int>(to_child_), text.data(), text.size()) ==
         static_cast<ssize_t>(text.size());
}

bool Peer::ReadMore(uint32_t timeout_ms) {
  pollfd wait{static_cast<int>(from_child_), POLLIN, 0};
  if (poll(&wait, 1, static_cast<int>(timeout_ms)) <= 0) return false;
  char buffer[512];
  ssize_t got = read(static_cast<int>(from_child_), buffer, sizeof(buffer));
  if (got <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(got));
  return true;
}

void Peer::Kill() {
  if (!running_) return;
  kill(static_cast<pid_t>(process_), SIGKILL);
  Wait(10000);
}

int Peer::Wait(uint32_t timeout_ms) {
  for (uint32_t waited = 0; running_ && waited <= timeout_ms; waited += 5) {
    int status = 0;
    if (waitpid(static_cast<pid_t>(process_), &status, WNOHANG) == process_) {
      running_ = false;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    usleep(5000);
  }
  return -1;
}

}  // namespace zarq_test
