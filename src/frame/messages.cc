// messages.cc: the message file, the status-to-text map and the assembly
// of a message with its details.
//
// Thread-safety: see messages.h. The message file is guarded by its own
// lock; the library lock, when held, is always taken before it.

#include "src/frame/messages.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "include/zarq.h"
#include "src/frame/library_state.h"
#include "src/platform/no_destructor.h"
#include "src/platform/platform.h"
#include "src/platform/sync.h"

namespace zarq {
namespace {

// Details are added while the whole message stays below this length.
constexpr size_t kMessageLimit = 100;
// The longest own file name shown after a version mismatch.
constexpr size_t kOwnFileNameLength = 30;

struct MessageRange {
  int32_t first;  // statuses first..last map to identifiers from
  int32_t last;
  uint32_t identifier;  // the identifier of first
};

constexpr MessageRange kRanges[] = {
    {-400, -392, 9612}, {-391, -391, 9622}, {-375, -360, 9623}, {-355, -340, 9639},
    {-325, -319, 9655}, {-300, -292, 9662}, {-275, -274, 9671}, {-250, -247, 9673},
    {-225, -224, 9677}, {-200, -188, 9679}, {-175, -167, 9692}, {-150, -142, 9701},
    {-125, -123, 9710}, {-99, -99, 9714},   {0, 6, 9715},       {25, 25, 9722},
    {50, 53, 9723},
};

struct MessageFiles {
  RecursiveMutex lock;
  // Set once the file is loaded; read without the lock to skip it.
  std::atomic<bool> ready{false};
  std::unique_ptr<MessageFile> file;  // guarded by lock
};

MessageFiles& Files() {
  static NoDestructor<MessageFiles> files;
  return *files;
}

// Guarded by the library lock.
constinit FailedOpenSource g_failed_open = nullptr;
constinit FailedLockSource g_failed_lock = nullptr;

// Adds each piece while the message stays below the limit; a piece that
// does not fit is left out, and later (shorter) ones are still tried.
class Details {
 public:
  explicit Details(size_t main_length) : length_(main_length) {}
  void Add(const std::string& piece) {
    if (length_ + piece.size() >= kMessageLimit) return;
    text_ += piece;
    length_ += piece.size();
  }
  const std::string& text() const { return text_; }

 private:
  size_t length_;
  std::string text_;
};

void AddDetails(int32_t status, Details* details) {
  if (status == ZARQ_E_WRONG_VERSION) {
    std::string name;
    if (Os().ModuleText(ModuleHandle(), kOwnFileNameText, &name)) {
      name.resize(std::min(name.size(), kOwnFileNameLength));
      details->Add(" (" + name + ")");
    }
    return;
  }
  // The other details report failures, which only an initialised library
  // knows of.
  if (RequireInitialized() != ZARQ_OK) return;
  std::string application, user;
  if (status == ZARQ_E_HELD_BY_OTHER_PROGRAM && g_failed_open != nullptr &&
      g_failed_open(&application) == ZARQ_OK && !application.empty()) {
    details->Add(MessageText(kHeldByText));
    details->Add(application);
  }
  uint32_t holders = 0;
  if (status == ZARQ_E_LOCK_CONFLICT && g_failed_lock != nullptr &&
      g_failed_lock(&holders, &application, &user) == ZARQ_OK) {
    details->Add(MessageText(kHeldByText));
    details->Add(user);
    if (holders == 1 && !application.empty()) {
      details->Add(MessageText(kHeldInText));
      details->Add(application);
    }
  }
}

}  // namespace

uint32_t MessageIdFor(int32_t status) {
  for (const MessageRange& range : kRanges) {
    if (status >= range.first && status <= range.last) {
      return range.identifier + static_cast<uint32_t>(status - range.first);
    }
  }
  return kUnknownStatusText;
}

FailedOpenSource SetFailedOpenSource(FailedOpenSource source) {
  return std::exchange(g_failed_open, source);
}

FailedLockSource SetFailedLockSource(FailedLockSource source) {
  return std::exchange(g_failed_lock, source);
}

bool LoadMessages() {
  MessageFiles& files = Files();
  if (files.ready.load(std::memory_order_acquire)) return true;
  MutexLock hold(&files.lock);
  // Another thread may have loaded it while this one waited.
  if (files.ready.load(std::memory_order_relaxed)) return true;
  std::string path = Os().MessageFilePath(kCommonMessageFile);
  std::unique_ptr<MessageFile> file;
  uint32_t error = Os().OpenMessageFile(path, &file);
  if (error != 0 || file == nullptr) {
    // Reported under the lock: threads that ask meanwhile wait for the
    // user instead of stacking message boxes, then try again themselves.
    Os().ReportMessageFileFailure("Internal Error : Could not load - " + path, error);
    return false;
  }
  files.file = std::move(file);
  files.ready.store(true, std::memory_order_release);
  return true;
}

std::string MessageText(uint32_t identifier) {
  MessageFiles& files = Files();
  MutexLock hold(&files.lock);
  std::string text;
  if (files.file != nullptr) files.file->Text(identifier, &text);
  return text;
}

std::string ComposeMessage(int32_t status) {
  std::string main = MessageText(MessageIdFor(status));
  if (main.empty()) return main;
  Details details(main.size());
  AddDetails(status, &details);
  return main + details.text();
}

void CopyMessage(const std::string& message, char* text, uint16_t maximum) {
  if (text == nullptr) return;
  size_t length = std::min<size_t>(message.size(), maximum);
  message.copy(text, length);
  text[length] = '\0';
}

void ForgetMessagesForTesting() {
  MessageFiles& files = Files();
  MutexLock hold(&files.lock);
  files.file.reset();
  files.ready.store(false, std::memory_order_release);
}

}  // namespace zarq
