// Overlapped reads and writes on a named pipe that end at a deadline or a stop event, for both
// ends of the disk service's pipe: our clients and our pipe servers.
#pragma once

#include <windows.h>

// Reads and writes on a handle opened with FILE_FLAG_OVERLAPPED, one operation at a time and
// all from the thread that made the object. An operation that does not end in time is
// cancelled, and the cancellation waited for, so the buffer is never written into after a call
// has returned.
class CPipeIo {
 public:
  // stopEvent may be null: then only the deadline ends a wait. ioEvent, a manual-reset event
  // the caller keeps, saves making one for every connection; null: one of our own.
  CPipeIo(HANDLE pipe, HANDLE stopEvent, HANDLE ioEvent = nullptr);
  ~CPipeIo();
  CPipeIo(const CPipeIo&) = delete;
  CPipeIo& operator=(const CPipeIo&) = delete;

  // timeoutMs may be INFINITE.
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
