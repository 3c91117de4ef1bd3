// A stand-in disk service for trying the program by hand: it accepts every file, mounts
// nothing for real and lists no disks. It runs until it is ended.
#include <windows.h>

#include <cstdio>

#include "tools/scripted_service.h"

int main() {
  CScriptedService service(CScriptedService::ByKeyword({
      {"Status", ScriptedReply::Text("0")},
      {"ListSize", ScriptedReply::Text("0")},
      {"StorageAccessible", ScriptedReply::Text("1\n0")},
      {"Mount", ScriptedReply::Text("1")},
      {"Unmount", ScriptedReply::Text("1")},
  }));
  if (!service.Start()) {
    std::fprintf(stderr, "demo service: cannot serve the pipe\n");
    return 1;
  }
  std::printf("demo service: serving\n");
  std::fflush(stdout);
  Sleep(INFINITE);
  return 0;
}
