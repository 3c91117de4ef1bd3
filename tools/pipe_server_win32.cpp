// The core of our pipe servers: fixed instances, one worker each, replies as their handler says.
#include "tools/pipe_server_win32.h"

#include <algorithm>

#include "common/service_pipe_win32.h"
#include "common/service_protocol.h"

namespace {

constexpr DWORD kPipeRejectRemoteClients = 0x00000008;  // not declared for XP-level headers
constexpr DWORD kReadChunkBytes = 4096;
constexpr DWORD kWorkerStackBytes = 256 * 1024;
// A client sends its request in one write as soon as it has connected, and reads the reply at
// once; one that takes longer than this for either gives its instance back.
constexpr DWORD kRequestTimeoutMs = 10000;
constexpr DWORD kReplyTimeoutMs = 10000;
constexpr DWORD kRetryMs = 50;  // for a fresh instance, while the instance limit is reached

// Whether some process answers a client's open of the pipe already.
bool PipeIsServed() {
  const CServicePipe pipe;
  return pipe.IsOpen() || pipe.OpenError() == ERROR_PIPE_BUSY;
}

}  // namespace

CPipeServer::CPipeServer(const Options& options, Handler handler)
    : m_options(options), m_handler(std::move(handler)), m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  m_options.instances = std::min<size_t>(std::max<size_t>(m_options.instances, 1), PIPE_UNLIMITED_INSTANCES - 1);
}

CPipeServer::~CPipeServer() {
  Stop();
  ::CloseHandle(m_stopEvent);
}

HANDLE CPipeServer::NewInstance(bool first) {
  SECURITY_ATTRIBUTES security{sizeof security, m_securityDescriptor.data(), FALSE};
  return ::CreateNamedPipeA(kServicePipeName,
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | kPipeRejectRemoteClients,
                            m_options.maxInstances, m_options.outBufferBytes, kReadChunkBytes, 0, &security);
}

CPipeServer::StartResult CPipeServer::Start() {
  // FILE_FLAG_FIRST_PIPE_INSTANCE settles it where it is enforced; Wine ignores it, so first see
  // whether anybody answers.
  if (PipeIsServed()) return StartResult::NameTaken;
  m_securityDescriptor = PipeSecurityDescriptor(m_options.door);
  if (m_securityDescriptor.empty() || m_stopEvent == nullptr) return StartResult::Failed;
  ::ResetEvent(m_stopEvent);
  ::InterlockedExchange(&m_nStopping, 0);
  m_instances.assign(m_options.instances, Instance{});
  for (size_t i = 0; i < m_instances.size(); ++i) {
    Instance& instance = m_instances[i];
    instance.server = this;
    instance.ioEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    instance.listenEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    instance.pipe = NewInstance(i == 0);
    const DWORD error = ::GetLastError();
    // Past the instance limit a slot waits for an instance of its own (its worker tries again).
    const bool atLimit = i > 0 && instance.pipe == INVALID_HANDLE_VALUE && error == ERROR_PIPE_BUSY;
    if ((instance.pipe == INVALID_HANDLE_VALUE && !atLimit) || instance.ioEvent == nullptr ||
        instance.listenEvent == nullptr) {
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
  if (pipe == INVALID_HANDLE_VALUE) return Listening::Failed;
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
    if (served != INVALID_HANDLE_VALUE) ::InterlockedIncrement(&m_nConnections);

    // A fresh instance takes this one's place and listens before the client is answered, so
    // the slot is without a listening instance only for as long as it takes to make one. The
    // answered instance is then closed, not disconnected: that leaves the reply in the pipe for
    // the client to read and close in its own time.
    instance.pipe = NewInstance(false);
    state = Listen(instance.pipe, listen);
    if (served != INVALID_HANDLE_VALUE) {
      Answer(served, instance.ioEvent);
      ::CloseHandle(served);
    }
    if (instance.pipe == INVALID_HANDLE_VALUE) {
      ::WaitForSingleObject(m_stopEvent, kRetryMs);  // out of instances for the moment
      instance.pipe = NewInstance(false);
      state = Listen(instance.pipe, listen);
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
  char chunk[kReadChunkBytes];
  DWORD got = 0;

  // The request: up to and including its NUL, and never more than the limit and one byte, so a
  // client cannot make us hold more. One that never finishes its request gets no answer.
  std::string request;
  const CDeadline deadline(kRequestTimeoutMs);
  while (request.find('\0') == std::string::npos && request.size() <= m_options.maxRequestBytes) {
    const size_t wanted = std::min<size_t>(sizeof chunk, m_options.maxRequestBytes + 1 - request.size());
    if (!io.Read(chunk, static_cast<DWORD>(wanted), deadline.Remaining(), &got) || got == 0) return;
    request.append(chunk, got);
  }
  Give(m_handler(request), io);
}

void CPipeServer::Give(const PipeReply& reply, CPipeIo& io) {
  if (reply.delayMs > 0 && ::WaitForSingleObject(m_stopEvent, reply.delayMs) == WAIT_OBJECT_0) return;
  switch (reply.kind) {
    case PipeReply::Kind::CloseWithoutReply: return;
    case PipeReply::Kind::NeverAnswer: ::WaitForSingleObject(m_stopEvent, INFINITE); return;
    case PipeReply::Kind::Answer: break;
  }
  // Each write ends once the reply is in the pipe's buffer or, without one, once the client has
  // read it; then the rest of a reply in two writes follows.
  const size_t first = reply.firstWriteBytes < reply.bytes.size() ? reply.firstWriteBytes : 0;
  DWORD written = 0;
  if (first > 0 && !io.Write(reply.bytes.data(), static_cast<DWORD>(first), kReplyTimeoutMs, &written)) return;
  if (reply.bytes.size() > first) {
    io.Write(reply.bytes.data() + first, static_cast<DWORD>(reply.bytes.size() - first), kReplyTimeoutMs, &written);
  }
}
