// fileio_exports.cc: the file layer's private operation: the root of a
// path (ordinal 202). It works in every library state.
//
// Thread-safety: runs in the entry frame.

#include <cstring>
#include <string>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/entry_frame.h"

extern "C" {

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetRootPath(const char* path, char* root) {
  return zarq::EnterAnyState([&] {
    if (root == nullptr) return int32_t{ZARQ_E_INVALID_ARGUMENT};
    root[0] = '\0';
    if (path == nullptr) return int32_t{ZARQ_E_BAD_PATH};
    std::string found;
    int32_t status =
        zarq::GetRootPath(std::string(path, strnlen(path, zarq::kMaxFilePath)), &found);
    if (status == ZARQ_OK) std::memcpy(root, found.c_str(), found.size() + 1);
    return status;
  });
}

}  // extern "C"
