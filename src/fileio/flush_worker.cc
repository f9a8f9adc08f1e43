// flush_worker.cc: the background thread that flushes written files.
//
// Every 15 s the worker flushes each cached file written since its last
// pass. It takes only the file table lock, never the library lock, so it
// never waits for a library call and delays one by one pass at most. Stop
// signals it and waits up to 10 s; a worker that does not end by then is
// abandoned (its stop block is then never freed, since the thread may still
// read it).
//
// Thread-safety: see above; the stop event is the only shared state
// besides the file table.

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/fileio/file_table_state.h"
#include "src/platform/sync.h"

namespace zarq {

inline constexpr uint32_t kFlushPeriodMs = 15000;
inline constexpr uint32_t kFlushStopWaitMs = 10000;

class FlushWorker {
 public:
  explicit FlushWorker(FileTableState* table) : table_(table) {}

  bool Start() { return thread_.Start(&FlushWorker::Run, this); }

  // True when the thread ended; false when it had to be abandoned.
  bool Stop() {
    stop_.Set();
    if (thread_.Join(kFlushStopWaitMs)) return true;
    thread_.Abandon();
    return false;
  }

 private:
  static void Run(void* raw) {
    auto* self = static_cast<FlushWorker*>(raw);
    for (;;) {
      bool stopping = self->stop_.Wait(kFlushPeriodMs);
      {
        MutexLock guard(&self->table_->lock);
        if (self->table_->slots.empty()) return;
      }
      FlushWrittenFiles();
      if (stopping) return;
    }
  }

  FileTableState* table_;
  Event stop_;
  WorkerThread thread_;
};

void FlushWrittenFiles() {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  for (FileSlot& slot : table.slots) {
    if (!slot.used()) break;
    if (!slot.written) continue;
    Os().FlushFile(slot.handle);
    slot.written = false;
  }
}

FlushWorker* StartFlushWorker(FileTableState* table) {
  auto* worker = new FlushWorker(table);
  if (!worker->Start()) {
    delete worker;
    return nullptr;
  }
  return worker;
}

void StopFlushWorker(FlushWorker* worker) {
  if (worker->Stop()) delete worker;
}

}  // namespace zarq
