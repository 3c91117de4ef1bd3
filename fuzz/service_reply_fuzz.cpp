// Replies of a disk service that may be anything: the program's client and the shell
// extension's Status request read them. Fields of the input are the replies, in order, to
// Status, StorageAccessible, ListSize and List; a missing field is a service that is not there.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/disk_service_client.h"
#include "common/service_pipe.h"
#include "common/text.h"
#include "fuzz/fuzz_input.h"
#include "shellext/status_request.h"

namespace {

// The service as this input plays it: each exchange takes the next reply, cut at the read's
// capacity as a pipe read cuts it.
struct Script {
  std::vector<std::string_view> replies;
  size_t next = 0;
  std::vector<std::string> requests;

  bool Exchange(const std::string& request, char* reply, uint32_t capacity, uint32_t* received) {
    *received = 0;
    if (next >= replies.size()) return false;
    requests.push_back(request);
    const std::string_view bytes = replies[next++];
    *received = static_cast<uint32_t>(std::min<size_t>(capacity, bytes.size()));
    std::memcpy(reply, bytes.data(), *received);
    return *received > 0;
  }
  void Play(std::vector<std::string_view> list) {
    replies = std::move(list);
    next = 0;
    requests.clear();
  }
};

Script g_script;

// Text of a reply as it fits in its capacity: a number written the plain way (decimal, an
// optional minus, nothing else) and within 32 bits, or nothing.
std::optional<int32_t> PlainNumber(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view Fitted(std::string_view reply, size_t capacity) {
  reply = reply.substr(0, capacity);
  return reply.substr(0, reply.find('\0'));
}

bool IsWellFormedRequest(const std::string& request, std::string_view keyword, size_t lines) {
  if (request.empty() || request.back() != '\0' || request.find('\0') != request.size() - 1) return false;
  if (request.compare(0, keyword.size() + 1, std::string(keyword) + "\n") != 0) return false;
  size_t count = 0;
  for (char c : request) count += c == '\n' ? 1 : 0;
  return count == lines && request[request.size() - 2] == '\n';
}

}  // namespace

bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received) {
  return g_script.Exchange(std::string(request, requestBytes), reply, capacity, received);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzFields fields(data, size);
  CDiskServiceClient client;

  // Status: the program and the shell extension read the same reply alike, and a number
  // written plainly within the capacity is that number.
  if (fields.Has(0)) {
    g_script.Play({fields[0]});
    const int32_t status = client.Status(u"E:\\");
    FUZZ_CHECK(g_script.requests.size() == 1 && g_script.requests[0] == std::string("Status\nE:\\\n\0", 12));
    g_script.Play({fields[0]});
    const int32_t shellStatus = RequestStatus(u"E:\\", [](const std::string& request, char* reply, uint32_t capacity,
                                                          uint32_t* received) {
      FUZZ_CHECK(capacity == kIntegerReplyCapacity);
      return g_script.Exchange(request, reply, capacity, received);
    });
    FUZZ_CHECK(g_script.requests.size() == 1 && g_script.requests[0] == std::string("Status\nE:\\\n\0", 12));
    FUZZ_CHECK(status == shellStatus);
    if (const auto plain = PlainNumber(Fitted(fields[0], kIntegerReplyCapacity))) {
      FUZZ_CHECK(status == *plain);
    }
  }

  // StorageAccessible: the reason is always written, and two plain numbers on their lines
  // are read as the result and the reason.
  if (fields.Has(1)) {
    int32_t reasons[2] = {0x5A5A5A5A, -0x5A5A5A5A};
    int32_t results[2] = {};
    for (int i = 0; i < 2; ++i) {
      g_script.Play({fields[1]});
      results[i] = client.StorageAccessible(u"C:\\disks\\a.zel", u"pass", reasons[i]);
      FUZZ_CHECK(IsWellFormedRequest(g_script.requests.at(0), "StorageAccessible", 3));
    }
    FUZZ_CHECK(results[0] == results[1] && reasons[0] == reasons[1]);
    const std::string_view text = Fitted(fields[1], kAccessReplyCapacity);
    const size_t lf = text.find('\n');
    if (lf != std::string_view::npos) {
      const std::string_view second = text.substr(lf + 1);
      const auto result = PlainNumber(text.substr(0, lf));
      const auto reason = PlainNumber(second.substr(0, second.find('\n')));
      if (result && reason) FUZZ_CHECK(results[0] == *result && reasons[0] == *reason);
    }
  }

  // List: a second exchange only after a usable size, a reply never longer than that size,
  // and the whole list when the size announced it exactly.
  if (fields.Has(2)) {
    std::vector<std::string_view> replies{fields[2]};
    if (fields.Has(3)) replies.push_back(fields[3]);
    g_script.Play(replies);
    const std::u16string list = client.List();
    const int32_t announced = ReadInteger(FromUtf8(Fitted(fields[2], kIntegerReplyCapacity)));
    const bool usable = announced > 0 && announced <= kMaxListReplySize;
    FUZZ_CHECK(IsWellFormedRequest(g_script.requests.at(0), "ListSize", 1));
    FUZZ_CHECK(g_script.requests.size() == (usable && fields.Has(3) ? 2u : 1u));
    if (g_script.requests.size() == 2) FUZZ_CHECK(IsWellFormedRequest(g_script.requests[1], "List", 1));
    if (!usable) FUZZ_CHECK(list.empty());
    FUZZ_CHECK(list.size() <= static_cast<size_t>(std::max(announced, 0)));
    FUZZ_CHECK(list.find(u'\0') == std::u16string::npos);
    const size_t nul = fields[3].find('\0');
    if (usable && fields.Has(3) && nul != std::string_view::npos && nul + 1 == static_cast<size_t>(announced)) {
      FUZZ_CHECK(list == FromUtf8(fields[3].substr(0, nul)));
    }
  }
  return 0;
}
