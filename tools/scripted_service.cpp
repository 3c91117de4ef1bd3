// A stand-in for the disk service in tests: many pipe instances, recorded requests, scripted
// answers. Every wait is bounded or ends with Stop(), so a test can never hang on it.
#include "tools/scripted_service.h"

#include <algorithm>
#include <memory>

#include "common/pipe_io_win32.h"
#include "common/service_protocol.h"
#include "tools/pipe_win32.h"

namespace {

constexpr DWORD kRetryMs = 20;             // retry period when the instance limit is reached
constexpr DWORD kRequestTimeoutMs = 10000;
constexpr DWORD kClientCloseTimeoutMs = 10000;
constexpr DWORD kPipeRejectRemoteClients = 0x00000008;  // not declared for XP-level headers
constexpr DWORD kPipeBufferBytes = 4096;
constexpr DWORD kSecondWriteDelayMs = 50;  // long enough for a client's one read to end first

struct PendingInstance {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  OVERLAPPED ov{};
  bool connectedAtOnce = false;
};

}  // namespace

std::string RequestLine(const std::string& request, size_t index) {
  const std::string text = request.substr(0, request.find('\0'));
  size_t start = 0;
  for (size_t line = 0; line < index; ++line) {
    start = text.find('\n', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  return text.substr(start, text.find('\n', start) - start);
}

ScriptedReply ScriptedReply::Text(const std::string& text, DWORD delayMs) {
  ScriptedReply reply;
  reply.bytes = text;
  reply.bytes.push_back('\0');
  reply.delayMs = delayMs;
  return reply;
}

ScriptedReply ScriptedReply::Raw(const std::string& bytes) {
  ScriptedReply reply;
  reply.bytes = bytes;
  return reply;
}

ScriptedReply ScriptedReply::TextInTwoWrites(const std::string& text) {
  ScriptedReply reply = Text(text);
  reply.firstWriteBytes = text.size();
  return reply;
}

ScriptedReply ScriptedReply::Close() {
  ScriptedReply reply;
  reply.kind = Kind::CloseWithoutReply;
  return reply;
}

ScriptedReply ScriptedReply::Hang() {
  ScriptedReply reply;
  reply.kind = Kind::NeverAnswer;
  return reply;
}

ScriptedReply ScriptedReply::After(std::function<void(const std::string& request)> sideAction) const {
  ScriptedReply reply = *this;
  reply.action = std::move(sideAction);
  return reply;
}

CScriptedService::Script CScriptedService::ByKeyword(std::map<std::string, ScriptedReply> replies) {
  return [replies = std::move(replies)](const std::string& request) {
    auto it = replies.find(RequestLine(request, 0));
    return it != replies.end() ? it->second : ScriptedReply::Text("");
  };
}

CScriptedService::CScriptedService(Script script, DWORD maxInstances)
    : CScriptedService(std::move(script), Options{maxInstances}) {}

CScriptedService::CScriptedService(Script script, const Options& options)
    : m_script(std::move(script)), m_options(options) {
  m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (m_options.currentUserOnly) m_securityDescriptor = CurrentUserOnlyDescriptor();
  // The listener waits on the stop event and one event per listening instance at once.
  m_options.listeningInstances = std::min<size_t>(std::max<size_t>(m_options.listeningInstances, 1),
                                                  MAXIMUM_WAIT_OBJECTS - 1);
}

CScriptedService::~CScriptedService() {
  Stop();
  CloseHandle(m_stopEvent);
  CloseHandle(m_readyEvent);
}

bool CScriptedService::Start() {
  ResetEvent(m_stopEvent);
  ResetEvent(m_readyEvent);
  m_listener = std::thread(&CScriptedService::Listen, this);
  HANDLE waits[2] = {m_readyEvent, m_stopEvent};
  return WaitForMultipleObjects(2, waits, FALSE, 10000) == WAIT_OBJECT_0;
}

void CScriptedService::Stop() {
  SetEvent(m_stopEvent);
  if (m_listener.joinable()) m_listener.join();
  // The listener has ended, so no worker is added from here on.
  for (std::thread& worker : m_workers) {
    if (worker.joinable()) worker.join();
  }
  m_workers.clear();
}

std::vector<std::string> CScriptedService::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

bool CScriptedService::WaitForRequests(size_t count, DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    if (Requests().size() >= count) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

HANDLE CScriptedService::NewInstance() {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  if (!m_securityDescriptor.empty()) security.lpSecurityDescriptor = m_securityDescriptor.data();
  DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
  if (m_options.rejectRemoteClients) mode |= kPipeRejectRemoteClients;
  return CreateNamedPipeA(kServicePipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, mode, m_options.maxInstances,
                          kPipeBufferBytes, kPipeBufferBytes, 0, m_securityDescriptor.empty() ? nullptr : &security);
}

void CScriptedService::Listen() {
  // Several instances wait for clients at once, so a client never finds the pipe missing while
  // the previous connection is being handed to its worker.
  std::vector<std::unique_ptr<PendingInstance>> pending;
  for (;;) {
    while (pending.size() < m_options.listeningInstances) {
      HANDLE pipe = NewInstance();
      if (pipe == INVALID_HANDLE_VALUE) break;  // at the instance limit: try again later
      auto instance = std::make_unique<PendingInstance>();
      instance->pipe = pipe;
      instance->ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (!ConnectNamedPipe(pipe, &instance->ov)) {
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
          instance->connectedAtOnce = true;
          SetEvent(instance->ov.hEvent);
        } else if (error != ERROR_IO_PENDING) {
          CloseHandle(instance->ov.hEvent);
          CloseHandle(pipe);
          break;
        }
      }
      pending.push_back(std::move(instance));
    }
    if (!pending.empty()) SetEvent(m_readyEvent);

    std::vector<HANDLE> waits{m_stopEvent};
    for (const auto& instance : pending) waits.push_back(instance->ov.hEvent);
    const DWORD timeout = pending.size() < m_options.listeningInstances ? kRetryMs : INFINITE;
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) break;
    if (result == WAIT_TIMEOUT) continue;

    const size_t index = result - WAIT_OBJECT_0 - 1;
    std::unique_ptr<PendingInstance> instance = std::move(pending[index]);
    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(index));
    DWORD unused = 0;
    const bool connected =
        instance->connectedAtOnce || GetOverlappedResult(instance->pipe, &instance->ov, &unused, FALSE);
    CloseHandle(instance->ov.hEvent);
    if (connected) {
      ++m_nConnections;
      m_workers.emplace_back(&CScriptedService::Serve, this, instance->pipe);
    } else {
      CloseHandle(instance->pipe);
    }
  }

  for (const auto& instance : pending) {
    if (!instance->connectedAtOnce) {
      DWORD unused = 0;
      CancelIo(instance->pipe);
      GetOverlappedResult(instance->pipe, &instance->ov, &unused, TRUE);
    }
    CloseHandle(instance->ov.hEvent);
    CloseHandle(instance->pipe);
  }
}

void CScriptedService::Serve(HANDLE pipe) {
  CPipeIo io(pipe, m_stopEvent);

  // The request: everything up to and including its NUL byte (or until the client gives up).
  std::string request;
  char chunk[kPipeBufferBytes];
  DWORD got = 0;
  while (request.find('\0') == std::string::npos && request.size() < m_options.maxRequestBytes &&
         io.Read(chunk, sizeof chunk, kRequestTimeoutMs, &got) && got > 0) {
    request.append(chunk, got);
  }

  ScriptedReply reply;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_options.recordRequests) m_requests.push_back(request);
    reply = m_script(request);
  }
  // Outside the lock: a slow action holds up no other connection.
  if (reply.action) reply.action(request);

  bool stopped = reply.delayMs > 0 && WaitForSingleObject(m_stopEvent, reply.delayMs) == WAIT_OBJECT_0;
  if (!stopped) {
    switch (reply.kind) {
      case ScriptedReply::Kind::Answer: {
        DWORD written = 0;
        const size_t first = reply.firstWriteBytes > 0 && reply.firstWriteBytes < reply.bytes.size() ? reply.firstWriteBytes : 0;
        if (first > 0 && io.Write(reply.bytes.data(), static_cast<DWORD>(first), kClientCloseTimeoutMs, &written)) {
          WaitForSingleObject(m_stopEvent, kSecondWriteDelayMs);
        }
        if (reply.bytes.empty() || io.Write(reply.bytes.data() + first, static_cast<DWORD>(reply.bytes.size() - first),
                                            kClientCloseTimeoutMs, &written)) {
          // The client closes the connection once it has read; wait for that so no byte is lost.
          // Whatever it still sends (the rest of an oversized request) is read and dropped.
          while (io.Read(chunk, sizeof chunk, kClientCloseTimeoutMs, &got) && got > 0) {
          }
        }
        break;
      }
      case ScriptedReply::Kind::CloseWithoutReply:
        break;
      case ScriptedReply::Kind::NeverAnswer:
        WaitForSingleObject(m_stopEvent, INFINITE);
        break;
    }
  }
  DisconnectNamedPipe(pipe);
  CloseHandle(pipe);
}
