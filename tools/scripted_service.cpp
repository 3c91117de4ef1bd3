// A stand-in for the disk service in tests: our pipe server core with recorded requests and
// scripted answers. Every wait is bounded or ends with Stop(), so a test can never hang on it.
#include "tools/scripted_service.h"

namespace {

// Clients that may be served at the same moment: a client never waits for a busy pipe, so there
// must be a free instance for every client that may come at once.
constexpr size_t kListeningInstances = 16;
constexpr size_t kMaxRequestBytes = 1 << 20;  // a longer request is cut there and handed on as it is

CPipeServer::Options ServerOptions(const CScriptedService::Options& options) {
  CPipeServer::Options server;
  server.instances = kListeningInstances;
  server.maxInstances = options.maxInstances;
  server.maxRequestBytes = kMaxRequestBytes;
  server.outBufferBytes = 0;  // each write waits for the client's read: see TextInTwoWrites
  server.door = options.door;
  return server;
}

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
  ScriptedReply reply = Raw(text);
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
    : m_script(std::move(script)),
      m_bRecordRequests(options.recordRequests),
      m_server(ServerOptions(options), [this](const std::string& request) { return Answer(request); }) {}

bool CScriptedService::Start() { return m_server.Start() == CPipeServer::StartResult::Serving; }

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

PipeReply CScriptedService::Answer(const std::string& request) {
  ScriptedReply reply;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bRecordRequests) m_requests.push_back(request);
    reply = m_script(request);
  }
  // Outside the lock: a slow action holds up no other connection.
  if (reply.action) reply.action(request);
  return reply;
}
