// A security descriptor for our pipe servers: only the user running the process may connect.
#include "tools/pipe_win32.h"

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
