// process_parts.cc: the registry of process parts.
//
// Thread-safety: see process_parts.h.

#include "src/frame/process_parts.h"

#include "include/zarq.h"

namespace zarq {
namespace {

constexpr int kMaxParts = 8;

// Zero-initialised before any registration runs.
struct Registry {
  ProcessPart parts[kMaxParts];
  int count;
};
constinit Registry g_registry{};

}  // namespace

ProcessPartRegistration::ProcessPartRegistration(const ProcessPart& part) {
  if (g_registry.count == kMaxParts) return;
  // Keep the parts sorted by their order.
  int at = g_registry.count;
  while (at > 0 &&
         static_cast<int>(g_registry.parts[at - 1].order) > static_cast<int>(part.order)) {
    g_registry.parts[at] = g_registry.parts[at - 1];
    --at;
  }
  g_registry.parts[at] = part;
  ++g_registry.count;
}

int32_t StartProcessParts() {
  for (int i = 0; i < g_registry.count; ++i) {
    if (g_registry.parts[i].start == nullptr) continue;
    int32_t status = g_registry.parts[i].start();
    if (status != ZARQ_OK) {
      for (int j = 0; j < i; ++j) {
        if (g_registry.parts[j].stop != nullptr) g_registry.parts[j].stop();
      }
      return status;
    }
  }
  return ZARQ_OK;
}

void CloseProcessParts() {
  for (int i = 0; i < g_registry.count; ++i) {
    if (g_registry.parts[i].close_all != nullptr) g_registry.parts[i].close_all();
  }
}

void StopProcessParts() {
  for (int i = 0; i < g_registry.count; ++i) {
    if (g_registry.parts[i].stop != nullptr) g_registry.parts[i].stop();
  }
}

}  // namespace zarq
