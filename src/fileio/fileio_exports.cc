// fileio_exports.cc: the file layer's private operations: the root of a
// path (ordinal 202; it works in every library state) and the name of a
// locked security's file (ordinal 210).
//
// Thread-safety: runs in the entry frame.

#include <cstring>
#include <string>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
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

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_BuildSecurityFileName(uint32_t handle, char* name,
                                                               uint16_t kind) {
  return zarq::EnterAnyState([&] {
    if (name != nullptr) name[0] = '\0';
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (name == nullptr) return int32_t{ZARQ_E_INVALID_ARGUMENT};
    std::string built;
    int32_t status = zarq::BuildSecurityFileName(handle, &built, kind);
    std::memcpy(name, built.c_str(), built.size() + 1);
    return status;
  });
}

}  // extern "C"
