// Opening the disk service's named pipe, for the exchanges of both deliverables.
#pragma once

#include <windows.h>

// Opens an existing instance of the service's pipe for one exchange: no waiting for a busy pipe
// and no retry, so a service that is absent, or has no free instance, is an immediate failure
// (INVALID_HANDLE_VALUE). flags are further CreateFile flags, FILE_FLAG_OVERLAPPED say.
// The server at the other end may identify the user but never act as the user: whoever creates
// the pipe first, while the real service is stopped for example, is not given the user's rights.
HANDLE OpenServicePipe(DWORD flags);
