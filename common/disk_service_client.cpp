// The client of the disk service: request texts, one exchange each, reply parsing.
#include "common/disk_service_client.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "common/service_pipe.h"
#include "common/text.h"

namespace {

// The keyword line, then each argument on a line of its own; every line ends in one LF. Any
// request may carry a passphrase, so each is built, sent and dropped in wiped buffers.
SecretText RequestText(std::u16string_view keyword, std::initializer_list<std::u16string_view> args) {
  size_t length = keyword.size() + 1;
  for (std::u16string_view arg : args) length += arg.size() + 1;
  SecretText text;
  text.reserve(length);
  text += keyword;
  text += u'\n';
  for (std::u16string_view arg : args) {
    text += arg;
    text += u'\n';
  }
  return text;
}

// The reply text: the buffer up to its first NUL, and never past its capacity.
std::u16string ReplyText(const char* reply, uint32_t capacity) {
  return FromUtf8(std::string_view(reply, capacity));
}

}  // namespace

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

int32_t CDiskServiceClient::IntegerRequest(const SecretText& requestText) {
  const SecretBytes request = ToSecretUtf8(requestText);
  char reply[kIntegerReplyCapacity];
  uint32_t replyLength = kIntegerReplyCapacity - 1;
  Transact(request.c_str(), static_cast<uint32_t>(request.size()), reply, &replyLength);
  return ReadInteger(ReplyText(reply, kIntegerReplyCapacity));
}

int32_t CDiskServiceClient::Mount(std::u16string_view path, std::u16string_view drive,
                                  std::u16string_view label, std::u16string_view passphrase,
                                  int32_t option) {
  const std::u16string optionText = U16(std::to_string(option));
  return IntegerRequest(RequestText(u"Mount", {path, drive, label, passphrase, optionText}));
}

int32_t CDiskServiceClient::Unmount(std::u16string_view entry) {
  return IntegerRequest(RequestText(u"Unmount", {entry}));
}

int32_t CDiskServiceClient::Status(std::u16string_view drive) {
  return IntegerRequest(RequestText(u"Status", {drive}));
}

std::u16string CDiskServiceClient::List() {
  const int32_t size = IntegerRequest(RequestText(u"ListSize", {}));
  // A size of 0 means no disks; a negative or oversized one cannot be trusted with an allocation.
  if (size <= 0 || size > kMaxListReplySize) return {};
  const uint32_t capacity = static_cast<uint32_t>(size);
  std::vector<char> reply(capacity);
  const SecretBytes request = ToSecretUtf8(RequestText(u"List", {}));
  uint32_t replyLength = capacity - 1;
  Transact(request.c_str(), static_cast<uint32_t>(request.size()), reply.data(), &replyLength);
  return ReplyText(reply.data(), capacity);
}

int32_t CDiskServiceClient::StorageAccessible(std::u16string_view path, std::u16string_view passphrase,
                                              int32_t& accessReason) {
  const SecretBytes request = ToSecretUtf8(RequestText(u"StorageAccessible", {path, passphrase}));
  char reply[kAccessReplyCapacity];
  uint32_t replyLength = kAccessReplyCapacity - 1;
  Transact(request.c_str(), static_cast<uint32_t>(request.size()), reply, &replyLength);
  const std::vector<std::u16string> pieces = SplitText(ReplyText(reply, kAccessReplyCapacity), u'\n');
  if (pieces.size() < 2) {
    accessReason = 0;
    return 0;
  }
  accessReason = ReadInteger(pieces[1]);
  return ReadInteger(pieces[0]);
}
