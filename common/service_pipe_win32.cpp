// The disk-service exchange on the named pipe: open, one write, one read, close.
#include <windows.h>

#include "common/service_pipe.h"

bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received) {
  *received = 0;
  // No waiting for a busy pipe and no retry: a service that is absent, or has no free instance,
  // is an immediate failure.
  HANDLE pipe = CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return false;

  DWORD written = 0;
  bool ok = WriteFile(pipe, request, requestBytes, &written, nullptr) && written == requestBytes;
  DWORD read = 0;
  ok = ok && ReadFile(pipe, reply, capacity, &read, nullptr) && read > 0;
  CloseHandle(pipe);
  if (ok) *received = read;
  return ok;
}
