// A stand-in for the disk service in tests: it serves the service pipe on many instances at
// once, records the exact bytes of every request and the number of connections, and answers
// each request from the test's script: a reply, a late reply, no reply, or never a reply,
// after anything the script has the service do on the side first.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedReply {
  enum class Kind { Answer, CloseWithoutReply, NeverAnswer };
  Kind kind = Kind::Answer;
  std::string bytes;  // written in one write, exactly as given
  DWORD delayMs = 0;  // pause before answering
  // When not 0, the first this many bytes go in one write and the rest in a second a moment
  // later, as a service that writes its text and then its NUL does.
  size_t firstWriteBytes = 0;
  // Run with the request before the pause and the answer: what a service does on the side,
  // such as leaving a file at the path that a request names.
  std::function<void(const std::string& request)> action;

  // The reply text and its NUL, as a well-behaved service sends it.
  static ScriptedReply Text(const std::string& text, DWORD delayMs = 0);
  // Exactly these bytes (no NUL added): for replies without NUL or longer than the capacity.
  static ScriptedReply Raw(const std::string& bytes);
  // The reply text in one write and its NUL in another.
  static ScriptedReply TextInTwoWrites(const std::string& text);
  static ScriptedReply Close();
  static ScriptedReply Hang();
  // This reply, given once action has run with the request.
  ScriptedReply After(std::function<void(const std::string& request)> sideAction) const;
};

// Line index of a request without its line feed (0 is the keyword, 1 the first argument);
// empty when the request has no such line.
std::string RequestLine(const std::string& request, size_t index);

class CScriptedService {
 public:
  // Called with the request's bytes, its NUL included, under the service's lock.
  using Script = std::function<ScriptedReply(const std::string& request)>;

  struct Options {
    DWORD maxInstances = PIPE_UNLIMITED_INSTANCES;  // fewer, to test a busy service
    // Instances kept waiting for clients: a client never waits for a busy pipe, so there must
    // always be a free one for every client that may come at once.
    size_t listeningInstances = 16;  // at most 63
    size_t maxRequestBytes = 1 << 20;  // a longer request is cut there and handed on as it is
    bool recordRequests = true;        // keep every request for Requests()
    bool currentUserOnly = false;      // only the user running the service may open the pipe
    bool rejectRemoteClients = false;
  };

  explicit CScriptedService(Script script, DWORD maxInstances = PIPE_UNLIMITED_INSTANCES);
  CScriptedService(Script script, const Options& options);
  ~CScriptedService();
  CScriptedService(const CScriptedService&) = delete;
  CScriptedService& operator=(const CScriptedService&) = delete;

  // Starts listening; returns once the first instance accepts connections.
  bool Start();
  // Ends every connection (a hanging reply included) and stops listening.
  void Stop();

  std::vector<std::string> Requests() const;
  int Connections() const { return m_nConnections.load(); }
  // Polls until at least count requests have arrived or the deadline passes.
  bool WaitForRequests(size_t count, DWORD timeoutMs) const;

  // A script that answers by the request's first line ("Status", "List", ...); keywords that
  // are not in the table get an empty reply (a lone NUL).
  static Script ByKeyword(std::map<std::string, ScriptedReply> replies);

 private:
  void Listen();
  void Serve(HANDLE pipe);
  HANDLE NewInstance();

  Script m_script;
  Options m_options;
  std::vector<BYTE> m_securityDescriptor;  // for currentUserOnly
  HANDLE m_stopEvent = nullptr;
  HANDLE m_readyEvent = nullptr;
  std::thread m_listener;
  std::vector<std::thread> m_workers;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  std::atomic<int> m_nConnections{0};
};
