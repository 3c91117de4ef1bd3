// zelpipe-check's judgement of replies and of who may connect: the faults no scripted service in
// the Wine tests shows.
#include "tools/zelpipe_check/reply_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/zelpipe_check/pipe_access.h"

namespace {

ProbeReply Received(const std::string& bytes, size_t firstRead) {
  ProbeReply reply;
  reply.outcome = ProbeReply::Outcome::Answered;
  reply.bytes = bytes;
  reply.firstRead = firstRead;
  return reply;
}

}  // namespace

TEST(ReplyRulesTest, AReplyIsItsTextAndOneNulInOneWriteWithinItsCapacity) {
  EXPECT_EQ(FrameFault(Received(std::string("123456789\0", 10), 10), 10), "");
  EXPECT_EQ(FrameFault(Received(std::string("1234567890\0", 11), 11), 10),
            "11 bytes with its NUL, over the capacity of 10");
  EXPECT_EQ(FrameFault(Received(std::string("1\0", 2), 1), 10),
            "the reply came in more than one write; a client reads once and gets 1 byte without the NUL");
  EXPECT_EQ(FrameFault(Received(std::string("1\0\0\0", 4), 4), 10), "2 bytes after its NUL");
  EXPECT_EQ(FrameFault(Received("1", 1), 10), "no NUL in the 1 byte it sent");
}

TEST(ReplyRulesTest, IntegersAreDecimalDigitsWithAnOptionalMinusAndNothingElse) {
  EXPECT_EQ(DecimalInteger("0"), 0);
  EXPECT_EQ(DecimalInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(DecimalInteger("2147483647"), INT32_MAX);
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "0x1", "1\n", "2147483648", "99999999999"}) {
    EXPECT_EQ(DecimalInteger(bad), std::nullopt) << bad;
  }
  EXPECT_TRUE(ParseAccessReply("0\n4\n").has_value());
  EXPECT_FALSE(ParseAccessReply("1").has_value());
  EXPECT_FALSE(ParseAccessReply("1\n0\n\n").has_value());
}

TEST(ReplyRulesTest, ListLinesAreDriveTabPathTabNumberOnePerLetter) {
  std::string why;
  EXPECT_EQ(ParseListReply("E:\tC:\\a.zel\t1\nF:\\\tC:\\b.zel\t2\textra\n", why).size(), 2u);
  EXPECT_EQ(why, "");
  for (const char* bad : {"E:\tC:\\a.zel\t1", "e:\tC:\\a.zel\t1\n", "E:\tC:\\a.zel\n", "E:\tC:\\a.zel\tx\n",
                          "E:\tC:\\a.zel\t1\nE:\tC:\\b.zel\t2\n", "E:\tC:\\a.zel\t1\n\n", "E:\t\t1\n"}) {
    EXPECT_TRUE(ParseListReply(bad, why).empty()) << bad;
    EXPECT_NE(why, "") << bad;
  }
}

TEST(ReplyRulesTest, OnlyTheUsersAServiceServesMayWriteToItsPipe) {
  using ::testing::HasSubstr;
  constexpr uint32_t kFull = 0x1F01FF;
  constexpr uint32_t kRead = 0x120089;
  PipeAccess access;
  access.hasDacl = true;
  // A service of the machine: SYSTEM, Administrators, INTERACTIVE, Authenticated Users, one user;
  // Windows' default also lets Everyone and Anonymous Logon read, and a denial lets nobody in.
  access.entries = {{true, "S-1-5-18", kFull},      {true, "S-1-5-32-544", kFull}, {true, "S-1-5-4", kFull},
                    {true, "S-1-5-11", kFull},      {true, "S-1-5-21-1-2-3-1000", kFull},
                    {true, "S-1-1-0", kRead},       {true, "S-1-5-7", kRead},      {false, "S-1-5-2", kFull}};
  EXPECT_EQ(PipeAccessFault(access), "");

  access.entries.push_back({true, "S-1-1-0", 0x40000000});  // GENERIC_WRITE
  access.entries.push_back({true, "S-1-5-2", 0x00040000});  // WRITE_DAC: it may let itself in
  const std::string why = PipeAccessFault(access);
  EXPECT_THAT(why, HasSubstr("the DACL lets Everyone (S-1-1-0) connect and write, access 0x40000000"));
  EXPECT_THAT(why, HasSubstr("; the DACL lets NETWORK (S-1-5-2) connect and write, access 0x40000:"));
  access.entries = {{true, "S-1-5-7", 0x0002}};  // FILE_WRITE_DATA
  EXPECT_THAT(PipeAccessFault(access), HasSubstr("Anonymous Logon (S-1-5-7)"));

  access.hasDacl = false;
  EXPECT_THAT(PipeAccessFault(access), HasSubstr("the pipe has a NULL DACL: anyone may connect"));
  access.readError = 5;
  EXPECT_THAT(PipeAccessFault(access), HasSubstr("could not be read through a client's connection (error 5)"));
}
