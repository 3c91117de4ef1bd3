// The client's end of the disk service's pipe: open as our clients open it, one exchange.
#include "common/service_pipe_win32.h"

#include "common/service_pipe.h"

namespace {

HANDLE OpenServicePipe(DWORD* error) {
  HANDLE pipe = ::CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              kServicePipeOpenFlags, nullptr);
  *error = pipe == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  return pipe;
}

}  // namespace

CServicePipe::CServicePipe() : m_nOpenError(0), m_pipe(OpenServicePipe(&m_nOpenError)), m_io(m_pipe, nullptr) {}

CServicePipe::~CServicePipe() {
  if (IsOpen()) ::CloseHandle(m_pipe);
}

bool CServicePipe::Write(const char* bytes, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  return IsOpen() && m_io.Write(bytes, size, timeoutMs, done);
}

bool CServicePipe::Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  return IsOpen() && m_io.Read(buffer, size, timeoutMs, done);
}

bool ExchangeWithDeadline(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                          uint32_t* received, DWORD timeoutMs) {
  *received = 0;
  const CDeadline deadline(timeoutMs);
  CServicePipe pipe;
  DWORD written = 0;
  DWORD read = 0;
  if (!pipe.Write(request, requestBytes, deadline.Remaining(), &written) || written != requestBytes) return false;
  if (!pipe.Read(reply, capacity, deadline.Remaining(), &read) || read == 0) return false;
  *received = read;
  return true;
}

bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received) {
  return ExchangeWithDeadline(request, requestBytes, reply, capacity, received, INFINITE);
}
