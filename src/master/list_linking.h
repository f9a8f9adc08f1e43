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

// Links the records in slot order, chains every composite to its
// components, and gives *entries the sorted index of the live records.
// Header: FirstSlot 1, LastSlot SlotCount, NextFileNumber at least one
// above the highest live file number, LiveCount the number of index entries. An
// identity listed twice is -199; a composite whose component is not in
// the list is -191.
int32_t LinkAndIndex(SecurityList* list, std::vector<IndexEntry>* entries);

// Clears every record's link part, so that the list can be linked afresh.
void ClearLinks(SecurityList* list);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_LIST_LINKING_H_
