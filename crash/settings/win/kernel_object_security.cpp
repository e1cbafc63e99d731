#include "crash/settings/win/kernel_object_security.h"

namespace ostrel {

KernelObjectSecurity::KernelObjectSecurity() {
  InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
  if (!BuildAccessList()) {
    acl_.clear();
    SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE);
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
}

KernelObjectSecurity::~KernelObjectSecurity() {
  if (everyone_) FreeSid(everyone_);
  if (system_) FreeSid(system_);
}

bool KernelObjectSecurity::BuildAccessList() {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_))
    return false;
  if (!AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_))
    return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user_.resize(size ? size : 1);
  const BOOL gotUser = GetTokenInformation(token, TokenUser, user_.data(), size, &size);
  CloseHandle(token);
  if (!gotUser) return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;

  const DWORD aclSize = sizeof(ACL) + 3 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone_) +
                        GetLengthSid(system_) + GetLengthSid(user);
  acl_.resize(aclSize);
  auto* acl = reinterpret_cast<ACL*>(acl_.data());
  return InitializeAcl(acl, aclSize, ACL_REVISION) &&
         AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, everyone_) &&
         AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, system_) &&
         AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user) &&
         SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
}

}  // namespace ostrel
