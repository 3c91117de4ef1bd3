// Named-pipe plumbing shared by our pipe servers and the conformance checker: one overlapped
// operation at a time that ends at a deadline or a stop event, and a security descriptor that
// lets only the user running the process in.
#pragma once

#include <windows.h>

#include <vector>

// Reads and writes on a handle opened with FILE_FLAG_OVERLAPPED. An operation that does not end
// in time is cancelled, and the cancellation is waited for, so the buffer is free again when a
// call returns.
class CPipeIo {
 public:
  // stopEvent may be null: then only the deadline ends a wait. ioEvent, a manual-reset event
  // the caller keeps, saves making one for every connection; null: one of our own.
  CPipeIo(HANDLE pipe, HANDLE stopEvent, HANDLE ioEvent = nullptr);
  ~CPipeIo();
  CPipeIo(const CPipeIo&) = delete;
  CPipeIo& operator=(const CPipeIo&) = delete;

  bool Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done);
  bool Write(const char* buffer, DWORD size, DWORD timeoutMs, DWORD* done);
  // Whether the last operation that failed ran out of time (rather than failing or being stopped).
  bool TimedOut() const { return m_bTimedOut; }

 private:
  bool Finish(BOOL started, DWORD timeoutMs, DWORD* done);

  HANDLE m_pipe;
  HANDLE m_stopEvent;
  bool m_bOwnEvent;
  OVERLAPPED m_ov{};
  bool m_bTimedOut = false;
};

// A security descriptor whose only entry gives the user of this process full access; empty when
// the user cannot be found out.
std::vector<BYTE> CurrentUserOnlyDescriptor();
