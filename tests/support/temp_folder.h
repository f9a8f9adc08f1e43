// temp_folder.h: a fresh folder for one test, removed with everything in it
// at the end.

#ifndef ZARQ_TESTS_SUPPORT_TEMP_FOLDER_H_
#define ZARQ_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <string>

namespace zarq_test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a final separator.
  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string Join(const std::string& name) const;
  // Creates a file of the given bytes.
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Creates a sub-folder and returns its path.
  std::string MakeFolder(const std::string& name) const;

 private:
  std::string path_;
};

char Separator();

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_TEMP_FOLDER_H_
