// library_state.h: the process-wide state of the library: its lifecycle
// state, who this process is (IdentityString, InstanceTag) and its module.
//
// Thread-safety: every function here expects the library lock held.

#ifndef ZARQ_SRC_FRAME_LIBRARY_STATE_H_
#define ZARQ_SRC_FRAME_LIBRARY_STATE_H_

#include <cstdint>

namespace zarq {

// The longest identity: 30 characters of application, ':' and 30 of user.
inline constexpr int kIdentityCapacity = 62;
inline constexpr int kIdentityPartLength = 30;

// The raw state value (-400, -399 or -398).
int32_t LibraryStateValue();

// Stores state unless the library is damaged: damage lasts for the process.
void SetLibraryState(int32_t state);

// The state as ZARQ1_GetZARQState reports it: a value found outside its
// range marks the library damaged first.
int32_t CheckedLibraryState();

// 0 when the library is initialised, else the state to return.
int32_t RequireInitialized();

// "application:user" of this process, as ZARQ1_Initialize built it.
const char* IdentityString();
// Builds the identity from the caller's names (null counts as empty).
void SetIdentity(const char* application, const char* user);

// A random number 0..32766 drawn at initialisation; tells this process's
// own records apart from those of an earlier process of the same identity.
int32_t InstanceTag();
void SetInstanceTag(int32_t tag);

// The library's own module handle (null when not known).
void* ModuleHandle();
void SetModuleHandle(void* module);

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_LIBRARY_STATE_H_
