// Who may open the pipes our servers make: the security descriptor each instance is made with.
// The reads and writes on those pipes are in common/pipe_io_win32.h.
#pragma once

#include <windows.h>

#include <vector>

enum class PipeDoor {
  CurrentUserOnly,  // what a disk service should do: only the user running it may connect
  // Faults a service may have, for the checker's tests: Everyone may connect too, or anyone at
  // all (a NULL DACL).
  AlsoEveryone,
  NullDacl,
};

// The user of this process, as a TOKEN_USER; empty when it cannot be found out.
std::vector<BYTE> CurrentUser();
// A security descriptor for a pipe with this door; empty when the user cannot be found out.
std::vector<BYTE> PipeSecurityDescriptor(PipeDoor door);
