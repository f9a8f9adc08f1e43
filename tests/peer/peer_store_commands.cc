// peer_store_commands.cc: peer commands for the security list file.
//
//   storeattach <dir> <stamp>   treats the open directory as holding a
//                               database of that user file stamp (the
//                               test writes the files itself)
//   storedetach <dir>           undoes storeattach before closing
//   bumpheader <dir> <times> <hold_ms>
//                               times over, under the header lock: read
//                               the header, wait hold_ms, add 1 to
//                               NextFileNumber, write
//   rewrite <dir> <first> <last> <rounds> <tag>
//                               rounds over, for each slot first..last:
//                               read the record (checked, locked), set
//                               ExtraValue to the round (1..rounds) and the
//                               name to "<tag> <slot>", write its data part

#include <cstdio>
#include <string>

#include "include/zarq.h"
#include "src/directory/directory_entry.h"
#include "src/fileio/security_handle.h"
#include "src/frame/entry_frame.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"
#include "tests/peer/peer_commands.h"

namespace zarq_peer {
namespace {

const CommandRegistration kStoreAttach("storeattach", [](std::istringstream& in, std::string*) {
  int dir = 0;
  uint32_t stamp = 0;
  in >> dir >> stamp;
  return zarq::EnterInitialized([&] {
    zarq::DirectoryEntry* entry = zarq::FindDirectory(static_cast<uint8_t>(dir));
    if (entry == nullptr) return int32_t{ZARQ_E_DIRECTORY_NOT_OPEN};
    entry->flags |= zarq::kDirHoldsDatabase;
    entry->user_file_stamp = stamp;
    return int32_t{ZARQ_OK};
  });
});

const CommandRegistration kStoreDetach("storedetach", [](std::istringstream& in, std::string*) {
  int dir = 0;
  in >> dir;
  return zarq::EnterInitialized([&] {
    zarq::DirectoryEntry* entry = zarq::FindDirectory(static_cast<uint8_t>(dir));
    if (entry == nullptr) return int32_t{ZARQ_E_DIRECTORY_NOT_OPEN};
    entry->flags &= ~zarq::kDirHoldsDatabase;
    return int32_t{ZARQ_OK};
  });
});

const CommandRegistration kBumpHeader("bumpheader", [](std::istringstream& in, std::string*) {
  int dir = 0, times = 0;
  uint32_t hold_ms = 0;
  in >> dir >> times >> hold_ms;
  uint8_t number = static_cast<uint8_t>(dir);
  int32_t status = ZARQ_OK;
  for (int i = 0; i < times && status == ZARQ_OK; ++i) {
    // One library call per change, so that the other process's calls
    // interleave with ours.
    status = zarq::EnterInitialized([&] {
      zarq::SecurityHeaderLock lock;
      int32_t result = lock.Acquire(number);
      zarq::SecurityListHeader header;
      if (result == ZARQ_OK) {
        result = zarq::AccessSecurityHeader(number, &header, zarq::ListHeaderAccess::kRead);
      }
      // Widens the window in which an unserialised update would be lost.
      zarq::Os().Sleep(hold_ms);
      ++header.next_file_number;
      if (result == ZARQ_OK) {
        result = zarq::AccessSecurityHeader(number, &header, zarq::ListHeaderAccess::kWrite);
      }
      int32_t released = lock.Release();
      return result != ZARQ_OK ? result : released;
    });
  }
  return status;
});

const CommandRegistration kRewrite("rewrite", [](std::istringstream& in, std::string*) {
  int dir = 0;
  uint32_t first = 0, last = 0, rounds = 0;
  std::string tag;
  in >> dir >> first >> last >> rounds >> tag;
  int32_t status = ZARQ_OK;
  for (uint32_t round = 1; round <= rounds && status == ZARQ_OK; ++round) {
    for (uint32_t slot = first; slot <= last && status == ZARQ_OK; ++slot) {
      status = zarq::EnterInitialized([&] {
        uint32_t handle = zarq::MakeSecurityHandle(static_cast<uint8_t>(dir), slot, false);
        zarq::SecurityRecord record;
        int32_t result = zarq::AccessSecurityRecord(handle, &record, zarq::SecurityAccess::kRead);
        if (result != ZARQ_OK) return result;
        record.extra_value = round;
        std::snprintf(record.name, sizeof(record.name), "%s %u", tag.c_str(), slot);
        return zarq::AccessSecurityRecord(handle, &record, zarq::SecurityAccess::kWriteData);
      });
    }
  }
  return status;
});

}  // namespace
}  // namespace zarq_peer
