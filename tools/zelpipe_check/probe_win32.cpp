// zelpipe-check's reach into Windows.
#include "tools/zelpipe_check/probe_win32.h"

#include "common/wide.h"

namespace {

// A reply without NUL in its first read gets this long to show whether the rest comes later.
constexpr DWORD kFollowUpMs = 250;
constexpr size_t kReadSlackBytes = 4096;

// Why a connection could not be made, as the checks tell it.
ProbeReply Unopened(const CServicePipe& pipe) {
  ProbeReply reply;
  reply.detail = pipe.OpenError();
  reply.outcome = pipe.OpenError() == ERROR_FILE_NOT_FOUND ? ProbeReply::Outcome::NoService
                  : pipe.OpenError() == ERROR_PIPE_BUSY    ? ProbeReply::Outcome::Busy
                                                           : ProbeReply::Outcome::CannotOpen;
  return reply;
}

}  // namespace

struct CWin32Probe::Client {
  const CWin32Probe* probe = nullptr;
  const std::string* request = nullptr;
  uint32_t capacity = 0;
  HANDLE allTried = nullptr;  // set once every client has tried to open
  volatile LONG* tried = nullptr;
  LONG count = 0;
  ProbeReply reply;
};

ProbeReply CWin32Probe::Talk(CServicePipe& pipe, const std::string& request, uint32_t capacity, uint32_t readDelayMs,
                             DWORD start) const {
  ProbeReply reply;
  DWORD done = 0;
  if (!pipe.Write(request.data(), static_cast<DWORD>(request.size()), m_timeoutMs, &done) || done != request.size()) {
    reply.outcome = ProbeReply::Outcome::NotSent;
    return reply;
  }
  // The service's time, from the start to the end of the first read; the pause of the slow
  // client this exchange may play is not its doing.
  DWORD elapsed = ::GetTickCount() - start;
  if (readDelayMs > 0) ::Sleep(readDelayMs);
  std::string buffer(capacity + kReadSlackBytes, '\0');
  const DWORD size = static_cast<DWORD>(buffer.size());
  const DWORD readStart = ::GetTickCount();
  if (!pipe.Read(&buffer[0], size, m_timeoutMs, &done) || done == 0) {
    reply.outcome = pipe.TimedOut() ? ProbeReply::Outcome::NoReply : ProbeReply::Outcome::Closed;
    reply.detail = m_timeoutMs;
    return reply;
  }
  elapsed += ::GetTickCount() - readStart;
  reply.elapsedMs = elapsed;
  reply.outcome = ProbeReply::Outcome::Answered;
  reply.bytes.assign(buffer, 0, done);
  reply.firstRead = done;
  while (reply.bytes.find('\0') == std::string::npos && pipe.Read(&buffer[0], size, kFollowUpMs, &done) && done > 0) {
    reply.bytes.append(buffer, 0, done);
  }
  return reply;
}

ProbeReply CWin32Probe::Exchange(const std::string& request, uint32_t capacity, uint32_t readDelayMs) {
  const DWORD start = ::GetTickCount();
  CServicePipe pipe;
  return pipe.IsOpen() ? Talk(pipe, request, capacity, readDelayMs, start) : Unopened(pipe);
}

DWORD WINAPI CWin32Probe::ClientMain(void* parameter) {
  auto* client = static_cast<Client*>(parameter);
  {
    CServicePipe pipe;
    if (::InterlockedIncrement(client->tried) == client->count) ::SetEvent(client->allTried);
    // Every connection stays open until all clients have tried, so they are served side by side.
    ::WaitForSingleObject(client->allTried, client->probe->m_timeoutMs);
    client->reply = pipe.IsOpen() ? client->probe->Talk(pipe, *client->request, client->capacity, 0, ::GetTickCount())
                                  : Unopened(pipe);
  }
  return 0;
}

std::vector<ProbeReply> CWin32Probe::ExchangeTogether(const std::string& request, uint32_t capacity, int count) {
  volatile LONG tried = 0;
  HANDLE allTried = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<Client> clients(static_cast<size_t>(count));
  std::vector<HANDLE> threads;
  for (Client& client : clients) {
    client = Client{this, &request, capacity, allTried, &tried, count, {}};
    HANDLE thread = ::CreateThread(nullptr, 0, &CWin32Probe::ClientMain, &client, 0, nullptr);
    if (thread != nullptr) {
      threads.push_back(thread);
    } else if (::InterlockedIncrement(&tried) == count) {
      ::SetEvent(allTried);  // a client that could not even start counts as one that tried
    }
  }
  // Every wait inside a client ends by its deadline, so this wait ends too.
  for (HANDLE thread : threads) {
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
  }
  ::CloseHandle(allTried);
  std::vector<ProbeReply> replies;
  replies.reserve(clients.size());
  for (const Client& client : clients) replies.push_back(client.reply);
  return replies;
}

void CWin32Probe::Abandon(const std::string& bytes) {
  CServicePipe pipe;
  DWORD done = 0;
  if (!bytes.empty()) pipe.Write(bytes.data(), static_cast<DWORD>(bytes.size()), m_timeoutMs, &done);
}

uint32_t CWin32Probe::LogicalDrives() { return ::GetLogicalDrives(); }

bool CWin32Probe::FileExists(const std::u16string& path) {
  return ::GetFileAttributesW(WStr(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWin32Probe::RemoveFile(const std::u16string& path) { return ::DeleteFileW(WStr(path).c_str()) != FALSE; }

std::vector<std::u16string> CWin32Probe::FolderEntries(const std::u16string& folder) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((WStr(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(U16Str(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

void CWin32Probe::Pause(uint32_t ms) { ::Sleep(ms); }
