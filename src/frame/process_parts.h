// process_parts.h: the process-wide tables of the subsystems, started by
// ZARQ1_Initialize and stopped by ZARQ1_Shutdown in a fixed order.
//
// Each subsystem registers its part from its own file with a static
// ProcessPartRegistration; the frame knows only the order. Initialisation
// starts the parts in order and, when one fails, stops those already
// started; shutdown first closes what callers left open (directories), then
// stops every part in order.
//
// Thread-safety: registration happens during static initialisation; the
// rest runs under the library lock.

#ifndef ZARQ_SRC_FRAME_PROCESS_PARTS_H_
#define ZARQ_SRC_FRAME_PROCESS_PARTS_H_

#include <cstdint>

namespace zarq {

// The order in which the parts start and stop.
enum class PartOrder : int {
  kTempDirectory = 0,     // chosen before anything is allocated
  kCompositeBuffers = 1,  // read buffers of composite securities
  kSecurityLockTable = 2,
  kRegionLockTable = 3,
  kFileTable = 4,  // with its flush worker
  kDirectoryList = 5,
};

struct ProcessPart {
  PartOrder order;
  // Creates the part's tables; 0 or a status. May be null.
  int32_t (*start)();
  // Closes what callers left open, while the library is still initialised
  // (shutdown only, and only from the initialised state). May be null.
  void (*close_all)();
  // Frees the part's tables; must accept a part that never started. May be
  // null.
  void (*stop)();
};

class ProcessPartRegistration {
 public:
  explicit ProcessPartRegistration(const ProcessPart& part);
};

// Starts every part in order; on a failure stops the started ones and
// returns the failure.
int32_t StartProcessParts();

// Runs close_all of every part in order.
void CloseProcessParts();

// Stops every part in order.
void StopProcessParts();

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_PROCESS_PARTS_H_
