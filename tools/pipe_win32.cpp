// The security descriptors of our pipe servers.
#include "tools/pipe_win32.h"

std::vector<BYTE> CurrentUser() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size) != FALSE;
  ::CloseHandle(token);
  if (!known) user.clear();
  return user;
}

std::vector<BYTE> PipeSecurityDescriptor(PipeDoor door) {
  std::vector<PSID> allowed;
  const std::vector<BYTE> user = CurrentUser();
  if (user.empty()) return {};
  allowed.push_back(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (door == PipeDoor::AlsoEveryone) {
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return {};
    allowed.push_back(everyone);
  }
  DWORD aclSize = sizeof(ACL);
  for (PSID sid : allowed) aclSize += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE)) + ::GetLengthSid(sid);
  std::vector<BYTE> acl(aclSize);
  const auto dacl = reinterpret_cast<PACL>(acl.data());
  bool made = ::InitializeAcl(dacl, aclSize, ACL_REVISION) != FALSE;
  for (PSID sid : allowed) made = made && ::AddAccessAllowedAce(dacl, ACL_REVISION, GENERIC_ALL, sid);
  if (everyone != nullptr) ::FreeSid(everyone);

  // Made with pointers to its parts, then laid out in one block that holds them all and may be
  // copied like any bytes.
  SECURITY_DESCRIPTOR absolute{};
  made = made && ::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) &&
         ::SetSecurityDescriptorDacl(&absolute, TRUE, door == PipeDoor::NullDacl ? nullptr : dacl, FALSE);
  DWORD size = 0;
  if (made) ::MakeSelfRelativeSD(&absolute, nullptr, &size);  // which only says how large it is
  std::vector<BYTE> descriptor(size);
  if (size == 0 || !::MakeSelfRelativeSD(&absolute, descriptor.data(), &size)) return {};
  return descriptor;
}
