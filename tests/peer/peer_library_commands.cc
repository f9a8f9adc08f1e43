// peer_library_commands.cc: peer commands for the library's lifecycle and
// directories, and for raw byte-range locks on a directory's files.
//
//   init <application> <user>             ZARQ1_Initialize
//   shutdown                               ZARQ1_Shutdown
//   open <path> <flags>                    ZARQ1_OpenDirectory -> number
//   close <number>                         ZARQ1_CloseDirectory
//   lock <dir> <file> <offset> <length> <mode>
//                                          FileLockRegion on a file of the directory
//   unlock <dir> <file> <offset> <length>
//   sleep <ms>

#include <string>

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/frame/entry_frame.h"
#include "src/platform/platform.h"
#include "tests/peer/peer_commands.h"

namespace zarq_peer {
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
    if (status == ZARQ_OK) {
      status = zarq::FileSeek(handle, 1, static_cast<int32_t>(offset), zarq::kSeekRecord);
    }
    if (status == ZARQ_OK) {
      status = zarq::FileLockRegion(handle, lock ? mode : zarq::kUnlockRegion, length);
    }
    return status;
  });
}

const CommandRegistration kInit("init", [](std::istringstream& in, std::string*) {
  std::string application, user;
  in >> application >> user;
  return ZARQ1_Initialize(application.c_str(), user.c_str(), ZARQ_INTERFACE_VERSION);
});

const CommandRegistration kShutdown("shutdown", [](std::istringstream&, std::string*) {
  return ZARQ1_Shutdown();
});

const CommandRegistration kOpen("open", [](std::istringstream& in, std::string* answer) {
  std::string path;
  uint32_t flags = 0;
  in >> path >> flags;
  uint8_t number = 0;
  int32_t status = ZARQ1_OpenDirectory(path.c_str(), &number, flags);
  *answer = " " + std::to_string(number);
  return status;
});

const CommandRegistration kClose("close", [](std::istringstream& in, std::string*) {
  uint32_t number = 0;
  in >> number;
  return ZARQ1_CloseDirectory(number);
});

const CommandRegistration kLock("lock", [](std::istringstream& in, std::string*) {
  return LockCommand(in, true);
});

const CommandRegistration kUnlock("unlock", [](std::istringstream& in, std::string*) {
  return LockCommand(in, false);
});

const CommandRegistration kSleep("sleep", [](std::istringstream& in, std::string*) {
  uint32_t ms = 0;
  in >> ms;
  zarq::Os().Sleep(ms);
  return int32_t{ZARQ_OK};
});

}  // namespace
}  // namespace zarq_peer
