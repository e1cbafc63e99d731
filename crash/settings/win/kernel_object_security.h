#pragma once
// Security for the reporter's named kernel objects: all rights to everyone,
// to the local system account and to the process's user; where that access
// list cannot be built, no access list at all (all access).

#include <windows.h>

#include <vector>

namespace ostrel {

class KernelObjectSecurity {
 public:
  KernelObjectSecurity();
  ~KernelObjectSecurity();
  KernelObjectSecurity(const KernelObjectSecurity&) = delete;
  KernelObjectSecurity& operator=(const KernelObjectSecurity&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }
  // False when the descriptor fell back to no access list.
  bool HasAccessList() const { return !acl_.empty(); }

 private:
  bool BuildAccessList();
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  std::vector<unsigned char> acl_;
  PSID everyone_ = nullptr;
  PSID system_ = nullptr;
  std::vector<unsigned char> user_;
};

}  // namespace ostrel
