// The development service's pipe: fixed instances, one worker each.
#include "tools/dev_service/pipe_server_win32.h"

#include <algorithm>

#include "common/pipe_io_win32.h"
#include "common/service_pipe_win32.h"
#include "common/service_protocol.h"
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

// Whether some process answers a client's open of the pipe already.
bool PipeIsServed() {
  const CServicePipe pipe;
  return pipe.IsOpen() || pipe.OpenError() == ERROR_PIPE_BUSY;
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
    m_instances[i].listenEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_instances[i].pipe = NewInstance(i == 0);
    if (m_instances[i].pipe == INVALID_HANDLE_VALUE || m_instances[i].ioEvent == nullptr ||
        m_instances[i].listenEvent == nullptr) {
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
    if (instance.listenEvent != nullptr) ::CloseHandle(instance.listenEvent);
  }
  m_instances.clear();
}

DWORD WINAPI CPipeServer::WorkerMain(void* instance) {
  auto* self = static_cast<Instance*>(instance);
  self->server->Work(*self);
  return 0;
}

CPipeServer::Listening CPipeServer::Listen(HANDLE pipe, OVERLAPPED& ov) {
  // ConnectNamedPipe resets the event itself as it starts.
  if (::ConnectNamedPipe(pipe, &ov)) return Listening::Connected;
  switch (::GetLastError()) {
    case ERROR_PIPE_CONNECTED: return Listening::Connected;
    case ERROR_IO_PENDING: return Listening::Pending;
    default: return Listening::Failed;  // ERROR_NO_DATA too: a client came and went already
  }
}

void CPipeServer::Work(Instance& instance) {
  OVERLAPPED listen{};
  listen.hEvent = instance.listenEvent;
  Listening state = Listen(instance.pipe, listen);
  while (m_nStopping == 0) {
    if (state == Listening::Pending) {
      HANDLE waits[2] = {listen.hEvent, m_stopEvent};
      DWORD unused = 0;
      if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;
      state = ::GetOverlappedResult(instance.pipe, &listen, &unused, FALSE) ? Listening::Connected
                                                                               : Listening::Failed;
    }
    HANDLE served = state == Listening::Connected ? instance.pipe : INVALID_HANDLE_VALUE;
    if (state == Listening::Failed && instance.pipe != INVALID_HANDLE_VALUE) ::CloseHandle(instance.pipe);

    // A fresh instance takes this one's place and listens before the client is answered, so
    // the slot is without a listening instance only for as long as it takes to make one. The
    // answered instance is then closed, not disconnected: that leaves the reply in the pipe for
    // the client to read and close in its own time.
    instance.pipe = NewInstance(false);
    state = instance.pipe != INVALID_HANDLE_VALUE ? Listen(instance.pipe, listen) : Listening::Failed;
    if (served != INVALID_HANDLE_VALUE) {
      Answer(served, instance.ioEvent);
      ::CloseHandle(served);
    }
    if (instance.pipe == INVALID_HANDLE_VALUE) {
      ::WaitForSingleObject(m_stopEvent, kRetryMs);  // out of instances for the moment
      instance.pipe = NewInstance(false);
      state = instance.pipe != INVALID_HANDLE_VALUE ? Listen(instance.pipe, listen) : Listening::Failed;
    }
  }
  // The overlapped structure lives on this stack: the pending listen must end before it goes.
  if (state == Listening::Pending) {
    DWORD unused = 0;
    ::CancelIo(instance.pipe);
    ::GetOverlappedResult(instance.pipe, &listen, &unused, TRUE);
  }
}

void CPipeServer::Answer(HANDLE pipe, HANDLE ioEvent) {
  CPipeIo io(pipe, m_stopEvent, ioEvent);
  char chunk[kPipeBufferBytes];
  DWORD got = 0;

  // The request: up to and including its NUL, and never more than the limit and one byte, so a
  // client cannot make us hold more. One that never finishes its request gets no answer.
  std::string request;
  const CDeadline deadline(kRequestTimeoutMs);
  while (request.find('\0') == std::string::npos && request.size() <= m_nMaxRequestBytes) {
    const size_t wanted = std::min<size_t>(sizeof chunk, m_nMaxRequestBytes + 1 - request.size());
    if (!io.Read(chunk, static_cast<DWORD>(wanted), deadline.Remaining(), &got) || got == 0) return;
    request.append(chunk, got);
  }

  std::string reply = m_handler(request);
  reply.push_back('\0');
  // The write ends as soon as the reply is in the pipe's buffer (or, for a long one, once the
  // client has read enough of it).
  DWORD written = 0;
  io.Write(reply.data(), static_cast<DWORD>(reply.size()), kReplyTimeoutMs, &written);
}
