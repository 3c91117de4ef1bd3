// Overlapped pipe reads and writes with a deadline.
#include "common/pipe_io_win32.h"

#include <algorithm>
#include <new>
#include <vector>

#include "common/secret_text.h"

// The overlapped block and the bytes an operation works on, which may carry a passphrase: wiped
// when they go back to the heap.
struct CPipeIo::CBlock {
  OVERLAPPED ov{};
  std::vector<char, WipingAllocator<char>> bytes;
};

CPipeIo::CPipeIo(HANDLE pipe, HANDLE stopEvent, HANDLE ioEvent)
    : m_pipe(pipe), m_stopEvent(stopEvent), m_bOwnEvent(ioEvent == nullptr), m_block(new (std::nothrow) CBlock) {
  if (m_block != nullptr) m_block->ov.hEvent = m_bOwnEvent ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : ioEvent;
}

CPipeIo::~CPipeIo() {
  if (m_block != nullptr && m_bOwnEvent && m_block->ov.hEvent != nullptr) ::CloseHandle(m_block->ov.hEvent);
}

// ReadFile and WriteFile reset the event themselves as the operation starts.
bool CPipeIo::Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  if (m_block == nullptr || m_block->ov.hEvent == nullptr) return false;
  m_block->bytes.resize(size);
  const BOOL started = ::ReadFile(m_pipe, m_block->bytes.data(), size, nullptr, &m_block->ov);
  if (!Finish(started, timeoutMs, done)) return false;
  std::copy_n(m_block->bytes.data(), *done, buffer);
  return true;
}

bool CPipeIo::Write(const char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  if (m_block == nullptr || m_block->ov.hEvent == nullptr) return false;
  m_block->bytes.assign(buffer, buffer + size);
  const BOOL started = ::WriteFile(m_pipe, m_block->bytes.data(), size, nullptr, &m_block->ov);
  const bool written = Finish(started, timeoutMs, done);
  if (m_block != nullptr) WipeMemory(m_block->bytes.data(), size);
  return written;
}

bool CPipeIo::Finish(BOOL started, DWORD timeoutMs, DWORD* done) {
  m_bTimedOut = false;
  OVERLAPPED& ov = m_block->ov;
  // Done at once (the usual case for a short read or write): no wait needed.
  if (started) return ::GetOverlappedResult(m_pipe, &ov, done, FALSE) != FALSE;
  if (::GetLastError() != ERROR_IO_PENDING) return false;
  HANDLE waits[2] = {ov.hEvent, m_stopEvent};
  const DWORD result = ::WaitForMultipleObjects(m_stopEvent != nullptr ? 2 : 1, waits, FALSE, timeoutMs);
  if (result == WAIT_OBJECT_0) return ::GetOverlappedResult(m_pipe, &ov, done, FALSE) != FALSE;

  // Cancel, then wait for the cancellation to complete, so the block is no longer in use.
  // CancelIo (not CancelIoEx, which XP lacks) reaches the operations of the calling thread:
  // this one, as every operation is started and finished on the thread that owns the object.
  m_bTimedOut = result == WAIT_TIMEOUT;
  ::CancelIo(m_pipe);
  if (::WaitForSingleObject(ov.hEvent, kCancelGraceMs) != WAIT_OBJECT_0) {
    static_cast<void>(m_block.release());  // still the system's: never freed, nothing more done with it
    return false;
  }
  DWORD ignored = 0;
  ::GetOverlappedResult(m_pipe, &ov, &ignored, FALSE);
  return false;
}
