// A stand-in for the disk service in tests: it serves the service pipe on many instances at
// once, records the exact bytes of every request and the number of connections, and answers
// each request from the test's script: a reply, a late reply, no reply, or never a reply,
// after anything the script has the service do on the side first.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tools/pipe_server_win32.h"

struct ScriptedReply : PipeReply {
  // Run with the request before the pause and the answer: what a service does on the side,
  // such as leaving a file at the path that a request names.
  std::function<void(const std::string& request)> action;

  // The reply text and its NUL, as a well-behaved service sends it.
  static ScriptedReply Text(const std::string& text, DWORD delayMs = 0);
  // Exactly these bytes (no NUL added): for replies without NUL or longer than the capacity.
  static ScriptedReply Raw(const std::string& bytes);
  // The reply text in one write and its NUL in another, which goes out only once the client has
  // read the first.
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
    bool recordRequests = true;                     // keep every request for Requests()
    PipeDoor door = PipeDoor::CurrentUserOnly;      // who may connect
  };

  explicit CScriptedService(Script script, DWORD maxInstances = PIPE_UNLIMITED_INSTANCES);
  CScriptedService(Script script, const Options& options);
  CScriptedService(const CScriptedService&) = delete;
  CScriptedService& operator=(const CScriptedService&) = delete;

  // Starts listening; true once the instances accept connections.
  bool Start();
  // Ends every connection (a hanging reply included) and stops listening.
  void Stop() { m_server.Stop(); }

  std::vector<std::string> Requests() const;
  int Connections() const { return m_server.Connections(); }
  // Polls until at least count requests have arrived or the deadline passes.
  bool WaitForRequests(size_t count, DWORD timeoutMs) const;

  // A script that answers by the request's first line ("Status", "List", ...); keywords that
  // are not in the table get an empty reply (a lone NUL).
  static Script ByKeyword(std::map<std::string, ScriptedReply> replies);

 private:
  PipeReply Answer(const std::string& request);

  Script m_script;
  bool m_bRecordRequests;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  CPipeServer m_server;  // last: its workers call Answer until it is gone
};
