// list_linking.cc: linking a security list in memory.
//
// Thread-safety: pure.

#include "src/master/list_linking.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "include/zarq.h"

namespace zarq {
namespace {

// Slots by data file number, in slot order.
using SlotsByNumber = std::unordered_map<uint32_t, std::vector<uint32_t>>;

SlotsByNumber IndexByFileNumber(SecurityList* list) {
  SlotsByNumber slots;
  for (uint32_t slot = 1; slot <= list->size(); ++slot) {
    slots[list->at(slot).file_number].push_back(slot);
  }
  return slots;
}

// Appends composite to the end of a component's user chain, starting at
// the component's slot. Walks are bounded: a chain never holds more
// records than the list.
void AppendToChain(SecurityList* list, uint32_t start, uint32_t SecurityRecord::*next,
                   uint32_t composite) {
  uint32_t slot = start;
  for (uint32_t steps = 0; steps <= list->size(); ++steps) {
    SecurityRecord& record = list->at(slot);
    uint32_t following = record.*next;
    if (following == 0 || following > list->size() || following == slot) {
      record.*next = composite;
      return;
    }
    slot = following;
  }
}

// Chains a composite to one component: the first live record of that data
// file number. -191 when there is none.
int32_t LinkComponent(SecurityList* list, const SlotsByNumber& slots, uint32_t key,
                      SecurityRecord* composite, uint32_t SecurityRecord::*component_slot,
                      uint32_t SecurityRecord::*next) {
  auto found = slots.find(key);
  uint32_t component = 0;
  if (found != slots.end()) {
    for (uint32_t slot : found->second) {
      if (!list->at(slot).deleted) {
        component = slot;
        break;
      }
    }
  }
  if (component == 0) return ZARQ_E_NO_SUCH_SECURITY;
  if (composite->*component_slot == 0) composite->*component_slot = component;
  AppendToChain(list, component, next, composite->slot);
  return ZARQ_OK;
}

// Finds the identities listed twice among the live records. A later copy
// of a composite goes at once (its data are computed); one of a plain
// security is listed in *duplicates, and composites using its data file
// number use the first copy's instead, so that none is left on a copy
// about to go.
void SettleDuplicates(SecurityList* list, std::vector<DuplicateCopy>* duplicates) {
  std::vector<IndexEntry> entries;
  for (uint32_t slot = 1; slot <= list->size(); ++slot) {
    const SecurityRecord& record = list->at(slot);
    if (record.deleted) continue;
    entries.push_back(IndexEntryFor(record));
    entries.back().slot = slot;
  }
  std::stable_sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
    return CompareIndexEntries(a, b) < 0;
  });
  std::unordered_map<uint32_t, uint32_t> moved;  // retired file number -> survivor's
  for (size_t first = 0, i = 1; i < entries.size(); ++i) {
    if (CompareIndexEntries(entries[first], entries[i]) != 0) {
      first = i;
      continue;
    }
    SecurityRecord& retired = list->at(entries[i].slot);
    if (retired.composite) {
      retired.deleted = 1;
      continue;
    }
    const SecurityRecord& survivor = list->at(entries[first].slot);
    duplicates->push_back({entries[first].slot, entries[i].slot});
    if (retired.file_number != survivor.file_number) {
      moved.emplace(retired.file_number, survivor.file_number);
    }
  }
  for (SecurityRecord& record : list->records) {
    if (!record.composite || record.deleted) continue;
    for (uint32_t* key : {&record.primary_file_number, &record.secondary_file_number}) {
      auto found = moved.find(*key);
      if (found != moved.end()) *key = found->second;
    }
  }
}

}  // namespace

void ResolveComposites(SecurityList* list) {
  SlotsByNumber slots = IndexByFileNumber(list);
  for (uint32_t slot = 1; slot <= list->size(); ++slot) {
    SecurityRecord& composite = list->at(slot);
    if (!composite.composite || composite.deleted) continue;
    struct Side {
      uint32_t key;
      char* text;
    } sides[2] = {{composite.primary_file_number, composite.symbol},
                  {composite.secondary_file_number, composite.symbol2}};
    for (const Side& side : sides) {
      const SecurityRecord* component = nullptr;
      auto found = slots.find(side.key);
      if (found != slots.end()) {
        for (uint32_t candidate : found->second) {
          const SecurityRecord& record = list->at(candidate);
          if (!record.composite && !record.deleted && record.period == composite.period) {
            component = &record;
            break;
          }
        }
      }
      if (component == nullptr) {
        composite.deleted = 1;
        break;
      }
      std::memcpy(side.text, component->symbol, sizeof(component->symbol));
      if (composite.secondary_file_number == side.key) break;
    }
  }
}

void ClearLinks(SecurityList* list) {
  for (SecurityRecord& record : list->records) {
    record.primary_slot = record.secondary_slot = 0;
    record.prev_slot = record.next_slot = 0;
    record.next_primary_user = record.next_secondary_user = 0;
  }
}

int32_t LinkAndIndex(SecurityList* list, std::vector<IndexEntry>* entries,
                     std::vector<DuplicateCopy>* duplicates) {
  entries->clear();
  uint32_t count = list->size();
  if (count == 0) return ZARQ_OK;
  std::vector<bool> retired(count + 1, false);
  if (duplicates != nullptr) {
    duplicates->clear();
    SettleDuplicates(list, duplicates);
    for (const DuplicateCopy& copy : *duplicates) retired[copy.retired] = true;
  }
  SlotsByNumber slots = IndexByFileNumber(list);
  uint32_t highest = 0;
  for (uint32_t slot = 1; slot <= count; ++slot) {
    SecurityRecord& record = list->at(slot);
    record.slot = slot;
    record.prev_slot = slot - 1;
    record.next_slot = slot == count ? 0 : slot + 1;
    if (record.deleted) continue;
    highest = std::max(highest, record.file_number);
    if (retired[slot]) continue;
    entries->push_back(IndexEntryFor(record));
    if (record.composite) {
      int32_t status =
          LinkComponent(list, slots, record.primary_file_number, &record,
                        &SecurityRecord::primary_slot, &SecurityRecord::next_primary_user);
      if (status == ZARQ_OK && record.secondary_file_number != record.primary_file_number) {
        status =
            LinkComponent(list, slots, record.secondary_file_number, &record,
                          &SecurityRecord::secondary_slot, &SecurityRecord::next_secondary_user);
      }
      if (status != ZARQ_OK) return status;
    }
  }
  // One sort instead of one insertion per record; among equal identities
  // the earlier slot stays first, so the later one is the duplicate.
  std::stable_sort(entries->begin(), entries->end(), [](const IndexEntry& a, const IndexEntry& b) {
    return CompareIndexEntries(a, b) < 0;
  });
  for (size_t i = 1; i < entries->size(); ++i) {
    if (CompareIndexEntries((*entries)[i - 1], (*entries)[i]) == 0) {
      return ZARQ_E_DUPLICATE_SECURITY;
    }
  }
  SecurityListHeader& header = list->header;
  header.first_slot = 1;
  header.last_slot = count;
  // A relinked list keeps a larger number it had: the data file of a
  // security lost with a damaged record must not be handed out (and
  // emptied) again.
  header.next_file_number = std::max(header.next_file_number, highest + 1);
  header.live_count =
      static_cast<uint32_t>(entries->size() + (duplicates ? duplicates->size() : 0));
  return ZARQ_OK;
}

}  // namespace zarq
