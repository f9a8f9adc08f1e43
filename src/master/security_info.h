// security_info.h: the conversion between a security record and the
// ZarqSecurityInfo that callers receive and supply.
//
// A security this process holds locked is described as the process sees
// it: the data part comes from its working copy (which may hold changes
// not yet written), the links from the file.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_SECURITY_INFO_H_
#define ZARQ_SRC_MASTER_SECURITY_INFO_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/master/security_record.h"

namespace zarq {

inline constexpr uint32_t kSecurityInfoSize = 148;

// Describes the security of handle in *info (cleared first, Size 148) and
// returns its list neighbours in *prev_slot and *next_slot (either may be
// null). ZARQ_E_NO_SUCH_SECURITY for handle 0 and for a deleted security,
// whose info is filled all the same; ZARQ_E_DIRECTORY_NOT_OPEN,
// ZARQ_E_NOT_REGISTERED (no database), ZARQ_E_REGISTRATION_LOST; the
// failures of a checked record read and of the locked-record lookup.
int32_t RecordToInfo(uint32_t handle, uint32_t* prev_slot, uint32_t* next_slot,
                     ZarqSecurityInfo* info);

// The second half of RecordToInfo, for a record already read (stored, the
// record of handle's slot as the file holds it): the working copy of a
// security locked here stands in for its data part. The caller has
// checked the directory.
int32_t DescribeRecord(uint32_t handle, const SecurityRecord& stored, uint32_t* prev_slot,
                       uint32_t* next_slot, ZarqSecurityInfo* info);

// Builds in *record the new security of slot that info describes, with
// data file file_number: symbols normalised, name cleaned, period upper
// case, the intraday values kept only for period 'I'. A composite takes
// from its locked components (primary and secondary are the handles this
// process holds them under) their slots and file numbers, the primary's
// dates, and the fields both have; a component not locked here gives the
// lookup's status. Then the record is validated (ValidateSecurityRecord).
int32_t InfoToRecord(uint32_t slot, uint32_t primary, uint32_t secondary,
                     const ZarqSecurityInfo& info, uint32_t file_number, SecurityRecord* record);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_INFO_H_
