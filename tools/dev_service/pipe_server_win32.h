// The development service's pipe: a fixed set of instances made when it starts, each with a
// worker of its own that answers one client at a time: it reads the request, writes the reply,
// puts a fresh instance in the place of the answered one and waits for the next client. Nothing
// grows with the number of requests: no thread, handle or buffer per connection.
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
  struct Instance {
    CPipeServer* server = nullptr;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE thread = nullptr;
    HANDLE ioEvent = nullptr;  // the worker's one event for all its waits
  };

  static DWORD WINAPI WorkerMain(void* instance);
  // Only the first instance ever made claims the name.
  HANDLE NewInstance(bool first);
  void Work(Instance& instance);
  // Waits for a client on the instance; false when the server stops.
  bool Connect(const Instance& instance);
  void Answer(const Instance& instance);

  size_t m_nInstances;
  size_t m_nMaxRequestBytes;
  Handler m_handler;
  HANDLE m_stopEvent;
  volatile LONG m_nStopping = 0;  // set before m_stopEvent, read without a call into the system
  std::vector<BYTE> m_securityDescriptor;  // only the user running the service may connect
  std::vector<Instance> m_instances;
};
