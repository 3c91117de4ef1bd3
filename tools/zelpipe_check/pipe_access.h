// Who may connect to the service's pipe, judged from its DACL as a client reads it: the pipe is
// the service's only door, so nobody beyond the users it serves may send it a request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of the DACL that applies to the pipe itself.
struct PipeAccessEntry {
  bool allows = false;  // an entry that allows (any other kind does not)
  std::string sid;      // as text: "S-1-1-0"
  uint32_t mask = 0;    // the access rights it names
};

struct PipeAccess {
  uint32_t readError = 0;  // not 0: the descriptor could not be read (the system's error code)
  bool hasDacl = false;    // false: no DACL, or a NULL one, which lets anyone do anything
  std::vector<PipeAccessEntry> entries;
};

// Why the DACL lets in someone it should not (a NULL DACL, or an entry that lets Everyone,
// Anonymous Logon or NETWORK write to the pipe or change who may), naming each such entry;
// empty when it does not.
std::string PipeAccessFault(const PipeAccess& access);
