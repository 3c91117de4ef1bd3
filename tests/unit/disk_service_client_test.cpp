// Requests the client writes and how it reads each reply, against a scripted exchange; how a
// service reads a request.
#include "common/disk_service_client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/service_protocol.h"
#include "tests/unit/fake_service.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string Bytes(const char* text) { return std::string(text) + std::string(1, '\0'); }

class DiskServiceClientTest : public ::testing::Test {
 protected:
  FakeService& service = FakeService::Instance();
  CDiskServiceClient client;
};

}  // namespace

TEST_F(DiskServiceClientTest, WritesEachRequestAsLinesThenOneNul) {
  service.QueueText("1");
  service.QueueText("1");
  service.QueueText("1");
  service.QueueText("1\n0");
  int32_t reason = -1;
  client.Status(u"E:");
  client.Mount(u"C:\\caf\u00E9.zel", u"F:", u"", u"", 0);
  client.Unmount(u"E: C:\\disks\\a.zel");
  client.StorageAccessible(u"C:\\a.zel", u"s3cret", reason);

  EXPECT_THAT(service.Requests(),
              ElementsAre(std::string("Status\nE:\n\0", 11),
                          Bytes("Mount\nC:\\caf\xC3\xA9.zel\nF:\n\n\n0\n"),
                          Bytes("Unmount\nE: C:\\disks\\a.zel\n"),
                          Bytes("StorageAccessible\nC:\\a.zel\ns3cret\n")));
}

TEST(ReadRequest, TakesEachKindWithItsOwnNumberOfArgumentsOnly) {
  const struct {
    const char* keyword;
    ServiceRequest kind;
    size_t arguments;
  } forms[] = {{"Mount", ServiceRequest::Mount, 5},   {"Unmount", ServiceRequest::Unmount, 1},
               {"Status", ServiceRequest::Status, 1}, {"ListSize", ServiceRequest::ListSize, 0},
               {"List", ServiceRequest::List, 0},     {"StorageAccessible", ServiceRequest::StorageAccessible, 2}};
  for (const auto& form : forms) {
    const auto request = [&](size_t count) {
      std::string text = std::string(form.keyword) + "\n";
      for (size_t i = 0; i < count; ++i) text += "a" + std::to_string(i) + "\n";
      return ReadRequest(Bytes(text.c_str()));
    };
    const auto whole = request(form.arguments);
    ASSERT_TRUE(whole.has_value()) << form.keyword;
    EXPECT_EQ(whole->kind, form.kind) << form.keyword;
    EXPECT_EQ(whole->arguments.size(), form.arguments) << form.keyword;
    if (form.arguments > 0) {
      EXPECT_FALSE(request(form.arguments - 1).has_value()) << form.keyword << " with one too few";
    }
    EXPECT_FALSE(request(form.arguments + 1).has_value()) << form.keyword << " with one too many";
  }
}

TEST_F(DiskServiceClientTest, MountSendsLabelPassphraseAndOptionInOrder) {
  service.QueueText("5");
  EXPECT_EQ(client.Mount(u"D:\\x.zel", u"E:", u"My Label", u" pass word ", -12), 5);
  EXPECT_THAT(service.Requests(), ElementsAre(Bytes("Mount\nD:\\x.zel\nE:\nMy Label\n pass word \n-12\n")));
}

TEST_F(DiskServiceClientTest, IntegerRepliesFollowTheIntegerRule) {
  const std::pair<const char*, int32_t> cases[] = {
      {"3", 3}, {" 7", 7}, {"12ab", 12}, {"ab", 0}, {"", 0}, {"-4", -4}, {"999999999", 999999999}};
  for (const auto& [reply, expected] : cases) {
    service.QueueText(reply);
    EXPECT_EQ(client.Mount(u"p", u"E:", u"", u"", 0), expected) << reply;
  }
}

TEST_F(DiskServiceClientTest, StorageAccessibleReadsTwoLines) {
  struct Case {
    const char* reply;
    int32_t result;
    int32_t reason;
  };
  const Case cases[] = {
      {"1\n0", 1, 0},     {"0\n4\n", 0, 4}, {"1", 0, 0},        {"\n4", 0, 4},
      {"0\n2\n9", 0, 2},  {"", 0, 0},       {"x\ny", 0, 0},      {" 1\n 1", 1, 1},
  };
  for (const Case& c : cases) {
    service.QueueText(c.reply);
    int32_t reason = -1;
    EXPECT_EQ(client.StorageAccessible(u"p", u"", reason), c.result) << c.reply;
    EXPECT_EQ(reason, c.reason) << c.reply;
  }
}

TEST_F(DiskServiceClientTest, NoServiceReadsAsEmptyReplies) {
  int32_t reason = -1;
  EXPECT_EQ(client.Status(u"E:"), 0);
  EXPECT_EQ(client.Mount(u"p", u"E:", u"", u"", 0), 0);
  EXPECT_EQ(client.Unmount(u"E: p"), 0);
  EXPECT_EQ(client.StorageAccessible(u"p", u"", reason), 0);
  EXPECT_EQ(reason, 0);
  EXPECT_EQ(client.List(), u"");
  EXPECT_THAT(service.Requests(), IsEmpty());
}

TEST_F(DiskServiceClientTest, ReplyFillingItsCapacityWithoutNulEndsThere) {
  // Ten digits and more: only the ten bytes of the capacity count, and nothing past them is read.
  service.QueueReply("1234567890123");
  EXPECT_EQ(client.Status(u"E:"), 1234567890);

  service.QueueReply("11111111111111111111" "22");
  int32_t reason = -1;
  EXPECT_EQ(client.StorageAccessible(u"p", u"", reason), 0);  // a single piece of 20 digits
  EXPECT_EQ(reason, 0);

  service.QueueReply(std::string("1\n") + std::string(18, '7') + "99");
  EXPECT_EQ(client.StorageAccessible(u"p", u"", reason), 1);
  EXPECT_EQ(reason, 0);  // eighteen 7s overflow 32 bits
}

TEST_F(DiskServiceClientTest, ListAsksForTheSizeThenTheList) {
  const std::string list = "E:\tC:\\disks\\a.zel\t1\nQ:\tD:\\b.zel\t0\n";
  service.QueueText(std::to_string(list.size() + 1));
  service.QueueText(list);
  EXPECT_EQ(client.List(), u"E:\tC:\\disks\\a.zel\t1\nQ:\tD:\\b.zel\t0\n");
  EXPECT_THAT(service.Requests(), ElementsAre(Bytes("ListSize\n"), Bytes("List\n")));
}

TEST_F(DiskServiceClientTest, ListWithoutAUsableSizeMakesNoSecondExchange) {
  for (const char* size : {"0", "-5", "1048577", "2147483647", "nonsense"}) {
    service.Reset();
    service.QueueText(size);
    service.QueueText("E:\tC:\\a.zel\t1\n");
    EXPECT_EQ(client.List(), u"") << size;
    EXPECT_EQ(service.Requests().size(), 1u) << size;
  }
}

TEST_F(DiskServiceClientTest, ListLongerThanAnnouncedIsCutAtTheAnnouncedSize) {
  service.QueueText("6");
  service.QueueText("E:\tC:\\a.zel\t1\n");
  EXPECT_EQ(client.List(), u"E:\tC:\\");
}

TEST_F(DiskServiceClientTest, EveryOperationStandsAlone) {
  // A failed exchange in between leaves nothing behind for the next one.
  service.QueueText("9");
  EXPECT_EQ(client.Status(u"E:"), 9);
  EXPECT_EQ(client.Status(u"E:"), 0);
  service.QueueText("2");
  EXPECT_EQ(client.Status(u"E:"), 2);
}
