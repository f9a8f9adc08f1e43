// peer_commands.h: the command table of the peer process. Each file of
// tests/peer registers its commands; a command reads its arguments from the
// line and returns its status, with any further values in *answer (each
// starting with a blank).

#ifndef ZARQ_TESTS_PEER_PEER_COMMANDS_H_
#define ZARQ_TESTS_PEER_PEER_COMMANDS_H_

#include <cstdint>
#include <sstream>
#include <string>

namespace zarq_peer {

using Command = int32_t (*)(std::istringstream& arguments, std::string* answer);

struct CommandRegistration {
  CommandRegistration(const char* name, Command command);
};

Command FindCommand(const std::string& name);

}  // namespace zarq_peer

#endif  // ZARQ_TESTS_PEER_PEER_COMMANDS_H_
