// peer_main.cc: a second (third, ...) process for multi-process tests. It
// reads one command per line on standard input and answers each with one
// line "= <status> [values]" on standard output. Commands are registered by
// the files of tests/peer (see each for its arguments); two are built in:
//
//   crash    ends at once, cleaning up nothing
//   exit     ends normally

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "include/zarq.h"
#include "tests/peer/peer_commands.h"

#ifdef _WIN32
#include <windows.h>
#define PEER_CRASH() TerminateProcess(GetCurrentProcess(), 3)
#else
#include <unistd.h>
#define PEER_CRASH() _exit(3)
#endif

namespace zarq_peer {
namespace {

std::map<std::string, Command>& Table() {
  static auto* table = new std::map<std::string, Command>;
  return *table;
}

}  // namespace

CommandRegistration::CommandRegistration(const char* name, Command command) {
  Table()[name] = command;
}

Command FindCommand(const std::string& name) {
  auto found = Table().find(name);
  return found == Table().end() ? nullptr : found->second;
}

}  // namespace zarq_peer

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string name;
    in >> name;
    if (name == "crash") {
      std::fflush(stdout);
      PEER_CRASH();
    }
    if (name == "exit") {
      std::cout << "= 0" << std::endl;
      return 0;
    }
    std::string answer;
    zarq_peer::Command command = zarq_peer::FindCommand(name);
    int32_t status = command != nullptr ? command(in, &answer) : ZARQ_E_INVALID_ARGUMENT;
    std::cout << "= " << status << answer << std::endl;
  }
  return 0;
}
