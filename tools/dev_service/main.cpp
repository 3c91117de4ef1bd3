// The development disk service: serves the program's pipe until it is ended (Ctrl+C, or the
// end of its Wine session). One pipe instance per client, only for the user who started it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/dev_service/dev_platform_win32.h"
#include "tools/dev_service/dev_service.h"
#include "tools/scripted_service.h"

int main() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  CWin32DevPlatform platform(std::wstring(temp) + L"lockvale-dev-service");
  CDevService service(platform);

  CScriptedService::Options options;
  options.maxRequestBytes = CDevService::kMaxRequestBytes + 1;
  options.recordRequests = false;
  options.listeningInstances = 48;
  options.currentUserOnly = true;
  options.rejectRemoteClients = true;
  CScriptedService pipe(
      [&service](const std::string& request) {
        const std::string reply = service.Handle(request);
        std::printf("%s\n", CDevService::Describe(request, reply).c_str());
        std::fflush(stdout);
        return ScriptedReply::Text(reply);
      },
      options);
  if (!pipe.Start()) {
    std::fprintf(stderr, "dev_service: cannot serve \\\\.\\Pipe\\ZelPipe (is another service running?)\n");
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
