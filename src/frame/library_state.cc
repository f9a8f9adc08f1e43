// library_state.cc: storage of the process-wide library state.
//
// Thread-safety: guarded by the library lock.

#include "src/frame/library_state.h"

#include <cstring>

#include "include/zarq.h"

namespace zarq {
namespace {

struct ProcessState {
  int32_t state = ZARQ_STATE_UNINITIALIZED;
  char identity[kIdentityCapacity] = {};
  int32_t instance_tag = 0;
  void* module = nullptr;
};

// Constant-initialised, so it is valid before any constructor runs.
constinit ProcessState g_process;

// Appends at most limit characters of text (or fallback when text is empty).
void AppendPart(char* out, const char* text, const char* fallback) {
  if (text == nullptr || text[0] == '\0') text = fallback;
  size_t used = std::strlen(out);
  size_t length = strnlen(text, kIdentityPartLength);
  std::memcpy(out + used, text, length);
  out[used + length] = '\0';
}

}  // namespace

int32_t LibraryStateValue() { return g_process.state; }

void SetLibraryState(int32_t state) {
  if (g_process.state != ZARQ_STATE_DAMAGED) g_process.state = state;
}

int32_t CheckedLibraryState() {
  if (g_process.state < ZARQ_STATE_UNINITIALIZED || g_process.state > ZARQ_STATE_DAMAGED) {
    g_process.state = ZARQ_STATE_DAMAGED;
  }
  return g_process.state;
}

int32_t RequireInitialized() {
  int32_t state = CheckedLibraryState();
  return state == ZARQ_STATE_INITIALIZED ? ZARQ_OK : state;
}

const char* IdentityString() { return g_process.identity; }

void SetIdentity(const char* application, const char* user) {
  g_process.identity[0] = '\0';
  AppendPart(g_process.identity, application, "Unknown");
  std::strcat(g_process.identity, ":");
  AppendPart(g_process.identity, user, "Unknown User");
}

int32_t InstanceTag() { return g_process.instance_tag; }

void SetInstanceTag(int32_t tag) { g_process.instance_tag = tag; }

void* ModuleHandle() { return g_process.module; }

void SetModuleHandle(void* module) { g_process.module = module; }

}  // namespace zarq
