// The service exchange as native tests see it: each test queues the bytes that the service's
// reads will deliver and reads back the exact bytes of every request.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

class FakeService {
 public:
  // The one instance the exchange talks to; emptied at the start of every test.
  static FakeService& Instance();

  void Reset();
  // The next exchange delivers these bytes (cut at the read's capacity, like a pipe read).
  void QueueReply(const std::string& bytes) { m_replies.push_back(bytes); }
  // The reply text with its NUL, as a well-behaved service sends it.
  void QueueText(const std::string& text) { QueueReply(text + std::string(1, '\0')); }

  // Every exchange from now on is answered by handler (its reply text gets a NUL), as a service
  // running in the test would answer; the queue is not used while a handler is set.
  void SetHandler(std::function<std::string(const std::string&)> handler) { m_handler = std::move(handler); }

  const std::vector<std::string>& Requests() const { return m_requests; }

  // Called by the exchange: an empty queue means that no service is listening.
  bool Exchange(const std::string& request, char* reply, size_t capacity, size_t* received);

 private:
  std::function<std::string(const std::string&)> m_handler;
  std::deque<std::string> m_replies;
  std::vector<std::string> m_requests;
};
