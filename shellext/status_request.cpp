// The Status request of the handlers.
#include "shellext/status_request.h"

#include "common/service_protocol.h"

int32_t RequestStatus(std::u16string_view drive, const ServiceExchange& exchange) {
  const SecretBytes bytes = RequestBytes(ServiceRequest::Status, {drive});
  const std::string request(bytes.data(), bytes.size());
  char reply[kIntegerReplyCapacity] = {};
  uint32_t received = 0;
  if (!exchange(request, reply, sizeof reply, &received) || received == 0) return 0;
  return ReadIntegerReply(std::string_view(reply, sizeof reply));
}
