// message_files.h: points the library's status messages at a message file
// the build made for the tests, counts the loads and the failure reports,
// and starts and ends with nothing loaded.

#ifndef ZARQ_TESTS_SUPPORT_MESSAGE_FILES_H_
#define ZARQ_TESTS_SUPPORT_MESSAGE_FILES_H_

#include <atomic>
#include <memory>
#include <string>

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/frame/messages.h"
#include "src/platform/platform.h"

namespace zarq_test {

// The file whose texts are their own identifiers, and the shipped one.
inline const char kIdentifierMessages[] = ZARQ_TEST_MESSAGE_IDS_FILE;
inline const char kShippedMessages[] = ZARQ_TEST_SHIPPED_MESSAGE_FILE;

class MessageFilePlatform : public zarq::PlatformWrapper {
 public:
  explicit MessageFilePlatform(std::string path)
      : PlatformWrapper(&zarq::Os()), path(std::move(path)) {
    zarq::ForgetMessagesForTesting();
    previous_ = zarq::InstallPlatformForTesting(this);
  }
  ~MessageFilePlatform() override {
    zarq::InstallPlatformForTesting(previous_);
    zarq::ForgetMessagesForTesting();
  }

  std::string MessageFilePath(const std::string&) override { return path; }
  uint32_t OpenMessageFile(const std::string& file_path,
                           std::unique_ptr<zarq::MessageFile>* file) override {
    ++opens;
    return PlatformWrapper::OpenMessageFile(file_path, file);
  }
  void ReportMessageFileFailure(const std::string&, uint32_t) override { ++reports; }

  std::string path;  // set between calls only
  std::atomic<int> opens{0};
  std::atomic<int> reports{0};

 private:
  zarq::Platform* previous_;
};

// ZARQ1_GetErrorMessage of status with a maximum of 255 characters.
inline std::string Message(int32_t status) {
  char text[256];
  return ZARQ1_GetErrorMessage(status, text, 255) == text ? std::string(text) : "(wrong pointer)";
}

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_MESSAGE_FILES_H_
