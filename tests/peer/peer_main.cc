// peer_main.cc: a second (third, ...) process for multi-process tests. It
// reads one command per line on standard input and answers each with one
// line "= <status> [values]" on standard output.
//
//   init <application> <user>          ZARQ1_Initialize
//   open <path> <flags>                ZARQ1_OpenDirectory -> "= status number"
//   close <number>                     ZARQ1_CloseDirectory
//   lock <dir> <file> <offset> <length> <mode>
//                                      FileLockRegion on a file of the directory
//   unlock <dir> <file> <offset> <length>
//   sleep <ms>
//   shutdown                           ZARQ1_Shutdown
//   crash                              ends at once, cleaning up nothing
//   exit                               ends normally

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/frame/entry_frame.h"
#include "src/platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#define PEER_EXIT(code) TerminateProcess(GetCurrentProcess(), code)
#else
#include <unistd.h>
#define PEER_EXIT(code) _exit(code)
#endif

namespace {

int32_t LockCommand(std::istringstream& in, bool lock) {
  int dir = 0, mode = 0;
  std::string file;
  uint32_t offset = 0, length = 0;
  in >> dir >> file >> offset >> length;
  if (lock) in >> mode;
  return zarq::EnterInitialized([&] {
    char path[300];
    if (ZARQ1_GetDataPath(static_cast<uint32_t>(dir), path, 0) != ZARQ_OK) {
      return int32_t{ZARQ_E_DIRECTORY_NOT_OPEN};
    }
    zarq::FileHandle handle = zarq::kNoFileHandle;
    int32_t status = zarq::FileOpen(static_cast<uint8_t>(dir), (std::string(path) + file).c_str(),
                                    &handle, zarq::kOpenCreate);
    if (status == ZARQ_OK)
      status = zarq::FileSeek(handle, 1, static_cast<int32_t>(offset), zarq::kSeekRecord);
    if (status == ZARQ_OK) {
      status = zarq::FileLockRegion(handle, lock ? mode : zarq::kUnlockRegion, length);
    }
    return status;
  });
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string answer;
    int32_t status = 0;
    if (command == "init") {
      std::string application, user;
      in >> application >> user;
      status = ZARQ1_Initialize(application.c_str(), user.c_str(), ZARQ_INTERFACE_VERSION);
    } else if (command == "open") {
      std::string path;
      uint32_t flags = 0;
      in >> path >> flags;
      uint8_t number = 0;
      status = ZARQ1_OpenDirectory(path.c_str(), &number, flags);
      answer = " " + std::to_string(number);
    } else if (command == "close") {
      uint32_t number = 0;
      in >> number;
      status = ZARQ1_CloseDirectory(number);
    } else if (command == "lock") {
      status = LockCommand(in, true);
    } else if (command == "unlock") {
      status = LockCommand(in, false);
    } else if (command == "sleep") {
      uint32_t ms = 0;
      in >> ms;
      zarq::Os().Sleep(ms);
    } else if (command == "shutdown") {
      status = ZARQ1_Shutdown();
    } else if (command == "crash") {
      std::fflush(stdout);
      PEER_EXIT(3);
    } else if (command == "exit") {
      std::cout << "= 0" << std::endl;
      return 0;
    } else {
      status = ZARQ_E_INVALID_ARGUMENT;
    }
    std::cout << "= " << status << answer << std::endl;
  }
  return 0;
}
