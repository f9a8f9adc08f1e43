// list_linking.h: the links of a freshly built (or rebuilt) security list:
// every record's slot and place in list order, the user chains of the
// composites' components, the index entries, and the header counts.
//
// Thread-safety: pure (works on the list in memory).

#ifndef ZARQ_SRC_MASTER_LIST_LINKING_H_
#define ZARQ_SRC_MASTER_LIST_LINKING_H_

#include <cstdint>
#include <vector>

#include "src/master/security_index.h"
#include "src/master/security_list.h"

namespace zarq {

// Brings each composite's component symbols up to date from the
// components (matched by data file number and period), and marks deleted
// the composites whose components are missing.
void ResolveComposites(SecurityList* list);

// A security listed twice: the first copy (in slot order) keeps the
// identity, the later one is retired once its price data are merged in.
struct DuplicateCopy {
  uint32_t survivor = 0;
  uint32_t retired = 0;
};

// Links the records in slot order, chains every composite to its
// components, and gives *entries the sorted index of the live records.
// Header: FirstSlot 1, LastSlot SlotCount, NextFileNumber at least one
// above the highest live file number, LiveCount the live records. A
// composite whose component is not in the list is -191. An identity
// listed twice is -199, unless duplicates is given: then a later copy of
// a composite is marked deleted, and a later copy of a plain security
// stays live, outside the index, until its data are merged (listed in
// *duplicates); composites built on it are built on the first copy.
int32_t LinkAndIndex(SecurityList* list, std::vector<IndexEntry>* entries,
                     std::vector<DuplicateCopy>* duplicates = nullptr);

// Clears every record's link part, so that the list can be linked afresh.
void ClearLinks(SecurityList* list);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_LIST_LINKING_H_
