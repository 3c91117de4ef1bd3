// The handlers' Status request over the service pipe, bounded in time: it runs on the file
// manager's thread while a menu is being built, so a service that accepts and never answers
// must not freeze the file manager. A request that runs out of time reads as a failed
// exchange, that is 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

inline constexpr DWORD kStatusTimeoutMs = 1000;

// Open, one write, one read, close, all within timeoutMs. An operation still pending at the
// deadline is cancelled, and the cancellation awaited, before this returns.
bool ExchangeWithDeadline(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                          uint32_t* received, DWORD timeoutMs);

class CServiceStatusClient {
 public:
  int32_t Status(std::u16string_view drive) const;
};
