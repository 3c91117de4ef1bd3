// The handlers' Status request over the service pipe, bounded in time: it runs on the file
// manager's thread while a menu is being built, so a service that accepts and never answers
// must not freeze the file manager. A request that runs out of time (kStatusReplyDeadlineMs)
// reads as a failed exchange, that is 0.
#pragma once

#include <cstdint>
#include <string_view>

class CServiceStatusClient {
 public:
  int32_t Status(std::u16string_view drive) const;
};
