// Named-pipe plumbing shared by our pipe servers and the conformance checker.
#include "tools/pipe_win32.h"

CPipeIo::CPipeIo(HANDLE pipe, HANDLE stopEvent, HANDLE ioEvent)
    : m_pipe(pipe), m_stopEvent(stopEvent), m_bOwnEvent(ioEvent == nullptr) {
  m_ov.hEvent = m_bOwnEvent ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : ioEvent;
}

CPipeIo::~CPipeIo() {
  if (m_bOwnEvent) ::CloseHandle(m_ov.hEvent);
}

// ReadFile and WriteFile reset the event themselves as the operation starts.
bool CPipeIo::Read(char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  const BOOL started = ::ReadFile(m_pipe, buffer, size, nullptr, &m_ov);
  return Finish(started, timeoutMs, done);
}

bool CPipeIo::Write(const char* buffer, DWORD size, DWORD timeoutMs, DWORD* done) {
  const BOOL started = ::WriteFile(m_pipe, buffer, size, nullptr, &m_ov);
  return Finish(started, timeoutMs, done);
}

bool CPipeIo::Finish(BOOL started, DWORD timeoutMs, DWORD* done) {
  *done = 0;
  m_bTimedOut = false;
  // Done at once (the usual case for a short read or write): no wait needed.
  if (started) return ::GetOverlappedResult(m_pipe, &m_ov, done, FALSE) != FALSE;
  if (::GetLastError() != ERROR_IO_PENDING) return false;
  HANDLE waits[2] = {m_ov.hEvent, m_stopEvent};
  const DWORD result = ::WaitForMultipleObjects(m_stopEvent != nullptr ? 2 : 1, waits, FALSE, timeoutMs);
  if (result != WAIT_OBJECT_0) {
    // Cancel, then wait for the cancellation, so the buffer is no longer in use.
    ::CancelIo(m_pipe);
    ::GetOverlappedResult(m_pipe, &m_ov, done, TRUE);
    *done = 0;
    m_bTimedOut = result == WAIT_TIMEOUT;
    return false;
  }
  return ::GetOverlappedResult(m_pipe, &m_ov, done, FALSE) != FALSE;
}

std::vector<BYTE> CurrentUserOnlyDescriptor() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  const bool known = ::GetTokenInformation(token, TokenUser, user.data(), size, &size) != FALSE;
  ::CloseHandle(token);
  if (!known) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

  // Layout: the descriptor, then its ACL with one allowing entry.
  const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid);
  std::vector<BYTE> descriptor(SECURITY_DESCRIPTOR_MIN_LENGTH + aclSize);
  auto* acl = reinterpret_cast<PACL>(descriptor.data() + SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (!::InitializeSecurityDescriptor(descriptor.data(), SECURITY_DESCRIPTOR_REVISION) ||
      !::InitializeAcl(acl, aclSize, ACL_REVISION) || !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
      !::SetSecurityDescriptorDacl(descriptor.data(), TRUE, acl, FALSE)) {
    return {};
  }
  return descriptor;
}
