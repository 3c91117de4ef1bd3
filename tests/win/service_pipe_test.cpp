// The disk-service client over the real named pipe, against the scripted service: the exact
// bytes of every request, one connection per exchange, and how every failure reads.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "common/disk_service_client.h"
#include "tools/scripted_service.h"

namespace {

std::string Bytes(const std::string& text) { return text + std::string(1, '\0'); }

// Milliseconds that fn took.
template <typename Fn>
DWORD Elapsed(Fn fn) {
  const DWORD start = GetTickCount();
  fn();
  return GetTickCount() - start;
}

class ServicePipeTest : public ::testing::Test {
 protected:
  // Starts a service that answers every request with the same reply.
  std::unique_ptr<CScriptedService> Serve(const ScriptedReply& reply, DWORD maxInstances = PIPE_UNLIMITED_INSTANCES) {
    return ServeScript([reply](const std::string&) { return reply; }, maxInstances);
  }
  std::unique_ptr<CScriptedService> ServeScript(CScriptedService::Script script,
                                                DWORD maxInstances = PIPE_UNLIMITED_INSTANCES) {
    auto service = std::make_unique<CScriptedService>(std::move(script), maxInstances);
    EXPECT_TRUE(service->Start());
    return service;
  }

  CDiskServiceClient client;
};

}  // namespace

TEST_F(ServicePipeTest, EveryRequestKindGoesOutWithItsExactBytes) {
  auto service = ServeScript(CScriptedService::ByKeyword({
      {"Mount", ScriptedReply::Text("4")},
      {"Unmount", ScriptedReply::Text("1")},
      {"Status", ScriptedReply::Text("1")},
      {"ListSize", ScriptedReply::Text("13")},
      {"List", ScriptedReply::Text("E:\tC:\\a\t1\n")},
      {"StorageAccessible", ScriptedReply::Text("0\n4\n")},
  }));
  int32_t reason = -1;
  EXPECT_EQ(client.Status(u"E:"), 1);
  EXPECT_EQ(client.Mount(u"C:\\d\u00E9.zel", u"E:", u"", u"", 0), 4);
  EXPECT_EQ(client.Mount(u"C:\\a.zel", u"F:", u"Label", u"pw", 0), 4);
  EXPECT_EQ(client.Unmount(u"E: C:\\a.zel"), 1);
  EXPECT_EQ(client.StorageAccessible(u"C:\\a.zel", u"", reason), 0);
  EXPECT_EQ(reason, 4);
  EXPECT_EQ(client.List(), u"E:\tC:\\a\t1\n");

  const std::vector<std::string> requests = service->Requests();
  ASSERT_EQ(requests.size(), 7u);
  const unsigned char status[] = {0x53, 0x74, 0x61, 0x74, 0x75, 0x73, 0x0A, 0x45, 0x3A, 0x0A, 0x00};
  EXPECT_EQ(requests[0], std::string(reinterpret_cast<const char*>(status), sizeof status));
  EXPECT_EQ(requests[1], Bytes("Mount\nC:\\d\xC3\xA9.zel\nE:\n\n\n0\n"));
  EXPECT_EQ(requests[2], Bytes("Mount\nC:\\a.zel\nF:\nLabel\npw\n0\n"));
  EXPECT_EQ(requests[3], Bytes("Unmount\nE: C:\\a.zel\n"));
  EXPECT_EQ(requests[4], Bytes("StorageAccessible\nC:\\a.zel\n\n"));
  EXPECT_EQ(requests[5], std::string("ListSize\n\0", 10));
  EXPECT_EQ(requests[6], std::string("List\n\0", 6));
  EXPECT_EQ(service->Connections(), 7);
}

TEST_F(ServicePipeTest, WithoutAServiceEveryOperationReturnsAtOnceWithTheEmptyReading) {
  int32_t reason = -1;
  const DWORD ms = Elapsed([&] {
    EXPECT_EQ(client.Status(u"E:"), 0);
    EXPECT_EQ(client.Mount(u"C:\\a.zel", u"E:", u"", u"", 0), 0);
    EXPECT_EQ(client.Unmount(u"E: C:\\a.zel"), 0);
    EXPECT_EQ(client.StorageAccessible(u"C:\\a.zel", u"", reason), 0);
    EXPECT_EQ(client.List(), u"");
  });
  EXPECT_EQ(reason, 0);
  EXPECT_LT(ms, 2000u);
}

TEST_F(ServicePipeTest, ClosingWithoutAReplyReadsAsZero) {
  auto service = Serve(ScriptedReply::Close());
  int32_t reason = -1;
  EXPECT_EQ(client.Status(u"E:"), 0);
  EXPECT_EQ(client.StorageAccessible(u"C:\\a.zel", u"pw", reason), 0);
  EXPECT_EQ(reason, 0);
  EXPECT_EQ(client.List(), u"");
  EXPECT_EQ(service->Connections(), 3);  // List stopped after its ListSize exchange
}

TEST_F(ServicePipeTest, ALateReplyIsWaitedFor) {
  auto service = Serve(ScriptedReply::Text("6", 400));
  int32_t value = 0;
  const DWORD ms = Elapsed([&] { value = client.Mount(u"C:\\a.zel", u"E:", u"", u"", 0); });
  EXPECT_EQ(value, 6);
  EXPECT_GE(ms, 350u);
}

TEST_F(ServicePipeTest, AServiceThatNeverAnswersHoldsTheCallerUntilItGoesAway) {
  auto service = Serve(ScriptedReply::Hang());
  auto call = std::async(std::launch::async, [this] { return client.Status(u"E:"); });
  EXPECT_EQ(call.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
  service->Stop();
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(call.get(), 0);
}

TEST_F(ServicePipeTest, RepliesAreCutAtTheirCapacity) {
  auto service = ServeScript(CScriptedService::ByKeyword({
      {"Status", ScriptedReply::Raw("1234567890123456")},             // no NUL within 10 bytes
      {"StorageAccessible", ScriptedReply::Raw("1\n0000000000000000004")},  // 21 bytes
      {"ListSize", ScriptedReply::Text("8")},
      {"List", ScriptedReply::Text("E:\tC:\\disks\\a.zel\t1\n")},
  }));
  int32_t reason = -1;
  EXPECT_EQ(client.Status(u"E:"), 1234567890);
  EXPECT_EQ(client.StorageAccessible(u"C:\\a.zel", u"", reason), 1);
  EXPECT_EQ(reason, 0);  // the final 4 lies beyond the 20-byte capacity
  EXPECT_EQ(client.List(), u"E:\tC:\\di");
}

TEST_F(ServicePipeTest, ListSizeWithoutAUsableValueMakesOneConnection) {
  for (const char* size : {"0", "-1", "2000000000"}) {
    auto service = ServeScript(CScriptedService::ByKeyword({
        {"ListSize", ScriptedReply::Text(size)},
        {"List", ScriptedReply::Text("E:\tC:\\a.zel\t1\n")},
    }));
    EXPECT_EQ(client.List(), u"") << size;
    EXPECT_EQ(service->Connections(), 1) << size;
  }
}

TEST_F(ServicePipeTest, ABusyServiceIsNotWaitedFor) {
  // One instance only, held by a client whose request is never answered.
  auto service = Serve(ScriptedReply::Hang(), 1);
  auto holder = std::async(std::launch::async, [this] { return client.Status(u"E:"); });
  ASSERT_TRUE(service->WaitForRequests(1, 5000));

  int32_t value = -1;
  const DWORD ms = Elapsed([&] { value = client.Status(u"F:"); });
  EXPECT_EQ(value, 0);
  EXPECT_LT(ms, 1000u);
  EXPECT_EQ(service->Requests().size(), 1u);

  service->Stop();
  EXPECT_EQ(holder.get(), 0);
}

TEST_F(ServicePipeTest, ManyClientsAtOnceAreEachAnsweredOnTheirOwnConnection) {
  auto service = ServeScript([](const std::string& request) {
    // Echo the drive letter's position in the alphabet, so each answer belongs to its request.
    return ScriptedReply::Text(std::to_string(request[7] - 'A' + 1));
  });
  constexpr int kThreads = 8;
  constexpr int kEach = 10;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&wrong, t] {
      CDiskServiceClient own;
      const char16_t drive[] = {static_cast<char16_t>(u'E' + t), u':', 0};
      for (int i = 0; i < kEach; ++i) {
        if (own.Status(drive) != 5 + t) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(service->Connections(), kThreads * kEach);
}

TEST(PipeServerCore, AClientBackAtOnceFindsAnInstanceListening) {
  // The pool of our pipe servers, down to one slot: a client that comes straight back after
  // its reply must find the slot listening again, which it only does when the fresh instance
  // listens before the client is answered. With many slots another one would take the client.
  CPipeServer::Options options;
  options.instances = 1;
  CPipeServer server(options, [](const std::string&) { return ScriptedReply::Text("1"); });
  ASSERT_EQ(server.Start(), CPipeServer::StartResult::Serving);
  CDiskServiceClient client;
  int missed = 0;
  for (int i = 0; i < 300; ++i) {
    if (client.Status(u"E:") != 1) ++missed;
  }
  EXPECT_EQ(missed, 0);
}
