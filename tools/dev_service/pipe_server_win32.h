// The development service's pipe: a fixed set of listening instances made when it starts, each
// with a worker of its own that answers one client at a time. Once a client has come, a fresh
// instance takes the place of its instance and listens while the worker reads the request and
// writes the reply, so under any load the set stays listening. Nothing grows with the number of
// requests: no thread, handle or buffer per connection.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CPipeServer {
 public:
  // The reply text to one request (its bytes up to and including its NUL, or the first
  // maxRequestBytes + 1 bytes of a longer one); the server adds the NUL. Called from many
  // workers at once.
  using Handler = std::function<std::string(const std::string& request)>;

  enum class StartResult { Serving, NameTaken, Failed };

  CPipeServer(size_t instances, size_t maxRequestBytes, Handler handler);
  ~CPipeServer();
  CPipeServer(const CPipeServer&) = delete;
  CPipeServer& operator=(const CPipeServer&) = delete;

  // Creates every instance and starts the workers; a pipe that another process serves already
  // is never joined (NameTaken). Only the user running the service may connect, and only from
  // this machine.
  StartResult Start();
  // Ends every connection and worker.
  void Stop();

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
  // Reads the request on a connected instance and writes the reply.
  void Answer(HANDLE pipe, HANDLE ioEvent);

  size_t m_nInstances;
  size_t m_nMaxRequestBytes;
  Handler m_handler;
  HANDLE m_stopEvent;
  volatile LONG m_nStopping = 0;  // set before m_stopEvent, read without a call into the system
  std::vector<BYTE> m_securityDescriptor;  // only the user running the service may connect
  std::vector<Instance> m_instances;
};
