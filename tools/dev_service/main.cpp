// The development disk service: serves the program's pipe until it is ended (Ctrl+C, or the
// end of its Wine session), only for the user who started it. Writes one line per request.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/dev_service/dev_platform_win32.h"
#include "tools/dev_service/dev_service.h"
#include "tools/dev_service/pipe_server_win32.h"

namespace {

// Clients that may be served at the same moment; the next one finds the pipe busy. Each has an
// instance of the pipe and a worker of its own, made once when the service starts.
constexpr size_t kInstances = 64;

}  // namespace

int main() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  CWin32DevPlatform platform(std::wstring(temp) + L"lockvale-dev-service");
  CDevService service(platform);

  CPipeServer pipe(kInstances, CDevService::kMaxRequestBytes, [&service](const std::string& request) {
    std::string reply = service.Handle(request);
    // One write per line, so that lines of requests answered at the same time never mix.
    const std::string line = CDevService::Describe(request, reply) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return reply;
  });
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
  ::Sleep(INFINITE);
  return 0;
}
