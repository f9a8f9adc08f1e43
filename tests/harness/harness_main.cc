// harness_main.cc: the command line of zarq_harness, and the start of
// its peers.
//
//   zarq_harness stress [--processes N] [--rounds R] [--pause MS] [--seed S]
//   zarq_harness lock-stress [--processes N] [--rounds R] [--ops K] [--pause MS]
//                            [--seed S]
//   zarq_harness data-stress [--processes N] [--rounds R] [--ops K] [--pause MS]
//                            [--seed S]
//   zarq_harness crash-points [--every N] [--scenario S or S-T]
//
// --seed S makes the random pauses and choices repeatable as far as the
// scheduling of processes allows; --every N tries every n-th crash point
// only (and the last of each scenario); --scenario runs one scenario or a
// range of them (1-4: open and close, 5-7: locking, 8: appending price
// data, 9-10: adding and deleting securities, 11-12: inserting and deleting
// price data mid-file).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/harness/harness.h"

namespace zarq_test {

bool StartPeer(Peer* peer, const std::string& identity) {
  // Under load a process (under Wine above all) can be slow to come up or
  // fail to: a start is tried three times before the harness reports it.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (peer->Start() && peer->Call("init " + identity) == 0) return true;
  }
  return false;
}

}  // namespace zarq_test

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: zarq_harness stress [--processes N] [--rounds R] [--pause MS] [--seed S]\n"
               "       zarq_harness lock-stress [--processes N] [--rounds R] [--ops K] "
               "[--pause MS] [--seed S]\n"
               "       zarq_harness data-stress [--processes N] [--rounds R] [--ops K] "
               "[--pause MS] [--seed S]\n"
               "       zarq_harness crash-points [--every N] [--scenario S or S-T]\n");
  return 2;
}

// Reads "--name value" pairs into options; false on anything else.
bool ParseOptions(int argc, char** argv, zarq_test::HarnessOptions* options) {
  options->seed =
      static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const char* name = argv[i];
    char* end = nullptr;
    long value = std::strtol(argv[i + 1], &end, 10);
    if (value < 0) return false;
    if (!std::strcmp(name, "--processes")) {
      options->processes = static_cast<int>(value);
    } else if (!std::strcmp(name, "--rounds")) {
      options->rounds = static_cast<int>(value);
    } else if (!std::strcmp(name, "--ops")) {
      options->ops = static_cast<int>(value);
    } else if (!std::strcmp(name, "--pause")) {
      options->pause_ms = static_cast<uint32_t>(value);
    } else if (!std::strcmp(name, "--seed")) {
      options->seed = static_cast<uint32_t>(value);
    } else if (!std::strcmp(name, "--every")) {
      options->every = static_cast<int>(value);
    } else if (!std::strcmp(name, "--scenario")) {
      options->first_scenario = options->last_scenario = static_cast<int>(value);
      if (*end == '-') options->last_scenario = static_cast<int>(std::strtol(end + 1, nullptr, 10));
    } else {
      return false;
    }
  }
  return options->processes >= 1 && options->every >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  zarq_test::HarnessOptions options;
  if (argc < 2 || !ParseOptions(argc, argv, &options)) return Usage();
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // progress shows at once, also under Wine
  if (!std::strcmp(argv[1], "stress")) return zarq_test::RunStress(options);
  if (!std::strcmp(argv[1], "lock-stress")) return zarq_test::RunLockStress(options);
  if (!std::strcmp(argv[1], "data-stress")) return zarq_test::RunDataStress(options);
  if (!std::strcmp(argv[1], "crash-points")) return zarq_test::RunCrashPoints(options);
  return Usage();
}
