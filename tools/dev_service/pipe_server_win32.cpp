// The development service's pipe: fixed instances, one worker each.
#include "tools/dev_service/pipe_server_win32.h"

#include <algorithm>

#include "common/service_pipe.h"
#include "tools/pipe_win32.h"

namespace {

constexpr DWORD kPipeRejectRemoteClients = 0x00000008;  // not declared for XP-level headers
constexpr DWORD kPipeBufferBytes = 4096;
constexpr DWORD kWorkerStackBytes = 256 * 1024;
// A client sends its request in one write as soon as it has connected and closes once it has
// read the reply; one that takes longer than this for either gives its instance back.
constexpr DWORD kRequestTimeoutMs = 5000;
constexpr DWORD kReplyTimeoutMs = 5000;
constexpr DWORD kClientCloseTimeoutMs = 5000;
constexpr DWORD kRetryMs = 100;

// Milliseconds left until a deadline taken from GetTickCount; 0 once it has passed.
DWORD Remaining(DWORD start, DWORD limitMs) {
  const DWORD spent = ::GetTickCount() - start;
  return spent < limitMs ? limitMs - spent : 0;
}

}  // namespace

CPipeServer::CPipeServer(size_t instances, size_t maxRequestBytes, Handler handler)
    : m_nInstances(std::min<size_t>(std::max<size_t>(instances, 1), PIPE_UNLIMITED_INSTANCES - 1)),
      m_nMaxRequestBytes(maxRequestBytes),
      m_handler(std::move(handler)),
      m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CPipeServer::~CPipeServer() {
  Stop();
  ::CloseHandle(m_stopEvent);
}

CPipeServer::StartResult CPipeServer::Start() {
  std::vector<BYTE> descriptor = CurrentUserOnlyDescriptor();
  if (descriptor.empty()) return StartResult::Failed;
  SECURITY_ATTRIBUTES security{sizeof security, descriptor.data(), FALSE};
  ::ResetEvent(m_stopEvent);
  m_instances.assign(m_nInstances, Instance{});
  for (size_t i = 0; i < m_nInstances; ++i) {
    const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
    m_instances[i].server = this;
    m_instances[i].pipe = ::CreateNamedPipeA(
        kServicePipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | kPipeRejectRemoteClients, static_cast<DWORD>(m_nInstances),
        kPipeBufferBytes, kPipeBufferBytes, 0, &security);
    if (m_instances[i].pipe == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      Stop();
      // The first instance of a name that exists already: someone else serves it.
      return i == 0 && (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY) ? StartResult::NameTaken
                                                                                  : StartResult::Failed;
    }
  }
  for (Instance& instance : m_instances) {
    instance.thread = ::CreateThread(nullptr, kWorkerStackBytes, &CPipeServer::WorkerMain, &instance,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (instance.thread == nullptr) {
      Stop();
      return StartResult::Failed;
    }
  }
  return StartResult::Serving;
}

void CPipeServer::Stop() {
  ::SetEvent(m_stopEvent);
  for (Instance& instance : m_instances) {
    if (instance.thread != nullptr) {
      ::WaitForSingleObject(instance.thread, INFINITE);
      ::CloseHandle(instance.thread);
    }
    if (instance.pipe != INVALID_HANDLE_VALUE) ::CloseHandle(instance.pipe);
  }
  m_instances.clear();
}

DWORD WINAPI CPipeServer::WorkerMain(void* instance) {
  auto* self = static_cast<Instance*>(instance);
  self->server->Work(self->pipe);
  return 0;
}

void CPipeServer::Work(HANDLE pipe) {
  while (Connect(pipe)) {
    Answer(pipe);
    ::DisconnectNamedPipe(pipe);
  }
}

bool CPipeServer::Connect(HANDLE pipe) {
  OVERLAPPED ov{};
  ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool connected = false;
  while (!connected && ::WaitForSingleObject(m_stopEvent, 0) != WAIT_OBJECT_0) {
    ::ResetEvent(ov.hEvent);
    if (::ConnectNamedPipe(pipe, &ov)) {
      connected = true;
      break;
    }
    switch (::GetLastError()) {
      case ERROR_PIPE_CONNECTED:
        connected = true;
        break;
      case ERROR_IO_PENDING: {
        HANDLE waits[2] = {ov.hEvent, m_stopEvent};
        DWORD unused = 0;
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
          connected = ::GetOverlappedResult(pipe, &ov, &unused, FALSE) != FALSE;
        } else {
          ::CancelIo(pipe);
          ::GetOverlappedResult(pipe, &ov, &unused, TRUE);
        }
        break;
      }
      case ERROR_NO_DATA:  // a client came and went before we saw it
        ::DisconnectNamedPipe(pipe);
        break;
      default:  // nothing sensible to do but wait a moment and listen again
        ::WaitForSingleObject(m_stopEvent, kRetryMs);
        break;
    }
  }
  ::CloseHandle(ov.hEvent);
  return connected;
}

void CPipeServer::Answer(HANDLE pipe) {
  CPipeIo io(pipe, m_stopEvent);
  char chunk[kPipeBufferBytes];
  DWORD got = 0;

  // The request: up to and including its NUL, and never more than the limit and one byte, so a
  // client cannot make us hold more. One that never finishes its request gets no answer.
  std::string request;
  const DWORD start = ::GetTickCount();
  while (request.find('\0') == std::string::npos && request.size() <= m_nMaxRequestBytes) {
    const size_t wanted = std::min<size_t>(sizeof chunk, m_nMaxRequestBytes + 1 - request.size());
    if (!io.Read(chunk, static_cast<DWORD>(wanted), Remaining(start, kRequestTimeoutMs), &got) || got == 0) return;
    request.append(chunk, got);
  }

  std::string reply = m_handler(request);
  reply.push_back('\0');
  DWORD written = 0;
  if (!io.Write(reply.data(), static_cast<DWORD>(reply.size()), kReplyTimeoutMs, &written)) return;

  // Disconnecting now would throw away a reply the client has not read yet: wait for it to
  // close. Whatever it still sends (the rest of an oversized request) is read and dropped.
  const DWORD replied = ::GetTickCount();
  while (Remaining(replied, kClientCloseTimeoutMs) > 0 &&
         io.Read(chunk, sizeof chunk, Remaining(replied, kClientCloseTimeoutMs), &got)) {
  }
}
