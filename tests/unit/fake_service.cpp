// The service exchange for native tests: a queue of scripted replies and a request log.
#include "tests/unit/fake_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/service_pipe.h"

FakeService& FakeService::Instance() {
  static FakeService service;
  return service;
}

void FakeService::Reset() {
  m_handler = nullptr;
  m_replies.clear();
  m_requests.clear();
}

bool FakeService::Exchange(const std::string& request, char* reply, size_t capacity, size_t* received) {
  *received = 0;
  std::string bytes;
  if (m_handler) {
    m_requests.push_back(request);
    bytes = m_handler(request) + std::string(1, '\0');
  } else {
    if (m_replies.empty()) return false;  // nobody listening: the open fails, nothing is written
    m_requests.push_back(request);
    bytes = m_replies.front();
    m_replies.pop_front();
  }
  *received = std::min(capacity, bytes.size());
  std::memcpy(reply, bytes.data(), *received);
  return *received > 0;
}

bool ExchangeWithService(const char* request, uint32_t requestBytes, char* reply, uint32_t capacity,
                         uint32_t* received) {
  size_t got = 0;
  const bool ok = FakeService::Instance().Exchange(std::string(request, requestBytes), reply, capacity, &got);
  *received = static_cast<uint32_t>(got);
  return ok;
}

namespace {

// Every test starts with no queued replies and an empty request log.
class ResetFakeService : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { FakeService::Instance().Reset(); }
};

const bool kRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetFakeService);
  return true;
}();

}  // namespace
