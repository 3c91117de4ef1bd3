// The disk service's protocol, written once for every speaker of the pipe: Lockvale's client,
// ZelToolExt's Status, zelpipe-check and the development service. The requests and the bytes
// each reply may take, a request's bytes on the wire in both directions, how a reply reads (the
// integer rule and the split rule of common/text.h), the List reply's lines and the access
// reasons.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/secret_text.h"

inline constexpr char kServicePipeName[] = "\\\\.\\Pipe\\ZelPipe";

enum class ServiceRequest { Mount, Unmount, Status, ListSize, List, StorageAccessible };
inline constexpr ServiceRequest kServiceRequests[] = {ServiceRequest::Mount,    ServiceRequest::Unmount,
                                                      ServiceRequest::Status,   ServiceRequest::ListSize,
                                                      ServiceRequest::List,     ServiceRequest::StorageAccessible};

// Reply capacities in bytes, the terminating NUL included. The List reply may take as many bytes
// as the ListSize answer announced.
inline constexpr uint32_t kIntegerReplyCapacity = 10;
inline constexpr uint32_t kAccessReplyCapacity = 20;
// The largest List reply a client accepts; a larger announcement reads as no list at all.
inline constexpr int32_t kMaxListReplySize = 1 << 20;
// How long ZelToolExt waits for a Status reply while the file manager builds a menu; a later
// reply counts as a failed exchange, that is 0: "not mounted".
inline constexpr uint32_t kStatusReplyDeadlineMs = 1000;

// The request's first line ("Status").
std::u16string_view KeywordOf(ServiceRequest kind);
// How many argument lines follow the keyword line.
size_t ArgumentCount(ServiceRequest kind);
// What its reply may take; 0 for List, whose capacity the ListSize answer gives.
uint32_t ReplyCapacity(ServiceRequest kind);

// A request as it goes on the wire: the keyword line, then each argument on a line of its own,
// every line ended by one LF, as UTF-8, then one NUL, which the bytes hold. Any request may carry
// a passphrase, so it is built in wiped buffers.
SecretBytes RequestBytes(ServiceRequest kind, std::initializer_list<std::u16string_view> arguments);
SecretBytes RequestBytes(ServiceRequest kind, const std::vector<std::u16string>& arguments);

// A request as a service receives it: one of ours, with the number of arguments it takes.
struct ReceivedRequest {
  ServiceRequest kind = ServiceRequest::Status;
  std::vector<std::u16string> arguments;
};
// Nothing when the bytes are not one well-formed request: UTF-8 lines each ended by LF, a known
// keyword with its number of arguments, and one NUL at the very end.
std::optional<ReceivedRequest> ReadRequest(std::string_view bytes);

// The reply text: the bytes received (never more than the capacity) up to the first NUL, as
// UTF-16. A failed exchange leaves no bytes, that is empty text.
std::u16string ReplyText(std::string_view received);
// A reply of one integer, read by the integer rule; empty text reads as 0.
int32_t ReadIntegerReply(std::string_view received);

// Why StorageAccessible refused a file (its second integer); any other value is a general error.
enum AccessReason : int32_t {
  kAccessInvalidFile = 1,
  kAccessDenied = 2,
  kAccessGeneralError = 3,  // one of the values that say "general error", the one our services send
  kAccessInvalidPassphrase = 4,
};
struct AccessAnswer {
  int32_t result = 0;  // not 0: the file can be used, or a disk created there
  int32_t reason = 0;  // an AccessReason after a refusal
};
// StorageAccessible's reply: its pieces at LF, the first the result and the second the reason,
// each by the integer rule. Fewer than two pieces read as 0 and 0; further pieces are ignored.
AccessAnswer ReadAccessReply(std::string_view received);

// The List reply: one line per mounted disk, its fields the drive ("E:"), the disk file's path
// and a number, separated by TAB; every line ends in LF. Further fields are allowed. Read with
// ParseMountList (common/mount_list.h).
inline constexpr char16_t kListFieldSeparator = u'\t';
inline constexpr char16_t kLineEnd = u'\n';
std::string ListLine(std::u16string_view drive, std::u16string_view path, int32_t number);
