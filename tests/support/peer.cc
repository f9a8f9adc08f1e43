// peer.cc: starting, driving and ending the peer process.

#include "tests/support/peer.h"

#include <sstream>

#ifdef _WIN32
#include <windows.h>
#define popen _popen
#define pclose _pclose
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace zarq_test {
namespace {

// The peer program, beside the running test program.
std::string PeerProgram() {
#ifdef _WIN32
  char self[MAX_PATH];
  std::string path(self, GetModuleFileNameA(nullptr, self, sizeof(self)));
  return path.substr(0, path.find_last_of("\\/")) + "\\zarq_peer.exe";
#else
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof(self));
  std::string path(self, length > 0 ? static_cast<size_t>(length) : 0);
  signal(SIGPIPE, SIG_IGN);  // a peer that ended must not end the test
  return path.substr(0, path.rfind('/')) + "/zarq_peer";
#endif
}

void Pause() {
#ifdef _WIN32
  Sleep(5);
#else
  usleep(5000);
#endif
}

}  // namespace

bool Peer::Start() {
  Kill();
  // A fresh start: no answers of an earlier process are taken for its own.
  folder_.WriteFile("answers", "");
  answered_ = 0;
  process_id_ = 0;
  std::string command = "\"" + PeerProgram() + "\" \"" + folder_.Join("answers") + "\"";
#ifdef _WIN32
  command = "\"" + command + "\"";  // the command interpreter drops the outer quotes
#endif
  commands_ = popen(command.c_str(), "w");
  std::string id;  // the peer answers first with its process id
  if (commands_ == nullptr || Answer(&id) != 0) return false;
  process_id_ = static_cast<uint32_t>(std::stoul(id));
  return true;
}

bool Peer::Send(const std::string& command) {
  return commands_ != nullptr && std::fputs((command + "\n").c_str(), commands_) >= 0 &&
         std::fflush(commands_) == 0;
}

bool Peer::Ended() const {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id_);
  if (process == nullptr) return true;
  bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
#else
  // The peer is our child when the shell replaced itself with it (WNOWAIT
  // leaves an ended one for pclose to collect), else the shell's.
  siginfo_t info{};
  pid_t pid = static_cast<pid_t>(process_id_);
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
    return info.si_pid != 0;
  }
  return kill(pid, 0) != 0 && errno == ESRCH;
#endif
}

int32_t Peer::Answer(std::string* rest, uint32_t timeout_ms) {
  std::string text;
  for (uint32_t waited = 0;; waited += 5) {
    // Looked at before the answers, so that a last answer is not missed.
    bool ended = process_id_ != 0 && Ended();
    if ((text = folder_.ReadFile("answers")).find('\n', answered_) != std::string::npos) break;
    if (ended || waited >= timeout_ms) return -9999;
    Pause();
  }
  size_t end = text.find('\n', answered_);
  std::istringstream line(text.substr(answered_, end - answered_));
  answered_ = end + 1;
  char mark = 0;
  int32_t status = -9999;
  line >> mark >> status;
  if (rest != nullptr) std::getline(line >> std::ws, *rest);
  return mark == '=' ? status : -9999;
}

void Peer::Kill() {
  if (commands_ == nullptr) return;
#ifdef _WIN32
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, process_id_)) {
    TerminateProcess(process, 137);
    CloseHandle(process);
  }
#else
  if (process_id_ != 0) kill(static_cast<pid_t>(process_id_), SIGKILL);
#endif
  pclose(commands_);
  commands_ = nullptr;
}

int Peer::Exit() {
  if (commands_ == nullptr) return -1;
  Send("exit");  // fails for a peer that ended; pclose still collects it
  int status = pclose(commands_);
  commands_ = nullptr;
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace zarq_test
