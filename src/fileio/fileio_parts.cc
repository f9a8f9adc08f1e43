// fileio_parts.cc: the file layer's process parts: the temporary folder,
// the region lock table, and the file table with its flush worker.
//
// Thread-safety: started and stopped under the library lock.

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/process_parts.h"

namespace zarq {
namespace {

const ProcessPartRegistration kTempDirectoryPart({PartOrder::kTempDirectory, &ChooseTempDirectory,
                                                  nullptr, &ClearTempDirectory});

const ProcessPartRegistration kRegionLockPart({PartOrder::kRegionLockTable, &StartRegionLockTable,
                                               nullptr, &StopRegionLockTable});

const ProcessPartRegistration kFileTablePart({PartOrder::kFileTable,
                                              [] { return StartFileTable(kFileSlotCount); },
                                              nullptr, &StopFileTable});

}  // namespace
}  // namespace zarq
