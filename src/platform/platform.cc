// platform.cc: selection of the platform in use (the system's or a double).
//
// Thread-safety: the current platform is an atomic pointer.

#include "src/platform/platform.h"

#include <atomic>

namespace zarq {
namespace {

std::atomic<Platform*> g_override{nullptr};

}  // namespace

Platform& Os() {
  Platform* current = g_override.load(std::memory_order_acquire);
  return current != nullptr ? *current : *SystemPlatform();
}

Platform* SetPlatformForTesting(Platform* platform) {
  Platform* previous = g_override.exchange(platform, std::memory_order_acq_rel);
  return previous != nullptr ? previous : SystemPlatform();
}

}  // namespace zarq
