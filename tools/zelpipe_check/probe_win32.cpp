// zelpipe-check's reach into Windows.
#include "tools/zelpipe_check/probe_win32.h"

#include "common/service_pipe.h"
#include "common/wide.h"
#include "tools/pipe_win32.h"

namespace {

// A reply without NUL in its first read gets this long to show whether the rest comes later.
constexpr DWORD kFollowUpMs = 250;
constexpr size_t kReadSlackBytes = 4096;

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

HANDLE CWin32Probe::Open(ProbeReply& reply) {
  HANDLE pipe = ::CreateFileA(kServicePipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  if (pipe != INVALID_HANDLE_VALUE) return pipe;
  const DWORD error = ::GetLastError();
  reply.detail = error;
  reply.outcome = error == ERROR_FILE_NOT_FOUND ? ProbeReply::Outcome::NoService
                  : error == ERROR_PIPE_BUSY    ? ProbeReply::Outcome::Busy
                                                : ProbeReply::Outcome::CannotOpen;
  return INVALID_HANDLE_VALUE;
}

ProbeReply CWin32Probe::Talk(HANDLE pipe, const std::string& request, uint32_t capacity, uint32_t readDelayMs) const {
  ProbeReply reply;
  {
    CPipeIo io(pipe, nullptr);
    DWORD done = 0;
    if (!io.Write(request.data(), static_cast<DWORD>(request.size()), m_timeoutMs, &done) || done != request.size()) {
      reply.outcome = ProbeReply::Outcome::NotSent;
    } else {
      if (readDelayMs > 0) ::Sleep(readDelayMs);  // the slow client this exchange plays
      std::string buffer(capacity + kReadSlackBytes, '\0');
      const DWORD size = static_cast<DWORD>(buffer.size());
      if (!io.Read(&buffer[0], size, m_timeoutMs, &done) || done == 0) {
        reply.outcome = io.TimedOut() ? ProbeReply::Outcome::NoReply : ProbeReply::Outcome::Closed;
        reply.detail = m_timeoutMs;
      } else {
        reply.outcome = ProbeReply::Outcome::Answered;
        reply.bytes.assign(buffer, 0, done);
        reply.firstRead = done;
        while (reply.bytes.find('\0') == std::string::npos && io.Read(&buffer[0], size, kFollowUpMs, &done) &&
               done > 0) {
          reply.bytes.append(buffer, 0, done);
        }
      }
    }
  }
  ::CloseHandle(pipe);
  return reply;
}

ProbeReply CWin32Probe::Exchange(const std::string& request, uint32_t capacity, uint32_t readDelayMs) {
  ProbeReply reply;
  HANDLE pipe = Open(reply);
  return pipe == INVALID_HANDLE_VALUE ? reply : Talk(pipe, request, capacity, readDelayMs);
}

DWORD WINAPI CWin32Probe::ClientMain(void* parameter) {
  auto* client = static_cast<Client*>(parameter);
  HANDLE pipe = Open(client->reply);
  if (::InterlockedIncrement(client->tried) == client->count) ::SetEvent(client->allTried);
  // Every connection stays open until all clients have tried, so they are served side by side.
  ::WaitForSingleObject(client->allTried, client->probe->m_timeoutMs);
  if (pipe != INVALID_HANDLE_VALUE) {
    client->reply = client->probe->Talk(pipe, *client->request, client->capacity, 0);
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
  ProbeReply ignored;
  HANDLE pipe = Open(ignored);
  if (pipe == INVALID_HANDLE_VALUE) return;
  if (!bytes.empty()) {
    CPipeIo io(pipe, nullptr);
    DWORD done = 0;
    io.Write(bytes.data(), static_cast<DWORD>(bytes.size()), m_timeoutMs, &done);
  }
  ::CloseHandle(pipe);
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
