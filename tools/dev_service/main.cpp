// The development disk service: serves the program's pipe until it is ended (Ctrl+C, Ctrl+Break,
// its console closed, or the end of its Wine session), only for the user who started it. Writes
// one line per request. When it is ended from its console it takes its drive letters away first.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/dev_service/dev_platform_win32.h"
#include "tools/dev_service/dev_service.h"
#include "tools/pipe_server_win32.h"

namespace {

// Clients that may be served at the same moment; the next one finds the pipe busy. Each has an
// instance of the pipe and a worker of its own, made once when the service starts.
constexpr size_t kInstances = 64;
// A closed console ends the process once its control handler returns, and at the latest after
// about five seconds: the handler waits this long for the drive letters to go.
constexpr DWORD kCleanUpMs = 4000;

// Set by the console's control handler, which runs on a thread of its own: the main thread stops
// serving and cleans up, so nothing is answered while the drive letters go.
HANDLE g_stopEvent = nullptr;
// Set by the main thread once the drive letters are gone.
HANDLE g_stoppedEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD control) {
  switch (control) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      ::SetEvent(g_stopEvent);
      ::WaitForSingleObject(g_stoppedEvent, kCleanUpMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int main() {
  g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_stoppedEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_stopEvent == nullptr || g_stoppedEvent == nullptr) {
    std::fprintf(stderr, "dev_service: cannot start.\n");
    return 1;
  }
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  CWin32DevPlatform platform(std::wstring(temp) + L"lockvale-dev-service");
  CDevService service(platform);

  CPipeServer::Options options;
  options.instances = kInstances;
  options.maxRequestBytes = CDevService::kMaxRequestBytes;
  CPipeServer pipe(options, [&service](const std::string& request) {
    PipeReply reply;
    reply.bytes = service.Handle(request);
    // One write per line, so that lines of requests answered at the same time never mix.
    const std::string line = CDevService::Describe(request, reply.bytes) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    reply.bytes.push_back('\0');
    return reply;
  });
  // Before the pipe is served: whoever sees it served may end the service from its console.
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  switch (pipe.Start()) {
    case CPipeServer::StartResult::Serving:
      break;
    case CPipeServer::StartResult::NameTaken:
      std::fprintf(stderr,
                   "dev_service: another process already serves \\\\.\\Pipe\\ZelPipe; stop it first (only one disk "
                   "service can own the pipe).\n");
      return 1;
    case CPipeServer::StartResult::Failed:
      std::fprintf(stderr, "dev_service: cannot serve \\\\.\\Pipe\\ZelPipe.\n");
      return 1;
  }
  std::printf(
      "dev_service: serving \\\\.\\Pipe\\ZelPipe.\n"
      "dev_service: a development stand-in: it simulates attaching disks (a drive letter onto a folder)\n"
      "dev_service: and does not encrypt or store disk contents.\n");
  std::fflush(stdout);

  ::WaitForSingleObject(g_stopEvent, INFINITE);
  pipe.Stop();
  service.UnmountAll();
  std::printf("dev_service: stopped; its drive letters are gone.\n");
  std::fflush(stdout);
  ::SetEvent(g_stoppedEvent);
  return 0;
}
