// system_error_map.cc: system errors to status codes.
//
// Thread-safety: pure.

#include "src/fileio/system_error_map.h"

#include "include/zarq.h"
#include "src/platform/platform.h"

namespace zarq {

int32_t MapSystemError(uint32_t error, int32_t fallback) {
  switch (error & 0xFFFF) {
    case 0:
      return ZARQ_OK;
    case 1:
    case 12:
    case 22:
    case 87:
      return ZARQ_E_INVALID_ARGUMENT;
    case 2:
    case 18:
      return ZARQ_E_FILE_NOT_FOUND;
    case 3:
      return ZARQ_E_NOT_A_FOLDER;
    case 4:
      return ZARQ_E_FILE_TABLE_TOO_SMALL;
    case 5:
    case 65:
      return ZARQ_E_ACCESS_DENIED;
    case 6:
      return ZARQ_E_BAD_FILE_HANDLE;
    case 7:
    case 8:
    case 9:
    case 14:
      return ZARQ_E_OUT_OF_MEMORY;
    case 11:
    case 26:
      return ZARQ_E_SYSTEM_11;
    case 13:
    case 80:
      return ZARQ_E_FILE_QUERY;
    case 15:
    case 20:
      return ZARQ_E_BAD_DRIVE;
    case 16:
    case 83:
      return ZARQ_E_FOLDER_FAILED;
    case 17:
      return ZARQ_E_SYSTEM_17;
    case 19:
      return ZARQ_E_WRITE_PROTECTED;
    case 21:
      return ZARQ_E_NOT_READY;
    case 23:
      return ZARQ_E_SYSTEM_23;
    case 24:
      return ZARQ_E_BEYOND_END;
    case 25:
      return ZARQ_E_SEEK_FAILED;
    case 27:
      return ZARQ_E_SYSTEM_27;
    case 29:
      return ZARQ_E_WRITE_FAILED;
    case 30:
      return ZARQ_E_READ_FAILED;
    case 31:
      return ZARQ_E_SYSTEM_31;
    case 32:
      return ZARQ_E_LOCK_FAILED;
    case 33:
      return ZARQ_E_RANGE_LOCKED;
    case 34:
      return ZARQ_E_STAMP_MISMATCH;
    case 38:
      return ZARQ_E_END_OF_FILE;
    case 39:
      return ZARQ_E_DISK_FULL;
    case 50:
    case 51:
    case 52:
    case 53:
    case 54:
    case 55:
    case 56:
    case 57:
    case 58:
    case 59:
    case 60:
    case 64:
    case 66:
    case 67:
    case 68:
    case 69:
    case 70:
    case 71:
    case 72:
    case 84:
    case 85:
    case 86:
    case 88:
      return ZARQ_E_NETWORK;
    case 82:
      return ZARQ_E_CANNOT_CREATE_FOLDER;
    default:
      return fallback;
  }
}

uint32_t ElapsedTicks(uint32_t start) { return Os().TickCount() - start; }

}  // namespace zarq
