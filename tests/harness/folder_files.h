// folder_files.h: the flat folders of databases as the harness sees them:
// their names, a copy, their working files.
//
// Thread-safety: none needed; these read and write files only.

#ifndef ZARQ_TESTS_HARNESS_FOLDER_FILES_H_
#define ZARQ_TESTS_HARNESS_FOLDER_FILES_H_

#include <string>
#include <vector>

namespace zarq_test {

// The names in folder (files and sub-folders), sorted.
std::vector<std::string> FolderNames(const std::string& folder);

// Copies every file of from into to (an existing, empty folder).
void CopyFolder(const std::string& from, const std::string& to);

// Whether a working file of the library (~ZARQ.*) is in folder.
bool WorkingFilesRemain(const std::string& folder);

// Whether name starts or ends with part, ignoring letter case.
bool StartsWithNoCase(const std::string& name, const std::string& part);
bool EndsWithNoCase(const std::string& name, const std::string& part);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_FOLDER_FILES_H_
