// The development service's pipe: fixed instances, one worker each.
#include "tools/dev_service/pipe_server_win32.h"

#include <algorithm>

#include "common/service_pipe.h"
#include "tools/pipe_win32.h"

namespace {

constexpr DWORD kPipeRejectRemoteClients = 0x00000008;  // not declared for XP-level headers
constexpr DWORD kPipeBufferBytes = 4096;
constexpr DWORD kWorkerStackBytes = 256 * 1024;
// A client sends its request in one write as soon as it has connected, and reads the reply at
// once; one that takes longer than this for either gives its instance back.
constexpr DWORD kRequestTimeoutMs = 5000;
constexpr DWORD kReplyTimeoutMs = 5000;
constexpr DWORD kRetryMs = 100;

// Milliseconds left until a deadline taken from GetTickCount; 0 once it has passed.
DWORD Remaining(DWORD start, DWORD limitMs) {
  const DWORD spent = ::GetTickCount() - start;
  return spent < limitMs ? limitMs - spent : 0;
}

// Whether some process answers a client's open of the pipe already.
bool PipeIsServed() {
  HANDLE pipe = ::CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_PIPE_BUSY;
  ::CloseHandle(pipe);
  return true;
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

HANDLE CPipeServer::NewInstance(bool first) {
  SECURITY_ATTRIBUTES security{sizeof security, m_securityDescriptor.data(), FALSE};
  return ::CreateNamedPipeA(kServicePipeName,
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | kPipeRejectRemoteClients,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0, &security);
}

CPipeServer::StartResult CPipeServer::Start() {
  // FILE_FLAG_FIRST_PIPE_INSTANCE settles it where it is enforced; Wine ignores it, so first see
  // whether anybody answers.
  if (PipeIsServed()) return StartResult::NameTaken;
  m_securityDescriptor = CurrentUserOnlyDescriptor();
  if (m_securityDescriptor.empty()) return StartResult::Failed;
  ::ResetEvent(m_stopEvent);
  ::InterlockedExchange(&m_nStopping, 0);
  m_instances.assign(m_nInstances, Instance{});
  for (size_t i = 0; i < m_nInstances; ++i) {
    m_instances[i].server = this;
    m_instances[i].ioEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_instances[i].pipe = NewInstance(i == 0);
    if (m_instances[i].pipe == INVALID_HANDLE_VALUE || m_instances[i].ioEvent == nullptr) {
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
  ::InterlockedExchange(&m_nStopping, 1);
  ::SetEvent(m_stopEvent);
  for (Instance& instance : m_instances) {
    if (instance.thread != nullptr) {
      ::WaitForSingleObject(instance.thread, INFINITE);
      ::CloseHandle(instance.thread);
    }
    if (instance.pipe != INVALID_HANDLE_VALUE) ::CloseHandle(instance.pipe);
    if (instance.ioEvent != nullptr) ::CloseHandle(instance.ioEvent);
  }
  m_instances.clear();
}

DWORD WINAPI CPipeServer::WorkerMain(void* instance) {
  auto* self = static_cast<Instance*>(instance);
  self->server->Work(*self);
  return 0;
}

void CPipeServer::Work(Instance& instance) {
  while (m_nStopping == 0) {
    if (instance.pipe == INVALID_HANDLE_VALUE) {
      instance.pipe = NewInstance(false);
      if (instance.pipe == INVALID_HANDLE_VALUE) {
        ::WaitForSingleObject(m_stopEvent, kRetryMs);
        continue;
      }
    }
    if (!Connect(instance)) continue;
    Answer(instance);
    // Closing our end, unlike disconnecting it, leaves the reply in the pipe for the client to
    // read and close in its own time; a fresh instance takes this one's place at once. Waiting
    // for the client to close first would leave the instance unusable until this worker is
    // scheduled again, and under load clients would find every instance in that state.
    ::CloseHandle(instance.pipe);
    instance.pipe = INVALID_HANDLE_VALUE;
  }
}

bool CPipeServer::Connect(const Instance& instance) {
  HANDLE pipe = instance.pipe;
  OVERLAPPED ov{};
  ov.hEvent = instance.ioEvent;
  bool connected = false;
  while (!connected && m_nStopping == 0) {
    // ConnectNamedPipe resets the event itself as it starts.
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
  return connected;
}

void CPipeServer::Answer(const Instance& instance) {
  CPipeIo io(instance.pipe, m_stopEvent, instance.ioEvent);
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
  // The write ends as soon as the reply is in the pipe's buffer (or, for a long one, once the
  // client has read enough of it).
  DWORD written = 0;
  io.Write(reply.data(), static_cast<DWORD>(reply.size()), kReplyTimeoutMs, &written);
}
