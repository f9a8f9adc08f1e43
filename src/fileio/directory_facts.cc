// directory_facts.cc: the installed directory lookup.
//
// Thread-safety: installed once at load; used under the library lock.

#include "src/fileio/directory_facts.h"

namespace zarq {
namespace {

constinit DirectoryFactsLookup g_lookup = nullptr;

}  // namespace

void SetDirectoryFactsLookup(DirectoryFactsLookup lookup) { g_lookup = lookup; }

DirectoryFacts* FindDirectoryFacts(uint8_t number) {
  return g_lookup != nullptr ? g_lookup(number) : nullptr;
}

}  // namespace zarq
