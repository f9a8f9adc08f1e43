// harness_commands.cc: random rounds of locks by one peer, and one write
// lock's change, for the reliability harness.

#include "tests/peer/harness_commands.h"

#include <map>
#include <optional>
#include <random>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/security_handle.h"
#include "src/frame/entry_frame.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"
#include "src/security/lock_table.h"

namespace zarq_test {
namespace {

constexpr int32_t kOthersChangeSeen = -9990;
constexpr uint32_t kCloseOneIn = 50;
constexpr int kReopenTries = 5;

std::mt19937& Random(uint32_t seed) {
  static std::optional<std::mt19937> random;
  if (!random) random.emplace(seed);
  return *random;
}

uint32_t RandomLevel(std::mt19937& random) {
  static constexpr uint32_t kLevels[10] = {16, 16, 16, 16, 16, 32, 32, 32, 127, 128};
  return kLevels[Below(random, 10)];
}

// The ExtraValue of the working copy of a security held here, and the one
// of its record in the list file.
int32_t ExtraValues(uint32_t handle, uint32_t* held, uint32_t* listed) {
  return zarq::EnterInitialized([&] {
    zarq::LockedSecurityView view;
    zarq::SecurityRecord record;
    int32_t status = zarq::GetLockedSecurity(handle, &view);
    if (status == ZARQ_OK) {
      status = zarq::AccessSecurityRecord(handle, &record, zarq::SecurityAccess::kRead);
    }
    *held = view.record.extra_value;
    *listed = record.extra_value;
    return status;
  });
}

int32_t AddToExtraValue(uint32_t handle, uint32_t add) {
  return zarq::EnterInitialized([&] {
    zarq::LockedSecurityView view;
    int32_t status = zarq::GetLockedSecurity(handle, &view);
    if (status != ZARQ_OK) return status;
    view.record.extra_value += add;
    return zarq::UpdateLockedSecurity(handle, view);
  });
}

std::string Text(const char* what, uint32_t slot, uint32_t level, int32_t status) {
  return std::string(what) + " of slot " + std::to_string(slot) + " at " + std::to_string(level) +
         " gave " + std::to_string(status);
}

}  // namespace

uint32_t Below(std::mt19937& random, uint32_t n) {
  return std::uniform_int_distribution<uint32_t>(0, n - 1)(random);
}

int32_t CloseAndReopen(const std::string& path, uint8_t* dir) {
  int32_t status = ZARQ1_CloseDirectory(*dir);
  for (int i = 0; status == ZARQ_OK && i < kReopenTries; ++i) {
    status = ZARQ1_OpenDirectory(path.c_str(), dir, 0);
    if (status != ZARQ_E_TOO_MANY_USERS && status != ZARQ_E_USER_FILE_LOCKED) break;
    zarq::Os().Sleep(100);
  }
  return status;
}

int32_t LockRound(std::istringstream& in, std::string* answer) {
  std::string path;
  uint32_t dir_number = 0, ops = 0, max_pause_ms = 0, seed = 0, slot = 0;
  in >> path >> dir_number >> ops >> max_pause_ms >> seed;
  std::vector<uint32_t> slots;
  while (in >> slot) slots.push_back(slot);
  std::mt19937& random = Random(seed);
  auto pause = [&] { zarq::Os().Sleep(Below(random, max_pause_ms + 1)); };

  uint8_t dir = static_cast<uint8_t>(dir_number);
  uint32_t conflicts = 0, reads = 0, reopens = 0;
  std::map<uint32_t, uint32_t> writes;
  std::string problem;
  int32_t status = ZARQ_OK;
  for (uint32_t op = 0; op < ops && status == ZARQ_OK && !slots.empty(); ++op) {
    pause();
    slot = slots[Below(random, static_cast<uint32_t>(slots.size()))];
    uint32_t level = RandomLevel(random);
    uint32_t handle = zarq::MakeSecurityHandle(dir, slot, false);
    status = ZARQ1_LockSecurity(handle, level);
    if (status == ZARQ_E_LOCK_CONFLICT) {
      ++conflicts;
      status = ZARQ_OK;
      continue;
    }
    if (status != ZARQ_OK) {
      problem = Text("lock", slot, level, status);
      break;
    }
    // While this process holds the security, no other may change it: the
    // list file keeps the value the working copy loaded.
    uint32_t loaded = 0, held = 0, listed = 0;
    status = ExtraValues(handle, &loaded, &listed);
    bool writing = level >= ZARQ_WRITE_LOCK;
    if (status == ZARQ_OK && writing) status = AddToExtraValue(handle, 1);
    if (status == ZARQ_OK) {
      pause();
      status = ExtraValues(handle, &held, &listed);
    }
    if (status != ZARQ_OK) {
      problem = Text("working copy", slot, level, status);
    } else if (listed != loaded) {
      status = kOthersChangeSeen;
      problem = "slot " + std::to_string(slot) + " held at " + std::to_string(level) +
                ": the list file's ExtraValue went from " + std::to_string(loaded) + " to " +
                std::to_string(listed);
    }
    bool close = Below(random, kCloseOneIn) == 0;
    int32_t released = close ? CloseAndReopen(path, &dir) : ZARQ1_UnlockSecurity(handle);
    if (released != ZARQ_OK) {
      if (status == ZARQ_OK) status = released;
      problem += (problem.empty() ? "" : "; ") +
                 Text(close ? "close and reopen" : "unlock", slot, level, released);
      break;
    }
    if (close) ++reopens;
    if (writing) {
      ++writes[slot];
    } else {
      ++reads;
    }
  }
  *answer = " " + std::to_string(dir) + " " + std::to_string(conflicts) + " " +
            std::to_string(reads) + " " + std::to_string(reopens);
  for (const auto& [written, count] : writes) {
    *answer += " " + std::to_string(written) + ":" + std::to_string(count);
  }
  if (!problem.empty()) *answer += " | " + problem;
  return status;
}

int32_t LockBump(std::istringstream& in, std::string*) {
  uint32_t dir = 0, slot = 0, level = 0, add = 0, unlock = 0;
  in >> dir >> slot >> level >> add >> unlock;
  uint32_t handle = zarq::MakeSecurityHandle(static_cast<uint8_t>(dir), slot, false);
  int32_t status = ZARQ1_LockSecurity(handle, level);
  if (status == ZARQ_OK && add != 0) status = AddToExtraValue(handle, add);
  if (status == ZARQ_OK && unlock != 0) status = ZARQ1_UnlockSecurity(handle);
  return status;
}

}  // namespace zarq_test
