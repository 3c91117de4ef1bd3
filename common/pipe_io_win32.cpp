// Overlapped pipe reads and writes with a deadline.
#include "common/pipe_io_win32.h"

CPipeIo::CPipeIo(HANDLE pipe, HANDLE stopEvent, HANDLE ioEvent)
    : m_pipe(pipe), m_stopEvent(stopEvent), m_bOwnEvent(ioEvent == nullptr) {
  m_ov.hEvent = m_bOwnEvent ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : ioEvent;
}

CPipeIo::~CPipeIo() {
  if (m_bOwnEvent && m_ov.hEvent != nullptr) ::CloseHandle(m_ov.hEvent);
}

// ReadFile and WriteFile reset the event themselves as the operation starts.
bool CPipeIo::Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  if (m_ov.hEvent == nullptr) return false;
  const BOOL started = ::ReadFile(m_pipe, buffer, size, nullptr, &m_ov);
  return Finish(started, timeoutMs, done);
}

bool CPipeIo::Write(const char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  if (m_ov.hEvent == nullptr) return false;
  const BOOL started = ::WriteFile(m_pipe, buffer, size, nullptr, &m_ov);
  return Finish(started, timeoutMs, done);
}

bool CPipeIo::Finish(BOOL started, DWORD timeoutMs, DWORD* done) {
  m_bTimedOut = false;
  // Done at once (the usual case for a short read or write): no wait needed.
  if (started) return ::GetOverlappedResult(m_pipe, &m_ov, done, FALSE) != FALSE;
  if (::GetLastError() != ERROR_IO_PENDING) return false;
  HANDLE waits[2] = {m_ov.hEvent, m_stopEvent};
  const DWORD result = ::WaitForMultipleObjects(m_stopEvent != nullptr ? 2 : 1, waits, FALSE, timeoutMs);
  if (result != WAIT_OBJECT_0) {
    // Cancel, then wait for the cancellation to complete, so the buffer is no longer in use.
    // CancelIo (not CancelIoEx, which XP lacks) reaches the operations of the calling thread:
    // this one, as every operation is started and finished on the thread that owns the object.
    ::CancelIo(m_pipe);
    ::GetOverlappedResult(m_pipe, &m_ov, done, TRUE);
    *done = 0;
    m_bTimedOut = result == WAIT_TIMEOUT;
    return false;
  }
  return ::GetOverlappedResult(m_pipe, &m_ov, done, FALSE) != FALSE;
}
