// directory_exports.cc: the exported directory functions.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "src/directory/directory_files.h"
#include "src/directory/directory_open.h"
#include "src/directory/directory_status.h"
#include "src/frame/entry_frame.h"

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ1_OpenDirectory(const char* path, uint8_t* number, uint32_t flags) {
  return zarq::EnterAnyState([&] {
    if (number != nullptr) *number = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    return zarq::OpenDirectory(path, number, flags);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_CloseDirectory(uint32_t number) {
  return zarq::EnterInitialized(
      [&] { return zarq::CloseDirectory(static_cast<uint8_t>(number & 0xFF)); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDataPath(uint32_t number, char* path, uint32_t strip) {
  return zarq::EnterInitialized(
      [&] { return zarq::GetDataPath(static_cast<uint8_t>(number & 0xFF), path, strip); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirectoryNumber(const char* path, uint8_t* number) {
  return zarq::EnterAnyState([&] {
    if (number != nullptr) *number = 0;
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    return zarq::GetDirectoryNumber(path, number);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDirectoryStatus(int8_t number, const char* path,
                                                    ZarqDirectoryStatus* status) {
  return zarq::EnterAnyState([&] {
    if (status == nullptr) return int32_t{ZARQ_E_INVALID_ARGUMENT};
    *status = ZarqDirectoryStatus{};
    status->Size = sizeof(ZarqDirectoryStatus);
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    return zarq::GetDirectoryStatus(number, path, status);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetLastFailedOpenDirInfo(char* application, char* user) {
  return zarq::EnterAnyState([&] {
    if (application != nullptr) application[0] = '\0';
    if (user != nullptr) user[0] = '\0';
    int32_t state = zarq::RequireInitialized();
    if (state != ZARQ_OK) return state;
    if (application == nullptr || user == nullptr) return int32_t{ZARQ_E_INVALID_ARGUMENT};
    return zarq::GetLastFailedOpenDirInfo(application, user);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_BuildQuorvantaDirectory(uint32_t number) {
  return zarq::EnterInitialized(
      [&] { return zarq::BuildDatabase(static_cast<uint8_t>(number & 0xFF)); });
}

}  // extern "C"
