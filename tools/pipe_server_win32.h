// The core of our pipe servers, the development service and the scripted service of the tests: a
// fixed set of listening instances made when it starts, each with a worker of its own that
// answers one client at a time, one request per connection. Once a client has come, a fresh
// instance takes the place of its instance and listens while the worker reads the request and
// answers it, so under any load the set stays listening. Nothing grows with the number of
// requests: no thread, handle or buffer per connection.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/pipe_io_win32.h"
#include "tools/pipe_win32.h"

// How one request is answered.
struct PipeReply {
  enum class Kind { Answer, CloseWithoutReply, NeverAnswer };
  Kind kind = Kind::Answer;
  std::string bytes;  // written exactly as given
  DWORD delayMs = 0;  // a pause before answering
  // When not 0 and fewer than bytes: these first bytes go in one write and the rest in a second,
  // as a service that writes its text and then its NUL does.
  size_t firstWriteBytes = 0;
};

class CPipeServer {
 public:
  // How to answer one request: its bytes up to and including its NUL, or the first
  // maxRequestBytes + 1 bytes of a longer one. Called from many workers at once.
  using Handler = std::function<PipeReply(const std::string& request)>;

  struct Options {
    size_t instances = 16;                          // listening at once, each with its worker
    DWORD maxInstances = PIPE_UNLIMITED_INSTANCES;  // fewer, for a busy service
    size_t maxRequestBytes = 1 << 20;
    // 0: a write ends only once the client has read it, so the second write of a reply in two
    // goes out after the client's read took the first, however late the client reads.
    DWORD outBufferBytes = 4096;
    PipeDoor door = PipeDoor::CurrentUserOnly;
  };

  enum class StartResult { Serving, NameTaken, Failed };

  CPipeServer(const Options& options, Handler handler);
  ~CPipeServer();
  CPipeServer(const CPipeServer&) = delete;
  CPipeServer& operator=(const CPipeServer&) = delete;

  // Creates the instances and starts the workers; a pipe that another process serves already is
  // never joined (NameTaken). Only local clients may connect.
  StartResult Start();
  // Ends every connection (a reply that is never given included) and every worker.
  void Stop();
  // Clients that have connected so far.
  int Connections() const { return static_cast<int>(m_nConnections); }

 private:
  // A slot: the listening instance and its worker.
  struct Instance {
    CPipeServer* server = nullptr;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE thread = nullptr;
    HANDLE listenEvent = nullptr;  // for waiting for a client
    HANDLE ioEvent = nullptr;      // for reading a request and writing its reply
  };
  enum class Listening { Pending, Connected, Failed };

  static DWORD WINAPI WorkerMain(void* instance);
  // Only the first instance ever made claims the name.
  HANDLE NewInstance(bool first);
  void Work(Instance& instance);
  // Starts waiting for a client on the instance.
  static Listening Listen(HANDLE pipe, OVERLAPPED& ov);
  // Reads the request on a connected instance and answers it.
  void Answer(HANDLE pipe, HANDLE ioEvent);
  // Carries out the reply, or as much of it as comes before a Stop.
  void Give(const PipeReply& reply, CPipeIo& io);

  Options m_options;
  Handler m_handler;
  HANDLE m_stopEvent;
  volatile LONG m_nStopping = 0;  // set before m_stopEvent, read without a call into the system
  volatile LONG m_nConnections = 0;
  std::vector<BYTE> m_securityDescriptor;
  std::vector<Instance> m_instances;
};
