// subprocess_posix.cc: child processes on POSIX systems.

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/subprocess.h"

namespace zarq_test {
namespace {

uint64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

Subprocess::~Subprocess() {
  if (running_) Kill();
  if (to_child_ >= 0) close(static_cast<int>(to_child_));
  if (from_child_ >= 0) close(static_cast<int>(from_child_));
}

bool Subprocess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
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

bool Subprocess::WriteLine(const std::string& line) {
  std::string text = line + "\n";
  return write(static_cast<int>(to_child_), text.data(), text.size()) ==
         static_cast<ssize_t>(text.size());
}

bool Subprocess::ReadMore(uint32_t timeout_ms) {
  pollfd wait{static_cast<int>(from_child_), POLLIN, 0};
  if (poll(&wait, 1, static_cast<int>(timeout_ms)) <= 0) return false;
  char buffer[512];
  ssize_t got = read(static_cast<int>(from_child_), buffer, sizeof(buffer));
  if (got <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(got));
  return true;
}

bool Subprocess::ReadLine(std::string* line, uint32_t timeout_ms) {
  uint64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      *line = pending_.substr(0, end);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      pending_.erase(0, end + 1);
      return true;
    }
    uint64_t now = NowMs();
    if (now >= deadline || !ReadMore(static_cast<uint32_t>(deadline - now))) return false;
  }
}

void Subprocess::Kill() {
  if (!running_) return;
  kill(static_cast<pid_t>(process_), SIGKILL);
  Wait(10000);
}

int Subprocess::Wait(uint32_t timeout_ms) {
  if (!running_) return -1;
  uint64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
    if (done == static_cast<pid_t>(process_)) {
      running_ = false;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (NowMs() >= deadline) return -1;
    usleep(5000);
  }
}

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return ".";
  std::string text(path, static_cast<size_t>(length));
  return text.substr(0, text.rfind('/'));
}

}  // namespace zarq_test
