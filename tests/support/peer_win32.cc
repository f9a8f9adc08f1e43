// peer_win32.cc: the peer process on Windows.

#include <windows.h>

#include "tests/support/peer.h"

namespace zarq_test {
namespace {

HANDLE Native(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

Peer::~Peer() {
  if (running_) Kill();
  if (to_child_ != -1) CloseHandle(Native(to_child_));
  if (from_child_ != -1) CloseHandle(Native(from_child_));
  if (process_ != 0) CloseHandle(Native(process_));
}

bool Peer::Start() {
  char self[MAX_PATH];
  std::string program(self, GetModuleFileNameA(nullptr, self, sizeof(self)));
  program = program.substr(0, program.find_last_of("\\/")) + "\\zarq_peer.exe";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE child_in_read, child_in_write, child_out_read, child_out_write;
  if (!CreatePipe(&child_in_read, &child_in_write, &inherit, 0)) return false;
  if (!CreatePipe(&child_out_read, &child_out_write, &inherit, 0)) return false;
  SetHandleInformation(child_in_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(child_out_read, HANDLE_FLAG_INHERIT, 0);
  std::string command = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in_read;
  startup.hStdOutput = child_out_write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  BOOL ok = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           nullptr, &startup, &info);
  CloseHandle(child_in_read);
  CloseHandle(child_out_write);
  if (!ok) {
    CloseHandle(child_in_write);
    CloseHandle(child_out_read);
    return false;
  }
  CloseHandle(info.hThread);
  process_ = reinterpret_cast<intptr_t>(info.hProcess);
  to_child_ = reinterpret_cast<intptr_t>(child_in_write);
  from_child_ = reinterpret_cast<intptr_t>(child_out_read);
  running_ = true;
  return true;
}

bool Peer::Send(const std::string& command) {
  std::string text = command + "\n";
  DWORD put = 0;
  return WriteFile(Native(to_child_), text.data(), static_cast<DWORD>(text.size()), &put,
                   nullptr) &&
         put == text.size();
}

bool Peer::ReadMore(uint32_t timeout_ms) {
  DWORD start = GetTickCount(), available = 0;
  while (available == 0) {
    if (!PeekNamedPipe(Native(from_child_), nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0 && GetTickCount() - start >= timeout_ms) return false;
    if (available == 0) Sleep(5);
  }
  char buffer[512];
  DWORD got = 0;
  if (!ReadFile(Native(from_child_), buffer, sizeof(buffer), &got, nullptr) || got == 0) {
    return false;
  }
  pending_.append(buffer, got);
  return true;
}

void Peer::Kill() {
  if (!running_) return;
  TerminateProcess(Native(process_), 137);
  Wait(10000);
}

int Peer::Wait(uint32_t timeout_ms) {
  if (!running_ || WaitForSingleObject(Native(process_), timeout_ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(Native(process_), &code);
  running_ = false;
  return static_cast<int>(code);
}

}  // namespace zarq_test
