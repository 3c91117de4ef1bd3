// The client of the disk service: one exchange per request, the protocol's reading of each reply.
#include "common/disk_service_client.h"

#include <cstring>
#include <vector>

#include "common/service_pipe.h"
#include "common/text.h"

int CDiskServiceClient::Transact(const char* request, uint32_t requestLength, char* reply,
                                 uint32_t* replyLength) {
  const uint32_t capacity = *replyLength + 1;
  std::memset(reply, 0, capacity);
  uint32_t received = 0;
  if (!ExchangeWithService(request, requestLength + 1, reply, capacity, &received) || received == 0) {
    return 1;
  }
  *replyLength = received - 1;
  return 0;
}

void CDiskServiceClient::Send(const SecretBytes& request, char* reply, uint32_t capacity) {
  uint32_t replyLength = capacity - 1;
  Transact(request.data(), static_cast<uint32_t>(request.size() - 1), reply, &replyLength);
}

int32_t CDiskServiceClient::IntegerRequest(const SecretBytes& request) {
  char reply[kIntegerReplyCapacity];
  Send(request, reply, sizeof reply);
  return ReadIntegerReply(std::string_view(reply, sizeof reply));
}

int32_t CDiskServiceClient::Mount(std::u16string_view path, std::u16string_view drive,
                                  std::u16string_view label, std::u16string_view passphrase,
                                  int32_t option) {
  const std::u16string optionText = U16(std::to_string(option));
  return IntegerRequest(RequestBytes(ServiceRequest::Mount, {path, drive, label, passphrase, optionText}));
}

int32_t CDiskServiceClient::Unmount(std::u16string_view entry) {
  return IntegerRequest(RequestBytes(ServiceRequest::Unmount, {entry}));
}

int32_t CDiskServiceClient::Status(std::u16string_view drive) {
  return IntegerRequest(RequestBytes(ServiceRequest::Status, {drive}));
}

std::u16string CDiskServiceClient::List() {
  const int32_t size = IntegerRequest(RequestBytes(ServiceRequest::ListSize, {}));
  // A size of 0 means no disks; a negative or oversized one cannot be trusted with an allocation.
  if (size <= 0 || size > kMaxListReplySize) return {};
  std::vector<char> reply(static_cast<size_t>(size));
  Send(RequestBytes(ServiceRequest::List, {}), reply.data(), static_cast<uint32_t>(size));
  return ReplyText(std::string_view(reply.data(), reply.size()));
}

int32_t CDiskServiceClient::StorageAccessible(std::u16string_view path, std::u16string_view passphrase,
                                              int32_t& accessReason) {
  char reply[kAccessReplyCapacity];
  Send(RequestBytes(ServiceRequest::StorageAccessible, {path, passphrase}), reply, sizeof reply);
  const AccessAnswer answer = ReadAccessReply(std::string_view(reply, sizeof reply));
  accessReason = answer.reason;
  return answer.result;
}
