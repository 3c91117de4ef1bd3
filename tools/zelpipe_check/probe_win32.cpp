// zelpipe-check's reach into Windows.
#include "tools/zelpipe_check/probe_win32.h"

#include <aclapi.h>
#include <sddl.h>

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

LARGE_INTEGER Now() {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return now;
}

// Milliseconds since start, on the monotonic high-resolution clock: GetTickCount moves in steps
// of 10 to 16 ms, too coarse for a verdict at 1 s.
DWORD MsSince(LARGE_INTEGER start) {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<DWORD>((Now().QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result = text;
  ::LocalFree(text);
  return result;
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
                             LARGE_INTEGER start) const {
  ProbeReply reply;
  DWORD done = 0;
  if (!pipe.Write(request.data(), static_cast<DWORD>(request.size()), m_timeoutMs, &done) || done != request.size()) {
    reply.outcome = ProbeReply::Outcome::NotSent;
    return reply;
  }
  // The service's time, from the start to the end of the first read; the pause of the slow
  // client this exchange may play is not its doing.
  DWORD elapsed = MsSince(start);
  if (readDelayMs > 0) ::Sleep(readDelayMs);
  std::string buffer(capacity + kReadSlackBytes, '\0');
  const DWORD size = static_cast<DWORD>(buffer.size());
  const LARGE_INTEGER readStart = Now();
  if (!pipe.Read(&buffer[0], size, m_timeoutMs, &done) || done == 0) {
    reply.outcome = pipe.TimedOut() ? ProbeReply::Outcome::NoReply : ProbeReply::Outcome::Closed;
    reply.detail = m_timeoutMs;
    return reply;
  }
  elapsed += MsSince(readStart);
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
  const LARGE_INTEGER start = Now();
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
    client->reply = pipe.IsOpen() ? client->probe->Talk(pipe, *client->request, client->capacity, 0, Now())
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

PipeAccess CWin32Probe::ReadPipeAccess() {
  PipeAccess access;
  const CServicePipe pipe;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  access.readError = pipe.IsOpen() ? ::GetSecurityInfo(pipe.Handle(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                                       nullptr, nullptr, &dacl, nullptr, &descriptor)
                                   : pipe.OpenError();
  if (access.readError != 0) return access;
  access.hasDacl = dacl != nullptr;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;  // for objects made inside it, not for the pipe
    PipeAccessEntry entry;
    entry.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
    if (entry.allows || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      // Both kinds are laid out alike: header, mask, then the SID.
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
      entry.mask = allowed->Mask;
      entry.sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
    }
    access.entries.push_back(entry);
  }
  ::LocalFree(descriptor);
  return access;
}

uint32_t CWin32Probe::LogicalDrives() { return ::GetLogicalDrives(); }

bool CWin32Probe::FileExists(const std::u16string& path) {
  return ::GetFileAttributesW(WStr(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWin32Probe::RemoveFile(const std::u16string& path) { return ::DeleteFileW(WStr(path).c_str()) != FALSE; }

std::string CWin32Probe::FileDigest(const std::u16string& path) {
  HANDLE file = ::CreateFileW(WStr(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  // FNV-1a over every byte: enough to see whether a file changed.
  uint64_t digest = 14695981039346656037ull;
  uint64_t size = 0;
  char chunk[64 * 1024];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    size += got;
    for (DWORD i = 0; i < got; ++i) digest = (digest ^ static_cast<unsigned char>(chunk[i])) * 1099511628211ull;
  }
  ::CloseHandle(file);
  return std::to_string(size) + " bytes, " + std::to_string(digest);
}

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
