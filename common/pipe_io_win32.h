// Overlapped reads and writes on a named pipe that end at a deadline or a stop event, for both
// ends of the disk service's pipe: our clients and our pipe servers.
#pragma once

#include <windows.h>

#include <memory>

// Milliseconds left of a time limit that starts when the object is made, by GetTickCount;
// INFINITE stays INFINITE, and a limit that has passed leaves 0.
class CDeadline {
 public:
  explicit CDeadline(DWORD timeoutMs) : m_start(::GetTickCount()), m_timeoutMs(timeoutMs) {}
  DWORD Remaining() const {
    if (m_timeoutMs == INFINITE) return INFINITE;
    const DWORD elapsed = ::GetTickCount() - m_start;
    return elapsed >= m_timeoutMs ? 0 : m_timeoutMs - elapsed;
  }

 private:
  DWORD m_start;
  DWORD m_timeoutMs;
};

// Reads and writes on a handle opened with FILE_FLAG_OVERLAPPED, one operation at a time and
// all from the thread that made the object. An operation that does not end in time is
// cancelled, and the cancellation waited for, so the caller's buffer is never written into
// after a call has returned; the system works on memory of the object's own, which it gives up
// (and every later operation fails) if a cancellation does not end within kCancelGraceMs.
class CPipeIo {
 public:
  // Short, so that a Status exchange of the shell extension, bounded to one second, stays near
  // it even then; a cancellation normally ends at once.
  static constexpr DWORD kCancelGraceMs = 250;

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
  struct CBlock;
  bool Finish(BOOL started, DWORD timeoutMs, DWORD* done);

  HANDLE m_pipe;
  HANDLE m_stopEvent;
  bool m_bOwnEvent;
  std::unique_ptr<CBlock> m_block;  // null once given up
  bool m_bTimedOut = false;
};
