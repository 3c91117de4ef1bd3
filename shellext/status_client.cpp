// The bounded Status exchange of the handlers.
#include "shellext/status_client.h"

#include <string>

#include "common/service_pipe_win32.h"
#include "common/service_protocol.h"
#include "shellext/status_request.h"

int32_t CServiceStatusClient::Status(std::u16string_view drive) const {
  return RequestStatus(drive, [](const std::string& request, char* reply, uint32_t capacity, uint32_t* received) {
    return ExchangeWithDeadline(request.data(), static_cast<uint32_t>(request.size()), reply, capacity, received,
                                kStatusReplyDeadlineMs);
  });
}
