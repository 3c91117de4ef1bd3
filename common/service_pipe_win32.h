// The client's end of the disk service's pipe, the one way every client of ours reaches the
// service: Lockvale's client, ZelToolExt's bounded Status and zelpipe-check.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/pipe_io_win32.h"

// How each of them opens the pipe. Overlapped, so that any wait can have a deadline. For
// identification only: the server at the other end may find out who the user is but never act
// as the user, so whoever creates the pipe first (while the real service is stopped, say) is not
// given the user's rights.
inline constexpr DWORD kServicePipeOpenFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

// One connection, opened as the object is made: read and write access, no sharing, an existing
// instance only. There is no waiting for a busy pipe and no retry, so a service that is absent,
// or has no free instance, is an immediate failure. Closed with the object. Its reads and writes
// are made and ended on the thread that made it.
class CServicePipe {
 public:
  CServicePipe();
  ~CServicePipe();
  CServicePipe(const CServicePipe&) = delete;
  CServicePipe& operator=(const CServicePipe&) = delete;

  bool IsOpen() const { return m_pipe != INVALID_HANDLE_VALUE; }
  // The connection's handle, for what else a client may ask of it (who may connect, say).
  HANDLE Handle() const { return m_pipe; }
  // The system's reason when it could not be opened (ERROR_FILE_NOT_FOUND: nobody serves it,
  // ERROR_PIPE_BUSY: no free instance).
  DWORD OpenError() const { return m_nOpenError; }

  // timeoutMs may be INFINITE; see CPipeIo.
  bool Write(const char* bytes, DWORD size, DWORD timeoutMs, DWORD* done);
  bool Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done);
  bool TimedOut() const { return m_io.TimedOut(); }

 private:
  DWORD m_nOpenError;  // before m_pipe: opening it writes this
  HANDLE m_pipe;
  CPipeIo m_io;
};

// One exchange: open, one write of the request's requestBytes bytes, one read of at most
// capacity bytes into reply, close; all of it within timeoutMs (INFINITE: no deadline). True
// with *received set when the request went out whole and the read delivered at least one byte.
bool ExchangeWithDeadline(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                          uint32_t* received, DWORD timeoutMs);
