// The bounded Status exchange of the handlers.
#include "shellext/status_client.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/service_pipe_win32.h"
#include "shellext/status_request.h"

namespace {

// How long a cancelled operation may take to report its end. Past it the operation's memory is
// given up rather than freed while the system may still write into it.
constexpr DWORD kCancelGraceMs = 5000;

// The overlapped block and the bytes an operation works on. It lives on the heap so that it can
// be abandoned whole if a cancellation never completes.
struct CIoBlock {
  OVERLAPPED ov{};
  std::vector<char> bytes;
};

class CDeadline {
 public:
  explicit CDeadline(DWORD timeoutMs) : m_start(::GetTickCount()), m_timeoutMs(timeoutMs) {}
  DWORD Remaining() const {
    const DWORD elapsed = ::GetTickCount() - m_start;
    return elapsed >= m_timeoutMs ? 0 : m_timeoutMs - elapsed;
  }

 private:
  DWORD m_start;
  DWORD m_timeoutMs;
};

enum class IoOutcome { Done, Failed, Abandoned };

// Waits for an overlapped operation that has been started; cancels it at the deadline.
IoOutcome Complete(HANDLE pipe, CIoBlock& block, BOOL started, const CDeadline& deadline, DWORD* transferred) {
  *transferred = 0;
  if (!started && ::GetLastError() != ERROR_IO_PENDING) return IoOutcome::Failed;
  if (::WaitForSingleObject(block.ov.hEvent, deadline.Remaining()) == WAIT_OBJECT_0) {
    return ::GetOverlappedResult(pipe, &block.ov, transferred, FALSE) ? IoOutcome::Done : IoOutcome::Failed;
  }
  ::CancelIo(pipe);
  if (::WaitForSingleObject(block.ov.hEvent, kCancelGraceMs) != WAIT_OBJECT_0) return IoOutcome::Abandoned;
  DWORD ignored = 0;
  ::GetOverlappedResult(pipe, &block.ov, &ignored, FALSE);
  return IoOutcome::Failed;
}

}  // namespace

bool ExchangeWithDeadline(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                          uint32_t* received, DWORD timeoutMs) {
  *received = 0;
  const CDeadline deadline(timeoutMs);
  // Everything that allocates comes first, so that no failure can leave a handle open.
  auto block = std::make_unique<CIoBlock>();
  block->bytes.reserve(std::max(requestBytes, capacity));
  block->bytes.assign(request, request + requestBytes);
  block->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (block->ov.hEvent == nullptr) return false;

  HANDLE pipe = OpenServicePipe(FILE_FLAG_OVERLAPPED);
  bool ok = pipe != INVALID_HANDLE_VALUE;
  IoOutcome outcome = IoOutcome::Failed;
  if (ok) {
    DWORD written = 0;
    outcome = Complete(pipe, *block, ::WriteFile(pipe, block->bytes.data(), requestBytes, nullptr, &block->ov),
                       deadline, &written);
    ok = outcome == IoOutcome::Done && written == requestBytes;
  }
  if (ok) {
    block->bytes.assign(capacity, '\0');
    ::ResetEvent(block->ov.hEvent);
    DWORD read = 0;
    outcome = Complete(pipe, *block, ::ReadFile(pipe, block->bytes.data(), capacity, nullptr, &block->ov), deadline,
                       &read);
    ok = outcome == IoOutcome::Done && read > 0 && read <= capacity;
    if (ok) {
      std::copy(block->bytes.begin(), block->bytes.begin() + read, reply);
      *received = read;
    }
  }
  if (pipe != INVALID_HANDLE_VALUE) ::CloseHandle(pipe);
  if (outcome == IoOutcome::Abandoned) {
    static_cast<void>(block.release());  // still in the system's hands: never freed
  } else {
    ::CloseHandle(block->ov.hEvent);
  }
  return ok;
}

int32_t CServiceStatusClient::Status(std::u16string_view drive) const {
  return RequestStatus(drive, [](const std::string& request, char* reply, uint32_t capacity, uint32_t* received) {
    return ExchangeWithDeadline(request.data(), static_cast<uint32_t>(request.size()), reply, capacity, received,
                                kStatusTimeoutMs);
  });
}
