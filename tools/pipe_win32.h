// Who may open the pipes our servers make: a security descriptor that lets only the user running
// the process in. The reads and writes on those pipes are in common/pipe_io_win32.h.
#pragma once

#include <windows.h>

#include <vector>

// A security descriptor whose only entry gives the user of this process full access; empty when
// the user cannot be found out.
std::vector<BYTE> CurrentUserOnlyDescriptor();
