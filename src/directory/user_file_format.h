// user_file_format.h: the byte layout of the directory user file, through
// which the processes using a directory register.
//
// The file is an array of 71-byte records: record 0 the header, records
// 1..n user records, one per registered process.
//
//   header  0 magic u32 0x4D01FE5D   4 version u16 (800; 200..800 read)
//           6 stamp u32   10 users u16   12 records u16   14 zero
//           15 maximum users u16 (256)   17 build date text (12)
//           29 version text "v10.1" (6)  35..70 zero
//   user    0 in use u8   1 instance tag u32   5 identity text (66)
//
// Thread-safety: pure functions.

#ifndef ZARQ_SRC_DIRECTORY_USER_FILE_FORMAT_H_
#define ZARQ_SRC_DIRECTORY_USER_FILE_FORMAT_H_

#include <cstdint>

namespace zarq {

inline constexpr uint16_t kUserRecordSize = 71;
inline constexpr uint32_t kUserFileMagic = 0x4D01FE5D;
inline constexpr uint16_t kUserFileVersion = 800;
inline constexpr uint16_t kUserFileOldestVersion = 200;
// The lock file keeps one bit per user record in 32 bytes: no more users.
inline constexpr uint16_t kMaxUsers = 256;

namespace user_file {
inline constexpr int kMagic = 0;
inline constexpr int kVersion = 4;
inline constexpr int kStamp = 6;
inline constexpr int kUsers = 10;
inline constexpr int kRecords = 12;
inline constexpr int kMaxUsersField = 15;
inline constexpr int kBuildDate = 17;
inline constexpr int kBuildDateSize = 12;
inline constexpr int kVersionText = 29;
inline constexpr int kVersionTextSize = 6;

inline constexpr int kInUse = 0;
inline constexpr int kInstanceTag = 1;
inline constexpr int kIdentity = 5;
inline constexpr int kIdentitySize = 66;
}  // namespace user_file

struct UserFileHeader {
  uint32_t magic = kUserFileMagic;
  uint16_t version = kUserFileVersion;
  uint32_t stamp = 0;
  uint16_t users = 0;
  uint16_t records = 0;
  uint16_t max_users = kMaxUsers;
};

struct UserRecord {
  bool in_use = false;
  int32_t instance_tag = 0;
  char identity[user_file::kIdentitySize + 1] = {};
};

// Encodes the header with the build date and version texts.
void EncodeUserFileHeader(const UserFileHeader& header, uint8_t* out);
UserFileHeader DecodeUserFileHeader(const uint8_t* in);
void EncodeUserRecord(const UserRecord& record, uint8_t* out);
UserRecord DecodeUserRecord(const uint8_t* in);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_USER_FILE_FORMAT_H_
