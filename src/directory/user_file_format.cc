// user_file_format.cc: encoding and decoding of user file records.
//
// Thread-safety: pure functions.

#include "src/directory/user_file_format.h"

#include <cstring>

#include "src/frame/little_endian.h"

namespace zarq {

using namespace user_file;

void EncodeUserFileHeader(const UserFileHeader& header, uint8_t* out) {
  std::memset(out, 0, kUserRecordSize);
  PutU32(out + kMagic, header.magic);
  PutU16(out + kVersion, header.version);
  PutU32(out + kStamp, header.stamp);
  PutU16(out + kUsers, header.users);
  PutU16(out + kRecords, header.records);
  PutU16(out + kMaxUsersField, header.max_users);
  // Written for people who look at the file; never read back.
  PutText(out + kBuildDate, kBuildDateSize, __DATE__);
  PutText(out + kVersionText, kVersionTextSize, "v10.1");
}

UserFileHeader DecodeUserFileHeader(const uint8_t* in) {
  UserFileHeader header;
  header.magic = GetU32(in + kMagic);
  header.version = GetU16(in + kVersion);
  header.stamp = GetU32(in + kStamp);
  header.users = GetU16(in + kUsers);
  header.records = GetU16(in + kRecords);
  header.max_users = GetU16(in + kMaxUsersField);
  return header;
}

void EncodeUserRecord(const UserRecord& record, uint8_t* out) {
  std::memset(out, 0, kUserRecordSize);
  out[kInUse] = record.in_use ? 1 : 0;
  PutI32(out + kInstanceTag, record.instance_tag);
  PutText(out + kIdentity, kIdentitySize, record.identity);
}

UserRecord DecodeUserRecord(const uint8_t* in) {
  UserRecord record;
  record.in_use = in[kInUse] != 0;
  record.instance_tag = GetI32(in + kInstanceTag);
  GetText(in + kIdentity, kIdentitySize, record.identity);
  return record;
}

}  // namespace zarq
