// The handlers' Status request: its exact bytes, and how replies and failures read.
#include "shellext/status_request.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Sends "Status" for drive over an exchange that delivers `reply` (cut at the capacity) and
// reports `succeeds`; the request goes to *sent.
int32_t Status(std::u16string_view drive, const std::string& reply, bool succeeds = true, std::string* sent = nullptr) {
  return RequestStatus(drive, [&](const std::string& request, char* buffer, uint32_t capacity, uint32_t* received) {
    if (sent != nullptr) *sent = request;
    EXPECT_EQ(capacity, 10u);
    *received = static_cast<uint32_t>(std::min<size_t>(capacity, reply.size()));
    std::memcpy(buffer, reply.data(), *received);
    return succeeds;
  });
}

std::string Nul(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace

TEST(ShellextStatusRequest, GoesOutAsTheServiceLinkSendsIt) {
  std::string sent;
  Status(u"E:", Nul("1"), true, &sent);
  const unsigned char bytes[] = {0x53, 0x74, 0x61, 0x74, 0x75, 0x73, 0x0A, 0x45, 0x3A, 0x0A, 0x00};
  EXPECT_EQ(sent, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
  Status(u"\u00C9:\\", Nul("1"), true, &sent);
  EXPECT_EQ(sent, Nul("Status\n\xC3\x89:\\\n"));
}

TEST(ShellextStatusRequest, RepliesAreReadByTheIntegerRuleAndFailuresAsZero) {
  EXPECT_EQ(Status(u"E:", Nul(" 7")), 7);
  EXPECT_EQ(Status(u"E:", Nul("-3")), -3);
  EXPECT_EQ(Status(u"E:", Nul("12abc")), 12);
  EXPECT_EQ(Status(u"E:", Nul("abc")), 0);
  EXPECT_EQ(Status(u"E:", Nul("0") + "9"), 0);           // nothing after the NUL counts
  EXPECT_EQ(Status(u"E:", "12345678901234"), 1234567890);  // never read past the capacity
  EXPECT_EQ(Status(u"E:", "2147483648"), 0);               // outside 32 bits
  EXPECT_EQ(Status(u"E:", Nul("5"), false), 0);            // a failed exchange, whatever it left
  EXPECT_EQ(Status(u"E:", ""), 0);                         // a read that delivered nothing
}
