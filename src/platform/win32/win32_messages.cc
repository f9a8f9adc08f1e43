// win32_messages.cc: message texts on Windows: string tables of a
// resource-only DLL, mapped as a data file (none of its code runs), and of
// the library's own module; the common files folder they are installed
// below.
//
// Thread-safety: the string lookups keep no state; the folder queries load
// and free the shell folder library on each call, which the library makes
// once, outside its own lock and never from DllMain.

#include <windows.h>

#include <string>

#include "src/platform/native_platform.h"

namespace zarq {
namespace {

constexpr int kCommonProgramFiles = 43;  // CSIDL_PROGRAM_FILES_COMMON
constexpr char kDefaultCommonFiles[] = "C:\\Program Files\\Common Files\\";
constexpr char kMessageFolder[] = "Halvern\\Localized Resources\\";

using FolderPathQuery = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

std::string WithSeparator(const char* folder) {
  std::string result = folder;
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

// The common program files folder, from the shell, else the registry, else
// the usual place; with a final separator.
std::string CommonFilesFolder() {
  if (HMODULE shell = LoadLibraryA("SHFOLDER.DLL")) {
    auto query = reinterpret_cast<FolderPathQuery>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")));
    char path[MAX_PATH + 1] = {};
    bool found = query != nullptr &&
                 SUCCEEDED(query(nullptr, kCommonProgramFiles, nullptr, 0, path)) && path[0];
    FreeLibrary(shell);
    if (found) return WithSeparator(path);
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ,
                    &key) == ERROR_SUCCESS) {
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, "CommonFilesDir", nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS && type == REG_SZ && value[0]) return WithSeparator(value);
  }
  return kDefaultCommonFiles;
}

// The text of identifier in module's string table: false when the table
// has no block for it (a string of the block left out reads as empty).
bool LoadTableString(HMODULE module, uint32_t identifier, std::string* text) {
  HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(identifier / 16 + 1), RT_STRING);
  if (block == nullptr) return false;
  // No string is longer than its block.
  std::string buffer(SizeofResource(module, block) + 1, '\0');
  int length = LoadStringA(module, identifier, buffer.data(), static_cast<int>(buffer.size()));
  text->assign(buffer.data(), length > 0 ? length : 0);
  return true;
}

class ResourceFile final : public MessageFile {
 public:
  explicit ResourceFile(HMODULE module) : module_(module) {}
  ~ResourceFile() override { FreeLibrary(module_); }

  bool Text(uint32_t identifier, std::string* text) override {
    return LoadTableString(module_, identifier, text);
  }

 private:
  HMODULE module_;
};

}  // namespace

std::string NativePlatform::MessageFilePath(const std::string& stem) {
  return CommonFilesFolder() + kMessageFolder + stem + ".DLL";
}

uint32_t NativePlatform::OpenMessageFile(const std::string& path,
                                         std::unique_ptr<MessageFile>* file) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return GetLastError();
  *file = std::make_unique<ResourceFile>(module);
  return 0;
}

bool NativePlatform::ModuleText(void* module, uint32_t identifier, std::string* text) {
  HMODULE own = module != nullptr ? static_cast<HMODULE>(module) : GetModuleHandleA(nullptr);
  return LoadTableString(own, identifier, text);
}

void NativePlatform::ReportMessageFileFailure(const std::string&, uint32_t error) {
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  MessageBoxA(nullptr, text != nullptr ? text : "", "Error", MB_OK | MB_ICONINFORMATION);
  LocalFree(text);
}

}  // namespace zarq
