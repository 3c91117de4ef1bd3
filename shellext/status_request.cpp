// The Status request of the handlers.
#include "shellext/status_request.h"

#include "common/disk_service_client.h"
#include "common/text.h"

int32_t RequestStatus(std::u16string_view drive, const ServiceExchange& exchange) {
  std::u16string text = u"Status\n";
  text += drive;
  text += u'\n';
  std::string request = ToUtf8(text);
  request.push_back('\0');

  char reply[CDiskServiceClient::kIntegerReplyCapacity] = {};
  uint32_t received = 0;
  if (!exchange(request, reply, sizeof reply, &received) || received == 0) return 0;
  return ReadInteger(FromUtf8(std::string_view(reply, sizeof reply)));
}
