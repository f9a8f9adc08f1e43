// messages.h: the texts of status codes (ZARQ1_GetErrorMessage).
//
// The texts live outside the library, in one message file per language
// (messages/messages.txt is their source): a resource-only DLL on Windows,
// a message catalog elsewhere, where the platform says. Each status maps to
// a text identifier by fixed ranges. The file is loaded at the first
// request, outside the library lock and never from the system's load entry;
// a file that cannot be loaded is reported (Platform) and tried again at the
// next request, and meanwhile every text is empty. Three statuses get
// details of the last failure appended: who holds a refused lock, which
// program holds a refused directory, and the library's own file name.
//
// Thread-safety: LoadMessages takes the messages' own lock and must not be
// called with the library lock held (it never takes it); ComposeMessage
// expects the library lock held and takes the messages' lock inside it.

#ifndef ZARQ_SRC_FRAME_MESSAGES_H_
#define ZARQ_SRC_FRAME_MESSAGES_H_

#include <cstdint>
#include <string>

namespace zarq {

// The base name of the message file with every status's text.
inline constexpr char kCommonMessageFile[] = "ZARQMSG110EN";

// Texts that are not a status's own.
inline constexpr uint32_t kUnknownStatusText = 9727;
inline constexpr uint32_t kHeldByText = 9728;       // joins the holder to a message
inline constexpr uint32_t kHeldInText = 9729;       // joins the holder's program
inline constexpr uint32_t kOwnFileNameText = 9611;  // in the library's own module

// The identifier of status's text (kUnknownStatusText outside the ranges).
uint32_t MessageIdFor(int32_t status);

// What the details need from the layers above, installed by them at
// start-up (none installed: no details of that kind). Each returns 0 or a
// status, and is called with the library lock held and the library
// initialised.
//
// The program that held the directory whose open was last refused.
using FailedOpenSource = int32_t (*)(std::string* application);
// Who held the security whose lock was last refused: how many holders, the
// user text (a user name, or a count of users) and, with one holder, its
// application.
using FailedLockSource = int32_t (*)(uint32_t* holders, std::string* application,
                                     std::string* user);

// Install a source and return the one it replaces, for a test to put back.
FailedOpenSource SetFailedOpenSource(FailedOpenSource source);
FailedLockSource SetFailedLockSource(FailedLockSource source);

// Loads the message file unless it is loaded; true when it is.
bool LoadMessages();

// The text of identifier; empty without a message file or such a text.
std::string MessageText(uint32_t identifier);

// The message of status: its text, then its details while they fit in
// 100 characters; empty when the status has no text.
std::string ComposeMessage(int32_t status);

// Copies at most maximum characters of message and a NUL to text (when
// text is not null).
void CopyMessage(const std::string& message, char* text, uint16_t maximum);

// Forgets the loaded message file so that the next request loads afresh
// (tests only; no request may be running).
void ForgetMessagesForTesting();

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_MESSAGES_H_
