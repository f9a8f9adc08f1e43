// harness_commands.h: the peer commands through which the reliability
// harness (tests/harness) drives security locking. Each takes the rest of
// its command line and fills the values of its answer line ("= <status>
// <values>"), as the commands of peer_main.cc do:
//
//   lockround <path> <dir> <ops> <max_pause_ms> <seed> <slot>...
//        ops times over: pauses 0..max_pause_ms, locks a random one of the
//        slots at a random level (ReadLock half of the time, else WriteLock,
//        DefinitionLock or FullLock), and when granted checks that the
//        list file's ExtraValue is the one the working copy loaded, adds 1
//        to the working copy's under a lock of WriteLock or more, pauses
//        again, checks again and unlocks; once in 50 grants it closes the
//        directory instead (which unlocks) and opens path again. Answers
//        "<dir> <conflicts> <reads> <reopens> <slot>:<writes>...
//        [| <problem>]": the directory's number now, the locks refused
//        with -321, the read locks, the closes with a lock held, and the
//        changes that reached the list file per slot; the
//        status is the first unexpected one (-9990 when another process's
//        change showed while this one held the security).
//   lockbump <dir> <slot> <level> <add> <unlock>
//        locks the security at level, adds add to its working copy's
//        ExtraValue, and unlocks it when unlock is 1 (the first failure is
//        the status).
//
// The first lockround seeds the generator (the cycle command of
// peer_main.cc keeps one of its own).
//
// Thread-safety: the peer is single-threaded.

#ifndef ZARQ_TESTS_PEER_HARNESS_COMMANDS_H_
#define ZARQ_TESTS_PEER_HARNESS_COMMANDS_H_

#include <cstdint>
#include <random>
#include <sstream>
#include <string>

namespace zarq_test {

int32_t LockRound(std::istringstream& in, std::string* answer);
int32_t LockBump(std::istringstream& in, std::string* answer);

// A random number below n (n > 0).
uint32_t Below(std::mt19937& random, uint32_t n);

// Closes the directory *dir (which unlocks what this process holds there)
// and opens path again into *dir, retrying while the directory is busy.
int32_t CloseAndReopen(const std::string& path, uint8_t* dir);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_PEER_HARNESS_COMMANDS_H_
