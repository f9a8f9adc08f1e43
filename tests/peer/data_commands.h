// data_commands.h: the peer command through which the data stress of the
// reliability harness changes and reads price data (stamped_prices.h):
//
//   dataround <path> <dir> <ops> <max_pause_ms> <seed> <slot>...
//        ops times over: pauses 0..max_pause_ms, locks a random one of the
//        slots, for reading or (half of the time) for writing, and reads
//        all its records, which must be one committed version that the
//        security's first and last dates describe. A writer then appends,
//        inserts into a gap, deletes a range or only overwrites, checks
//        that the records read back as that change wants them, rewrites
//        all as the next version and reads them back again. It pauses,
//        and unlocks, or once in 30 closes the directory instead and
//        opens path again. Once in 40 appends it dies instead, before
//        the rewrite, holding the lock: it answers -9997 and the peer ends
//        as a crash would. Answers "<dir> <conflicts> <reads> <reopens>
//        <slot>:<commits>... [| <problem>]" as lockround does; the status
//        is the first unexpected one (-9991 for records not as they
//        should be).
//
// The first dataround seeds the generator.
//
// Thread-safety: the peer is single-threaded.

#ifndef ZARQ_TESTS_PEER_DATA_COMMANDS_H_
#define ZARQ_TESTS_PEER_DATA_COMMANDS_H_

#include <cstdint>
#include <sstream>
#include <string>

namespace zarq_test {

int32_t DataRound(std::istringstream& in, std::string* answer);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_PEER_DATA_COMMANDS_H_
