// Who may connect to the service's pipe.
#include "tools/zelpipe_check/pipe_access.h"

#include <cstdio>

namespace {

// Rights that let a caller send a request (write to the pipe, or make an instance of it), or
// give itself those: as generic rights or as the pipe's own.
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kWriteData = 0x0002;
constexpr uint32_t kCreatePipeInstance = 0x0004;
constexpr uint32_t kWriteDac = 0x00040000;
constexpr uint32_t kWriteOwner = 0x00080000;
constexpr uint32_t kRightsThatLetIn = kGenericAll | kGenericWrite | kWriteData | kCreatePipeInstance | kWriteDac |
                                      kWriteOwner;

// The groups no service should let in, and who they are.
struct Outsider {
  const char* sid;
  const char* name;
  const char* who;
};
constexpr Outsider kOutsiders[] = {
    {"S-1-1-0", "Everyone", "every user of this machine"},
    {"S-1-5-7", "Anonymous Logon", "anyone, without even logging on"},
    {"S-1-5-2", "NETWORK", "users of other machines, through \\\\host\\pipe\\ZelPipe"},
};

std::string Hex(uint32_t mask) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(mask));
  return text;
}

}  // namespace

std::string PipeAccessFault(const PipeAccess& access) {
  if (access.readError != 0) {
    return "its security descriptor could not be read through a client's connection (error " +
           std::to_string(access.readError) + ")";
  }
  if (!access.hasDacl) {
    return "the pipe has a NULL DACL: anyone may connect and mount, unmount and create disks; give it a DACL "
           "that lets in only the users it serves";
  }
  std::string why;
  for (const PipeAccessEntry& entry : access.entries) {
    if (!entry.allows || (entry.mask & kRightsThatLetIn) == 0) continue;
    for (const Outsider& outsider : kOutsiders) {
      if (entry.sid != outsider.sid) continue;
      why += (why.empty() ? "" : "; ") + std::string("the DACL lets ") + outsider.name + " (" + outsider.sid +
             ") connect and write, access " + Hex(entry.mask) + ": " + outsider.who +
             " may mount, unmount and create disks";
    }
  }
  return why;
}
