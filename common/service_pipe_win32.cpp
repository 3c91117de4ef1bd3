// The disk-service exchange on the named pipe: open, one write, one read, close.
#include "common/service_pipe_win32.h"

#include "common/service_pipe.h"

HANDLE OpenServicePipe(DWORD flags) {
  return ::CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       flags | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
}

bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received) {
  *received = 0;
  HANDLE pipe = OpenServicePipe(0);
  if (pipe == INVALID_HANDLE_VALUE) return false;

  DWORD written = 0;
  bool ok = WriteFile(pipe, request, requestBytes, &written, nullptr) && written == requestBytes;
  DWORD read = 0;
  ok = ok && ReadFile(pipe, reply, capacity, &read, nullptr) && read > 0;
  CloseHandle(pipe);
  if (ok) *received = read;
  return ok;
}
